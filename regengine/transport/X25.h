#pragma once

#include <QtGlobal>

namespace engine {

class CommDevice;

// The logon to an X.25 packet network over a dialled modem line: a fixed dialogue of the
// texts of numbered string table 803 (entries 2 and 3, the network user and password, stored
// scrambled), ending with the network's connection to the registration service.
class X25 {
public:
    static constexpr qint16 kTextTable = 803;
    static constexpr int kLogonFailed = -108;

    // `device` is not owned.
    explicit X25(CommDevice* device) : device_(device) {}
    virtual ~X25() = default;
    X25(const X25&) = delete;
    X25& operator=(const X25&) = delete;

    virtual void ClearDevice() { device_ = nullptr; }
    // 0 once connected, or when there is no dialled call to log on over; kLogonFailed when
    // the network did not answer a step in time.
    virtual int Logon();

private:
    // Entry `n` of the table, narrowed, as the text a wait looks for.
    static QByteArray Expected(int n);

    CommDevice* device_;
};

}  // namespace engine
