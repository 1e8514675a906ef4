#include "platform/hardware/Edid.h"

namespace platform {

namespace {

constexpr int kBaseBlock = 128;
constexpr int kFirstDescriptor = 54;
constexpr int kDescriptorSize = 18;
constexpr unsigned char kNameTag = 0xFC;

}  // namespace

std::optional<EdidInfo> parseEdid(const QByteArray& bytes)
{
    if (bytes.size() < kBaseBlock)
        return std::nullopt;
    static const unsigned char header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (int i = 0; i < 8; ++i) {
        if (b[i] != header[i])
            return std::nullopt;
    }
    unsigned sum = 0;
    for (int i = 0; i < kBaseBlock; ++i)
        sum += b[i];
    if ((sum & 0xFF) != 0)
        return std::nullopt;

    EdidInfo info;
    // Three letters of five bits each, 1 = 'A', big-endian.
    const unsigned id = (unsigned(b[8]) << 8) | b[9];
    for (int shift : {10, 5, 0}) {
        const unsigned letter = (id >> shift) & 0x1F;
        info.manufacturer += (letter >= 1 && letter <= 26) ? QChar(u'A' + letter - 1) : QChar(u'?');
    }
    info.productCode = quint16(b[10] | (b[11] << 8));
    for (int d = 0; d < 4; ++d) {
        const unsigned char* desc = b + kFirstDescriptor + d * kDescriptorSize;
        if (desc[0] != 0 || desc[1] != 0 || desc[3] != kNameTag)
            continue;
        QString name;
        for (int i = 5; i < kDescriptorSize && desc[i] != 0x0A; ++i)
            name += (desc[i] >= 0x20 && desc[i] < 0x7F) ? QChar(desc[i]) : QChar(u'?');
        info.name = name.trimmed();
        break;
    }
    return info;
}

QString edidDisplayName(const EdidInfo& info)
{
    if (!info.name.isEmpty())
        return info.name;
    return info.manufacturer + u' ' + QString::number(info.productCode, 16).rightJustified(4, u'0');
}

}  // namespace platform
