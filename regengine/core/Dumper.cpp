#include "regengine/core/Dumper.h"

#include "regengine/core/Displayer.h"

#include "platform/text/Format.h"

namespace engine {

Dumper::~Dumper() = default;

void Dumper::Dump(const QString& title, QByteArrayView data, long offset)
{
    if (displayer_ == nullptr)
        return;
    const long length = long(data.size());
    if (!title.isNull())
        displayer_->Write(platform::formatText(QStringLiteral("\r\n%s %ld  @ %ld"), title, length, offset), false);
    QString line;
    QString chars;
    int first = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        // Each new line of ten ends the one before; the first ends the title line.
        if (i % 10 == 0) {
            displayer_->WriteLine(line + chars, true);
            line = platform::formatText(QStringLiteral("%4d   "), first);
            chars = QStringLiteral("     ||  ");
            first += 10;
        } else if (i % 5 == 0) {
            line += QStringLiteral("   ");
            chars += QStringLiteral("   ");
        }
        const auto byte = static_cast<unsigned char>(data[i]);
        line += platform::formatText(QStringLiteral("%3hx"), unsigned(byte));
        chars += byte < 32 || byte >= 127 ? QChar(u'.') : QChar(char16_t(byte));
    }
    if (!line.isEmpty())
        displayer_->WriteLine(line + chars, true);
}

}  // namespace engine
