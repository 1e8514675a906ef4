// The systemd scheduler end to end: unit files on disk, a recording systemctl, and
// systemd-analyze as the judge of what was written.
#include "platform/taskscheduler/SystemdTaskScheduler.h"
#include "platform/taskscheduler/SystemdUnits.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/FakeSystemctl.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

using platform::TaskDefinition;
using platform::TaskStatus;
using platform::TaskTrigger;
using systemdtest::FakeSystemctl;

namespace {

const QString kFolder = QStringLiteral("Ovex\\Ovex Kelvo");
const QString kName = QStringLiteral("New Message Check - joe");

class SystemdScheduler : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = testsupport::sandboxRoot() + QStringLiteral("/opt/ovex-kelvo/OvexKelvo");
        systemdtest::writeRecordingProgram(program, testsupport::sandboxRoot() + QStringLiteral("/runs.log"));
    }

    TaskDefinition task(bool withTrigger = true) const
    {
        TaskDefinition t;
        t.author = QStringLiteral("Ovex Inc.");
        t.description = QStringLiteral("Checks online for new messages for the products you have registered.");
        t.runOnlyIfNetworkAvailable = true;
        t.startWhenAvailable = true;
        t.programPath = program;
        t.arguments = QStringList{QStringLiteral("/auto")};
        t.deleteExpiredAfter = std::chrono::days(1);
        if (withTrigger) {
            TaskTrigger trigger;
            trigger.id = QStringLiteral("Trigger1");
            trigger.start = QDateTime::currentDateTime().addDays(1);
            trigger.end = trigger.start.addYears(1);
            trigger.randomDelay = std::chrono::minutes(15);
            t.trigger = trigger;
        }
        return t;
    }

    QString path(const QString& unit) const { return systemdtest::unitFolder() + u'/' + unit; }
    QString stem(const QString& name = kName) const { return platform::systemd::unitStem(kFolder, name); }
    QString expiry(const QString& name = kName) const { return platform::systemd::expiryStem(kFolder, name); }
    QString wants(const QString& name = kName) const
    {
        return systemdtest::unitFolder() + QStringLiteral("/timers.target.wants/") + stem(name) + ".timer";
    }
    QString expiryWants(const QString& name = kName) const
    {
        return systemdtest::unitFolder() + QStringLiteral("/timers.target.wants/") + expiry(name) + ".timer";
    }
    QString read(const QString& unit) const { return QString::fromUtf8(testsupport::readFile(path(unit))); }
    // Every file the task has in the unit folder, enablement links included.
    QStringList filesOf(const QString& name = kName) const
    {
        QStringList out;
        for (const QString& file :
             {path(stem(name) + ".service"), path(stem(name) + ".timer"), path(expiry(name) + ".service"),
              path(expiry(name) + ".timer"), wants(name), expiryWants(name)}) {
            if (QFileInfo::exists(file) || QFileInfo(file).isSymLink())
                out << QDir(systemdtest::unitFolder()).relativeFilePath(file);
        }
        return out;
    }

    void expectVerified(const QString& name = kName)
    {
        QStringList files{path(stem(name) + ".service")};
        for (const QString& unit : {stem(name) + ".timer", expiry(name) + ".service", expiry(name) + ".timer"}) {
            if (QFileInfo::exists(path(unit)))
                files << path(unit);
        }
        const systemdtest::Verify v = systemdtest::verifyUnits(files);
        EXPECT_EQ(v.exitCode, 0) << v.output.toStdString();
        EXPECT_EQ(v.output, QString()) << v.output.toStdString();
    }

    QString program;
    platform::SystemdTaskScheduler scheduler;
};

