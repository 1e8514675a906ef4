#!/usr/bin/env python3
"""A message service whose answers depend on the manufacturer asked about, for checks
over several manufacturer entries. Standard library only.

  mfgr_service.py --port N --config FILE --record FILE

Config: {"<mfgr>": {"getChannelsForMfgr": {"result": [...]} | {"fault": [code, "text"]},
                    "getOffersForRecords": ...}, ...}; a missing answer is an empty array.
Every call is appended to the record file as one JSON line {"method", "mfgr", "params"}
before the reply goes out. Prints "PORT <n>" once it listens and ends when its standard
input closes.
"""
import argparse
import http.server
import json
import threading
import xmlrpc.client

import peer_server


class Handler(peer_server.QuietHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        params, method = xmlrpc.client.loads(body)
        mfgr = str(params[0].get("mfgr", "")) if params and isinstance(params[0], dict) else ""
        with self.server.lock, open(self.server.record_path, "a", encoding="utf-8") as f:
            f.write(json.dumps({"method": method, "mfgr": mfgr, "params": params}) + "\n")
        answer = self.server.config.get(mfgr, {}).get(method, {"result": []})
        if "fault" in answer:
            xml = xmlrpc.client.dumps(xmlrpc.client.Fault(*answer["fault"]), methodresponse=True)
        else:
            xml = xmlrpc.client.dumps((answer.get("result", []),), methodresponse=True)
        data = xml.encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--config", required=True)
    p.add_argument("--record", required=True)
    a = p.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", a.port), Handler)
    server.daemon_threads = True
    with open(a.config, encoding="utf-8") as f:
        server.config = json.load(f)
    server.record_path = a.record
    server.lock = threading.Lock()
    peer_server.serve_until_input_closes(server.server_address[1], server.serve_forever)


if __name__ == "__main__":
    main()
