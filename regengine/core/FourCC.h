#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>

namespace engine {

class QmStrStream;

// A four-character code: four raw bytes, the first character first, no terminator. It names
// fields, header entries, string tables, languages, prefs records and page elements, and it
// goes to files and wires as these four bytes in this order.
class FourCC {
public:
    // "????": the code of something not yet named.
    FourCC();
    // The low byte of each of the first four characters; a shorter text stops at its end and
    // the remaining bytes are 0 (as a three-letter text with its terminator gives).
    explicit FourCC(QStringView text);
    // The first four bytes, stopping at a terminator; the remaining bytes are 0.
    explicit FourCC(const char* text);
    // Reads the code from a script stream as ReadFourCC does; "????" when that fails.
    explicit FourCC(QmStrStream& stream);

    // Four bytes from a file or a wire; fewer bytes are padded with 0.
    static FourCC FromBytes(QByteArrayView bytes);

    void SetFirstByte(quint8 byte) { bytes_[0] = byte; }
    // The low bytes of the first four characters of `text`, as the text constructor takes them.
    void AssignWide(QStringView text);

    bool IsEqual(const FourCC& other) const { return bytes_ == other.bytes_; }
    bool operator==(const FourCC& other) const { return bytes_ == other.bytes_; }
    bool operator!=(const FourCC& other) const { return bytes_ != other.bytes_; }
    quint8 operator[](int i) const { return bytes_[static_cast<size_t>(i & 3)]; }

    // The four bytes into `out`, which must hold four; no terminator is added.
    void CopyTo(char* out) const;
    QByteArray Bytes() const;
    // The four bytes zero-extended to four characters (a 0 byte stays a character).
    QString ToWide() const;

private:
    std::array<quint8, 4> bytes_;
};

// The code as a four-character text; bytes above 127 are read as Latin-1, the 8-bit code page
// this port uses, and a 0 byte stays a character, so the text always has four characters.
QString FieldCodeToString(const FourCC& code);

// Skips blanks, then takes the low bytes of exactly the next four characters, blanks
// included. With fewer than four characters left the code is left as it was and the stream
// fails.
bool ReadFourCC(QmStrStream& stream, FourCC& code);

size_t qHash(const FourCC& code, size_t seed = 0) noexcept;

}  // namespace engine
