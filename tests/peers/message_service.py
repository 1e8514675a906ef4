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
import argparse
import base64
import datetime
import http.server
import json
import os
import socket
import ssl
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


class Handler(peer_server.QuietHandler):
    server_version = "OvexTestService/1"

    def setup(self):
        # Headers and body leave in two writes; without this the second waits for the
        # client's delayed acknowledgement, and every call would seem to take 40 ms.
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.server.tls is not None:
            self.request = self.server.tls.wrap_socket(self.request, server_side=True)
        super().setup()

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

    def record(self, entry):
        if not self.record_path:
            return
        with self.lock, open(self.record_path, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")
            f.flush()
            os.fsync(f.fileno())

    def handle_error(self, request, client_address):
        pass  # refused handshakes and dropped connections are what some tests are about


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
    peer_server.serve_until_input_closes(server.server_address[1], server.serve_forever)


if __name__ == "__main__":
    main()
