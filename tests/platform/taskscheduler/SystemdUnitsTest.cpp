// The unit texts the scheduler writes, checked against systemd's own tools.
#include "platform/taskscheduler/SystemdUnits.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/FakeSystemctl.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

namespace sd = platform::systemd;
using platform::TaskTrigger;

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QDateTime at(int y, int m, int d, int h = 10, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

// ---- Unit names -------------------------------------------------------------------

// The unit name must be what systemd-escape makes of the task path, so that the real
// tool turns it back into the folder and name, whatever the user's name holds.
TEST(UnitNames, MatchSystemdEscapeForAwkwardTaskNames)
{
    const QString folder = QStringLiteral("Ovex\\Ovex Kelvo");
    const QStringList names = {
        QStringLiteral("New Message Check - joe"),
        QStringLiteral("New Message Check - Jörg Müller"),
        QStringLiteral("New Message Check - o'neil \"the\" 100% $HOME"),
        QStringLiteral("New Message Check - dom\\user"),
        QStringLiteral("New Message Check - ???"),
        QStringLiteral(".hidden-start"),
    };
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString path = QStringLiteral("Ovex/Ovex Kelvo/") + name;
        const QString stem = sd::unitStem(folder, name);
        EXPECT_EQ(stem, run(QStringLiteral("systemd-escape"), {QStringLiteral("--path"), path}));
        const QString back =
            run(QStringLiteral("systemd-escape"), {QStringLiteral("-u"), QStringLiteral("--path"), stem});
        EXPECT_EQ(back, u'/' + path);
        EXPECT_TRUE(stem.startsWith(sd::folderPrefix(folder)));

        // The expiry units sit beside the task's, yet never read as a task of any folder.
        const QString expiry = sd::expiryStem(folder, name);
        EXPECT_TRUE(expiry.startsWith(stem));
        const QStringList unescape{QStringLiteral("systemd-escape"), QStringLiteral("-u"), QStringLiteral("--path")};
        EXPECT_NE(systemdtest::runArgv(unescape + QStringList{expiry}), 0) << expiry.toStdString();
        EXPECT_TRUE(sd::isExpiryStem(expiry));
        EXPECT_FALSE(sd::isExpiryStem(stem));
    }
    // Slashes and backslashes both separate folders.
    EXPECT_EQ(sd::unitStem(QStringLiteral("/Ovex/Ovex Kelvo/"), QStringLiteral("x")),
              sd::unitStem(QStringLiteral("\\Ovex\\Ovex Kelvo"), QStringLiteral("x")));
}

TEST(UnitNames, OverlongNamesAreCutToUniqueValidNames)
{
    const QString folder = QStringLiteral("Ovex\\Ovex Kelvo");
    const QString nameA = QStringLiteral("New Message Check - ") + QString(200, QChar(u'ä')) + u'a';
    const QString nameB = QStringLiteral("New Message Check - ") + QString(200, QChar(u'ä')) + u'b';
    const QString a = sd::unitStem(folder, nameA);
    const QString b = sd::unitStem(folder, nameB);
    EXPECT_NE(a, b);
    const QString expiryA = sd::expiryStem(folder, nameA);
    const QString expiryB = sd::expiryStem(folder, nameB);
    EXPECT_NE(expiryA, expiryB);
    for (const QString& stem : {a, b, expiryA, expiryB}) {
        EXPECT_LE(stem.size() + 8, 255) << stem.toStdString();
        EXPECT_TRUE(stem.startsWith(sd::folderPrefix(folder)));
        EXPECT_EQ(sd::isExpiryStem(stem), stem == expiryA || stem == expiryB);
        // No escape is split: every backslash starts a full \xNN.
        for (qsizetype i = stem.indexOf(u'\\'); i >= 0; i = stem.indexOf(u'\\', i + 1))
            EXPECT_TRUE(i + 3 < stem.size() && stem[i + 1] == u'x') << stem.toStdString();
    }
}

// ---- Calendars ----------------------------------------------------------------------

struct CalendarCase {
    const char* what;
    TaskTrigger trigger;
    QList<QDateTime> runs;
};

TaskTrigger daily(QDateTime start, QDateTime end, int interval = 1)
{
    TaskTrigger t;
    t.start = start;
    t.end = end;
    t.daysInterval = interval;
    return t;
}

TaskTrigger weekly(QDateTime start, QDateTime end, unsigned days, int interval = 1)
{
    TaskTrigger t = daily(start, end);
    t.type = TaskTrigger::Type::Weekly;
    t.daysOfWeek = days;
    t.weeksInterval = interval;
    return t;
}

TaskTrigger monthly(QDateTime start, QDateTime end, unsigned days, bool lastDay, unsigned months = 0xFFF)
{
    TaskTrigger t = daily(start, end);
    t.type = TaskTrigger::Type::Monthly;
    t.daysOfMonth = days;
    t.runOnLastDayOfMonth = lastDay;
    t.monthsOfYear = months;
    return t;
}

