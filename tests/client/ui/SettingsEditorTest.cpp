#include "client/ui/ChannelSettings.h"
#include "client/Database.h"
#include "client/ui/GeneralSettings.h"
#include "client/ui/HelpTab.h"
#include "client/MfgrModel.h"
#include "client/Settings.h"
#include "client/ui/SettingsEditor.h"
#include "platform/shell/Shell.h"
#include "platform/taskscheduler/TaskScheduler.h"
#include "tests/client/model/ModelTestSupport.h"
#include "tests/support/RecordingOpener.h"
#include "tests/support/RecordingScheduler.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <vector>

using namespace client;

namespace {

using modeltest::rows;

const QString kSubscriptions =
    QStringLiteral("SELECT recid,chnname,lastCheck FROM Subscription ORDER BY recid,chnname");
const QStringList kSubscriptionColumns{"recid", "chnname", "lastCheck"};

Channel channel(const QString& mfgr, const QString& name, const QString& title, const QString& description)
{
    return Channel(RecordMap{{"name", name}, {"mfgr", mfgr}, {"title", title}, {"description", description}});
}

// Everything through the sheet's window, as the window system delivers input.
QPoint inWindow(QWidget* widget, QPoint at)
{
    return widget->mapTo(widget->window(), at);
}

void click(QWidget* widget, QPoint at)
{
    QTest::mouseClick(widget->window()->windowHandle(), Qt::LeftButton, {}, inWindow(widget, at));
}

void click(QWidget* widget)
{
    click(widget, widget->rect().center());
}

// Check boxes and radio buttons answer only on their box and label, at the left.
void clickBox(QWidget* widget)
{
    click(widget, QPoint(8, widget->height() / 2));
}

void doubleClick(QWidget* widget, QPoint at)
{
    QTest::mouseDClick(widget->window()->windowHandle(), Qt::LeftButton, {}, inWindow(widget, at));
}

// What the check task was re-created with: the real ScheduleCheckTask runs, only the
// user's service manager is left out.
using testsupport::RecordingScheduler;

// Each test starts from a new brevant.dat and settings that hold only the defaults.
class SettingsSheet : public ::testing::Test {
protected:
    void SetUp() override
    {
        Database::Close();
        testsupport::isolateEnvironment();
        Settings::Instance().Reset();
        sqlite3* db = Database::Instance();
        ASSERT_TRUE(Manufacturer::CreateSchema(db) && Channel::CreateSchema(db) && RegRecord::CreateSchema(db));
        platform::setTaskScheduler(&scheduler);
    }

    void TearDown() override
    {
        platform::setTaskScheduler(nullptr);
        platform::setUrlOpener(nullptr);
    }

    // Ovex's three channels, "tips" without a description, and one record subscribed to
    // two of them, the way earlier runs left them in the database; one subscription is
    // spelt as a registration file may, in another case than its channel.
    void StoreOvex()
    {
        sqlite3* db = Database::Instance();
        Manufacturer::Save(db, MfgrEntry("OVEX", RecordMap{{"fullname", "Ovex Inc."}}));
        for (Channel c : {channel("OVEX", "critical_updates", "Critical Updates", "Fixes you must not miss."),
                          channel("OVEX", "product_news", "Product News", "What is new for your computer."),
                          channel("OVEX", "tips", "Tips", QString())})
            c.Save(db);
        RegRecord record(RecordMap{{"MFGR", "OVEX"}, {"MODL", "Book 14"}});
        record.AddSubscription("critical_updates");
        record.SetLastCheck("critical_updates", 1000);
        record.AddSubscription("Product_News");
        record.SetLastCheck("Product_News", 2000);
        record.Save(db);
    }

