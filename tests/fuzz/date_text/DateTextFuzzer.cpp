// Any bytes as a date text, the first byte choosing the zone it is local to (fixed offsets
// from UTC-12 to UTC+14). A text that parses names a time whose local date, written back,
// is the text's own date; a text that does not is shown unchanged.
#include "client/RecordMap.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace client;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const char* const zones[] = {"UTC0", "PST8", "<-12>12", "<+14>-14", "JST-9", "<+0530>-5:30", "HST10"};
    static int current = -1;
    const int zone = data[0] % int(std::size(zones));
    if (zone != current) {
        qputenv("TZ", zones[zone]);
        tzset();
        current = zone;
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qint64 time = ParseIsoDateTime(text);
    if (time == -1) {
        if (FormatDisplayDate(text) != text)
            std::abort();
        return 0;
    }
    const QString shown = DateTextFromTime(time);
    if (shown != text.left(10)) {
        std::fprintf(stderr, "%s in %s reads as %lld, shown as %s\n", qPrintable(text), zones[zone],
                     static_cast<long long>(time), qPrintable(shown));
        std::abort();
    }
    if (ParseIsoDateTime(shown) > time || ParseIsoDateTime(shown) + 86400 <= time)
        std::abort();
    return 0;
}
