#include "regengine/transport/HayesDevice.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace engine {

const HayesResultCode kHayesResultCodes[15] = {
    {"\r\nOK\r\n", "\r0\r", "0"},
    {"CONNECT", "\r99\r", "99"},
    {"\r\nCONNECT\r\n", "\r1\r", "1"},
    {"\r\nRING\r\n", "\r2\r", "2"},
    {"\r\nNO CARRIER\r\n", "\r3\r", "3"},
    {"\r\nERROR\r\n", "\r4\r", "4"},
    {"\r\nCONNECT 1200\r\n", "\r5\r", "5"},
    {"\r\nNO DIAL TONE\r\n", "\r6\r", "6"},
    {"\r\nNO DIALTONE\r\n", "\r6\r", "6"},
    {"\r\nBUSY\r\n", "\r7\r", "7"},
    {"\r\nNO ANSWER\r\n", "\r8\r", "8"},
    {"JUNK", "JUNK", "JUNK"},
    {"\r\nCONNECT 2400\r\n", "\r10\r", "10"},
    {"\r\nCONNECT FAST\r\n", "\r50\r", "50"},
    {"\r\nRRING\r\n", "\r52\r", "52"},
};

HayesDevice::HayesDevice(const QString& portName, platform::Telephony* telephony) : TapiSerial(portName, telephony)
{
    SetDefaults();
}

HayesDevice::~HayesDevice()
{
    if (HasPort())
        SendCommand("S0=0");
}

void HayesDevice::SetDefaults()
{
    settings_ = HayesSettings();
}

void HayesDevice::SetCommandMode(qint32 letter)
{
    if (letter == 'H') {
        settings_.modeLetter = 'H';
        std::strcpy(settings_.prefix, "AT");
    } else {
        settings_.modeLetter = 'T';
        std::strcpy(settings_.prefix, "AAT");
    }
}

int HayesDevice::SendCommand(const char* command)
{
    HayesSettings& s = settings_;
    // A command too long for the line buffer is cut, never written past it.
    std::snprintf(s.commandLine, sizeof s.commandLine, "%s%s%s%s%s", s.prefix, s.option3, s.option1,
                  command != nullptr ? command : "", s.terminator);
    return Send(s.commandLine, qint32(std::strlen(s.commandLine)));
}

const char* HayesDevice::ReadResponse()
{
    // One place is kept for the terminator, so a response that fills the buffer stays a text.
    const qint32 got = ReadFully(settings_.response, qint32(sizeof settings_.response) - 1, settings_.readRetries);
    if (got == kAborted) {
        SetAbortFlag();
        return nullptr;
    }
    if (got <= 0)
        return nullptr;
    settings_.response[got] = '\0';
    return settings_.response;
}

int HayesDevice::MatchResponse(const char* response, int* row)
{
    if (row != nullptr)
        *row = -1;
    if (response == nullptr)
        return -1;
    ShowTrace(QStringLiteral("Checking ... ") + QString::fromLatin1(response));
    for (int column = 0; column < 2; ++column) {
        for (int r = 14; r >= 0; --r) {
            const char* text = column == 0 ? kHayesResultCodes[r].verbose : kHayesResultCodes[r].numeric;
            if (std::strstr(response, text) == nullptr)
                continue;
            ShowTrace(QStringLiteral("Matched Command ") + QString::fromLatin1(kHayesResultCodes[r].verbose));
            if (row != nullptr)
                *row = r;
            return std::atoi(kHayesResultCodes[r].code);
        }
    }
    return -1;
}

int HayesDevice::Pause()
{
    WaitTicks(settings_.pause);
    return 0;
}

int HayesDevice::SendEscape()
{
    const auto send = [this](const char* text) { return Send(text, qint32(std::strlen(text))); };
    int result = 0;
    Pause();
    if ((result = send("+++")) != 0)
        return result;
    Pause();
    if ((result = send("AT\r")) != 0)
        return result;
    Pause();
    if ((result = SendCommand("H0")) != 0)
        return result;
    Pause();
    if ((result = send("+++")) != 0)
        return result;
    Pause();
    return 0;
}

int HayesDevice::Synchronize()
{
    HayesSettings& s = settings_;
    const qint32 start = s.rememberedBaud;
    const bool startValid = start >= 0 && start <= 5;
    ClearAbort();
    s.flags[kSynchronisedFlag] = 0;
    SetCommandMode(s.modeLetter);
    if (s.passes <= 0)
        return kFailed;
    for (qint32 pass = 0; pass < s.passes; ++pass) {
        qint32 order[6];
        int count = 0;
        if (startValid && (pass == 0 || pass == 2))
            order[count++] = start;
        for (const qint32 index : s.huntOrder)
            order[count++] = index;
        for (int i = 0; i < count; ++i) {
            if (GetAbortFlag())
                return kAborted;
            SetBaudIndex(order[i]);
            if (pass >= 2) {
                const int sent = SendEscape();
                if (sent != 0)
                    return sent;
            }
            FlushInput(30, 0);
            SendCommand("E0");
            int row = -1;
            if (MatchResponse(ReadResponse(), &row) == 0) {
                s.flags[kSynchronisedFlag] = 1;
                s.rememberedBaud = order[i];
                return 0;
            }
        }
    }
    return kFailed;
}

int HayesDevice::Reset(int baudIndex)
{
    // The line's own ClearError: the virtual one is this device's, which would reset again.
    SerialDevice::ClearError();
    ShowStatus(QStringLiteral("Resetting Modem"));
    WaitTicks(20);
    FlushInput(100, 0);
    Synchronize();
    WaitTicks(5);
    FlushInput(20, 0);
    SendCommand("Z");
    if (baudIndex >= 0 && baudIndex <= 5)
        settings_.rememberedBaud = baudIndex;
    const int result = Synchronize();
    if (result == 0)
        ShowStatus(QStringLiteral("OK after reset"));
    return result;
}

int HayesDevice::ClearError()
{
    // A modem carrying a call would drop it on the way to command mode.
    if (settings_.connectedWord != 0)
        return SerialDevice::ClearError();
    return Reset();
}

}  // namespace engine
