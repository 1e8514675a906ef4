#include "launcher/app/TextResource.h"

#include "platform/resources/Resources.h"
#include "platform/text/Ascii.h"

#include <QStringDecoder>

using namespace engine;

namespace launcher {

QString DecodeTextResource(const QByteArray& bytes)
{
    QStringDecoder::Encoding encoding = QStringDecoder::Utf8;
    if (bytes.startsWith("\xFF\xFE"))
        encoding = QStringDecoder::Utf16LE;
    else if (bytes.startsWith("\xFE\xFF"))
        encoding = QStringDecoder::Utf16BE;
    // The mark stays, as the resource holds it; whoever reads a line drops it.
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}

std::optional<QString> LoadTextResource(const QString& module, const QString& prefix, const LangCode& language,
                                        QString* found)
{
    // Resource names never were case-sensitive, so "language=fr" finds the FR resources.
    const QString code = platform::asciiUpper(LangCode::Translate(language).GetString());
    const std::optional<QByteArray> bytes =
        platform::findLocalizedResource(module, QStringLiteral("TEXT"), prefix, code, found);
    if (!bytes)
        return std::nullopt;
    return DecodeTextResource(*bytes);
}

}  // namespace launcher
