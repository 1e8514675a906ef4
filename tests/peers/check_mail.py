#!/usr/bin/env python3
"""Reads a mail as a strict RFC 5322 reader does and prints what it found as JSON: the
From display name and address, To, Subject, the MIME headers, the body decoded from its
transfer encoding (base64 of the bytes) and the longest line of the raw message. Exits 1,
naming the defect, when the parser or any header finds one.

Usage: check_mail.py MESSAGE-FILE
"""
import base64
import email
import email.policy
import json
import sys


def main():
    raw = open(sys.argv[1], "rb").read()
    try:
        msg = email.message_from_bytes(raw, policy=email.policy.strict)
        defects = list(msg.defects)
        for name in msg.keys():
            defects += [f"{name}: {d}" for d in msg[name].defects]
        if defects:
            raise ValueError("; ".join(str(d) for d in defects))
        sender = msg["From"].addresses
        if len(sender) != 1:
            raise ValueError("From holds %d addresses" % len(sender))
        body = msg.get_payload(decode=True)
        report = {
            "from_name": sender[0].display_name,
            "from_address": sender[0].addr_spec,
            "to": [a.addr_spec for a in msg["To"].addresses],
            "subject": str(msg["Subject"]),
            "mime_version": str(msg["MIME-Version"]),
            "content_type": msg.get_content_type(),
            "charset": msg.get_content_charset(),
            "transfer_encoding": str(msg["Content-Transfer-Encoding"]),
            "has_date": msg["Date"] is not None and msg["Date"].datetime is not None,
            "body": base64.b64encode(body).decode(),
            "longest_line": max(len(line.rstrip(b"\r")) for line in raw.split(b"\n")),
        }
    except Exception as e:
        print("defect: %s: %s" % (type(e).__name__, e), file=sys.stderr)
        return 1
    json.dump(report, sys.stdout)
    return 0


if __name__ == "__main__":
    sys.exit(main())
