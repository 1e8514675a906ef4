#include "launcher/app/OvexVaskStubRegApp.h"
#include "launcher/window/RegWind.h"
#include "tests/launcher/LauncherTestSupport.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/TestEnvironment.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/ModalWait.h"
#include "regengine/core/QmStrStream.h"

#include "platform/registry/Registry.h"
#include "platform/ui/Ui.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <optional>
#include <ostream>
#include <string>

using namespace engine;
using namespace launcher;

namespace {

using platform::Registry;
using platform::RegValue;
using platform::RootKey;
using testsupport::RecordingSink;

const QString kSetupKey = QStringLiteral("SYSTEM\\Setup\\Status\\UnattendPasses");
const QString kUserKey = QStringLiteral("Software\\Ovex\\Ovex Kelvo");

// What the start event saw, for the test to check after the run.
struct StartSeen {
    int runs = 0;
    QString usid;
    QString runCount;
};
StartSeen g_start;

// The test script's start attachment: notes the window's state, then ends the launcher
// with its exit code the way the product's exit attachment does.
class QuitProbe : public AttachmentType<QuitProbe> {
public:
    bool ExecuteSelf(Attachable* attachable, quint32 event) override
    {
        if (event != AttachEvent::PageShown)
            return true;
        if (auto* window = dynamic_cast<RegWind*>(attachable)) {
            ++g_start.runs;
            g_start.usid = window->GetList(RegWind::PageFields)->GetField(FourCC("USID"));
            g_start.runCount = window->GetList(RegWind::HeaderRecord)->GetField(FourCC("-RGC"));
        }
        SetLauncherExitCode(code_);
        PostQuitWithExitCode();
        return true;
    }
    void ReadParameters(QmStrStream& stream) override { stream.readInt(code_); }

private:
    qint32 code_ = 0;
};

const AttachmentTypeRegistrar<QuitProbe> g_quitProbe(QStringLiteral("QuitProbe"));

// The runs that reach the event loop end by the script's quit; should one not come, the
// test fails with -1 instead of hanging.
int runBounded(OvexVaskStubRegApp& app, QStringList args)
{
    args << QStringLiteral("language=EN");
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { platform::postQuit(-1); });
    guard.start(20000);
    return app.Run(args);
}

OvexVaskStubRegApp::Services testServices()
{
    OvexVaskStubRegApp::Services services;
    services.resourceModule = QStringLiteral("launcher_test");
    return services;
}

using launchertest::userHive;

std::optional<QString> headerOf(const OvexVaskStubRegApp& app, const char* code)
{
    if (app.GetMainWindow() == nullptr)
        return std::nullopt;
    const Field* f = app.GetMainWindow()->GetList(RegWind::HeaderRecord)->Find(FourCC(code));
    return f ? std::optional<QString>(f->GetValue()) : std::nullopt;
}

struct FirstRunCase {
    const char* name;
    std::optional<RegValue> oobe;
    std::optional<RegValue> hasRun;
    int exitCode;
    std::optional<QString> runCount;
    std::optional<quint32> flagAfter;
};

void PrintTo(const FirstRunCase& c, std::ostream* os)
{
    *os << c.name;
}

class LauncherFirstRun : public ::testing::TestWithParam<FirstRunCase> {};

TEST_P(LauncherFirstRun, OnlyTheFirstRunOnAnOobeMachineGoesOn)
{
    const FirstRunCase& c = GetParam();
    g_start = {};
    if (c.oobe) {
        ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, kSetupKey, QStringLiteral("oobeSystem"), *c.oobe));
    }
    if (c.hasRun) {
        ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, kUserKey, QStringLiteral("LauncherHasRun"), *c.hasRun));
    }
    const QByteArray before = userHive();
    const bool mayWrite = c.runCount.has_value();

    OvexVaskStubRegApp app(testServices());
    EXPECT_EQ(runBounded(app, {}), c.exitCode);

    const bool wentOn = c.exitCode == 7;
    EXPECT_EQ(g_start.runs, wentOn ? 1 : 0);
    EXPECT_EQ(headerOf(app, "-RGC"), c.runCount);
    const std::optional<RegValue> flag =
        Registry::value(RootKey::CurrentUser, kUserKey, QStringLiteral("LauncherHasRun"));
    EXPECT_EQ(flag ? std::optional<quint32>(quint32(flag->number)) : std::nullopt, c.flagAfter);
    if (!mayWrite) {
        EXPECT_EQ(userHive(), before) << "the user hive is not written by this run";
    }
    if (wentOn) {
        EXPECT_EQ(g_start.runCount, QStringLiteral("1"));
        static const QRegularExpression uuid(
            QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"));
        EXPECT_TRUE(uuid.match(g_start.usid).hasMatch()) << g_start.usid.toStdString();
    }
}

