#!/usr/bin/env python3
"""Serves the message pages of the browser tests over HTTP, standard library only.

GET /<name> answers the file <root>/<name>; "?delay=<seconds>" holds the reply back that
long, so a test can catch a load in flight, and "?status=<code>" answers that status with
no body instead. Prints "PORT <n>" once it listens and ends
when its standard input closes, so it never outlives the test that started it.
"""
import argparse
import http.server
import os
import time
import urllib.parse

import peer_server


class Handler(peer_server.QuietHandler):
    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        if "delay" in query:
            time.sleep(float(query["delay"][0]))
        if "status" in query:
            return self.reply(int(query["status"][0]), b"")
        name = os.path.normpath(urllib.parse.unquote(url.path)).lstrip("/")
        path = os.path.join(self.server.root, name)
        if name.startswith("..") or not os.path.isfile(path):
            return self.reply(404, b"<html><body>not here</body></html>")
        with open(path, "rb") as f:
            self.reply(200, f.read())

    def reply(self, status, data):
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(data)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # the browser drops connections it no longer wants


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--root", required=True)
    a = p.parse_args()
    server = Server(("127.0.0.1", a.port), Handler)
    server.root = a.root
    peer_server.serve_until_input_closes(server.server_address[1], server.serve_forever)


if __name__ == "__main__":
    main()
