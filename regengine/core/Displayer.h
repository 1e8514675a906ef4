#pragma once

#include <QString>

namespace engine {

class Clock;

// Where the engine's progress texts and traces go: a dialog item, a window or edit control,
// or a file. Owned by whoever makes it; devices and dialogs that are given one only point
// to it.
class Displayer {
public:
    // `clock` (not owned) times the delay between writes; null uses the system clock.
    explicit Displayer(const Clock* clock = nullptr);
    Displayer(const Displayer&) = delete;
    Displayer& operator=(const Displayer&) = delete;
    virtual ~Displayer();

    // Empties the target.
    virtual void Clear() = 0;
    // Puts the characters on the target.
    virtual void Append(QStringView text) = 0;

    // The common write: nothing while disabled; waits out the delay since the last write;
    // with clear-first the target is cleared first and no line end is added; otherwise a
    // line end "\r\n" follows when `lineEnd` is set.
    void Write(QStringView text, bool lineEnd);
    void WriteString(const QString& text, bool lineEnd) { Write(text, lineEnd); }
    void WriteLine(const QString& text, bool lineEnd = true) { Write(text, lineEnd); }
    void WriteChar(QChar c);
    // The value in decimal, as a line.
    void WriteNumber(long long value);
    // The text of the last failed system call, as a line; returns its error number, also
    // while disabled.
    int ShowLastError();

    // Each returns the old setting.
    bool SetClearFirst(bool on);
    bool SetEnabled(bool on);
    // Tenths of a second that successive texts stay readable at least.
    qint16 SetDelay(qint16 tenths);

    bool IsEnabled() const { return enabled_; }
    bool IsClearFirst() const { return clearFirst_; }
    qint16 GetDelay() const { return delay_; }

private:
    const Clock* clock_;
    bool enabled_ = true;
    bool clearFirst_ = false;
    qint16 delay_ = 0;
    bool written_ = false;
    qint64 lastWrite_ = 0;
};

}  // namespace engine
