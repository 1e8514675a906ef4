#include "launcher/window/AppValues.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TestEnvironment.h"

#include "regengine/transport/InetLoader.h"

#include "platform/shell/Shell.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>

#include <ctime>

using namespace engine;
using namespace launcher;

namespace {

// The locale as a session gives it: LC_ALL before LC_MESSAGES before LANG.
void setLocale(const char* lcAll, const char* lang)
{
    qunsetenv("LC_MESSAGES");
    if (lcAll != nullptr)
        qputenv("LC_ALL", lcAll);
    else
        qunsetenv("LC_ALL");
    if (lang != nullptr)
        qputenv("LANG", lang);
    else
        qunsetenv("LANG");
}

QString value(const AppValues& values, const char* name)
{
    return values.Value(QString::fromLatin1(name)).value_or(QStringLiteral("<none>"));
}

TEST(AppValues, LanguageAndCountryFollowTheLocale)
{
    struct Case {
        const char* lcAll;
        const char* lang;
        const char* langCode;
        const char* countryCode;
        const char* countryName;
    };
    const Case cases[] = {
        {nullptr, "en_US.UTF-8", "ENU", "USA", "United States"},
        {nullptr, "de_AT.UTF-8", "DEA", "AUT", "Austria"},
        {nullptr, "fr_CA.UTF-8", "FRC", "CAN", "Canada"},
        {nullptr, "zh_CN.UTF-8", "CHS", "CHN", "China"},
        {"pt_BR.UTF-8", "en_GB.UTF-8", "PTB", "BRA", "Brazil"},
        {nullptr, "C.UTF-8", "ENU", "", ""},
        {nullptr, nullptr, "ENU", "", ""},
        {nullptr, "de", "DEU", "", ""},
    };
    AppValues values;
    for (const Case& c : cases) {
        setLocale(c.lcAll, c.lang);
        const std::string where = std::string(c.lcAll ? c.lcAll : "-") + " / " + (c.lang ? c.lang : "-");
        EXPECT_EQ(value(values, "langcode"), QString::fromLatin1(c.langCode)) << where;
        EXPECT_EQ(value(values, "countrycode"), QString::fromLatin1(c.countryCode)) << where;
        EXPECT_EQ(value(values, "countryname"), QString::fromLatin1(c.countryName)) << where;
    }
    setLocale(nullptr, nullptr);
}

TEST(AppValues, TheDateIsTodayInLocalTime)
{
    struct Case {
        const char* tz;
        const char* utc;  // ISO date and time
        const char* day;
        const char* month;
        const char* year;
    };
    const Case cases[] = {
        {"UTC0", "2024-03-07T12:00:00", "07", "03", "2024"},
        {"UTC0", "2009-12-31T23:59:59", "31", "12", "2009"},
        // Thirteen hours ahead it is already the next year.
        {"XXX-13", "2023-12-31T12:00:00", "01", "01", "2024"},
        // Ten hours behind it is still the day before.
        {"XXX+10", "2024-03-01T05:00:00", "29", "02", "2024"},
    };
    const QByteArray savedTz = qgetenv("TZ");
    AppValues values;
    testsupport::FakeClock clock;
    values.SetClock(&clock);
    for (const Case& c : cases) {
        qputenv("TZ", c.tz);
        tzset();
        clock.seconds = QDateTime::fromString(QString::fromLatin1(c.utc) + u'Z', Qt::ISODate).toSecsSinceEpoch();
        EXPECT_EQ(value(values, "CurrentDay"), QString::fromLatin1(c.day)) << c.tz << " " << c.utc;
        EXPECT_EQ(value(values, "currentmonth"), QString::fromLatin1(c.month)) << c.tz << " " << c.utc;
        EXPECT_EQ(value(values, "CURRENTYEAR"), QString::fromLatin1(c.year)) << c.tz << " " << c.utc;
    }
    if (savedTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", savedTz);
    tzset();
}

TEST(AppValues, Folders)
{
    AppValues values;
    EXPECT_EQ(value(values, "exedirectory"), QCoreApplication::applicationDirPath());
    EXPECT_FALSE(value(values, "exedirectory").endsWith(u'/'));
    EXPECT_EQ(value(values, "windowsdirectory"), QStringLiteral("/"));
    const QString before = QDir::currentPath();
    const QString folder = testsupport::sandboxRoot() + QStringLiteral("/work dir");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QDir::setCurrent(folder));
    EXPECT_EQ(value(values, "WorkingDirectory"), QDir(folder).canonicalPath());
    QDir::setCurrent(before);
}

TEST(AppValues, UnknownNamesStandForNothing)
{
    AppValues values;
    for (const char* name : {"", "internet", "exedirectory:raw", "langcode ", "$APP.langcode"})
        EXPECT_FALSE(values.Value(QString::fromLatin1(name)).has_value()) << name;
}

TEST(AppValues, TheInternetStateComesFromTheLibraryLoadedByName)
{
    InetLoader built({QStringLiteral(OVEX_INET_LIBRARY_DIR "/" OVEX_INET_LIBRARY_NAME)});
    AppValues values;
    values.SetInetLoader(&built);
    EXPECT_EQ(value(values, "InternetAvailable"), QStringLiteral("1"));
    ASSERT_TRUE(built.IsLoaded());
    EXPECT_FALSE(built.IsWorkingOffline());

    // The user's "work offline" is a connection the library does not offer.
    ASSERT_TRUE(built.Functions().setConnectedState(OVEX_INET_STATE_DISCONNECTED_BY_USER));
    EXPECT_EQ(value(values, "internetavailable"), QStringLiteral("0"));
    EXPECT_TRUE(built.IsWorkingOffline());
    built.Functions().setConnectedState(OVEX_INET_STATE_CONNECTED);

    InetLoader missing({testsupport::sandboxRoot() + QStringLiteral("/no/libovex-inet.so.1")});
    values.SetInetLoader(&missing);
    EXPECT_EQ(value(values, "internetavailable"), QString()) << "no library: no answer, not a false one";
    EXPECT_FALSE(missing.IsLoaded());
}

}  // namespace
