#!/usr/bin/env python3
"""A page-script update server over HTTPS for the launcher's resource update.

  update_service.py --port 0 --config CONFIG.json --record RECORD.jsonl --cert C --key K

answers XML-RPC at /lookups/resUpdate/. CONFIG: "check" (the update id, or {"fault": N}),
"script" (the text appUpdateDownload gives), "checksum" (an int, or "auto" for the text's
own), "download_delay" (seconds before the download's answer). Every call is appended to
RECORD as {"method", "params"}. Prints "PORT n" once it listens; ends when stdin closes.
"""
import argparse
import http.server
import json
import os
import socket
import ssl
import sys
import threading
import time
import xmlrpc.client


def checksum(text):
    s = 0
    for b in text.encode("utf-16-le"):
        s = (s + b) & 0xFFFFFFFF
        s = ((s << 1) | (s >> 31)) & 0xFFFFFFFF
    return s


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.request = self.server.tls.wrap_socket(self.request, server_side=True)
        super().setup()

    def log_message(self, *args):
        pass

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        params, method = xmlrpc.client.loads(body)
        self.server.record({"method": method, "params": list(params), "path": self.path})
        cfg = self.server.config
        try:
            if self.path != "/lookups/resUpdate/":
                raise xmlrpc.client.Fault(404, "no such object")
            if method == "appUpdateCheck":
                check = cfg.get("check", "")
                if isinstance(check, dict):
                    raise xmlrpc.client.Fault(check["fault"], "no update")
                result = check
            elif method == "appUpdateDownload":
                time.sleep(cfg.get("download_delay", 0))
                result = cfg.get("script", "")
            elif method == "appUpdateChecksum":
                c = cfg.get("checksum", "auto")
                value = checksum(cfg.get("script", "")) if c == "auto" else c
                # XML-RPC ints are signed 32-bit.
                result = value - (1 << 32) if value >= (1 << 31) else value
            else:
                raise xmlrpc.client.Fault(1, "unknown method")
            out = xmlrpc.client.dumps((result,), methodresponse=True, encoding="utf-8")
        except xmlrpc.client.Fault as f:
            out = xmlrpc.client.dumps(f, methodresponse=True, encoding="utf-8")
        data = out.encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
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
        with self.lock, open(self.record_path, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")

    def handle_error(self, request, client_address):
        pass  # refused handshakes are what some tests are about


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--config")
    p.add_argument("--record")
    p.add_argument("--cert")
    p.add_argument("--key")
    a = p.parse_args()
    with open(a.config, encoding="utf-8") as f:
        config = json.load(f)
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(a.cert, a.key)
    server = Server(a.port, config, a.record, tls)
    print("PORT %d" % server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()


if __name__ == "__main__":
    main()
