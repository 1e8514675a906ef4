#!/usr/bin/env python3
"""A local registration server for tests: redirect documents by GET and the three XML-RPC
methods by POST, over HTTP or HTTPS, standard library only.

Every request is written to a record file (one JSON object a line, before the reply goes
out), with each base64 parameter decoded as UTF-8 text beside its base64 form. Prints
"PORT <n>" once it listens and ends when its standard input closes.

Config (all optional):
  {"documents": {"/droplocs/default.rpc": {"status": 200, "body": "https://...", "delay": seconds}},
   "generateRegToken": {"result": "T0K3N"} | {"fault": [code, "text"]}
                       | {"raw": "text", "status": 200, "content_type": "text/html"},
   "sendRegistration": ..., "associateDataWithRegistration": ...,
   "delay": seconds before each XML-RPC reply}
Without an answer configured a method returns: a token "tok-<n>", or true.
"""
import base64
import itertools
import threading
import xmlrpc.client

import peer_server


def plain(value):
    if isinstance(value, dict):
        return {k: plain(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, xmlrpc.client.Binary):
        return {"base64": base64.b64encode(value.data).decode(),
                "text": value.data.decode("utf-8", "replace")}
    return value


class Handler(peer_server.ServiceHandler):
    server_version = "OvexTestRegistration/1"


    def do_GET(self):
        self.server.record({"verb": "GET", "path": self.path})
        doc = self.server.config.get("documents", {}).get(self.path)
        if doc is None:
            return self.reply(404, b"not here", "text/plain")
        if doc.get("delay"):
            threading.Event().wait(float(doc["delay"]))
        self.reply(int(doc.get("status", 200)), doc.get("body", "").encode("utf-8"), "text/plain")

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        entry = {"verb": "POST", "path": self.path,
                 "content_type": self.headers.get("Content-Type", "")}
        try:
            params, method = xmlrpc.client.loads(body, use_builtin_types=False)
            entry["method"] = method
            entry["params"] = plain(params)
        except Exception as e:
            method = None
            entry["error"] = str(e)
        self.server.record(entry)

        config = self.server.config
        if config.get("delay"):
            threading.Event().wait(float(config["delay"]))
        answer = config.get(method) if method else {"fault": [-32700, "parse error"]}
        if answer is None:
            result = ("tok-%d" % next(self.server.tokens)) if method == "generateRegToken" else True
            answer = {"result": result}
        if "raw" in answer:
            return self.reply(int(answer.get("status", 200)), answer["raw"].encode("utf-8"),
                              answer.get("content_type", "text/html"))
        if "fault" in answer:
            code, text = answer["fault"]
            xml = xmlrpc.client.dumps(xmlrpc.client.Fault(code, text), methodresponse=True)
        else:
            xml = xmlrpc.client.dumps((answer["result"],), methodresponse=True)
        self.reply(200, xml.encode("utf-8"), "text/xml")



class Server(peer_server.RecordingServer):
    def __init__(self, port, config, record_path, tls):
        super().__init__(port, Handler, config, record_path, tls)
        self.tokens = itertools.count(1)


def main():
    peer_server.run_service(Server)


if __name__ == "__main__":
    main()