// The runs systemd computes from the written calendar are exactly the trigger's: from
// the start, before the end, across month ends and leap days.
TEST(Calendar, RunsAreExactlyTheTriggersRuns)
{
    const CalendarCase cases[] = {
        {"daily across a leap day, end excluded",
         daily(at(2028, 2, 27, 9, 30), at(2028, 3, 3, 9, 30)),
         {at(2028, 2, 27, 9, 30), at(2028, 2, 28, 9, 30), at(2028, 2, 29, 9, 30), at(2028, 3, 1, 9, 30),
          at(2028, 3, 2, 9, 30)}},
        {"daily, end later in the day than the runs",
         daily(at(2028, 3, 30), at(2028, 4, 1, 12)),
         {at(2028, 3, 30), at(2028, 3, 31), at(2028, 4, 1)}},
        {"every third day over a month end",
         daily(at(2028, 1, 29), at(2028, 2, 8), 3),
         {at(2028, 1, 29), at(2028, 2, 1), at(2028, 2, 4), at(2028, 2, 7)}},
        {"weekly on Monday and Thursday, every second week",
         weekly(at(2028, 1, 3), at(2028, 1, 31), 2 | 16, 2),
         {at(2028, 1, 3), at(2028, 1, 6), at(2028, 1, 17), at(2028, 1, 20)}},
        {"monthly on the 31st of January to June: months without one are skipped",
         monthly(at(2028, 1, 1), at(2029, 1, 1), 1u << 30, false, 0x3F),
         {at(2028, 1, 31), at(2028, 3, 31), at(2028, 5, 31)}},
        {"monthly on every last day, leap February included",
         monthly(at(2028, 1, 30), at(2028, 5, 30), 0, true),
         {at(2028, 1, 31), at(2028, 2, 29), at(2028, 3, 31), at(2028, 4, 30)}},
        {"start not before the end: no runs", daily(at(2028, 5, 1), at(2028, 5, 1)), {}},
    };
    for (const CalendarCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<QStringList> expressions = sd::calendarExpressions(c.trigger);
        ASSERT_TRUE(expressions.has_value());
        EXPECT_EQ(systemdtest::calendarElapses(*expressions, c.trigger.start.addSecs(-1)), c.runs)
            << expressions->join(u';').toStdString();
    }
}

TEST(Calendar, MalformedTriggersAreRefused)
{
    const TaskTrigger malformed[] = {
        weekly(at(2028, 1, 1), at(2029, 1, 1), 0),             // no weekday
        monthly(at(2028, 1, 1), at(2029, 1, 1), 0, false),     // no day of month
        monthly(at(2028, 1, 1), at(2029, 1, 1), 1, false, 0),  // no month
        daily(at(2028, 1, 1), at(2029, 1, 1), 0),              // interval 0
        daily(QDateTime(), at(2029, 1, 1)),                    // no start
        daily(at(2028, 1, 1), at(2128, 1, 1)),                 // a century of lines
    };
    for (const TaskTrigger& t : malformed)
        EXPECT_FALSE(sd::calendarExpressions(t).has_value());
}

// ---- Conditions ---------------------------------------------------------------------

// The route tables of a machine, as /proc shows them.
const char kRouteHeader[] = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
const char kRouteDefault[] = "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n";
const char kRouteLan[] = "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
const char kRoute6Unreachable[] =
    "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
    "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n";
const char kRoute6Default[] =
    "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
    "fe800000000000000000000000000001 00000400 00000002 00000000 00000003    wlan0\n";
const char kRoute6Link[] =
    "fe800000000000000000000000000000 40 00000000000000000000000000000000 00 "
    "00000000000000000000000000000000 00000100 00000002 00000000 00000001    wlan0\n";

TEST(Conditions, NetworkMeansADefaultRouteOffLoopback)
{
    const struct {
        const char* what;
        QByteArray routes, routes6;
        bool ipv6File;
        bool network;
    } cases[] = {
        {"IPv4 default route", QByteArray(kRouteHeader) + kRouteDefault + kRouteLan, kRoute6Unreachable, true, true},
        {"only a LAN and loopback's unreachable default", QByteArray(kRouteHeader) + kRouteLan,
         QByteArray(kRoute6Link) + kRoute6Unreachable, true, false},
        {"IPv6 only", kRouteHeader, QByteArray(kRoute6Link) + kRoute6Default, true, true},
        {"nothing, IPv6 switched off", kRouteHeader, {}, false, false},
    };
    const QString dir = testsupport::sandboxRoot();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::writeFile(dir + "/route", c.routes);
        QFile::remove(dir + "/ipv6_route");
        if (c.ipv6File)
            testsupport::writeFile(dir + "/ipv6_route", c.routes6);
        const sd::ExecCommand command = sd::networkCondition(dir + "/route", dir + "/ipv6_route");
        EXPECT_EQ(systemdtest::runArgv(QStringList{command.program} + command.arguments) == 0, c.network);
    }
}

TEST(Conditions, SessionNeedsADisplay)
{
    const sd::ExecCommand command = sd::sessionCondition();
    const QStringList argv = QStringList{command.program} + command.arguments;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    EXPECT_NE(systemdtest::runArgv(argv, env), 0);
    env.insert("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_EQ(systemdtest::runArgv(argv, env), 0);
    env.remove("WAYLAND_DISPLAY");
    env.insert("DISPLAY", ":0");
    EXPECT_EQ(systemdtest::runArgv(argv, env), 0);
}

// Read back from a written unit line, so the quoting of '$' and '%' is part of the test.
TEST(Conditions, EndBoundaryAsWrittenStopsRunsAfterIt)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto& [end, runs] : {std::pair{now.addDays(1), true}, std::pair{now.addSecs(-60), false}}) {
        const QStringList argv = systemdtest::splitExecLine(sd::execLine(sd::endCondition(end)));
        EXPECT_EQ(systemdtest::runArgv(argv) == 0, runs) << argv.join(u' ').toStdString();
    }
}

}  // namespace