TEST_F(SystemdScheduler, RegisterWritesVerifiedUnitsAndEnablesTheTimer)
{
    FakeSystemctl systemctl;
    const TaskDefinition t = task();
    ASSERT_EQ(scheduler.registerTask(kFolder, kName, t), TaskStatus::Ok);
    expectVerified();
    const QString timer = stem() + ".timer";
    const QString expiryTimer = expiry() + ".timer";
    EXPECT_EQ(systemctl.calls(), (QStringList{"--user daemon-reload", "--user enable --now " + timer,
                                              "--user enable --now " + expiryTimer}));

    const QString timerText = read(timer);
    EXPECT_EQ(systemdtest::unitValues(timerText, "RandomizedDelaySec"), QStringList{"900"});
    EXPECT_EQ(systemdtest::unitValues(timerText, "Persistent"), QStringList{"true"});
    EXPECT_EQ(systemdtest::unitValues(timerText, "WantedBy"), QStringList{"timers.target"});
    const QString serviceText = read(stem() + ".service");
    EXPECT_EQ(systemdtest::unitValues(serviceText, "Type"), QStringList{"exec"});
    EXPECT_EQ(systemdtest::unitValues(serviceText, "Description"),
              QStringList{"Checks online for new messages for the products you have registered."});
    EXPECT_TRUE(serviceText.contains("Author: Ovex Inc."));
    // End boundary, display and network: three conditions, in that order.
    EXPECT_EQ(systemdtest::unitValues(serviceText, "ExecCondition").size(), 3);

    // The task removes itself a day after its end, on the next start if the machine was off.
    const QString expiryText = read(expiryTimer);
    const QDateTime end = QDateTime::fromSecsSinceEpoch(t.trigger->end.toSecsSinceEpoch());
    EXPECT_EQ(
        systemdtest::calendarElapses(systemdtest::unitValues(expiryText, "OnCalendar"), QDateTime::currentDateTime()),
        QList<QDateTime>{end.addDays(1)});
    EXPECT_EQ(systemdtest::unitValues(expiryText, "Persistent"), QStringList{"true"});
    EXPECT_EQ(systemdtest::unitValues(expiryText, "WantedBy"), QStringList{"timers.target"});
    EXPECT_EQ(systemdtest::unitValues(read(expiry() + ".service"), "Type"), QStringList{"oneshot"});
}

TEST_F(SystemdScheduler, ConditionsFollowTheSettings)
{
    FakeSystemctl systemctl;
    TaskDefinition t = task();
    t.runOnlyIfNetworkAvailable = false;
    t.startWhenAvailable = false;
    t.deleteExpiredAfter.reset();
    ASSERT_EQ(scheduler.registerTask(kFolder, kName, t), TaskStatus::Ok);
    EXPECT_EQ(systemdtest::unitValues(read(stem() + ".service"), "ExecCondition").size(), 2);
    EXPECT_TRUE(systemdtest::unitValues(read(stem() + ".timer"), "Persistent").isEmpty());
    // A task that does not expire has no expiry units.
    EXPECT_EQ(filesOf(),
              (QStringList{stem() + ".service", stem() + ".timer", "timers.target.wants/" + stem() + ".timer"}));
}

// Create or replace: the old timer is stopped first and only one task remains.
TEST_F(SystemdScheduler, ReRegisteringReplacesTheTask)
{
    FakeSystemctl systemctl;
    ASSERT_EQ(scheduler.registerTask(kFolder, kName, task()), TaskStatus::Ok);
    systemctl.clearCalls();
    TaskDefinition later = task();
    later.trigger->start = later.trigger->start.addDays(3);
    later.trigger->end = later.trigger->end.addDays(3);
    ASSERT_EQ(scheduler.registerTask(kFolder, kName, later), TaskStatus::Ok);

    const QString timer = stem() + ".timer";
    const QString expiryTimer = expiry() + ".timer";
    EXPECT_EQ(systemctl.calls(), (QStringList{"--user disable --now " + timer, "--user disable --now " + expiryTimer,
                                              "--user daemon-reload", "--user enable --now " + timer,
                                              "--user enable --now " + expiryTimer}));
    EXPECT_EQ(systemdtest::unitFiles(".timer"), (QStringList{expiryTimer, timer}));
    EXPECT_EQ(systemdtest::unitFiles(".service"), (QStringList{expiry() + ".service", stem() + ".service"}));
    const QList<QDateTime> runs =
        systemdtest::calendarElapses(systemdtest::unitValues(read(timer), "OnCalendar"), QDateTime::currentDateTime());
    ASSERT_FALSE(runs.isEmpty());
    EXPECT_EQ(runs.first(), QDateTime::fromSecsSinceEpoch(later.trigger->start.toSecsSinceEpoch()));
    EXPECT_EQ(systemdtest::calendarElapses(systemdtest::unitValues(read(expiryTimer), "OnCalendar"),
                                           QDateTime::currentDateTime()),
              QList<QDateTime>{QDateTime::fromSecsSinceEpoch(later.trigger->end.toSecsSinceEpoch()).addDays(1)});
}

