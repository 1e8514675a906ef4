#include "tests/support/FakeClock.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TraceRecorder.h"

#include "regengine/core/EngineRegistry.h"
#include "regengine/core/ModalWait.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/QmStringTable.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/dialogs/BetterDialog.h"
#include "regengine/ui/dialogs/CancelRegMgr.h"
#include "regengine/ui/dialogs/StatusDialog.h"
#include "regengine/core/Displayer.h"
#include "regengine/ui/display/DialogItem.h"

#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace engine;

namespace {

void useTables(const QString& text)
{
    StringTableMgr::Instance().RemoveAll();
    QmStrStream table(text);
    QmStringTable::CreateFromScript(table);
}

QAbstractButton* button(QWidget* dialog, int id)
{
    return qobject_cast<QAbstractButton*>(DialogItem(dialog, id));
}

std::optional<platform::RegValue> engineValue(const char* name)
{
    return EngineRegistryValue(QString::fromLatin1(name));
}

const QString kCancelTexts = QStringLiteral(
    "CNCL ENGL\n1 Registering later?\n2 Leave now?\n3 Remind me in %d days\n4 Exit for good\n5 Register now\n>END");

TEST(CancelRegMgr, EachButtonsResultAndWhatItWrites)
{
    useTables(kCancelTexts);
    ASSERT_TRUE(OpenEngineRegistryKey(FourCC("OVX1"), FourCC("0000"), QStringLiteral("0102"), QStringLiteral("Kelvo")));
    ReminderKeeper::SetReminderFlags(ReminderKeeper::kWriteRemindTime | ReminderKeeper::kCreateShortcut);
    const QString entry = platform::autostartEntryPath(QStringLiteral("Kelvo_ Registration"));
    struct Case {
        const char* name;
        int button;
        QChar answer;
        int result;
        int endCode;
        const char* status;  // null: not written
        bool reminder;       // "RemindTime" and the login entry exist after it
    };
    const Case cases[] = {
        {"register now", 1, QChar(), 0, 1, nullptr, true},
        {"cancel", 2, QChar(), 1, 1, nullptr, true},
        {"remind me", 4, QChar(), 2, 2, "L", true},
        {"exit without an answer", 3, QChar(), 4, 2, "N", false},
        {"exit with the answer", 3, QChar(u'X'), 4, 2, "X", false},
    };
    // The dialog's bookkeeping on a clock that stands still.
    testsupport::FakeClock clock;
    clock.seconds = 1'700'000'000;
    ReminderKeeper dialogKeeper;
    dialogKeeper.SetClock(&clock);
    for (const Case& c : cases) {
        // Each case starts from a set reminder and no status.
        platform::Registry::removeValue(platform::RootKey::CurrentUser, EngineRegistryKeyPath(),
                                        QStringLiteral("RegStatus"));
        {
            ReminderKeeper keeper;
            keeper.CreateReminderShortcut(QStringLiteral("Kelvo: Registration"), LangCode("ENU"), QString(),
                                          FourCC("PRNM"));
            keeper.SaveRemindTime(5);
        }
        CancelRegMgr dialog(2100, 20160, 14, nullptr, &dialogKeeper);
        dialog.SetShortcutName(QStringLiteral("Kelvo: Registration"));
        dialog.SetRegKey(FourCC("PRNM"));
        dialog.SetLanguage(LangCode("ENU"));
        if (!c.answer.isNull())
            dialog.SetReminderAnswer(c.answer);
        dialog.show();
        const qint64 before = clock.seconds;
        button(&dialog, c.button)->click();
        EXPECT_EQ(dialog.GetResult(), c.result) << c.name;
        EXPECT_EQ(dialog.result(), c.endCode) << c.name;
        EXPECT_FALSE(dialog.isVisible()) << c.name;
        const auto status = engineValue("RegStatus");
        if (c.status == nullptr)
            EXPECT_FALSE(status.has_value()) << c.name;
        else
            EXPECT_EQ(status ? status->text : QString(), RegStatusText(QChar::fromLatin1(*c.status), before))
                << c.name << ": the letter and the moment";
        EXPECT_EQ(QFile::exists(entry), c.reminder) << c.name;
        const auto due = engineValue("RemindTime");
        EXPECT_EQ(due.has_value(), c.reminder) << c.name;
        if (c.button == 4 && due) {
            EXPECT_EQ(due->type, platform::RegType::QWord);
            EXPECT_EQ(qint64(due->number), before + 20160 * 60);
        }
    }
    // The login entry starts this program to remind, in the language, naming the engine.
    ReminderKeeper().CreateReminderShortcut(QStringLiteral("Kelvo: Registration"), LangCode("ENU"), QString(),
                                            FourCC("PRNM"));
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=") + platform::modulePath() +
                              QStringLiteral(" /remind /language=ENU /PRNM=Kelvo\n")))
        << text.toStdString();
    ReminderKeeper::SetReminderFlags(0);
    StringTableMgr::Instance().RemoveAll();
}

