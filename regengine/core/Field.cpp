#include "regengine/core/Field.h"

#include <QTextStream>

#include <cstring>

namespace engine {

Field::Field()
{
    code_.SetFirstByte(0);
}

Field::Field(const FourCC& code, const QString& value) : code_(code), value_(value) {}

void Field::Set(const FourCC& code, const QString& value)
{
    code_ = code;
    value_ = value;
}

void Field::WriteTabbed(QTextStream& stream) const
{
    WriteCodeAndValue(stream, u'\t');
}

void Field::WriteCodeAndValue(QTextStream& stream, QChar separator) const
{
    stream << FieldCodeToString(code_) << QChar(u':') << value_ << separator;
}

void Field::WriteValue(QTextStream& stream) const
{
    stream << value_ << QChar(u'\t');
}

void Field::WriteCode(QTextStream& stream) const
{
    stream << FieldCodeToString(code_) << QChar(u'\t');
}

void Field::Write(QByteArray& sink) const
{
    sink += code_.Bytes();
    sink += ':';
    sink += value_.toUtf8();
    sink += '\0';
}

qsizetype Field::CopyValueBytes(char* buffer, qsizetype n) const
{
    if (buffer == nullptr || n <= 0)
        return 0;
    const qsizetype count = qMin(n, value_.size() * qsizetype(sizeof(char16_t)));
    std::memcpy(buffer, value_.utf16(), size_t(count));
    return count;
}

void Field::CopyValue(QChar* buffer, qsizetype n) const
{
    if (buffer == nullptr || n <= 0)
        return;
    for (qsizetype i = 0; i < n - 1; ++i)
        buffer[i] = i < value_.size() ? value_[i] : QChar();
    buffer[n - 1] = QChar();
}

bool Field::Parse(QStringView text)
{
    if (text.size() < 5 || text[4] != u':')
        return false;
    code_ = FourCC(text.left(4));
    value_ = text.mid(5).toString();
    return true;
}

QString CutText(const QString& text, qsizetype n)
{
    if (text.size() <= n)
        return text;
    if (n > 0 && text[n - 1].isHighSurrogate())
        --n;
    return text.left(n);
}

}  // namespace engine
