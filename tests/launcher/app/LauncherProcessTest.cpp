#include "tests/launcher/LauncherTestSupport.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnvironment.h"

#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>

#include <csignal>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using platform::Registry;
using platform::RegValue;
using platform::RootKey;

const QString kSetupKey = QStringLiteral("SYSTEM\\Setup\\Status\\UnattendPasses");
const QString kUserKey = QStringLiteral("Software\\Ovex\\Ovex Kelvo");
const char kStarted[] = "Showing start page";

QString launcherPath()
{
    return testsupport::programPath(QStringLiteral("launcher"));
}

std::optional<quint32> hasRunFlag()
{
    const std::optional<RegValue> v = Registry::value(RootKey::CurrentUser, kUserKey, QStringLiteral("LauncherHasRun"));
    return v ? std::optional<quint32>(quint32(v->number)) : std::nullopt;
}

using launchertest::userHive;

// The built launcher with its engine traces on stderr.
class Launcher : public testsupport::TracedProgram {
public:
    explicit Launcher(const QStringList& args = {})
        : TracedProgram(launcherPath(), QStringLiteral("ovex.engine.trace.debug=true"))
    {
        start(args);
    }
};

struct Case {
    const char* name;
    std::optional<quint32> oobe;
    std::optional<quint32> hasRun;
    QStringList args;
    bool goesOn;
    std::optional<quint32> flagAfter;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class LauncherProcess : public ::testing::TestWithParam<Case> {};

TEST_P(LauncherProcess, ExitCodeAndFlagAfterTheFirstRunTest)
{
    const Case& c = GetParam();
    if (c.oobe) {
        ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, kSetupKey, QStringLiteral("oobeSystem"),
                                       RegValue::fromDWord(*c.oobe)));
    }
    if (c.hasRun) {
        ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, kUserKey, QStringLiteral("LauncherHasRun"),
                                       RegValue::fromDWord(*c.hasRun)));
    }
    const QByteArray before = userHive();

    if (!c.goesOn) {
        const testsupport::RunResult r = testsupport::runProgram(launcherPath(), c.args);
        EXPECT_FALSE(r.timedOut) << "every start but the first ends at once";
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(hasRunFlag(), c.flagAfter);
        if (!c.oobe || *c.oobe == 0) {
            EXPECT_EQ(userHive(), before);
        }
        return;
    }

    // The first run reaches the registration window's start, where the product's script
    // hands off to the client and ends the launcher with 0.
    Launcher launcher(c.args);
    ASSERT_TRUE(launcher.process().waitForFinished(20000));
    const QByteArray err = launcher.err() + launcher.process().readAllStandardError();
    EXPECT_TRUE(err.contains(kStarted)) << err.toStdString();
    EXPECT_EQ(launcher.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(launcher.process().exitCode(), 0);
    EXPECT_EQ(hasRunFlag(), c.flagAfter);
}

const Case kCases[] = {
    {"oobe_missing_flag_absent", std::nullopt, std::nullopt, {}, false, std::nullopt},
    {"oobe_missing_flag_set", std::nullopt, 1, {}, false, 1},
    {"oobe_zero_flag_absent", 0, std::nullopt, {}, false, std::nullopt},
    {"oobe_zero_flag_set", 0, 1, {}, false, 1},
    {"oobe_one_flag_set", 1, 1, {}, false, 1},
    {"oobe_one_flag_set_unknown_language", 1, 1, {QStringLiteral("language=XX")}, false, 1},
    {"oobe_one_flag_absent_first_run", 1, std::nullopt, {}, true, 1},
};

INSTANTIATE_TEST_SUITE_P(Table, LauncherProcess, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(LauncherProcessRace, OfLaunchersStartedTogetherOnlyOneTakesTheFirstRun)
{
    ASSERT_TRUE(
        Registry::setValue(RootKey::LocalMachine, kSetupKey, QStringLiteral("oobeSystem"), RegValue::fromDWord(1)));
    std::vector<std::unique_ptr<Launcher>> launchers;
    for (int i = 0; i < 4; ++i)
        launchers.push_back(std::make_unique<Launcher>());
    int wentOn = 0;
    for (auto& launcher : launchers) {
        ASSERT_TRUE(launcher->process().waitForFinished(20000));
        if ((launcher->err() + launcher->process().readAllStandardError()).contains(kStarted))
            ++wentOn;
        EXPECT_EQ(launcher->process().exitCode(), 0);
    }
    EXPECT_EQ(wentOn, 1);
    EXPECT_EQ(hasRunFlag(), 1u);
}

}  // namespace