TEST(CancelRegMgr, TextsComeFromTheCancelTableAndTheDaysThroughTheSafeFormatter)
{
    struct Case {
        const char* entry;
        const char* label;
    };
    const Case cases[] = {
        {"Remind me in %d days", "Remind me in 14 days"},
        {"Remind me later (%s)", "Remind me later (14)"},
        {"No number here", "No number here"},
    };
    for (const Case& c : cases) {
        useTables(QStringLiteral("CNCL ENGL\n1 Later?\n2 Sure?\n3 %1\n>END").arg(QString::fromLatin1(c.entry)));
        CancelRegMgr dialog(2100, 60, 14);
        dialog.show();
        EXPECT_EQ(button(&dialog, 4)->text(), QString::fromLatin1(c.label)) << c.entry;
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Later?"));
        EXPECT_EQ(qobject_cast<QLabel*>(DialogItem(&dialog, 1018))->text(), QStringLiteral("Sure?"));
        // Entries the table lacks keep the template's text.
        EXPECT_EQ(button(&dialog, 1)->text(), QStringLiteral("Register Now"));
        EXPECT_EQ(button(&dialog, 3)->text(), QStringLiteral("Exit registration"));
    }
    // Without the table: the template's texts, the days in their place.
    StringTableMgr::Instance().RemoveAll();
    CancelRegMgr plain(2100, 60, 30);
    plain.show();
    EXPECT_EQ(plain.windowTitle(), QStringLiteral("Product Registration"));
    EXPECT_EQ(button(&plain, 4)->text(), QStringLiteral("Remind me in 30 days"));
    EXPECT_TRUE(qobject_cast<QLabel*>(DialogItem(&plain, 1018))->text().startsWith(QStringLiteral("Are you sure")));
}

TEST(CancelRegMgr, AHiddenCancelLeavesOnlyTheOtherButtons)
{
    useTables(kCancelTexts);
    CancelRegMgr dialog(2100, 60, 14);
    dialog.SetHideCancel(true);
    dialog.show();
    EXPECT_FALSE(button(&dialog, 2)->isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    button(&dialog, 1)->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.GetResult(), 0);

    // With Cancel shown, Escape is the Cancel button.
    CancelRegMgr open(2100, 60, 14);
    open.show();
    QTest::keyClick(&open, Qt::Key_Escape);
    EXPECT_FALSE(open.isVisible());
    EXPECT_EQ(open.GetResult(), 1);
    StringTableMgr::Instance().RemoveAll();
}

