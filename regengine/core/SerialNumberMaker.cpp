#include "regengine/core/SerialNumberMaker.h"

#include "regengine/core/Clock.h"
#include "regengine/core/EngineRegistry.h"
#include "regengine/core/ModalWait.h"

#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTimeZone>

namespace engine {

namespace {

// The sizes of the record's buffers, terminator excluded.
constexpr qsizetype kAffixLength = 39;
constexpr qsizetype kValueNameLength = 127;
constexpr qsizetype kResultLength = 49;

bool isKnownMode(QChar c)
{
    return QStringView(u"ACRTtMm").contains(c);
}

}  // namespace

SerialNumberMaker::SerialNumberMaker(const Clock* clock) : clock_(clock != nullptr ? clock : &Clock::System())
{
    Reset();
}

void SerialNumberMaker::Reset()
{
    made_ = false;
    mode_ = QChar();
    neverReused_ = false;
    startTime_ = clock_->CurrentTime();
    prefix_.clear();
    suffix_.clear();
    registryPath_.clear();
    result_.clear();
    valueName_.clear();
}

void SerialNumberMaker::SetMode(QChar letter)
{
    mode_ = isKnownMode(letter) ? letter : QChar(u'A');
    neverReused_ = mode_ == u't';
}

void SerialNumberMaker::SetAffixes(const QString& prefix, const QString& suffix)
{
    if (!prefix.isNull())
        prefix_ = prefix.left(kAffixLength);
    if (!suffix.isNull())
        suffix_ = suffix.left(kAffixLength);
}

void SerialNumberMaker::SetRegistryPath(const QString& path)
{
    registryPath_ = path.left(kAffixLength);
}

void SerialNumberMaker::SetValueName(const QString& name)
{
    valueName_ = name.left(kValueNameLength);
}

void SerialNumberMaker::SetResult(const QString& result)
{
    result_ = result.left(kResultLength);
    made_ = true;
}

qint64 SerialNumberMaker::Epoch1998()
{
    const QDateTime utc(QDate(1998, 1, 1), QTime(0, 0), Qt::UTC);
    return utc.toSecsSinceEpoch() - QTimeZone::systemTimeZone().standardTimeOffset(utc);
}

void SerialNumberMaker::Make()
{
    const char16_t mode = mode_.unicode();
    if (mode == u'A' || mode == u'C') {
        const quint32 seconds = quint32(quint64(startTime_ - Epoch1998())) % kTimeDigitsModulus;
        const quint32 tail = mode == u'A' ? quint32(quint64(clock_->CurrentTime() - startTime_)) % 1000u
                                          : QRandomGenerator::global()->bounded(1000u);
        result_ = platform::formatText(QStringLiteral("%09.9lu%04.4lu"), seconds, tail);
        made_ = true;
    } else if (mode == u'M' || mode == u'm') {
        platform::messageBox(QStringLiteral("Must put define in Meta Program"), QStringLiteral("Developer Warning"),
                             platform::mb::Ok);
    } else if (mode == u'R') {
        QString text;
        made_ = ReadRegistryValue(0, platform::RootKey::LocalMachine, valueName_, &text);
        result_ = text;
    } else if (mode == u'T' || mode == u't') {
        QString text;
        made_ = ReadRegistryValue(0, platform::RootKey::LocalMachine, prefix_ + registryPath_ + suffix_, &text);
        result_ = text.left(kResultLength);
        if (!CheckMade()) {
            PostQuitWithExitCode();
            return;
        }
    }
    result_ = (prefix_ + result_ + suffix_).left(kResultLength);
}

QString SerialNumberMaker::GetResult()
{
    if (result_.isEmpty())
        Make();
    return result_;
}

bool SerialNumberMaker::CheckMade() const
{
    if (mode_.isNull() || made_)
        return true;
    if (mode_ == u'M' || mode_ == u'm') {
        platform::messageBox(QStringLiteral("Must put define in Meta Program"), QStringLiteral("Developer Warning"),
                             platform::mb::Ok);
    } else if (mode_ == u'T' || mode_ == u't') {
        platform::messageBox(QStringLiteral("Missing required input parameter. Please click on the shortcut to this "
                                            "application rather than the application itself if you wish to register."),
                             QStringLiteral("Missing Parameter"), platform::mb::Ok);
    }
    return false;
}

}  // namespace engine
