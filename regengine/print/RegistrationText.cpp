#include "regengine/print/RegistrationText.h"

#include "regengine/core/Field.h"
#include "regengine/core/FieldList.h"

namespace engine {

bool IsPrintableField(const Field& field)
{
    const char first = char(field.GetCode()[0]);
    return first != ';' && first != '_' && !(first >= 'a' && first <= 'z');
}

QString PrintableCode(const Field& field)
{
    QString code = FieldCodeToString(field.GetCode());
    const qsizetype nul = code.indexOf(QChar(0));
    if (nul >= 0)
        code.truncate(nul);
    return code;
}

QByteArray BuildRegistrationText(const FieldList& fields)
{
    QString text;
    for (const auto& field : fields) {
        if (!IsPrintableField(*field))
            continue;
        text += PrintableCode(*field);
        text += QLatin1Char(':');
        text += field->GetValue();
        text += QLatin1Char('\t');
    }
    return text.toUtf8();
}

qsizetype Utf8PrefixLength(const QByteArray& utf8, qsizetype start, qsizetype limit)
{
    const qsizetype left = utf8.size() - start;
    if (left <= limit)
        return left;
    qsizetype end = start + limit;
    // A continuation byte (10xxxxxx) at the cut belongs to the character before it.
    while (end > start && (quint8(utf8.at(end)) & 0xC0) == 0x80)
        --end;
    return end - start;
}

QList<QByteArray> SplitUtf8Chunks(const QByteArray& text, qsizetype chunkBytes)
{
    QList<QByteArray> chunks;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype length = Utf8PrefixLength(text, at, chunkBytes);
        if (length == 0)  // not UTF-8 at all: never loop forever on it
            length = qMin(chunkBytes, text.size() - at);
        chunks.append(text.mid(at, length));
        at += length;
    }
    return chunks;
}

}  // namespace engine
