#!/usr/bin/env python3
"""A local message service for tests: XML-RPC over HTTP or HTTPS, standard library only.

It answers "getChannelsForMfgr" and "getOffersForRecords" with what a JSON config gives,
writes every call it received to a record file (one JSON object a line, written before
the reply goes out), prints "PORT <n>" once it listens, and ends when its standard input
closes, so it never outlives the test that started it.

Config (all optional):
  {"getChannelsForMfgr": {"result": [...]} | {"fault": [code, "text"]},
   "getOffersForRecords": ..., "delay": seconds before each reply}
"""
import base64
import datetime
import threading
import xmlrpc.client

import peer_server

SERVICE_PATH = "/veldora/vask/rpc/ovex.php"


def plain(value):
    """XML-RPC values as JSON: structs become objects, base64 {"base64": text}."""
    if isinstance(value, dict):
        return {k: plain(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, xmlrpc.client.Binary):
        return {"base64": base64.b64encode(value.data).decode()}
    if isinstance(value, (xmlrpc.client.DateTime, datetime.datetime)):
        return {"datetime": str(value)}
    return value


class Handler(peer_server.ServiceHandler):
    server_version = "OvexTestService/1"


    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        entry = {"path": self.path, "headers": {k.lower(): v for k, v in self.headers.items()},
                 "body": body.decode("utf-8", "replace")}
        try:
            params, method = xmlrpc.client.loads(body)
            entry["method"] = method
            entry["params"] = plain(params)
        except Exception as e:  # a malformed call is recorded as such
            method = None
            entry["error"] = str(e)
        self.server.record(entry)

        if self.path != SERVICE_PATH:
            return self.reply(404, b"not here", "text/plain")
        config = self.server.config
        if config.get("delay"):
            threading.Event().wait(float(config["delay"]))
        answer = config.get(method, {"result": []}) if method else {"fault": [-32700, "parse error"]}
        if "fault" in answer:
            code, text = answer["fault"]
            xml = xmlrpc.client.dumps(xmlrpc.client.Fault(code, text), methodresponse=True)
        else:
            xml = xmlrpc.client.dumps((answer.get("result", []),), methodresponse=True)
        self.reply(200, xml.encode("utf-8"), "text/xml")

    def do_GET(self):
        self.server.record({"path": self.path, "method": "GET",
                            "headers": {k.lower(): v for k, v in self.headers.items()}})
        self.reply(404, b"not here", "text/plain")



def main():
    peer_server.run_service(
        lambda port, config, record, tls: peer_server.RecordingServer(port, Handler, config, record, tls))


if __name__ == "__main__":
    main()
