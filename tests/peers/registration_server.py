#!/usr/bin/env python3
"""A local registration server for tests: redirect documents by GET and the three XML-RPC
methods by POST, over HTTP or HTTPS, standard library only.

Every request is written to a record file (one JSON object a line, before the reply goes
out), with each base64 parameter decoded as UTF-8 text beside its base64 form. Prints
"PORT <n>" once it listens and ends when its standard input closes.

Config (all optional):
  {"documents": {"/droplocs/default.rpc": {"status": 200, "body": "https://..."}},
   "generateRegToken": {"result": "T0K3N"} | {"fault": [code, "text"]}
                       | {"raw": "text", "status": 200, "content_type": "text/html"},
   "sendRegistration": ..., "associateDataWithRegistration": ...,
   "delay": seconds before each XML-RPC reply}
Without an answer configured a method returns: a token "tok-<n>", or true.
"""
import argparse
import base64
import http.server
import itertools
import json
import os
import socket
import ssl
import sys
import threading
import xmlrpc.client


def plain(value):
    if isinstance(value, dict):
        return {k: plain(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, xmlrpc.client.Binary):
        return {"base64": base64.b64encode(value.data).decode(),
                "text": value.data.decode("utf-8", "replace")}
    return value


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "OvexTestRegistration/1"

    def setup(self):
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.server.tls is not None:
            self.request = self.server.tls.wrap_socket(self.request, server_side=True)
        super().setup()

    def log_message(self, *args):
        pass

    def do_GET(self):
        self.server.record({"verb": "GET", "path": self.path})
        doc = self.server.config.get("documents", {}).get(self.path)
        if doc is None:
            return self.reply(404, b"not here", "text/plain")
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

    def reply(self, status, data, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, config, record_path, tls):
        super().__init__(("127.0.0.1", port), Handler)
        self.config = config
        self.record_path = record_path
        self.tls = tls
        self.lock = threading.Lock()
        self.tokens = itertools.count(1)

    def record(self, entry):
        if not self.record_path:
            return
        with self.lock, open(self.record_path, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")
            f.flush()
            os.fsync(f.fileno())

    def handle_error(self, request, client_address):
        pass


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--config")
    p.add_argument("--record")
    p.add_argument("--cert")
    p.add_argument("--key")
    a = p.parse_args()
    config = {}
    if a.config:
        with open(a.config, encoding="utf-8") as f:
            config = json.load(f)
    tls = None
    if a.cert:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(a.cert, a.key)
    server = Server(a.port, config, a.record, tls)
    print("PORT %d" % server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()


if __name__ == "__main__":
    main()
