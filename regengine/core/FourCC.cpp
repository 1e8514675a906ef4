#include "regengine/core/FourCC.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"

#include <QHashFunctions>

namespace engine {

FourCC::FourCC() : bytes_{'?', '?', '?', '?'} {}

FourCC::FourCC(QStringView text) : bytes_{0, 0, 0, 0}
{
    AssignWide(text);
}

FourCC::FourCC(const char* text) : bytes_{0, 0, 0, 0}
{
    for (size_t i = 0; text != nullptr && i < 4 && text[i] != '\0'; ++i)
        bytes_[i] = static_cast<quint8>(text[i]);
}

FourCC::FourCC(QmStrStream& stream) : FourCC()
{
    ReadFourCC(stream, *this);
}

FourCC FourCC::FromBytes(QByteArrayView bytes)
{
    FourCC code;
    for (qsizetype i = 0; i < 4; ++i)
        code.bytes_[static_cast<size_t>(i)] = i < bytes.size() ? static_cast<quint8>(bytes[i]) : 0;
    return code;
}

void FourCC::AssignWide(QStringView text)
{
    for (qsizetype i = 0; i < 4; ++i)
        bytes_[static_cast<size_t>(i)] = i < text.size() ? static_cast<quint8>(text[i].unicode() & 0xFF) : 0;
}

void FourCC::CopyTo(char* out) const
{
    for (size_t i = 0; i < 4; ++i)
        out[i] = static_cast<char>(bytes_[i]);
}

QByteArray FourCC::Bytes() const
{
    return QByteArray(reinterpret_cast<const char*>(bytes_.data()), 4);
}

QString FourCC::ToWide() const
{
    QString text(4, QChar());
    for (size_t i = 0; i < 4; ++i)
        text[qsizetype(i)] = QChar(static_cast<char16_t>(bytes_[i]));
    return text;
}

QString FieldCodeToString(const FourCC& code)
{
    return code.ToWide();
}

bool ReadFourCC(QmStrStream& stream, FourCC& code)
{
    SkipScriptBlanks(stream);
    QString four;
    for (int i = 0; i < 4; ++i) {
        QChar c;
        if (!stream.get(c))
            return false;
        four += c;
    }
    code.AssignWide(four);
    return true;
}

size_t qHash(const FourCC& code, size_t seed) noexcept
{
    return ::qHash(code.Bytes(), seed);
}

}  // namespace engine
