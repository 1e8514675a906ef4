#include "regengine/transport/CommDevice.h"

#include "regengine/core/Clock.h"
#include "regengine/core/Displayer.h"
#include "regengine/core/Dumper.h"
#include "regengine/core/StringTableMgr.h"

#include "platform/text/Format.h"

#include <cstring>

namespace engine {

namespace {

// Scratch size of one FlushInput read.
constexpr qint32 kFlushBlock = 100;
// A flush without a limit still ends: input that never pauses is a line gone wrong.
constexpr qint64 kLongestFlushHundredths = 3000;

const char16_t kScrambleKey[8] = {u'K', u'e', u'l', u'v', u'o', u'2', u'5', u'X'};

}  // namespace

// Every character counts, a zero among them: a character equal to its key character is
// stored as 0, and stopping there would send the rest still scrambled.
void UnscrambleText(QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t(text[i].unicode() ^ kScrambleKey[i % 8]));
}

QString UnscrambledText(const QString& text)
{
    QString copy(text.constData(), text.size());
    UnscrambleText(copy);
    return copy;
}

CommDevice::CommDevice(const QString& portName) : clock_(&Clock::System())
{
    bufferSize_ = 1024;
    Init();
    SetPortName(portName);
}

CommDevice::~CommDevice() = default;

int CommDevice::SetPortName(const QString& name)
{
    portName_ = name;
    return 0;
}

int CommDevice::Init()
{
    inBuffer_.clear();
    outBuffer_.clear();
    timeoutValue_ = 0;
    portName_.clear();
    statusDisplayer_ = nullptr;
    traceDisplayer_ = nullptr;
    dumper_ = nullptr;
    echoMode_ = 0;
    abort_ = 0;
    std::memset(initString_, 0, sizeof initString_);
    timer_ = std::make_unique<Timer>(clock_);
    return AllocateBuffers();
}

int CommDevice::AllocateBuffers()
{
    if (bufferSize_ > 0) {
        inBuffer_ = QByteArray(bufferSize_, '\0');
        outBuffer_ = QByteArray(bufferSize_, '\0');
    }
    return 0;
}

int CommDevice::Shutdown()
{
    abort_ = 0;
    return Close();
}

void CommDevice::SetClock(const Clock* clock)
{
    clock_ = clock != nullptr ? clock : &Clock::System();
    timer_ = std::make_unique<Timer>(clock_);
}

void CommDevice::WaitTicks(qint32 ticks) const
{
    if (ticks > 0)
        clock_->SleepMs(qint64(ticks) * 100);
}

int CommDevice::Send(const char* data, qint32 length)
{
    return SendPtr(data, length);
}

int CommDevice::SendString(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return SendPtr(bytes.constData(), qint32(bytes.size()));
}

int CommDevice::SendSecret(const char* data, qint32 length)
{
    secret_ = true;
    const int result = Send(data, length);
    secret_ = false;
    return result;
}

void CommDevice::DumpBlock(const char* title, const char* data, qint32 length)
{
    if (dumper_ == nullptr)
        return;
    if (secret_) {
        const QByteArray hidden(qMax(length, 0), '*');
        dumper_->Dump(QString::fromLatin1(title), hidden, long(ElapsedSeconds()));
        return;
    }
    dumper_->Dump(QString::fromLatin1(title), QByteArrayView(data, qMax(length, 0)), long(ElapsedSeconds()));
}

qint32 CommDevice::ReadSome(char* buffer, qint32 wanted, qint32 retries)
{
    const qint16 limit = qint16(retries);
    qint16 empty = 0;
    for (;;) {
        qint32 count = 0;
        const int result = Read(buffer, wanted, &count);
        if (result == kFailed) {
            abort_ = 1;
            return kFailed;
        }
        if (abort_ != 0 || result == kAborted)
            return kAborted;
        if (count > 0)
            return count;
        WaitTicks(1);
        if (++empty >= limit)
            return kTimedOut;
    }
}

qint32 CommDevice::ReadFully(char* buffer, qint32 wanted, qint32 retries)
{
    qint32 total = 0;
    qint32 empty = 0;
    while (total < wanted) {
        qint32 count = 0;
        const int result = Read(buffer + total, wanted - total, &count);
        if (count > 0) {
            total += count;
            empty = 0;
            continue;
        }
        // A line that fails is as good as gone.
        if (result == kFailed)
            abort_ = 1;
        if (result == kAborted || abort_ != 0)
            return kAborted;
        WaitTicks(1);
        if (++empty > retries) {
            if (echoMode_ != 0)
                ShowTrace(QStringLiteral("**** Timed out in stream ****\r"));
            break;
        }
    }
    if (total < wanted)
        buffer[total] = '\0';
    return total;
}

