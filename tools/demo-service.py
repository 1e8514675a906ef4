#!/usr/bin/env python3
"""A demo message service for trying the client on this machine.

  tools/demo-service.py [--port N] [--port-file FILE]

Serves the message service's two XML-RPC calls on http://127.0.0.1:N/veldora/vask/rpc/ovex.php
and the message pages the offers point at, under /messages/. Prints "PORT <n>" (and writes
it to --port-file) once it listens; runs until interrupted. Point the client at it with
OVEXKELVO_TEST_SERVICE=127.0.0.1:<n> and "/test".

Every manufacturer gets the same three channels. Offers are dated; a record gets the
offers of its subscribed channels that are newer than the channel's "lastCheck", so a
second check finds nothing new.
"""
import argparse
import html
import http.server
import signal
import sys
import time
import xmlrpc.client
import xmlrpc.server

SERVICE_PATH = "/veldora/vask/rpc/ovex.php"
DAY = 86400

CHANNELS = [
    {"name": "critical_updates", "title": "Critical updates",
     "description": "Security and reliability fixes for your computer.", "fields": ["MFGR", "MODL", "SRNM"]},
    {"name": "news", "title": "News", "description": "What is new for your model.", "fields": ["MFGR", "MODL"]},
    {"name": "offers", "title": "Offers", "description": "Accessories and services near you.",
     "fields": ["MFGR", "CTRY"]},
]

# (page, channel, title, age in days, expires in days or None, text)
OFFERS = [
    ("bios-update", "critical_updates", "Firmware update available", 2, None,
     "A firmware update for your model fixes a start-up fault. Install it from the support site."),
    ("welcome", "news", "Welcome to Ovex Kelvo", 1, None,
     "Thank you for registering. Messages from your computer's maker will appear here."),
    ("battery-tips", "news", "Five ways to a longer battery life", 0, None,
     "Dim the screen, close what you do not use, and keep the battery cool."),
    ("spring-sale", "offers", "Spring sale on docking stations", 0, 30,
     "Docking stations for your model at a spring price, this month only."),
]


class Service:
    def __init__(self, base_url):
        self.base_url = base_url
        self.started = int(time.time())

    def getChannelsForMfgr(self, request):
        mfgr = str(request.get("mfgr", ""))
        return [dict(c, mfgr=mfgr) for c in CHANNELS]

    def getOffersForRecords(self, request, records):
        mfgr = str(request.get("mfgr", ""))
        result, seen = [], set()
        for record in records:
            for sub in record.get("channels", []):
                for page, channel, title, age, expires, _ in OFFERS:
                    published = self.started - age * DAY
                    if channel != sub.get("name") or published <= int(sub.get("lastCheck", 0)) or page in seen:
                        continue
                    seen.add(page)
                    offer = {"id": "%s-%s" % (mfgr.lower(), page), "name": channel, "offer": title,
                             "url": "%s/messages/%s.html" % (self.base_url, page)}
                    if expires is not None:
                        offer["endtime"] = published + expires * DAY
                    result.append(offer)
        return result


class Handler(xmlrpc.server.SimpleXMLRPCRequestHandler):
    rpc_paths = (SERVICE_PATH,)

    def log_message(self, fmt, *args):
        sys.stderr.write("demo-service: %s\n" % (fmt % args))

    def do_GET(self):
        for page, _, title, _, _, text in OFFERS:
            if self.path == "/messages/%s.html" % page:
                body = ("<!DOCTYPE html><html><head><meta charset='utf-8'><title>%s</title></head>"
                        "<body><h1>%s</h1><p>%s</p></body></html>"
                        % (html.escape(title), html.escape(title), html.escape(text))).encode("utf-8")
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                return
        self.send_error(404)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--port-file")
    a = p.parse_args()
    server = xmlrpc.server.SimpleXMLRPCServer(("127.0.0.1", a.port), requestHandler=Handler,
                                              allow_none=False, logRequests=True)
    port = server.server_address[1]
    server.register_instance(Service("http://127.0.0.1:%d" % port))
    if a.port_file:
        with open(a.port_file, "w") as f:
            f.write("%d\n" % port)
    print("PORT %d" % port, flush=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
