#pragma once

#include "regengine/transport/TapiSerial.h"

namespace engine {

// The Hayes modem's settings, with the defaults of SetDefaults.
struct HayesSettings {
    qint32 modeLetter = 'H';
    quint8 flags[4] = {0, 1, 0, 1};  // flags[2]: synchronised
    char prefix[10] = "AT";
    char terminator[10] = "\r";
    char option1[10] = "Q0";
    char option2[10] = "V1";
    char option3[10] = "E0";
    char commandLine[100] = {};
    char response[100] = {};
    qint32 pause = 20;  // tenths of a second
    qint32 readRetries = 4;
    qint32 huntOrder[5] = {4, 3, 1, 0, 2};
    qint32 connectedWord = 0;
    qint32 passes = 3;
    qint32 rememberedBaud = 1;
};

// One row of the result codes: verbose text, numeric text, the code in decimal.
struct HayesResultCode {
    const char* verbose;
    const char* numeric;
    const char* code;
};
extern const HayesResultCode kHayesResultCodes[15];

// A modem spoken to in the Hayes AT language: command lines composed from the settings,
// result codes read and classified, the line rate hunted, the modem reset, auto-answer
// switched off at the end.
class HayesDevice : public TapiSerial {
public:
    static constexpr int kSynchronisedFlag = 2;

    explicit HayesDevice(const QString& portName = {}, platform::Telephony* telephony = nullptr);
    ~HayesDevice() override;

    void SetDefaults();
    // 'H' speaks "AT"; any other letter makes the mode 'T' with the prefix "AAT".
    void SetCommandMode(qint32 letter);
    // prefix + option 3 + option 1 + command + terminator; Send's result.
    int SendCommand(const char* command);
    // What the modem answered (at most 99 bytes, always terminated), or null.
    const char* ReadResponse();
    // The code of the result found in `response`, -1 for none; `row` gets its row or -1.
    int MatchResponse(const char* response, int* row);
    // Hunts the rate at which the modem answers OK: 0, kFailed or kAborted.
    int Synchronize();
    // Resets the modem and finds its rate again; `baudIndex` (0 to 5) is tried first.
    int Reset(int baudIndex = -1);
    // Clearing a Hayes device's error resets the modem, except while it carries a call:
    // then only the line error and the abort flag go.
    int ClearError() override;
    virtual qint32 GetStatusWord() const { return settings_.connectedWord; }

    HayesSettings& Settings() { return settings_; }
    const HayesSettings& Settings() const { return settings_; }

private:
    int Pause();
    int SendEscape();

    HayesSettings settings_;
};

}  // namespace engine
