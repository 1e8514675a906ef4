#!/usr/bin/env python3
"""A page-script update server over HTTPS for the launcher's resource update.

  update_service.py --port 0 --config CONFIG.json --record RECORD.jsonl --cert C --key K

answers XML-RPC at /lookups/resUpdate/. CONFIG: "check" (the update id, or {"fault": N}),
"script" (the text appUpdateDownload gives), "checksum" (an int, or "auto" for the text's
own), "download_delay" (seconds before the download's answer). Every call is appended to
RECORD as {"method", "params"}. Prints "PORT n" once it listens; ends when stdin closes.
"""
import time
import xmlrpc.client

import peer_server


def checksum(text):
    s = 0
    for b in text.encode("utf-16-le"):
        s = (s + b) & 0xFFFFFFFF
        s = ((s << 1) | (s >> 31)) & 0xFFFFFFFF
    return s


class Handler(peer_server.ServiceHandler):


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
        self.reply(200, out.encode("utf-8"), "text/xml")


def main():
    peer_server.run_service(
        lambda port, config, record, tls: peer_server.RecordingServer(port, Handler, config, record, tls))


if __name__ == "__main__":
    main()
