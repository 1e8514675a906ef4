#pragma once

#include "regengine/core/FourCC.h"

#include <QByteArray>
#include <QString>

class QTextStream;

namespace engine {

// One field of a registration record: a four-character code and a text value.
class Field {
public:
    // An empty value and a code whose first byte is 0 ("\0???"), so it matches no real code.
    Field();
    Field(const FourCC& code, const QString& value);

    void Set(const FourCC& code, const QString& value);
    FourCC GetCode() const { return code_; }
    const QString& GetValue() const { return value_; }
    void SetValue(const QString& value) { value_ = value; }

    // Text forms on a wide output stream.
    // code ":" value "\t"
    void WriteTabbed(QTextStream& stream) const;
    // code ":" value separator; the code as its four characters (FieldCodeToString).
    void WriteCodeAndValue(QTextStream& stream, QChar separator) const;
    // value "\t"
    void WriteValue(QTextStream& stream) const;
    // code "\t"
    void WriteCode(QTextStream& stream) const;

    // The byte form of records on the wire and in files: the four code bytes, ":", the value
    // as UTF-8 and one 0 byte, appended to `sink`.
    void Write(QByteArray& sink) const;

    // The value's UTF-16 bytes (host order, as the value is held), at most `n` bytes and no
    // terminator. Returns the number of bytes written; nothing for n <= 0.
    qsizetype CopyValueBytes(char* buffer, qsizetype n) const;
    // At most n - 1 characters of the value, the rest of the first n - 1 positions 0, and a 0
    // at position n - 1. Writes nothing for n <= 0.
    void CopyValue(QChar* buffer, qsizetype n) const;

    // "CODE:value": sets code and value when the text has at least five characters and ":"
    // at index 4; otherwise changes nothing and gives false.
    bool Parse(QStringView text);

private:
    FourCC code_;
    QString value_;
};

// At most n characters of `text`; a cut never splits a surrogate pair, so the text stays
// valid UTF-16 (it may then be one shorter).
QString CutText(const QString& text, qsizetype n);

}  // namespace engine
