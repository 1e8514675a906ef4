#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

namespace engine {

class Displayer;
class FieldList;

// One block of the packet protocol: an 8-byte header (1, 0, the declared length, the
// sequence number and the type), a payload and a 16-bit checksum, all numbers big-endian.
// Data packets carry field records: code, ':', the value in UTF-8 and a 0 byte each, up to
// the end record "ZZZZ::" and its 0 byte.
class Packet {
public:
    static constexpr char kData = 'D';
    static constexpr char kAck = 'Y';
    static constexpr char kNak = 'N';
    static constexpr int kHeaderSize = 8;
    // The longest declared length either end of the exchange takes: the receiver reads no
    // packet declaring more, so the writer makes none.
    static constexpr quint32 kMaxDeclaredLength = 0x10000;

    // AddFields flag bits: leave out codes that begin with a lower-case letter, and those
    // that begin with '_'.
    static constexpr quint32 kSkipLowerCase = 0x1;
    static constexpr quint32 kSkipUnderscore = 0x2;
    // ReadFields flag bit: leave out codes that begin with ';', '_' or a lower-case letter.
    static constexpr quint32 kSkipPrivate = 0x1;

    // Begin(type).
    explicit Packet(char type = kData);

    // No bytes, no checksum.
    void Clear();
    // Clear, the next sequence number (1 to 100, then 1 again) and the header.
    void Begin(char type);
    void Append(QByteArrayView bytes);
    // Appends the checksum and writes the declared length into the header.
    void Finish();
    // The sum of the bytes from offset 6 up to the checksum (or the end while there is none).
    quint16 ComputeChecksum() const;
    // 0 for fewer than 6 bytes.
    quint32 GetDeclaredLength() const;
    // The last two bytes; 0 for fewer than two.
    quint16 GetStoredChecksum() const;
    // The first 8 bytes into `out`; false for fewer than 6.
    bool GetHeader(char out[kHeaderSize]) const;
    void SetChecksumFlag(bool on) { checksumAppended_ = on; }
    bool HasChecksum() const { return checksumAppended_; }
    // At least 8 bytes, the declared length matches the size, the checksum matches, and the
    // type is 'D' when data is required.
    bool IsValid(bool dataRequired) const;

    // One record for each field in the list's order (flag bits above), then the end record.
    // Refuses, appending nothing, what would not read back as the same fields: a value with a
    // NUL (which ends a record), a field coded "ZZZZ" (which ends the list), or records that
    // would make the packet longer than kMaxDeclaredLength. `error` says which.
    bool AddFields(const FieldList& list, quint32 flags = 0, QString* error = nullptr);
    // Clears `list` (when given) and reads the records from offset 8 up to the end record.
    // The displayer (when given) gets "< CODE >  value" for each record read.
    void ReadFields(Displayer* displayer, FieldList* list, quint32 flags = 0) const;

    QByteArrayView Bytes() const { return QByteArrayView(data_.constData(), length_); }
    quint32 GetLength() const { return length_; }
    quint16 GetSequence() const { return sequence_; }
    char GetType() const;

private:
    QByteArray data_;
    quint16 sequence_ = 0;
    bool checksumAppended_ = false;
    quint32 length_ = 0;
};

}  // namespace engine