const FirstRunCase kFirstRunCases[] = {
    {"no_oobe_value_no_flag", std::nullopt, std::nullopt, 0, std::nullopt, std::nullopt},
    {"no_oobe_value_flag_set", std::nullopt, RegValue::fromDWord(1), 0, std::nullopt, 1},
    {"oobe_zero_no_flag", RegValue::fromDWord(0), std::nullopt, 0, std::nullopt, std::nullopt},
    {"oobe_zero_flag_set", RegValue::fromDWord(0), RegValue::fromDWord(1), 0, std::nullopt, 1},
    {"first_run", RegValue::fromDWord(1), std::nullopt, 7, QStringLiteral("1"), 1},
    {"first_run_flag_zero", RegValue::fromDWord(1), RegValue::fromDWord(0), 7, QStringLiteral("1"), 1},
    {"second_run", RegValue::fromDWord(1), RegValue::fromDWord(1), 0, QStringLiteral("2"), 1},
    {"later_run", RegValue::fromDWord(1), RegValue::fromDWord(5), 0, QStringLiteral("6"), 5},
    // The setup value is read as four stored bytes whatever its type: eight do not fit.
    {"oobe_too_wide", RegValue::fromQWord(1), std::nullopt, 0, std::nullopt, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Table, LauncherFirstRun, ::testing::ValuesIn(kFirstRunCases),
                         [](const ::testing::TestParamInfo<FirstRunCase>& info) {
                             return std::string(info.param.name);
                         });

void markOobeMachine()
{
    ASSERT_TRUE(
        Registry::setValue(RootKey::LocalMachine, kSetupKey, QStringLiteral("oobeSystem"), RegValue::fromDWord(1)));
}

TEST(LauncherApp, AMissingPageScriptShowsTheErrorAndEndsWithOne)
{
    RecordingSink sink;
    OvexVaskStubRegApp::Services services;
    services.resourceModule = QStringLiteral("no_such_module");
    OvexVaskStubRegApp app(services);
    EXPECT_EQ(app.Run({}), 1);
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, QStringLiteral("Error Starting No Data File"));
    EXPECT_EQ(sink.boxes[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(app.GetMainWindow(), nullptr);
}

TEST(LauncherApp, WithoutADisplayTheMissingScriptErrorGoesToStderrWithoutWaiting)
{
    OvexVaskStubRegApp::Services services;
    services.resourceModule = QStringLiteral("no_such_module");
    OvexVaskStubRegApp app(services);
    ::testing::internal::CaptureStderr();
    const int code = app.Run({});
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("Error: Error Starting No Data File"), std::string::npos) << err;
}

TEST(LauncherApp, NoUniqueIdEndsTheLauncherInsteadOfLeavingItHidden)
{
    markOobeMachine();
    g_start = {};
    OvexVaskStubRegApp::Services services = testServices();
    services.makeUuid = [] { return std::nullopt; };
    OvexVaskStubRegApp app(services);
    EXPECT_EQ(runBounded(app, {}), kInitialExitCode);
    EXPECT_EQ(g_start.runs, 0);
    EXPECT_EQ(app.GetMainWindow()->GetList(RegWind::PageFields)->Find(FourCC("USID")), nullptr);
}

TEST(LauncherApp, TheStartModeDoesNotSkipTheFirstRunTest)
{
    markOobeMachine();
    g_start = {};
    OvexVaskStubRegApp app(testServices());
    EXPECT_EQ(runBounded(app, {QStringLiteral("/uninstall")}), 7);
    EXPECT_EQ(app.GetStartMode(), 1);
    EXPECT_EQ(g_start.runs, 1);
}

TEST(LauncherApp, CommandLineFieldsFlagsAndPassThroughReachTheWindow)
{
    OvexVaskStubRegApp app(testServices());
    EXPECT_EQ(runBounded(app, {QStringLiteral("MODL=Probook 450"), QStringLiteral("/FLAGS=quiet"),
                               QStringLiteral("/PROD=XXXX")}),
              0);
    RegWind* window = app.GetMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(headerOf(app, "MODL"), QStringLiteral("Probook 450"));
    EXPECT_EQ(headerOf(app, "PROD"), QStringLiteral("OVX1"));
    EXPECT_EQ(window->GetPassThroughText(), QStringLiteral("/MODL=\"Probook 450\""));
    EXPECT_EQ(window->GetFlagsText(), QStringLiteral("quiet"));
    EXPECT_EQ(window->GetText(), QStringLiteral("Test Setup"));
}

struct LanguageCase {
    const char* name;
    std::vector<const char*> args;
    const char* locale;
    const char* language;
    const char* script;
};

void PrintTo(const LanguageCase& c, std::ostream* os)
{
    *os << c.name;
}

class LauncherLanguage : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(LauncherLanguage, PicksTheScriptOfTheLanguage)
{
    const LanguageCase& c = GetParam();
    qputenv("LC_ALL", c.locale);
    QStringList args;
    for (const char* a : c.args)
        args << QString::fromLatin1(a);
    OvexVaskStubRegApp app(testServices());
    EXPECT_EQ(app.Run(args), 0);
    EXPECT_EQ(app.GetLanguage().GetString(), QString::fromLatin1(c.language));
    EXPECT_EQ(LangCode::Current().GetString(), QString::fromLatin1(c.language));
    EXPECT_EQ(headerOf(app, "SRC1"), QString::fromLatin1(c.script));
}

const LanguageCase kLanguageCases[] = {
    {"us_english_locale", {}, "en_US.UTF-8", "ENU", "ENU"},
    {"uk_english_locale_falls_back_to_en", {}, "en_GB.UTF-8", "ENG", "EN"},
    {"simplified_chinese_locale_maps_to_zh", {}, "zh_CN.UTF-8", "CHS", "ZH"},
    {"german_locale_falls_back_to_en", {}, "de_DE.UTF-8", "DEU", "EN"},
    {"argument_wins_over_the_locale", {"language=zh"}, "en_US.UTF-8", "zh", "ZH"},
    {"unknown_language_argument_falls_back_to_en", {"/language=XX"}, "en_US.UTF-8", "XX", "EN"},
};

INSTANTIATE_TEST_SUITE_P(Table, LauncherLanguage, ::testing::ValuesIn(kLanguageCases),
                         [](const ::testing::TestParamInfo<LanguageCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