    // Another maker's entry, which the sheet must leave alone.
    void StoreAcme()
    {
        sqlite3* db = Database::Instance();
        Manufacturer::Save(db, MfgrEntry("ACME", RecordMap{{"fullname", "Acme"}}));
        Channel c = channel("ACME", "acme_news", "Acme News", "From Acme.");
        c.Save(db);
        RegRecord record(RecordMap{{"MFGR", "ACME"}});
        record.AddSubscription("acme_news");
        record.SetLastCheck("acme_news", 3000);
        record.Save(db);
    }

    // The sheet through the message window's road. `steps` runs on the shown sheet
    // before `finish` is clicked.
    int Run(const std::function<void(CSettingsEditor&)>& steps, QDialogButtonBox::StandardButton finish)
    {
        model.LoadAll();
        return RunSettingsSheet(nullptr, model, [&](CSettingsEditor& sheet) {
            sheet.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&sheet));
            sheet.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&sheet));
            steps(sheet);
            click(sheet.findChild<QDialogButtonBox*>("buttons")->button(finish));
            EXPECT_FALSE(sheet.isVisible());
            return sheet.result();
        });
    }

    MfgrModel model;
    RecordingScheduler scheduler;
};

void openTab(CSettingsEditor& sheet, int index)
{
    QTabBar* bar = sheet.Tabs().findChild<QTabBar*>();
    click(bar, bar->tabRect(index).center());
    ASSERT_EQ(sheet.Tabs().currentIndex(), index);
}

QTreeWidgetItem* row(CSettingsEditor& sheet, int index)
{
    return sheet.ChannelPage().List()->topLevelItem(index);
}

QString description(CSettingsEditor& sheet)
{
    return sheet.ChannelPage().findChild<QLabel*>("description")->text();
}

// Where the list draws a row's check box, and a point on its text clear of it.
QPoint checkBoxOf(QTreeWidget* list, QTreeWidgetItem* item)
{
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = list->visualItemRect(item);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = item->text(0);
    return list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list).center();
}

QPoint textOf(QTreeWidget* list, QTreeWidgetItem* item)
{
    const QRect r = list->visualItemRect(item);
    return QPoint(r.left() + r.width() / 2, r.center().y());
}

