#pragma once

#include "regengine/transport/ComLineMgr.h"
#include "regengine/transport/SerialDevice.h"

namespace engine {

// A SerialDevice whose port is the line of a telephony data call: Open dials the init
// string on any data modem. The call owns the port; the device only borrows it.
class TapiSerial : public SerialDevice {
public:
    // `telephony` (not owned) defaults to the machine's own.
    explicit TapiSerial(const QString& portName = {}, platform::Telephony* telephony = nullptr);
    ~TapiSerial() override;

    // Dials the init string; 0 once connected, kFailed otherwise.
    int Open() override;
    // The caller's cancel flag, watched while the call is placed.
    virtual void SetCancelFlag(const int* flag);
    // The line went dead: the port is gone and every wait ends.
    virtual int OnLineClosed();
    virtual ComLineMgr* GetLineMgr() { return &lineMgr_; }

    // Waits on the device's clock and the line manager's too.
    void SetDeviceClock(const Clock* clock);

    // Where the line manager's texts and its dead-line code arrive.
    static void ComMgrCallback(const QString& text, int code, TapiSerial* device);

private:
    ComLineMgr lineMgr_;
};

}  // namespace engine
