#include "client/BrevantApp.h"
#include "client/Database.h"
#include "client/Globals.h"
#include "client/ui/MainFrame.h"
#include "client/Settings.h"
#include "client/ui/WarningDlg.h"
#include "platform/ui/Ui.h"
#include "platform/version/Version.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>

using namespace client;

namespace {

class FixedVersion final : public platform::OsVersionSource {
public:
    explicit FixedVersion(unsigned major) { v_.major = major; }
    platform::OsVersion osVersion() const override { return v_; }

private:
    platform::OsVersion v_;
};

class CountingSink final : public platform::MessageSink {
public:
    int messageBox(const QString&, const QString&, unsigned) override { return platform::id::Ok; }
    void beep(unsigned style) override { beeps.push_back(style); }
    std::vector<unsigned> beeps;
};

struct WarningCase {
    const char* name;
    const char* storedSetting;  // nullptr: none stored
    bool clickExit;
    bool tick;
    bool expectShown;
    bool expectStarted;
    const char* expectSetting;
};

const WarningCase kWarningCases[] = {
    {"MissingSettingShowsWarning", nullptr, false, false, true, true, "1"},
    {"SettingZeroSkipsWarning", "0", false, false, false, true, "0"},
    {"ExitEndsProgram", nullptr, true, false, true, false, "1"},
    {"TickTurnsWarningOff", "1", false, true, true, true, "0"},
};

class StartupWarning : public ::testing::TestWithParam<WarningCase> {};

// The real dialog is driven through its buttons, as a user would.
TEST_P(StartupWarning, OnOldSystem)
{
    const WarningCase& c = GetParam();
    if (c.storedSetting) {
        sqlite3* db = Database::Instance();
        Database::Query(
            QStringLiteral(
                "CREATE TABLE IF NOT EXISTS Setting ( setting TEXT NOT NULL PRIMARY KEY, value TEXT NOT NULL )"),
            db);
        Database::Query(QStringLiteral("INSERT INTO Setting VALUES ('ShowVistaWarning','%1')").arg(c.storedSetting),
                        db);
        Database::Commit(db);
    }
    CountingSink sink;
    platform::setMessageSink(&sink);
    FixedVersion xp(5);
    bool shown = false;
    CBrevantApp::Services services;
    services.osVersion = &xp;
    services.runWarning = [&](CWarningDlg& dialog) {
        shown = true;
        QTimer::singleShot(0, &dialog, [&] {
            dialog.findChild<QCheckBox*>(QStringLiteral("dontShowAgain"))->setChecked(c.tick);
            dialog.findChild<QPushButton*>(QString::fromLatin1(c.clickExit ? "exitButton" : "continueButton"))->click();
        });
        return dialog.exec();
    };
    CBrevantApp app(services);
    const bool started = app.InitInstance({});
    EXPECT_EQ(shown, c.expectShown);
    EXPECT_EQ(started, c.expectStarted);
    EXPECT_EQ(sink.beeps.size(), c.expectShown ? 1u : 0u);
    EXPECT_EQ(GetSetting(QStringLiteral("ShowVistaWarning")), QString::fromLatin1(c.expectSetting));
    platform::setMessageSink(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Table, StartupWarning, ::testing::ValuesIn(kWarningCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Startup, CurrentSystemShowsNoWarning)
{
    bool shown = false;
    CBrevantApp::Services services;
    services.runWarning = [&](CWarningDlg&) {
        shown = true;
        return int(QDialog::Rejected);
    };
    CBrevantApp app(services);
    EXPECT_TRUE(app.InitInstance({}));
    EXPECT_FALSE(shown);
    EXPECT_NE(app.MainFrame(), nullptr);
    EXPECT_FALSE(app.MainFrame()->isVisible());
    EXPECT_NE(app.Guard().WindowHandle(), 0u);
}

// "/schedule" ends start-up before the document: nothing is imported or reset.
TEST(Startup, ScheduleEndsWithoutDocument)
{
    CBrevantApp app;
    EXPECT_FALSE(app.InitInstance({QStringLiteral("/import"), QStringLiteral("/x.tova"), QStringLiteral("/schedule"),
                                   QStringLiteral("2026-12-24T08:00:00")}));
    EXPECT_EQ(app.Document(), nullptr);
    EXPECT_TRUE(client::runState().importPath.isEmpty());
}

// The language comes from the user's locale before the document exists.
TEST(Startup, LanguageCodeFromLocale)
{
    ::setenv("LC_ALL", "de_AT.UTF-8", 1);
    CBrevantApp app;
    ASSERT_TRUE(app.InitInstance({QStringLiteral("/auto"), QStringLiteral("/test")}));
    EXPECT_EQ(client::runState().languageCode, QByteArray("DEA"));
    EXPECT_TRUE(client::runState().scheduledRun);
    EXPECT_TRUE(client::runState().testRun);
    ::unsetenv("LC_ALL");
}

}  // namespace
