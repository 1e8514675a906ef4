#include "platform/registry/RegValue.h"

namespace platform {

namespace {

void appendUtf16le(QByteArray& out, const QString& s)
{
    for (QChar c : s) {
        out.append(char(c.unicode() & 0xff));
        out.append(char(c.unicode() >> 8));
    }
}

void appendZeroChar(QByteArray& out)
{
    out.append(2, '\0');
}

void appendLittleEndian(QByteArray& out, quint64 v, int size)
{
    for (int i = 0; i < size; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

}  // namespace

RegValue RegValue::fromString(const QString& s)
{
    RegValue v;
    v.type = RegType::String;
    v.text = s;
    return v;
}

RegValue RegValue::fromDWord(quint32 n)
{
    RegValue v;
    v.type = RegType::DWord;
    v.number = n;
    return v;
}

RegValue RegValue::fromQWord(quint64 n)
{
    RegValue v;
    v.type = RegType::QWord;
    v.number = n;
    return v;
}

RegValue RegValue::fromMultiString(const QStringList& list)
{
    RegValue v;
    v.type = RegType::MultiString;
    v.strings = list;
    return v;
}

RegValue RegValue::fromBinary(const QByteArray& data)
{
    RegValue v;
    v.type = RegType::Binary;
    v.bytes = data;
    return v;
}

QByteArray RegValue::rawBytes() const
{
    QByteArray out;
    switch (type) {
    case RegType::String:
    case RegType::ExpandString:
        appendUtf16le(out, text);
        appendZeroChar(out);
        break;
    case RegType::DWord: appendLittleEndian(out, number, 4); break;
    case RegType::QWord: appendLittleEndian(out, number, 8); break;
    case RegType::MultiString:
        for (const QString& s : strings) {
            appendUtf16le(out, s);
            appendZeroChar(out);
        }
        appendZeroChar(out);
        break;
    case RegType::Binary: out = bytes; break;
    }
    return out;
}

bool RegValue::operator==(const RegValue& other) const
{
    if (type != other.type)
        return false;
    switch (type) {
    case RegType::String:
    case RegType::ExpandString: return text == other.text;
    case RegType::DWord: return quint32(number) == quint32(other.number);
    case RegType::QWord: return number == other.number;
    case RegType::MultiString: return strings == other.strings;
    case RegType::Binary: return bytes == other.bytes;
    }
    return false;
}

}  // namespace platform
