#include "launcher/update/ResUpdateChecksum.h"

namespace launcher {

quint32 ResUpdateChecksum(const QString& text)
{
    quint32 sum = 0;
    auto add = [&sum](quint8 byte) {
        sum += byte;
        sum = (sum << 1) | (sum >> 31);
    };
    for (QChar c : text) {
        add(quint8(c.unicode() & 0xFF));
        add(quint8(c.unicode() >> 8));
    }
    return sum;
}

}  // namespace launcher
