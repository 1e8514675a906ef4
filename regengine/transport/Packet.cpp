#include "regengine/transport/Packet.h"

#include "regengine/core/Displayer.h"
#include "regengine/core/FieldList.h"

namespace engine {

namespace {

constexpr quint16 kLastSequence = 100;
const QByteArray kEndRecord("ZZZZ::\0", 7);
const FourCC kEndCode("ZZZZ");

bool isLowerCaseLetter(quint8 c)
{
    return c >= 'a' && c <= 'z';
}

}  // namespace

Packet::Packet(char type)
{
    Begin(type);
}

void Packet::Clear()
{
    data_.clear();
    length_ = 0;
    checksumAppended_ = false;
}

void Packet::Begin(char type)
{
    Clear();
    sequence_ = sequence_ >= kLastSequence ? 1 : quint16(sequence_ + 1);
    const char header[kHeaderSize] = {1, 0, 0, 0, 0, 0, char(sequence_ & 0xFF), type};
    Append(QByteArrayView(header, kHeaderSize));
}

void Packet::Append(QByteArrayView bytes)
{
    data_.truncate(length_);
    data_.append(bytes);
    length_ = quint32(data_.size());
}

void Packet::Finish()
{
    const quint16 sum = ComputeChecksum();
    const char tail[2] = {char(sum >> 8), char(sum & 0xFF)};
    Append(QByteArrayView(tail, 2));
    checksumAppended_ = true;
    const quint32 declared = length_ - kHeaderSize;
    for (int i = 0; i < 4; ++i)
        data_[2 + i] = char(declared >> (8 * (3 - i)));
}

quint16 Packet::ComputeChecksum() const
{
    if (length_ < 7)
        return 0;
    const quint32 count = checksumAppended_ ? length_ - kHeaderSize : length_ - 6;
    quint16 sum = 0;
    for (quint32 i = 0; i < count && 6 + i < length_; ++i)
        sum = quint16(sum + quint8(data_[qsizetype(6 + i)]));
    return sum;
}

quint32 Packet::GetDeclaredLength() const
{
    if (length_ < 6)
        return 0;
    quint32 n = 0;
    for (int i = 2; i < 6; ++i)
        n = n << 8 | quint8(data_[i]);
    return n;
}

quint16 Packet::GetStoredChecksum() const
{
    if (length_ < 2)
        return 0;
    return quint16(quint8(data_[qsizetype(length_ - 2)]) << 8 | quint8(data_[qsizetype(length_ - 1)]));
}

bool Packet::GetHeader(char out[kHeaderSize]) const
{
    if (length_ < 6)
        return false;
    for (int i = 0; i < kHeaderSize; ++i)
        out[i] = quint32(i) < length_ ? data_[i] : '\0';
    return true;
}

char Packet::GetType() const
{
    return length_ >= quint32(kHeaderSize) ? data_[7] : '\0';
}

bool Packet::IsValid(bool dataRequired) const
{
    if (length_ < quint32(kHeaderSize) || GetDeclaredLength() + kHeaderSize != length_)
        return false;
    // What a received packet holds is judged as complete, checksum included.
    quint16 sum = 0;
    for (quint32 i = 6; i + 2 < length_; ++i)
        sum = quint16(sum + quint8(data_[qsizetype(i)]));
    if (sum != GetStoredChecksum())
        return false;
    return !dataRequired || GetType() == kData;
}

bool Packet::AddFields(const FieldList& list, quint32 flags, QString* error)
{
    const auto refuse = [error](const QString& why) {
        if (error != nullptr)
            *error = why;
        return false;
    };
    QByteArray records;
    for (const auto& field : list) {
        const quint8 first = field->GetCode()[0];
        if ((flags & kSkipLowerCase) && isLowerCaseLetter(first))
            continue;
        if ((flags & kSkipUnderscore) && first == '_')
            continue;
        const QString code = FieldCodeToString(field->GetCode());
        if (field->GetCode() == kEndCode)
            return refuse(QStringLiteral("The field %1 cannot be sent: its code ends the record").arg(code));
        if (field->GetValue().contains(QChar(u'\0')))
            return refuse(QStringLiteral("The field %1 cannot be sent: its value holds a NUL character").arg(code));
        field->Write(records);
    }
    records += kEndRecord;
    // The checksum follows the payload; the declared length counts both.
    const quint64 before = length_ > quint32(kHeaderSize) ? length_ - kHeaderSize : 0;
    const quint64 payload = before + quint64(records.size());
    const quint64 declared = payload + 2;
    if (declared > kMaxDeclaredLength)
        return refuse(QStringLiteral("The record is %1 bytes long; a packet carries at most %2")
                          .arg(payload)
                          .arg(kMaxDeclaredLength - 2));
    Append(records);
    if (error != nullptr)
        error->clear();
    return true;
}

void Packet::ReadFields(Displayer* displayer, FieldList* list, quint32 flags) const
{
    if (list != nullptr)
        list->RemoveAll();
    const char* bytes = data_.constData();
    // A received packet's records end where its checksum begins.
    const quint32 end = checksumAppended_ && length_ >= quint32(kHeaderSize) + 2 ? length_ - 2 : length_;
    quint32 pos = kHeaderSize;
    while (end >= pos + 3) {
        if (end < pos + 4)
            break;
        const FourCC code = FourCC::FromBytes(QByteArrayView(bytes + pos, 4));
        if (code == kEndCode)
            break;
        const quint32 start = qMin(pos + 5, end);
        quint32 stop = start;
        while (stop < end && bytes[stop] != '\0')
            ++stop;
        const QString value = QString::fromUtf8(bytes + start, qsizetype(stop - start));
        pos = stop + 1;
        const quint8 first = code[0];
        if ((flags & kSkipPrivate) && (first == ';' || first == '_' || isLowerCaseLetter(first)))
            continue;
        if (displayer != nullptr)
            displayer->WriteLine(QStringLiteral("< ") + FieldCodeToString(code) + QStringLiteral(" >  ") + value);
        if (list != nullptr)
            list->SetField(code, value);
    }
}

}  // namespace engine
