#!/usr/bin/env python3
"""Writes the reply reader's seed corpus: replies as CPython's XML-RPC library writes them,
faults, and the odd shapes a reader must also get through. Run again after changing it;
files found by fuzzing (named after their finding) are kept as they are."""
import os
import sys
import xmlrpc.client as x

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)

def reply(*values):
    return x.dumps(values, methodresponse=True).encode("utf-8")

def fault(code, text):
    return x.dumps(x.Fault(code, text), methodresponse=True).encode("utf-8")

channels = ["critical_updates", "news", "offers"]
offers = [{"id": "offer-%05d" % i, "name": channels[i % 3],
           "offer": "Offer %d: new for your computer" % i,
           "url": "https://messages.example/pages/offer-%05d.html" % i,
           "endtime": 1900000000 + i} for i in range(5)]

V = "<?xml version=\"1.0\"?><methodResponse><params><param><value>%s</value></param></params></methodResponse>"

seeds = {
    "offers": reply(offers),
    "channels": reply([{"name": c} for c in channels]),
    "string": reply("hello"),
    "markup_text": reply("a < b & c > \"d\" 'e' ]]>"),
    "unicode_text": reply("gr\u00fc\u00df \u20ac \U0001F600"),
    "empty_string": reply(""),
    "int": reply(-42),
    "int_limits": reply([2**31 - 1, -2**31]),
    "booleans": reply([True, False]),
    "doubles": reply([3.25, -1e300, 1.5e-07, 0.0]),
    "datetime": reply(x.DateTime("19980717T14:08:55")),
    "base64": reply(x.Binary(b"\x00\x01binary\xff" * 10)),
    "empty_vectors": reply([[], {}]),
    "nested": reply({"list": [1, [2, [3, {"k": "v"}]]], "s": {"t": {"u": True}}}),
    "fault": fault(4, "Too many requests"),
    "fault_markup": fault(-32601, "method <getOffers> & co not found"),
    # shapes CPython does not write
    "bare_value": (V % "plain text").encode(),
    "empty_value": (V % "").encode(),
    "compact_struct": (V % "<struct><member><name>a</name><value><i4>1</i4></value></member>"
                           "<member><name></name><value/></member></struct>").encode(),
    "references": (V % "<string>&lt;&#65;&#x1F600;&amp;&quot;&apos;&gt;</string>").encode(),
    "cdata_comments_pis": ("<?xml version='1.0'?><!--c--><?p q?><methodResponse><params><param><value>"
                           "<string>a<![CDATA[<b>]]><!-- x -->c<?pi?></string></value></param></params>"
                           "</methodResponse><!--end-->").encode(),
    "attributes": (V % "<string lang='en' x:y=\"&amp;\">v</string>").encode(),
    "crlf": (V % "<string>a\r\nb\rc</string>").replace("><", ">\r\n<").encode(),
    "latin1": ("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><methodResponse><params><param><value>"
               "<string>caf\u00e9</string></value></param></params></methodResponse>").encode("latin-1"),
    "utf16": ("<?xml version=\"1.0\" encoding=\"UTF-16\"?><methodResponse><params><param><value>"
              "<string>gr\u00fc\u00df</string></value></param></params></methodResponse>").encode("utf-16"),
    "us_ascii": ("<?xml version=\"1.0\" encoding=\"US-ASCII\"?>" + (V % "x")[21:]).encode(),
    "doctype": ("<?xml version=\"1.0\"?><!DOCTYPE methodResponse [<!ENTITY a \"b\">]>" + (V % "&a;")[21:]).encode(),
    "dashed_datetime": (V % "<dateTime.iso8601>1998-07-17T14:08:55Z</dateTime.iso8601>").encode(),
    "bad_int": (V % "<int>12abc</int>").encode(),
    "text_and_element": (V % "t<int>1</int>").encode(),
}

for name, data in seeds.items():
    with open(os.path.join(here, name + ".xml"), "wb") as f:
        f.write(data)
print("wrote %d seeds to %s" % (len(seeds), here), file=sys.stderr)