TEST_F(SettingsSheet, CaptionPagesAndColumn)
{
    CSettingsEditor sheet(QStringLiteral("Edit Ovex Kelvo Settings"));
    QStringList titles;
    for (int i = 0; i < sheet.Tabs().count(); ++i)
        titles << sheet.Tabs().tabText(i);
    EXPECT_EQ(titles, QStringList({"General", "Channels", "About", "Help"}));
    EXPECT_EQ(sheet.ChannelPage().List()->headerItem()->text(0), "Channel");
    EXPECT_EQ(sheet.ChannelPage().List()->columnCount(), 1);

    // The message window's road fills the caption from the string table.
    QString caption;
    RunSettingsSheet(nullptr, model, [&](CSettingsEditor& shown) {
        caption = shown.windowTitle();
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(caption, "Edit Ovex Kelvo Settings");
}

// The channel the owner cannot leave stays checked whichever way the user tries, while
// the same action on another channel does change it.
TEST_F(SettingsSheet, CriticalUpdatesCannotBeUnchecked)
{
    struct Way {
        const char* name;
        std::function<void(QTreeWidget*, QTreeWidgetItem*)> act;
    };
    const Way ways[] = {
        {"click on the check box",
         [](QTreeWidget* list, QTreeWidgetItem* item) { click(list->viewport(), checkBoxOf(list, item)); }},
        {"activating the row",
         [](QTreeWidget* list, QTreeWidgetItem* item) { doubleClick(list->viewport(), textOf(list, item)); }},
        {"space on the row",
         [](QTreeWidget* list, QTreeWidgetItem* item) {
             list->setCurrentItem(item);
             QTest::keyClick(list, Qt::Key_Space);
         }},
    };
    StoreOvex();
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        model = MfgrModel();
        Run(
            [&](CSettingsEditor& sheet) {
                openTab(sheet, 1);
                QTreeWidget* list = sheet.ChannelPage().List();
                ASSERT_EQ(list->topLevelItemCount(), 3);
                ASSERT_EQ(row(sheet, 1)->text(0), "Product News");
                way.act(list, row(sheet, 1));
                EXPECT_EQ(row(sheet, 1)->checkState(0), Qt::Unchecked);
                way.act(list, row(sheet, 1));
                EXPECT_EQ(row(sheet, 1)->checkState(0), Qt::Checked);

                ASSERT_EQ(row(sheet, 0)->text(0), "Critical Updates");
                ASSERT_EQ(row(sheet, 0)->checkState(0), Qt::Checked);
                list->setCurrentItem(row(sheet, 2));
                way.act(list, row(sheet, 0));
                EXPECT_EQ(row(sheet, 0)->checkState(0), Qt::Checked);
                // The attempt still selects the row and shows what the channel is.
                EXPECT_EQ(list->currentItem(), row(sheet, 0));
                EXPECT_EQ(description(sheet), "Fixes you must not miss.");
            },
            QDialogButtonBox::Ok);
        EXPECT_EQ(rows(kSubscriptions, kSubscriptionColumns),
                  QStringList({"1|Product_News|2000", "1|critical_updates|1000"}));
    }
}

TEST_F(SettingsSheet, DescriptionFollowsTheClickedRow)
{
    StoreOvex();
    Run(
        [&](CSettingsEditor& sheet) {
            EXPECT_EQ(description(sheet), "Channel Description Goes Here");  // not yet built
            openTab(sheet, 1);
            QTreeWidget* list = sheet.ChannelPage().List();
            // Opening the page selects the first row and shows its description.
            EXPECT_EQ(list->currentItem(), row(sheet, 0));
            EXPECT_EQ(description(sheet), "Fixes you must not miss.");

            click(list->viewport(), textOf(list, row(sheet, 2)));
            EXPECT_EQ(description(sheet), "No description was supplied for Tips");
            click(list->viewport(), textOf(list, row(sheet, 1)));
            EXPECT_EQ(description(sheet), "What is new for your computer.");
        },
        QDialogButtonBox::Cancel);
}

TEST_F(SettingsSheet, OkWithoutOpeningTheChannelsKeepsTheSubscriptions)
{
    StoreOvex();
    StoreAcme();
    const QStringList before = rows(kSubscriptions, kSubscriptionColumns);
    ASSERT_EQ(before.size(), 3);

    const int result = Run(
        [&](CSettingsEditor& sheet) {
            EXPECT_FALSE(sheet.ChannelPage().IsListFilled());
            QStringList marks;
            for (const Channel& c : sheet.ChannelPage().Channels())
                marks << c.Name() + "=" + GetField(c.fields, "subscribe");
            EXPECT_EQ(marks, QStringList({"critical_updates=1", "product_news=1", "tips=0"}));
        },
        QDialogButtonBox::Ok);

    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(rows(kSubscriptions, kSubscriptionColumns), before);
    modeltest::reopen();
    EXPECT_EQ(rows(kSubscriptions, kSubscriptionColumns), before);
}

// A change on the page reaches the records: the dropped channel goes, the added one
// starts unchecked-for (0), the kept one keeps its last check; in memory and on disk.
TEST_F(SettingsSheet, OkAppliesTheChannelChoiceToTheRecords)
{
    StoreOvex();
    StoreAcme();
    Run(
        [&](CSettingsEditor& sheet) {
            openTab(sheet, 1);
            QTreeWidget* list = sheet.ChannelPage().List();
            click(list->viewport(), checkBoxOf(list, row(sheet, 1)));
            click(list->viewport(), checkBoxOf(list, row(sheet, 2)));
        },
        QDialogButtonBox::Ok);

    const QStringList expected{"1|critical_updates|1000", "1|tips|0", "2|acme_news|3000"};
    EXPECT_EQ(rows(kSubscriptions, kSubscriptionColumns), expected);
    modeltest::reopen();
    EXPECT_EQ(rows(kSubscriptions, kSubscriptionColumns), expected);
    const MfgrEntry* ovex = model.FindMfgr("OVEX");
    ASSERT_NE(ovex, nullptr);
    ASSERT_EQ(ovex->records.size(), 1u);
    EXPECT_TRUE(ovex->records[0].IsSubscribed("tips"));
    EXPECT_FALSE(ovex->records[0].IsSubscribed("product_news"));
}

// Cancel changes nothing, whatever was done on the pages, and the task is re-created all
// the same from the stored frequency. Run by the default modal loop, ended with Escape.
TEST_F(SettingsSheet, CancelKeepsEverythingButRecreatesTheTask)
{
    StoreOvex();
    SetSetting("UpdateFrequency", "2");
    SetSetting("PlayNewMessageSound", "1");
    const QStringList before = rows(kSubscriptions, kSubscriptionColumns);
    model.LoadAll();

    bool drove = false;
    QTimer::singleShot(0, [&] {
        auto* sheet = qobject_cast<CSettingsEditor*>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        if (!QTest::qWaitForWindowActive(sheet))
            sheet->activateWindow();
        auto* sound = sheet->GeneralPage().findChild<QCheckBox*>("playSound");
        auto* weekly = sheet->GeneralPage().findChild<QRadioButton*>("weekly");
        clickBox(sound);
        clickBox(weekly);
        EXPECT_FALSE(sound->isChecked());
        EXPECT_TRUE(weekly->isChecked());
        openTab(*sheet, 1);
        click(sheet->ChannelPage().List()->viewport(), checkBoxOf(sheet->ChannelPage().List(), row(*sheet, 1)));
        EXPECT_EQ(row(*sheet, 1)->checkState(0), Qt::Unchecked);
        drove = true;
        QTest::keyClick(sheet, Qt::Key_Escape);
    });
    // Should the sheet not end, this ends it rather than the test hanging.
    QTimer failSafe;
    failSafe.setSingleShot(true);
    QObject::connect(&failSafe, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    failSafe.start(20000);

    const QDateTime opened = QDateTime::currentDateTime();
    const int result = RunSettingsSheet(nullptr, model);

    EXPECT_TRUE(drove);
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(GetSetting("UpdateFrequency"), "2");
    EXPECT_EQ(GetSetting("PlayNewMessageSound"), "1");
    EXPECT_EQ(rows(kSubscriptions, kSubscriptionColumns), before);
    // The client's own task, monthly, with no start time given: a month from now.
    ASSERT_EQ(scheduler.frequencies(), std::vector<int>{2});
    EXPECT_TRUE(scheduler.registered()[0].startsWith("Ovex\\Ovex Kelvo|New Message Check - "))
        << scheduler.registered()[0].toStdString();
    const QDateTime start = scheduler.tasks[0].trigger->start;
    EXPECT_GE(start, opened.addMonths(1).addSecs(-3700));
    EXPECT_LE(start, QDateTime::currentDateTime().addMonths(1).addSecs(3700));
}

// What the general page shows for a stored frequency, and what OK stores and schedules.
// A frequency without a radio button (manual) is kept, not turned into -1 (daily).
TEST_F(SettingsSheet, GeneralPageFrequencyAndSound)
{
    struct Case {
        const char* name;
        const char* storedFrequency;  // nullptr: never set
        const char* storedSound;
        const char* shownRadio;  // nullptr: none checked
        const char* clickRadio;  // nullptr: left alone
        bool clickSound;
        const char* writtenFrequency;
        const char* writtenSound;
        int scheduledFrequency;
    };
    const Case cases[] = {
        {"manual survives OK", "3", "1", nullptr, nullptr, false, "3", "1", 3},
        {"manual survives a sound change", "3", "1", nullptr, nullptr, true, "3", "0", 3},
        {"manual replaced by a choice", "3", "0", nullptr, "weekly", false, "1", "0", 1},
        {"default is daily", nullptr, nullptr, "daily", nullptr, false, "0", "1", 0},
        {"weekly shown and kept", "1", "0", "weekly", nullptr, true, "1", "1", 1},
        {"monthly chosen", "0", "1", "daily", "monthly", false, "2", "1", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings::Instance().Reset();
        if (c.storedFrequency)
            SetSetting("UpdateFrequency", c.storedFrequency);
        if (c.storedSound)
            SetSetting("PlayNewMessageSound", c.storedSound);
        scheduler.tasks.clear();
        model = MfgrModel();
        Run(
            [&](CSettingsEditor& sheet) {
                CGeneralSettings& page = sheet.GeneralPage();
                for (const char* radio : {"daily", "weekly", "monthly"})
                    EXPECT_EQ(page.findChild<QRadioButton*>(radio)->isChecked(),
                              c.shownRadio && QByteArray(radio) == c.shownRadio)
                        << radio;
                if (c.clickRadio)
                    clickBox(page.findChild<QRadioButton*>(c.clickRadio));
                if (c.clickSound)
                    clickBox(page.findChild<QCheckBox*>("playSound"));
            },
            QDialogButtonBox::Ok);
        EXPECT_EQ(GetSetting("UpdateFrequency"), QString::fromLatin1(c.writtenFrequency));
        EXPECT_EQ(GetSetting("PlayNewMessageSound"), QString::fromLatin1(c.writtenSound));
        EXPECT_EQ(scheduler.frequencies(), std::vector<int>{c.scheduledFrequency});
    }
}

TEST_F(SettingsSheet, WithoutAnOvexEntryThePageIsEmptyAndNoEntryIsMade)
{
    StoreAcme();
    const QStringList makers = rows("SELECT mfgr,fullname FROM Manufacturer ORDER BY mfgr", {"mfgr", "fullname"});
    const QStringList before = rows(kSubscriptions, kSubscriptionColumns);

    const int result = Run(
        [&](CSettingsEditor& sheet) {
            openTab(sheet, 1);
            EXPECT_EQ(sheet.ChannelPage().List()->topLevelItemCount(), 0);
            EXPECT_EQ(description(sheet), "");
        },
        QDialogButtonBox::Ok);

    EXPECT_EQ(result, QDialog::Accepted);
    ASSERT_EQ(model.entries.size(), 1u);
    EXPECT_EQ(model.entries[0].code, "ACME");
    EXPECT_EQ(model.FindMfgr("OVEX"), nullptr);
    modeltest::reopen();
    EXPECT_EQ(rows("SELECT mfgr,fullname FROM Manufacturer ORDER BY mfgr", {"mfgr", "fullname"}), makers);
    EXPECT_EQ(rows(kSubscriptions, kSubscriptionColumns), before);
    EXPECT_EQ(scheduler.frequencies(), std::vector<int>{0});
}

TEST_F(SettingsSheet, HelpButtonsOpenTheMakersPages)
{
    testsupport::RecordingOpener opener;
    Run(
        [&](CSettingsEditor& sheet) {
            openTab(sheet, 3);
            QList<QPushButton*> buttons = sheet.HelpPage().findChildren<QPushButton*>();
            for (QPushButton* b : buttons)
                if (b->text() == "Launch FAQ")
                    click(b);
            for (QPushButton* b : buttons)
                if (b->text() == "Launch Privacy Policy")
                    click(b);
            EXPECT_TRUE(sheet.isVisible());  // neither closes the sheet
        },
        QDialogButtonBox::Cancel);
    EXPECT_EQ(opener.texts(), QStringList({"https://" OVEX_SUPPORT_HOST "/ovex/?PAGE=faq",
                                           "https://" OVEX_SUPPORT_HOST "/ovex/?PAGE=privacy"}));
}

}  // namespace
