"""What the Python peers share: quiet HTTP/1.1 handlers, and the way a peer reports its
port and lives exactly as long as the test that started it. Standard library only."""
import http.server
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
