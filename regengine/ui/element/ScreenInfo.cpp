#include "regengine/ui/element/ScreenInfo.h"

#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"

#include "platform/desktop/Desktop.h"
#include "platform/text/Ascii.h"

#include <QGuiApplication>
#include <QScreen>

namespace engine {

namespace {

ScreenInfo::MetricsSource& metricsSource()
{
    static ScreenInfo::MetricsSource source;
    return source;
}

constexpr qsizetype kOptionLineLimit = 1024;

}  // namespace

ScreenInfo& ScreenInfo::Instance()
{
    static ScreenInfo info;
    return info;
}

ScreenInfo::ScreenInfo()
{
    Refresh();
}

void ScreenInfo::SetMetricsSource(MetricsSource source)
{
    metricsSource() = std::move(source);
}

ScreenInfo::Metrics ScreenInfo::DesktopMetrics()
{
    Metrics m;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            m.dpiX = qRound(screen->logicalDotsPerInchX());
            m.dpiY = qRound(screen->logicalDotsPerInchY());
        }
    }
    m.highContrast = platform::highContrastTheme();
    if (m.dpiX <= 0)
        m.dpiX = 96;
    if (m.dpiY <= 0)
        m.dpiY = 96;
    return m;
}

void ScreenInfo::Refresh()
{
    const Metrics m = metricsSource() ? metricsSource()() : DesktopMetrics();
    dpiX_ = m.dpiX;
    dpiY_ = m.dpiY;
    highContrast_ = m.highContrast;
}

void ScreenInfo::ParseOptions(QmStrStream& stream)
{
    // The options belong to the keyword's own line, never the next one.
    QString line;
    if (stream.previous() != u'\n') {
        SkipLineBlanks(stream);
        ReadScriptLine(stream, line, kOptionLineLimit);
    }
    for (const QString& raw : line.split(u',')) {
        const QString entry = raw.trimmed();
        const bool set = entry.startsWith(u'+');
        const QString word = platform::asciiLower(entry.mid(1));
        quint8 bits = 0;
        if (word == QLatin1String("all"))
            bits = 0xFF;
        else if (word == QLatin1String("scaling"))
            bits = kScaling;
        else if (word == QLatin1String("contrast"))
            bits = kContrast;
        if (set)
            SetOptions(bits, 0);
        else
            SetOptions(0, bits);
    }
}

void ScreenInfo::SetOptions(quint8 set, quint8 clear)
{
    options_ = quint8((options_ | set) & ~clear);
}

void ScreenInfo::Scale(QmRect& rect) const
{
    rect.ScaleForDpi(options_, dpiX_, dpiY_);
}

}  // namespace engine
