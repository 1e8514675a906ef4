// Any bytes as what the far end of a modem call sends. The exchanger receives packets from
// them with acknowledgements, as the registration run does, and the records of each packet
// are read back; nothing may crash, leak, read past the bytes or hand out a record that
// reaches beyond its packet. The bytes are also read as one packet straight away, and, cut
// into fields, written as a record: whatever the writer takes must read back as the same
// fields, so no value can forge a record of its own.
#include "regengine/core/Clock.h"
#include "regengine/core/FieldList.h"
#include "regengine/transport/CommDevice.h"
#include "regengine/transport/Packet.h"
#include "regengine/transport/PacketExchanger.h"
#include "regengine/transport/RemoteCommand.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Time passes only when the code sleeps, so its waits cost nothing.
class StepClock final : public engine::Clock {
public:
    qint64 MonotonicMs() const override { return now_; }
    qint64 CurrentTime() const override { return now_ / 1000; }
    void SleepMs(qint64 ms) const override { now_ += ms > 0 ? ms : 0; }

private:
    mutable qint64 now_ = 0;
};

// The far end's bytes, handed out in the pieces a line would; what is sent is dropped.
class ReplayDevice final : public engine::CommDevice {
public:
    ReplayDevice(const uint8_t* data, size_t size) : data_(reinterpret_cast<const char*>(data)), size_(size) {}
    int Open() override { return 0; }
    int Close() override { return 0; }
    int SendPtr(const char*, qint32) override { return 0; }
    int Read(char* buffer, qint32 wanted, qint32* count) override
    {
        *count = 0;
        const size_t left = size_ - pos_;
        if (left == 0 || wanted <= 0)
            return 0;
        // Odd positions give one byte at a time, so reads also come in short pieces.
        const size_t n = (pos_ % 2 == 1) ? 1 : (left < size_t(wanted) ? left : size_t(wanted));
        std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        *count = qint32(n);
        return 0;
    }
    qint32 BytesWaiting() override { return qint32(size_ - pos_); }
    int ClearError() override
    {
        ClearAbort();
        return 0;
    }

private:
    const char* data_;
    size_t size_;
    size_t pos_ = 0;
};

void readRecords(const engine::Packet& packet)
{
    const QByteArrayView bytes = packet.Bytes();
    quint32 position = 0;
    engine::RemoteRecord record;
    int count = 0;
    while (engine::ReadRecord(packet, position, record)) {
        const char* begin = bytes.constData();
        if (record.bytes.constData() < begin ||
            record.bytes.constData() + record.bytes.size() > begin + bytes.size() - 2 || ++count > bytes.size()) {
            std::fprintf(stderr, "record outside its packet\n");
            std::abort();
        }
    }
    engine::FieldList list;
    packet.ReadFields(nullptr, &list, count % 2);
}

// Fields from the bytes: four code bytes, a length byte, that many value bytes (UTF-8).
engine::FieldList fieldsOf(const uint8_t* data, size_t size)
{
    engine::FieldList list;
    size_t pos = 0;
    while (pos + 5 <= size) {
        const char* at = reinterpret_cast<const char*>(data + pos);
        const size_t length = data[pos + 4] < size - pos - 5 ? data[pos + 4] : size - pos - 5;
        list.SetField(engine::FourCC::FromBytes(QByteArrayView(at, 4)), QString::fromUtf8(at + 5, qsizetype(length)));
        pos += 5 + length;
    }
    return list;
}

void writeAndReadBack(const uint8_t* data, size_t size)
{
    const engine::FieldList written = fieldsOf(data, size);
    engine::Packet packet;
    if (!packet.AddFields(written))
        return;
    packet.Finish();
    engine::FieldList read;
    packet.ReadFields(nullptr, &read);
    bool same = read.GetCount() == written.GetCount();
    for (auto a = written.begin(), b = read.begin(); same && a != written.end(); ++a, ++b)
        same = (*a)->GetCode() == (*b)->GetCode() && (*a)->GetValue() == (*b)->GetValue();
    if (!same) {
        std::fprintf(stderr, "%d fields written, %d read back differently\n", written.GetCount(), read.GetCount());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static StepClock clock;
    ReplayDevice device(data, size);
    device.SetClock(&clock);
    engine::PacketExchanger exchanger(0, &device);
    try {
        for (int i = 0; i < 3; ++i) {
            engine::Packet packet;
            exchanger.ReceivePacket(packet, true, i == 1, 0);
            if (!packet.IsValid(false)) {
                std::fprintf(stderr, "an invalid packet was handed out\n");
                std::abort();
            }
            readRecords(packet);
        }
    } catch (int) {}

    engine::Packet raw;
    raw.Clear();
    raw.Append(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    raw.SetChecksumFlag(true);
    raw.IsValid(true);
    readRecords(raw);
    writeAndReadBack(data, size);
    return 0;
}
