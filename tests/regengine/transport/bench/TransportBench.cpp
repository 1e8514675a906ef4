// Measurements of the modem transports, run by hand (never by ctest):
//   regengine_transport_bench [packets=20] [bytes=1000]
// 1. A read with nothing queued: it must return at once (the event pump's own few
//    milliseconds aside), never wait for the line.
// 2. Packets sent to a peer on a pseudo-terminal that acknowledges each, and packets
//    received from one that waits for each acknowledgement: packets and bytes per second.
#include "regengine/core/FieldList.h"
#include "regengine/transport/Packet.h"
#include "regengine/transport/PacketExchanger.h"
#include "regengine/transport/SerialDevice.h"

#include "tests/regengine/transport/TransportTestSupport.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using namespace engine;
using Steady = std::chrono::steady_clock;

namespace {

QByteArray readPacket(transporttest::Pty& pty)
{
    QByteArray got;
    const auto until = Steady::now() + std::chrono::seconds(5);
    qsizetype want = 6;
    while (got.size() < want && Steady::now() < until) {
        char buffer[4096];
        const ssize_t n = ::read(pty.master, buffer, size_t(qMin<qsizetype>(want - got.size(), sizeof buffer)));
        if (n > 0)
            got.append(buffer, n);
        else
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (got.size() == 6 && want == 6)
            want = 8 + ((quint8(got[2]) << 24) | (quint8(got[3]) << 16) | (quint8(got[4]) << 8) | quint8(got[5]));
    }
    return got;
}

Packet dataPacket(int bytes)
{
    FieldList list;
    list.SetField(FourCC("DATA"), QString(bytes, u'x'));
    Packet packet;
    packet.AddFields(list);
    packet.Finish();
    return packet;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int packets = argc > 1 ? std::atoi(argv[1]) : 20;
    const int bytes = argc > 2 ? std::atoi(argv[2]) : 1000;
    const QByteArray ack = QByteArray::fromHex("0100000000020159005a");

    {
        transporttest::Pty pty;
        SerialDevice device(pty.path);
        device.Open();
        std::vector<double> us;
        char buffer[16];
        for (int i = 0; i < 2000; ++i) {
            qint32 count = 0;
            const auto t0 = Steady::now();
            device.Read(buffer, sizeof buffer, &count);
            us.push_back(std::chrono::duration<double, std::micro>(Steady::now() - t0).count());
        }
        std::sort(us.begin(), us.end());
        std::printf("idle read: median %.0f us, 99th %.0f us, max %.0f us (2000 reads)\n", us[1000], us[1980],
                    us.back());
    }
    {
        transporttest::Pty pty;
        SerialDevice device(pty.path);
        device.Open();
        PacketExchanger exchanger(1, &device);
        const Packet packet = dataPacket(bytes);
        std::thread peer([&] {
            for (int i = 0; i < packets; ++i) {
                if (readPacket(pty).isEmpty())
                    return;
                pty.write(ack);
            }
        });
        const auto t0 = Steady::now();
        for (int i = 0; i < packets; ++i)
            exchanger.SendPacket(packet);
        const double s = std::chrono::duration<double>(Steady::now() - t0).count();
        peer.join();
        std::printf("send: %d packets of %u bytes in %.2f s: %.1f packets/s, %.0f bytes/s\n", packets,
                    unsigned(packet.GetLength()), s, packets / s, packets * double(packet.GetLength()) / s);
    }
    {
        transporttest::Pty pty;
        SerialDevice device(pty.path);
        device.Open();
        PacketExchanger exchanger(0, &device);
        std::vector<QByteArray> wire;
        for (int i = 0; i < packets; ++i) {
            Packet p;
            for (int k = 0; k < i; ++k)
                p.Begin(Packet::kData);
            FieldList list;
            list.SetField(FourCC("DATA"), QString(bytes, u'x'));
            p.AddFields(list);
            p.Finish();
            wire.push_back(p.Bytes().toByteArray());
        }
        std::thread peer([&] {
            for (const QByteArray& w : wire) {
                pty.write(w);
                if (readPacket(pty).isEmpty())
                    return;
            }
        });
        const auto t0 = Steady::now();
        for (int i = 0; i < packets; ++i) {
            Packet in;
            exchanger.ReceivePacket(in, true, true, 0);
        }
        const double s = std::chrono::duration<double>(Steady::now() - t0).count();
        peer.join();
        std::printf("receive: %d packets of %lld bytes in %.3f s: %.0f packets/s\n", packets, qint64(wire[0].size()), s,
                    packets / s);
    }
    return 0;
}
