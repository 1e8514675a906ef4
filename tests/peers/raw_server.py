#!/usr/bin/env python3
"""A raw socket server for broken replies.

Each connection: read one request (headers, and a body as long as its Content-Length),
append it to the record file, then per --mode:
  reply   send the bytes of --response and close;
  hang    send them and keep the connection open until the client goes;
  silent  send nothing and keep the connection open.
With --cert and --key the connection is TLS. Prints "PORT <n>" once it listens, and ends
when its standard input closes.
"""
import argparse
import socket
import ssl
import threading

import peer_server


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return data
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip() or b"0")
    while len(body) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        body += chunk
    return head + b"\r\n\r\n" + body


def serve(conn, args, response, lock):
    try:
        if args.cert:
            tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            tls.load_cert_chain(args.cert, args.key)
            conn = tls.wrap_socket(conn, server_side=True)
        request = read_request(conn)
        if args.record:
            with lock, open(args.record, "ab") as f:
                f.write(request + b"\n--end--\n")
        if args.mode in ("reply", "hang"):
            conn.sendall(response)
        if args.mode == "reply":
            conn.shutdown(socket.SHUT_WR)
        while conn.recv(65536):
            pass
    except OSError:
        pass
    finally:
        conn.close()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--response")
    p.add_argument("--mode", default="reply", choices=["reply", "hang", "silent"])
    p.add_argument("--record")
    p.add_argument("--cert")
    p.add_argument("--key")
    args = p.parse_args()
    response = b""
    if args.response:
        with open(args.response, "rb") as f:
            response = f.read()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(16)
    lock = threading.Lock()

    def accept_loop():
        while True:
            conn, _ = listener.accept()
            threading.Thread(target=serve, args=(conn, args, response, lock), daemon=True).start()

    peer_server.serve_until_input_closes(listener.getsockname()[1], accept_loop)


if __name__ == "__main__":
    main()
