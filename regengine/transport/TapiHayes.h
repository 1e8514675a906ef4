#pragma once

#include "regengine/transport/HayesDevice.h"

namespace engine {

// A Hayes modem dialled through the telephony line manager.
class TapiHayes : public HayesDevice {
public:
    explicit TapiHayes(const QString& portName = {}, platform::Telephony* telephony = nullptr);
    ~TapiHayes() override;

    // Places the call; true once connected with a usable line.
    virtual bool Dial(const char* number);
    // Drops the call, closes the line and telephony.
    virtual int HangUp();
    // Any data modem.
    virtual void ResetDeviceIndex() { deviceIndex_ = -1; }
    void SetDeviceIndex(qint32 index) { deviceIndex_ = index; }

private:
    qint32 deviceIndex_ = -1;
};

}  // namespace engine
