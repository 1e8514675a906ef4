#pragma once

// What both reply benchmarks measure the readers against: a getOffersForRecords reply
// written by CPython itself, CPython's own time for reading it, and expat alone.

#include <QByteArray>

#include <expat.h>

namespace xmlrpcbench {

// python3 -c kMakeReply <file> <offers>
inline constexpr const char* kMakeReply = R"(
import sys, xmlrpc.client
n = int(sys.argv[2])
channels = ["critical_updates", "news", "offers"]
offers = [{"id": "offer-%05d" % i, "name": channels[i % 3],
           "offer": "Offer %d: new for your computer" % i,
           "url": "https://messages.example/pages/offer-%05d.html" % i,
           "endtime": 1900000000 + i}
          for i in range(n)]
open(sys.argv[1], "w", encoding="utf-8").write(xmlrpc.client.dumps((offers,), methodresponse=True))
)";

// python3 -c kTimePython <file> <runs>: prints the best and the median seconds.
// loads' result is dropped before the clock is read again, so freeing it is in the figure.
inline constexpr const char* kTimePython = R"(
import sys, time, xmlrpc.client
data = open(sys.argv[1], "rb").read()
times = []
for _ in range(int(sys.argv[2])):
    t = time.perf_counter()
    xmlrpc.client.loads(data)
    times.append(time.perf_counter() - t)
times.sort()
print(times[0], times[len(times) // 2])
)";

inline void XMLCALL noStart(void*, const XML_Char*, const XML_Char**) {}
inline void XMLCALL noEnd(void*, const XML_Char*) {}
inline void XMLCALL noText(void*, const XML_Char*, int) {}

// The floor for any reader on expat: the parse with handlers that do nothing.
inline bool expatAlone(const QByteArray& xml)
{
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetElementHandler(parser, &noStart, &noEnd);
    XML_SetCharacterDataHandler(parser, &noText);
    const bool ok = XML_Parse(parser, xml.constData(), int(xml.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return ok;
}

}  // namespace xmlrpcbench