qint32 CommDevice::ComInMin(char* buffer, qint32 wanted, qint32 retries)
{
    ShowTrace(QStringLiteral("Entering ComInMin"));
    qint32 total = 0;
    while (total < wanted) {
        const qint32 got = ReadSome(buffer + total, wanted - total, retries);
        if (got < 1)
            return got;
        total += got;
        ShowTrace(platform::formatText(QStringLiteral("In ComInMin up to %d"), total));
    }
    return total;
}

int CommDevice::WaitForString(const QByteArray& text, qint32 limit, qint32 flush)
{
    ShowTrace(QStringLiteral("Waiting for...."));
    const Timer timer(clock_);
    // The last bytes received, as many as the text is long: comparing the whole tail finds
    // a text that overlaps itself ("ABAC" in "ABABAC"), which restarting a match does not.
    QByteArray tail;
    for (;;) {
        if (!text.isEmpty() && tail.size() == text.size() && tail == text) {
            if (flush != 0)
                FlushInput(flush, flush * 10);
            ShowTrace(QStringLiteral("Got Wait For String"));
            return 0;
        }
        if (text.isEmpty())
            return 0;
        if (abort_ != 0)
            return kAborted;
        if (timer.ElapsedHundredths() > limit)
            return kTimedOut;
        char byte = 0;
        const qint32 got = ReadSome(&byte, 1, 1);
        if (got == kAborted || got == kFailed)
            return kAborted;
        if (got == 1) {
            tail.append(byte);
            if (tail.size() > text.size())
                tail.remove(0, 1);
        }
    }
}

int CommDevice::FlushInput(qint32 readTimeout, qint32 limit)
{
    // The kept value goes back as it was stored: passing it through SetTimeout again would
    // scale it down on every flush.
    const qint32 kept = SetTimeout(readTimeout);
    const Timer timer(clock_);
    const qint64 longest = limit != 0 ? limit : kLongestFlushHundredths;
    char scratch[kFlushBlock];
    int result = 0;
    for (;;) {
        qint32 count = 0;
        result = Read(scratch, kFlushBlock, &count);
        if (count > 0) {
            ShowTrace(platform::formatText(QStringLiteral("Tossed %ld @ %ld"), long(count), long(ElapsedSeconds())));
            result = count;
        }
        if (result >= 0 && timer.ElapsedHundredths() > longest)
            result = kTimedOut;
        if (result >= 0 && abort_ != 0)
            result = kAborted;
        if (result <= 0)
            break;
        WaitTicks(readTimeout / 10);
    }
    timeoutValue_ = kept;
    return result > 0 ? 0 : result;
}

qint32 CommDevice::SetTimeout(qint32 value)
{
    const qint32 previous = timeoutValue_;
    timeoutValue_ = value * 60 / 100;
    return previous;
}

int CommDevice::SetBufferSize(qint32 size)
{
    bufferSize_ = size;
    return 0;
}

void CommDevice::ShowStatus(const QString& text)
{
    if (statusDisplayer_ != nullptr)
        statusDisplayer_->WriteLine(text, true);
}

void CommDevice::EchoStatus(const QString& text)
{
    if (echoMode_ != 0)
        ShowStatus(text);
}

void CommDevice::ShowTrace(const QString& text)
{
    if (traceDisplayer_ != nullptr)
        traceDisplayer_->WriteLine(text, true);
}

void CommDevice::ResetTimer()
{
    timer_->Restart();
}

qint64 CommDevice::ElapsedSeconds() const
{
    return timer_->ElapsedSeconds();
}

int CommDevice::SendIndirectString(qint16 table, qint16 number, char terminator, bool unscramble)
{
    // The stored entry stays scrambled: the secret lives only in this copy.
    const QString stored = GetCStringInd(table, number);
    const QString shown = unscramble ? QString(stored.size(), u'*') : stored;
    ShowTrace(platform::formatText(QStringLiteral("Got the indirect string (%hd,%hd)=%s of len %ld"), int(table),
                                   int(number), shown, long(stored.size())));
    const QString text = unscramble ? UnscrambledText(stored) : stored;
    if (text.isEmpty())
        return 0;
    QByteArray bytes;
    bytes.reserve(text.size() + 1);
    for (const QChar c : text)
        bytes.append(char(c.unicode() & 0xFF));
    if (terminator != 0)
        bytes.append(terminator);
    return unscramble ? SendSecret(bytes.constData(), qint32(bytes.size()))
                      : Send(bytes.constData(), qint32(bytes.size()));
}

void CommDevice::SetInitString(const char* text)
{
    if (text == nullptr)
        return;
    std::strncpy(initString_, text, kInitStringSize - 1);
    initString_[kInitStringSize - 1] = '\0';
}

}  // namespace engine
