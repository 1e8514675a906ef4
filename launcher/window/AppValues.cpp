#include "launcher/window/AppValues.h"

#include "regengine/core/Clock.h"
#include "regengine/transport/InetLoader.h"

#include "platform/nls/Nls.h"
#include "platform/shell/Shell.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"

#include <QDateTime>
#include <QDir>

using namespace engine;

namespace launcher {

AppValues::AppValues() = default;

std::optional<QString> AppValues::Value(const QString& name) const
{
    const QString key = platform::asciiLower(name);
    if (key == u"internetavailable") {
        InetLoader& inet = inet_ != nullptr ? *inet_ : InetLoader::Instance();
        const std::optional<bool> connected = inet.IsConnected();
        if (!connected)
            return QString();
        return *connected ? QStringLiteral("1") : QStringLiteral("0");
    }
    // The folder of the system's own files; Linux keeps them under the root.
    if (key == u"windowsdirectory")
        return QDir::rootPath();
    if (key == u"workingdirectory")
        return QDir::currentPath();
    if (key == u"exedirectory")
        return platform::moduleDirectory();
    if (key == u"currentday" || key == u"currentmonth" || key == u"currentyear") {
        const Clock& clock = clock_ != nullptr ? *clock_ : Clock::System();
        const QDate today = QDateTime::fromSecsSinceEpoch(clock.CurrentTime(), Qt::LocalTime).date();
        if (key == u"currentday")
            return platform::formatText(QStringLiteral("%02d"), today.day());
        if (key == u"currentmonth")
            return platform::formatText(QStringLiteral("%02d"), today.month());
        return platform::formatText(QStringLiteral("%04d"), today.year());
    }
    if (key == u"langcode")
        return platform::asciiUpper(platform::languageAbbreviation());
    if (key == u"countrycode")
        return platform::countryIso3(platform::userLocale());
    if (key == u"countryname")
        return platform::countryName(platform::userLocale());
    return std::nullopt;
}

}  // namespace launcher
