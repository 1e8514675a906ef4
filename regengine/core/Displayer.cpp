#include "regengine/core/Displayer.h"

#include "regengine/core/Clock.h"

#include <cerrno>

namespace engine {

Displayer::Displayer(const Clock* clock) : clock_(clock != nullptr ? clock : &Clock::System()) {}

Displayer::~Displayer() = default;

void Displayer::Write(QStringView text, bool lineEnd)
{
    if (!enabled_)
        return;
    if (delay_ > 0 && written_) {
        const qint64 until = lastWrite_ + qint64(delay_) * 1000 / 10;
        for (qint64 now = clock_->MonotonicMs(); now < until; now = clock_->MonotonicMs())
            clock_->SleepMs(qMin<qint64>(until - now, 10));
    }
    if (clearFirst_)
        Clear();
    Append(text);
    if (lineEnd && !clearFirst_)
        Append(u"\r\n");
    written_ = true;
    lastWrite_ = clock_->MonotonicMs();
}

void Displayer::WriteChar(QChar c)
{
    if (enabled_)
        Append(QStringView(&c, 1));
}

void Displayer::WriteNumber(long long value)
{
    WriteLine(QString::number(value), true);
}

int Displayer::ShowLastError()
{
    const int error = errno;
    WriteLine(qt_error_string(error), true);
    return error;
}

bool Displayer::SetClearFirst(bool on)
{
    const bool old = clearFirst_;
    clearFirst_ = on;
    return old;
}

bool Displayer::SetEnabled(bool on)
{
    const bool old = enabled_;
    enabled_ = on;
    return old;
}

qint16 Displayer::SetDelay(qint16 tenths)
{
    const qint16 old = delay_;
    delay_ = tenths;
    return old;
}

}  // namespace engine
