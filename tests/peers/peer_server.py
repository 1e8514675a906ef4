"""What the Python peers share: quiet HTTP/1.1 handlers, and the way a peer reports its
port and lives exactly as long as the test that started it. Standard library only."""
import argparse
import http.server
import json
import os
import socket
import ssl
import sys
import threading


class QuietHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass  # the test reads the record, not a log


def serve_until_input_closes(port, serve_forever):
    """Prints "PORT <n>" once listening, runs `serve_forever` on a thread of its own, and
    returns when standard input closes, so the peer never outlives the test."""
    print("PORT %d" % port, flush=True)
    threading.Thread(target=serve_forever, daemon=True).start()
    sys.stdin.read()


class ServiceHandler(QuietHandler):
    """A handler over plain TCP or, when its server holds a TLS context, over TLS."""

    def setup(self):
        # Headers and body leave in two writes; without this the second waits for the
        # client's delayed acknowledgement, and every call would seem to take 40 ms.
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.server.tls is not None:
            self.request = self.server.tls.wrap_socket(self.request, server_side=True)
        super().setup()

    def reply(self, status, data, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


class RecordingServer(http.server.ThreadingHTTPServer):
    """A service with its JSON config, its TLS context (or None) and a record file that
    takes one JSON object a line, on disk before the reply goes out."""
    daemon_threads = True

    def __init__(self, port, handler, config, record_path, tls):
        super().__init__(("127.0.0.1", port), handler)
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


def run_service(make_server):
    """The services' command line: --port, --config, --record, --cert and --key (TLS when
    a certificate is given); serves until standard input closes."""
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
    server = make_server(a.port, config, a.record, tls)
    serve_until_input_closes(server.server_address[1], server.serve_forever)
