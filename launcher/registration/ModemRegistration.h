#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace engine {
class Clock;
class Displayer;
class FieldList;
}  // namespace engine

namespace platform {
class Telephony;
}

class QWidget;

namespace launcher {

class RegWind;

// What the user sees of a modem run: the modeless status dialog with its status line and a
// Cancel that sets the flag it is given.
class ModemStatus {
public:
    virtual ~ModemStatus() = default;
    // Shown, its icon moving; Cancel sets *cancelFlag.
    virtual void Open(int* cancelFlag) = 0;
    // The status line; never null while open.
    virtual engine::Displayer* Line() = 0;
    virtual void StopAnimation() = 0;
    virtual void Hide() = 0;
    // Destroyed; the run is over.
    virtual void Close() = 0;
};

// The engine's status dialog (2011) over `parent`: its line 2012, its icon moving while the
// run waits, its Cancel setting the run's flag.
std::unique_ptr<ModemStatus> MakeStatusDialog(QWidget* parent);

// The registration service's own dial-in number, fixed when the program is built.
QString DefaultServiceNumber();

// What a modem run is given beside the record; tests put their own peers here.
struct ModemRunOptions {
    // Null: the machine's own modems.
    platform::Telephony* telephony = nullptr;
    // Null: the system clock, for the run's own waits and the device's.
    const engine::Clock* clock = nullptr;
    // Dialled when the record gives no "_CAL".
    QString serviceNumber = DefaultServiceNumber();
    // Where "ModemDump.txt" goes; empty: the current folder.
    QString dumpFolder;
    // Makes the status the run shows; null: the status dialog over the window.
    std::function<std::unique_ptr<ModemStatus>()> status;
};

// One registration by modem: dials the service directly or through an X.25 logon, sends the
// request type, the header packet and the record, receives the service's remote commands
// and has the window carry them out.
class ModemRegistration {
public:
    ModemRegistration(RegWind& window, const ModemRunOptions& options);
    // True when the exchange ran to its end.
    bool Run(const engine::FieldList& record);

    // Whether `number` goes through X.25: at least 8 of its digits (40 at most are looked
    // at), not holding the service's own number, beginning neither with 1800 nor with 1888.
    static bool ChooseX25(const QString& number, const QString& serviceNumber);

private:
    RegWind& window_;
    const ModemRunOptions& options_;
};

}  // namespace launcher