TEST(BetterDialog, BitmapStaticsBecomePicturesAndButtonFourEndsWithFour)
{
    BetterDialog dialog(1, nullptr);
    dialog.SetResourceModule(QStringLiteral("regengine_ui_test"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* logo = new QLabel(QStringLiteral("BMP_BLUE2X2"));
    auto* lower = new QLabel(QStringLiteral("bmp_BLUE2X2"));
    auto* four = new QPushButton(QStringLiteral("Four"));
    four->setProperty(kDialogItemIdProperty, 4);
    layout->addWidget(logo);
    layout->addWidget(lower);
    layout->addWidget(four);
    dialog.resize(100, 100);
    dialog.show();
    ASSERT_EQ(dialog.Pictures().size(), 1);
    QLabel* picture = dialog.Pictures().front();
    EXPECT_TRUE(logo->isHidden());
    EXPECT_FALSE(lower->isHidden());
    EXPECT_EQ(picture->pixmap().size(), QSize(2, 2));
    EXPECT_EQ(picture->pixmap().toImage().pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(picture->geometry(), logo->geometry());
    four->click();
    EXPECT_EQ(dialog.result(), 4);
    EXPECT_FALSE(dialog.isVisible());
}

// The registration window while a run waits: disabled by the caller.
struct StatusFixture {
    QWidget window;
    StatusDialog dialog{StatusDialog::kDefaultTemplate, &window};
    StatusFixture()
    {
        window.resize(300, 200);
        window.show();
        dialog.CreateModeless();
        window.setEnabled(false);
    }
};

TEST(StatusDialog, CancelEndsAPumpingWaitThroughTheCancelFlag)
{
    useTables(QStringLiteral("STAT ENGL\n1 Stopped by you.\n2 Stop\n3 Registering\n>END"));
    StatusFixture f;
    EXPECT_EQ(f.dialog.windowTitle(), QStringLiteral("Registering"));
    EXPECT_EQ(button(&f.dialog, 2)->text(), QStringLiteral("Stop"));
    Displayer* text = f.dialog.SetTextItem(StatusDialog::kTextItem);
    ASSERT_NE(text, nullptr);
    text->SetClearFirst(true);
    text->WriteLine(QStringLiteral("Dialling..."));
    EXPECT_EQ(qobject_cast<QLabel*>(DialogItem(&f.dialog, 2012))->text(), QStringLiteral("Dialling..."));

    // The disabled window leaves the dialog's Cancel usable.
    EXPECT_FALSE(f.window.isEnabled());
    EXPECT_TRUE(button(&f.dialog, 2)->isEnabled());
    SetCancelFlag(0);
    f.dialog.SetCancelFlagPtr(CancelFlagPointer());
    QTimer::singleShot(50, &f.dialog, [&f] { QTest::mouseClick(button(&f.dialog, 2), Qt::LeftButton); });
    int cancelled = 0;
    QElapsedTimer limit;
    limit.start();
    while (!PumpWhileBusy(&cancelled) && limit.elapsed() < 10000) {}
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(CancelFlag(), 1);
    EXPECT_TRUE(f.window.isEnabled());
    EXPECT_FALSE(f.dialog.isVisible());
    // The line reads the cancel text, then the empty line that follows it.
    EXPECT_EQ(qobject_cast<QLabel*>(DialogItem(&f.dialog, 2012))->text(), QString());
    SetCancelFlag(0);
    StringTableMgr::Instance().RemoveAll();
}

TEST(StatusDialog, DefaultsOkAndTheEndOfTheObjectEnableTheWindow)
{
    StringTableMgr::Instance().RemoveAll();
    {
        StatusFixture f;
        EXPECT_EQ(f.dialog.windowTitle(), QStringLiteral("Status"));
        EXPECT_EQ(button(&f.dialog, 2)->text(), QStringLiteral("Cancel"));
        Displayer* text = f.dialog.SetTextItem(StatusDialog::kTextItem);
        text->SetClearFirst(true);
        f.dialog.accept();
        EXPECT_TRUE(f.window.isEnabled());
        EXPECT_FALSE(f.dialog.isVisible());
        // The window's end disables its displayer.
        text->WriteLine(QStringLiteral("late"));
        EXPECT_EQ(qobject_cast<QLabel*>(DialogItem(&f.dialog, 2012))->text(), QString());
        // Cancel without a flag only ends the window.
        StatusFixture other;
        other.dialog.reject();
        EXPECT_TRUE(other.window.isEnabled());
    }
    QWidget window;
    auto dialog = std::make_unique<StatusDialog>(StatusDialog::kDefaultTemplate, &window);
    dialog->CreateModeless();
    window.setEnabled(false);
    dialog.reset();
    EXPECT_TRUE(window.isEnabled());
}

// A login entry that cannot be written or removed is traced with the file and the reason;
// no entry to remove is no failure.
TEST(ReminderKeeper, EntryFailuresAreTracedWithTheReason)
{
    ReminderKeeper::SetReminderFlags(ReminderKeeper::kCreateShortcut);
    const QString entry = platform::autostartEntryPath(QStringLiteral("Kelvo"));
    ReminderKeeper keeper;
    testsupport::TraceRecorder traces;
    keeper.DeleteReminder(QStringLiteral("Kelvo"));
    EXPECT_EQ(traces.Text(), QString());

    ASSERT_TRUE(QDir().mkpath(entry + QStringLiteral("/inside")));
    EXPECT_FALSE(keeper.CreateReminderShortcut(QStringLiteral("Kelvo"), LangCode("ENU"), QString(), FourCC("PRNM")));
    EXPECT_TRUE(traces.Contains(
        QStringLiteral("Unable to write the autostart entry %1: Filename refers to a directory").arg(entry)))
        << traces.Text().toStdString();
    traces.Forget();
    keeper.DeleteReminder(QStringLiteral("Kelvo"));
    EXPECT_TRUE(traces.Contains(QStringLiteral("Unable to remove the autostart entry %1: ").arg(entry)))
        << traces.Text().toStdString();
}

TEST(StatusDialog, TheAnimationStepsEveryTwoSecondsAndWraps)
{
    StatusFixture f;
    qint64 now = 100;
    f.dialog.SetClock([&now] { return now; });
    f.dialog.StartAnimation(StatusDialog::kIconItem, 2017, 2018);
    std::vector<int> shown;
    // Animate every 100 ms over seven seconds.
    for (int tenth = 0; tenth < 70; ++tenth) {
        now = 100 + tenth / 10;
        f.dialog.Animate();
        if (shown.empty() || shown.back() != f.dialog.CurrentIcon())
            shown.push_back(f.dialog.CurrentIcon());
    }
    EXPECT_EQ(shown, (std::vector<int>{2017, 2018, 2017, 2018}));
    f.dialog.StopAnimation(2019);
    EXPECT_EQ(f.dialog.CurrentIcon(), 2019);
    now += 10;
    f.dialog.Animate();
    EXPECT_EQ(f.dialog.CurrentIcon(), 2019);
}

}  // namespace