// A task without a trigger replaces one with: the timer and the expiry units go (there
// is no end to expire at), the service stays.
TEST_F(SystemdScheduler, NoTriggerRemovesTheOldTimer)
{
    FakeSystemctl systemctl;
    ASSERT_EQ(scheduler.registerTask(kFolder, kName, task()), TaskStatus::Ok);
    ASSERT_TRUE(QFileInfo(wants()).isSymLink());
    ASSERT_TRUE(QFileInfo(expiryWants()).isSymLink());
    systemctl.clearCalls();
    ASSERT_EQ(scheduler.registerTask(kFolder, kName, task(false)), TaskStatus::Ok);

    EXPECT_EQ(systemctl.calls(), (QStringList{"--user disable --now " + stem() + ".timer",
                                              "--user disable --now " + expiry() + ".timer", "--user daemon-reload"}));
    EXPECT_TRUE(systemdtest::unitFiles(".timer").isEmpty());
    EXPECT_FALSE(QFileInfo(wants()).isSymLink());
    EXPECT_EQ(systemdtest::unitFiles(".service"), QStringList{stem() + ".service"});
    EXPECT_EQ(filesOf(), QStringList{stem() + ".service"});
    expectVerified();
}

// Without a user manager nothing is left that a later login would start, and the
// failure is only a status.
TEST_F(SystemdScheduler, NoWorkingServiceManagerLeavesNoTask)
{
    const QString timer = stem() + ".timer";
    const QString expiryTimer = expiry() + ".timer";
    const struct {
        QString failing;
        QStringList calls;
    } cases[] = {
        {"daemon-reload", {"--user daemon-reload"}},
        {"enable", {"--user daemon-reload", "--user enable --now " + timer, "--user daemon-reload"}},
        // The task's timer runs by then and has to stop again.
        {"enable --now " + expiryTimer,
         {"--user daemon-reload", "--user enable --now " + timer, "--user enable --now " + expiryTimer,
          "--user disable --now " + timer, "--user daemon-reload"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing.toStdString());
        FakeSystemctl systemctl;
        systemctl.failOn(c.failing);
        EXPECT_EQ(scheduler.registerTask(kFolder, kName, task()), TaskStatus::ServiceUnavailable);
        EXPECT_EQ(systemctl.calls(), c.calls);
        EXPECT_TRUE(systemdtest::unitFiles("").isEmpty());
        EXPECT_EQ(filesOf(), QStringList());
    }
    FakeSystemctl systemctl;
    systemctl.uninstall();
    EXPECT_EQ(scheduler.registerTask(kFolder, kName, task()), TaskStatus::ServiceUnavailable);
    EXPECT_TRUE(systemdtest::unitFiles(".service").isEmpty());
}

TEST_F(SystemdScheduler, DeleteTaskAndFolder)
{
    FakeSystemctl systemctl;
    const QString other = QStringLiteral("Another Task");
    EXPECT_EQ(scheduler.deleteTask(kFolder, kName), TaskStatus::NotFound);
    EXPECT_TRUE(systemctl.calls().isEmpty());
    ASSERT_EQ(scheduler.registerTask(kFolder, kName, task()), TaskStatus::Ok);
    ASSERT_EQ(scheduler.registerTask(kFolder, other, task(false)), TaskStatus::Ok);
    systemctl.clearCalls();
    // A folder named like the task holds nothing, though the task's expiry units start
    // with its prefix.
    EXPECT_EQ(scheduler.deleteFolder(kFolder + u'\\' + kName), TaskStatus::Ok);

    ASSERT_EQ(scheduler.deleteTask(kFolder, kName), TaskStatus::Ok);
    EXPECT_EQ(systemctl.calls(), (QStringList{"--user disable --now " + stem() + ".timer",
                                              "--user disable --now " + expiry() + ".timer", "--user daemon-reload"}));
    EXPECT_FALSE(QFileInfo::exists(path(stem() + ".service")));
    EXPECT_FALSE(QFileInfo::exists(path(stem() + ".timer")));
    EXPECT_FALSE(QFileInfo(wants()).isSymLink());
    EXPECT_EQ(filesOf(), QStringList());
    EXPECT_EQ(scheduler.deleteTask(kFolder, kName), TaskStatus::NotFound);

    EXPECT_EQ(scheduler.deleteFolder(kFolder), TaskStatus::FolderNotEmpty);
    // A task with no timer is deleted without touching timers.
    systemctl.clearCalls();
    ASSERT_EQ(scheduler.deleteTask(kFolder, other), TaskStatus::Ok);
    EXPECT_EQ(systemctl.calls(), QStringList{"--user daemon-reload"});
    EXPECT_EQ(scheduler.deleteFolder(kFolder), TaskStatus::Ok);
    EXPECT_EQ(scheduler.deleteFolder(QString()), TaskStatus::InvalidDefinition);
}

// A unit that cannot be written leaves no part of the task behind.
TEST_F(SystemdScheduler, UnwritableExpiryUnitLeavesNoTask)
{
    FakeSystemctl systemctl;
    // The last unit written, as a link into a folder that does not exist: everything
    // written before it has to go again.
    ASSERT_TRUE(QDir().mkpath(systemdtest::unitFolder()));
    ASSERT_TRUE(QFile::link(testsupport::sandboxRoot() + "/gone/x.timer", path(expiry() + ".timer")));
    EXPECT_EQ(scheduler.registerTask(kFolder, kName, task()), TaskStatus::WriteFailed);
    EXPECT_TRUE(systemdtest::unitFiles("").isEmpty());
    EXPECT_EQ(systemctl.calls(), QStringList{"--user daemon-reload"});
    EXPECT_FALSE(QFileInfo(wants()).isSymLink());
    EXPECT_FALSE(QFileInfo(expiryWants()).isSymLink());
}

// A status other than Ok comes with a sentence that names the file, the call or the part of
// the task at fault and why; the status itself is what it was without one.
TEST_F(SystemdScheduler, FailuresSayWhatFailedAndWhy)
{
    const QString units = systemdtest::unitFolder();
    const QString service = path(stem() + ".service");
    const QString systemctl = testsupport::sandboxRoot() + QStringLiteral("/fakebin/systemctl");
    const auto registerIt = [&](QString* e) { return scheduler.registerTask(kFolder, kName, task(), e); };
    const auto registerAndMakeDirectory = [&](FakeSystemctl&) {
        ASSERT_EQ(scheduler.registerTask(kFolder, kName, task()), TaskStatus::Ok);
        ASSERT_TRUE(QFile::remove(service));
        ASSERT_TRUE(QDir().mkpath(service + QStringLiteral("/inside")));
    };
    const struct {
        const char* name;
        std::function<void(FakeSystemctl&)> setUp;
        std::function<TaskStatus(QString*)> run;
        TaskStatus status;
        QString message;  // the whole sentence, or its start up to the system's reason
        bool reasonFollows;
    } cases[] = {
        {"UnitFolderBlockedByAFile", [&](FakeSystemctl&) { testsupport::writeFile(units.chopped(5), "not a folder"); },
         registerIt, TaskStatus::WriteFailed, "Unable to make the folder " + units + ": Not a directory", false},
        {"UnitFileIsAFolder", [&](FakeSystemctl&) { ASSERT_TRUE(QDir().mkpath(service + QStringLiteral("/inside"))); },
         registerIt, TaskStatus::WriteFailed, "Unable to write unit file " + service + ": ", true},
        {"ManagerRefusesTheReload", [](FakeSystemctl& s) { s.failOn("daemon-reload"); }, registerIt,
         TaskStatus::ServiceUnavailable,
         systemctl + " --user daemon-reload failed with exit code 1: Failed to daemon-reload as told.", false},
        {"NoSystemctl", [](FakeSystemctl& s) { s.uninstall(); }, registerIt, TaskStatus::ServiceUnavailable,
         "Unable to register task " + kName + ": no systemctl on PATH", false},
        {"RelativeProgram", [](FakeSystemctl&) {},
         [&](QString* e) {
             TaskDefinition t = task();
             t.programPath = QStringLiteral("OvexKelvo");
             return scheduler.registerTask(kFolder, kName, t, e);
         },
         TaskStatus::InvalidDefinition, "The program OvexKelvo of task " + kName + " is not an absolute path", false},
        {"NoSuchTask", [](FakeSystemctl&) {}, [&](QString* e) { return scheduler.deleteTask(kFolder, kName, e); },
         TaskStatus::NotFound, "No task " + kName + " in folder " + kFolder, false},
        {"UnitThatCannotBeRemoved", registerAndMakeDirectory,
         [&](QString* e) { return scheduler.deleteTask(kFolder, kName, e); }, TaskStatus::WriteFailed,
         "Unable to remove unit file " + service + ": ", true},
        {"FolderStillHoldsATask",
         [&](FakeSystemctl&) { ASSERT_EQ(scheduler.registerTask(kFolder, kName, task()), TaskStatus::Ok); },
         [&](QString* e) { return scheduler.deleteFolder(kFolder, e); }, TaskStatus::FolderNotEmpty,
         "Task folder " + kFolder + " still holds the task of unit " + stem() + ".service", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            FakeSystemctl fake;
            c.setUp(fake);
            QString error;
            EXPECT_EQ(c.run(&error), c.status);
            if (c.reasonFollows) {
                EXPECT_TRUE(error.startsWith(c.message)) << error.toStdString();
                EXPECT_GT(error.size(), c.message.size()) << error.toStdString();
            } else {
                EXPECT_EQ(error, c.message);
            }
        }
        QDir(units).removeRecursively();
        QFile::remove(units.chopped(5));
    }
    // Success leaves the message alone.
    FakeSystemctl fake;
    QString error = QStringLiteral("untouched");
    EXPECT_EQ(scheduler.registerTask(kFolder, kName, task(), &error), TaskStatus::Ok);
    EXPECT_EQ(scheduler.deleteTask(kFolder, kName, &error), TaskStatus::Ok);
    EXPECT_EQ(scheduler.deleteFolder(kFolder, &error), TaskStatus::Ok);
    EXPECT_EQ(error, QStringLiteral("untouched"));
}

// The expiry service's command as written, run for real, with whatever the unit folder's
// path holds: it disables both timers with the systemctl found at registration, removes
// every file of its task and none of another's, and reloads.
TEST_F(SystemdScheduler, ExpiryServiceRemovesItsTaskOnly)
{
    const QString other = QStringLiteral("New Message Check - joe2");
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    for (const QByteArray& home : {configHome, configHome + "/it's \"my\" $HOME; 100% * \\ config"}) {
        SCOPED_TRACE(home.toStdString());
        qputenv("XDG_CONFIG_HOME", home);
        FakeSystemctl systemctl;
        ASSERT_EQ(scheduler.registerTask(kFolder, kName, task()), TaskStatus::Ok);
        ASSERT_EQ(scheduler.registerTask(kFolder, other, task()), TaskStatus::Ok);
        const QStringList otherFiles = filesOf(other);
        ASSERT_EQ(otherFiles.size(), 6);
        ASSERT_EQ(filesOf().size(), 6);
        systemctl.clearCalls();

        const QStringList exec = systemdtest::unitValues(read(expiry() + ".service"), "ExecStart");
        ASSERT_EQ(exec.size(), 1);
        EXPECT_EQ(systemdtest::runArgv(systemdtest::splitExecLine(exec.first())), 0) << exec.first().toStdString();
        EXPECT_EQ(systemctl.calls(),
                  (QStringList{"--user disable --now " + stem() + ".timer",
                               "--user disable --now " + expiry() + ".timer", "--user daemon-reload"}));
        EXPECT_EQ(filesOf(), QStringList());
        EXPECT_EQ(filesOf(other), otherFiles);
        ASSERT_EQ(scheduler.deleteTask(kFolder, other), TaskStatus::Ok);
        EXPECT_EQ(scheduler.deleteFolder(kFolder), TaskStatus::Ok);
    }
    qputenv("XDG_CONFIG_HOME", configHome);
}

TEST_F(SystemdScheduler, UnrepresentableDefinitionsTouchNothing)
{
    FakeSystemctl systemctl;
    TaskDefinition relative = task();
    relative.programPath = QStringLiteral("OvexKelvo");
    TaskDefinition noDays = task();
    noDays.trigger->type = TaskTrigger::Type::Weekly;
    noDays.trigger->daysOfWeek = 0;
    TaskDefinition nul = task();
    nul.arguments << QStringLiteral("a") + QChar(u'\0');
    TaskDefinition expiredBeforeItsEnd = task();
    expiredBeforeItsEnd.deleteExpiredAfter = std::chrono::seconds(-1);
    for (const TaskDefinition& t : {relative, noDays, nul, expiredBeforeItsEnd})
        EXPECT_EQ(scheduler.registerTask(kFolder, kName, t), TaskStatus::InvalidDefinition);
    EXPECT_EQ(scheduler.registerTask(kFolder, QStringLiteral(" "), task()), TaskStatus::InvalidDefinition);
    EXPECT_TRUE(systemctl.calls().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(systemdtest::unitFolder()));
}

// The program path reaches the kernel unchanged, whatever it holds: systemd itself
// checks the paths it accepts as executables, and the argv read back from the unit
// runs the program with its argument.
TEST_F(SystemdScheduler, ProgramPathsSurviveTheUnitFile)
{
    FakeSystemctl systemctl;
    const QStringList folders = {
        QStringLiteral("with space"),  QStringLiteral("100%done"),  QStringLiteral("$HOME and ${USER}"),
        QStringLiteral("semi;colon"),  QStringLiteral("quote\"d"),  QStringLiteral("apo'strophe"),
        QStringLiteral("back\\slash"), QStringLiteral("tab\there"), QStringLiteral("Jörg"),
    };
    for (const QString& folder : folders) {
        SCOPED_TRACE(folder.toStdString());
        const QString log = testsupport::sandboxRoot() + QStringLiteral("/weird.log");
        QFile::remove(log);
        TaskDefinition t = task();
        t.programPath = testsupport::sandboxRoot() + u'/' + folder + QStringLiteral("/Ovex Kelvo");
        systemdtest::writeRecordingProgram(t.programPath, log);
        ASSERT_EQ(scheduler.registerTask(kFolder, kName, t), TaskStatus::Ok);
        expectVerified();

        const QStringList exec = systemdtest::unitValues(read(stem() + ".service"), "ExecStart");
        ASSERT_EQ(exec.size(), 1);
        EXPECT_EQ(systemdtest::runArgv(systemdtest::splitExecLine(exec.first())), 0) << exec.first().toStdString();
        EXPECT_EQ(testsupport::readFile(log), QByteArray("/auto\n"));
    }
}

// A name is text from the user's account: it must not be able to add lines to a unit.
TEST_F(SystemdScheduler, TaskNamesCannotInjectUnitLines)
{
    FakeSystemctl systemctl;
    const QString name = QStringLiteral("New Message Check - x\nExecStartPre=/bin/false\n[Install]\r\nAlias=evil\\");
    TaskDefinition t = task();
    t.description = QStringLiteral("100% sure\nExecStartPost=/bin/false\\");
    ASSERT_EQ(scheduler.registerTask(kFolder, name, t), TaskStatus::Ok);
    expectVerified(name);
    for (const QString& unit :
         {stem(name) + ".service", stem(name) + ".timer", expiry(name) + ".service", expiry(name) + ".timer"}) {
        const QString text = read(unit);
        EXPECT_TRUE(systemdtest::unitValues(text, "ExecStartPre").isEmpty());
        EXPECT_TRUE(systemdtest::unitValues(text, "ExecStartPost").isEmpty());
        EXPECT_TRUE(systemdtest::unitValues(text, "Alias").isEmpty());
        EXPECT_EQ(text.split(u'\n').count(QStringLiteral("[Install]")), unit.endsWith(".timer") ? 1 : 0);
        EXPECT_EQ(text.split(u'\n').count(QStringLiteral("[Service]")), unit.endsWith(".service") ? 1 : 0);
    }
}

// The conditions as written run the same as the commands they came from.
TEST_F(SystemdScheduler, WrittenConditionsRun)
{
    FakeSystemctl systemctl;
    ASSERT_EQ(scheduler.registerTask(kFolder, kName, task()), TaskStatus::Ok);
    const QStringList conditions = systemdtest::unitValues(read(stem() + ".service"), "ExecCondition");
    ASSERT_EQ(conditions.size(), 3);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", ":0");
    // The end is a year away and a display is known; the network one depends on this
    // machine, so it only has to run.
    EXPECT_EQ(systemdtest::runArgv(systemdtest::splitExecLine(conditions[0]), env), 0);
    EXPECT_EQ(systemdtest::runArgv(systemdtest::splitExecLine(conditions[1]), env), 0);
    EXPECT_GE(systemdtest::runArgv(systemdtest::splitExecLine(conditions[2]), env), 0);
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    EXPECT_EQ(systemdtest::runArgv(systemdtest::splitExecLine(conditions[1]), env), 1);
}

}  // namespace
