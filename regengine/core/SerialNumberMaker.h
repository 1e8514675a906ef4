#pragma once

#include <QChar>
#include <QString>

namespace engine {

class Clock;

// Makes the identifier that the SERNUMCREATE keyword puts in the record. Modes:
//   'A'  a time-based number: nine digits of seconds since 1998, four of seconds since Reset
//   'C'  the same nine digits, then four random ones
//   'R'  the machine registry value named by the value name
//   'T', 't'  the machine registry value at prefix + registry path + suffix
//   'M', 'm'  nothing: a developer warning
// Any other letter means 'A'. Texts are cut to the sizes the record keeps (prefix, suffix and
// registry path 39 characters, value name 127, result 49).
class SerialNumberMaker {
public:
    // `clock` (not owned) gives the times; null uses the system clock.
    explicit SerialNumberMaker(const Clock* clock = nullptr);

    // Every text empty, nothing made, no mode, the start time now.
    void Reset();
    void SetMode(QChar letter);
    // A null text leaves that affix as it was.
    void SetAffixes(const QString& prefix, const QString& suffix);
    void SetRegistryPath(const QString& path);
    void SetValueName(const QString& name);
    // Takes `result` as made.
    void SetResult(const QString& result);

    void Make();
    // Makes the number first when there is none yet; the same result every time after.
    QString GetResult();
    // True without a mode, else whether something was made. When nothing was, modes 'M' and
    // 'T' say why in a message box.
    bool CheckMade() const;

    QChar GetMode() const { return mode_; }
    bool IsMade() const { return made_; }
    // Mode 't': a number saved earlier is never reused.
    bool IsNeverReused() const { return neverReused_; }

    // The seconds-since-1998 part keeps nine digits: from 2029-09-09 on it starts again from
    // 000000000 rather than grow to ten and change the number's width.
    static constexpr quint32 kTimeDigitsModulus = 1000000000u;

private:
    // 1 January 1998 00:00:00 in local standard time, as seconds since 1970.
    static qint64 Epoch1998();

    const Clock* clock_;
    bool made_ = false;
    QChar mode_;
    qint64 startTime_ = 0;
    QString prefix_;
    QString suffix_;
    QString registryPath_;
    QString result_;
    QString valueName_;
    bool neverReused_ = false;
};

}  // namespace engine
