#include "tests/support/TestEnvironment.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/ui/controls/QmCombo.h"
#include "regengine/ui/controls/QmGroupWindow.h"
#include "regengine/ui/element/QmControl.h"
#include "regengine/ui/pages/MethodPage.h"
#include "regengine/ui/pages/ModemPage.h"

#include "platform/shell/Shell.h"
#include "platform/telephony/HayesTelephony.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QUrl>

#include <memory>
#include <string>
#include <vector>

using namespace engine;

namespace {

// A choice of a page: a check box tied to a code with a value, as the state buttons are.
class TestChoice : public QLabel, public QmControl {
public:
    TestChoice(QmWind* parent, const char* code) : QLabel(ParentWindowOf(parent)), QmControl(parent)
    {
        SetWindow(this);
        SetCode(FourCC(code));
        setText(QString::fromLatin1(code));
    }
};

// The window above the pages: records the commands the pages pass up.
class RecordingWindow : public QWidget, public QmWind {
public:
    RecordingWindow()
    {
        SetWindow(this);
        SetCode(FourCC("!REG"));
    }
    int OnNotify(QmWind*, int code, int value) override
    {
        log.push_back(std::to_string(code) + ":" + std::to_string(value));
        return 1;
    }
    std::vector<std::string> log;
};

class RecordingOpener final : public platform::UrlOpener {
public:
    RecordingOpener() { platform::setUrlOpener(this); }
    ~RecordingOpener() override { platform::setUrlOpener(nullptr); }
    bool open(const QUrl& url, QString*) override
    {
        opened.append(url.toString(QUrl::FullyEncoded));
        return true;
    }
    QStringList opened;
};

template <typename Page>
Page* makePage(QmWind* parent, const char* line = "PAG1 0 0 400 300 0 Options")
{
    QmStrStream s{QString::fromLatin1(line)};
    return new Page(s, parent);
}

TEST(MethodPage, TheChoosersValueSelectsTheMethod)
{
    struct Case {
        int value;
        int index;
        const char* code;
    };
    // 6 and -1 are no method: the last one stays.
    const Case cases[] = {{0, 4, ";WEB"}, {1, 5, ";RPC"}, {2, 1, ";EMR"}, {3, 0, ";MDR"},
                          {4, 3, ";FMR"}, {5, 2, ";BRR"}, {6, 2, ";BRR"}, {-1, 2, ";BRR"}};
    RecordingWindow window;
    auto* page = makePage<MethodPage>(&window);
    auto* chooser = new TestChoice(page, "-RMT");
    for (const Case& c : cases) {
        chooser->SetValue(c.value);
        page->UpdateMethod(true);
        QString code;
        EXPECT_EQ(page->GetMethodCode(&code), c.index) << c.value;
        EXPECT_EQ(code, QString::fromLatin1(c.code)) << c.value;
    }
    chooser->SetValue(1);
    page->UpdateMethod(false);
    EXPECT_EQ(page->GetMethodCode(nullptr), 2);

    auto* bare = makePage<MethodPage>(&window);
    bare->UpdateMethod(true);
    QString code;
    EXPECT_EQ(bare->GetMethodCode(&code), 4);
    EXPECT_EQ(code, QStringLiteral(";WEB"));
}

TEST(MethodPage, TheWebMethodMovesOnAndOpensOnlyWebOrMailSites)
{
    RecordingOpener opener;
    RecordingWindow window;
    auto* page = makePage<MethodPage>(&window);
    auto* chooser = new TestChoice(page, "-RMT");
    page->SetTagSubstitution([](const QString& text) {
        return QString(text).replace(QStringLiteral("<PRNM>"), QStringLiteral("Ovex%20Kelvo"));
    });
    for (int i = 0; i < 6; ++i)
        page->AddWebSite(QStringLiteral("https://example.com/%1?p=<PRNM>").arg(i + 1));
    EXPECT_EQ(page->GetSiteCount(), 5);
    page->AddWebSite(QString(600, u'x'));
    EXPECT_EQ(page->GetSite(4), QStringLiteral("https://example.com/5?p=<PRNM>"));

    chooser->SetValue(0);
    window.log.clear();
    page->Notify(822, 0);
    EXPECT_EQ(window.log, (std::vector<std::string>{"2001:0"}));
    EXPECT_EQ(opener.opened, QStringList{QStringLiteral("https://example.com/1?p=Ovex%20Kelvo")});

    // Another method goes to the window as the method command.
    chooser->Lock(true);
    chooser->SetValue(3);
    page->Notify(822, 0);
    EXPECT_EQ(window.log.back(), "2005:822");
    EXPECT_EQ(opener.opened.size(), 1);
    // The selection change of a radio group stops at the page.
    page->Notify(1003, 1);
    EXPECT_EQ(window.log.size(), 2u);

    struct Case {
        const char* site;
        bool opened;
    };
    const Case cases[] = {{"mailto:reg@example.com", true}, {"http://example.com/", true},
                          {"file:///etc/passwd", false},    {"javascript:alert(1)", false},
                          {"/usr/bin/xterm", false},        {"http:///no-host", false}};
    for (const Case& c : cases) {
        auto* one = makePage<MethodPage>(&window);
        one->AddWebSite(QString::fromLatin1(c.site));
        opener.opened.clear();
        one->Notify(823, 0);
        EXPECT_EQ(opener.opened.size(), c.opened ? 1 : 0) << c.site;
    }
}

// The modem list as the script makes it: a combo over an empty list.
QmCombo* modemList(QmWind* page)
{
    QmStrStream s(QStringLiteral("_MDM 10 200 200 24 4 0 0 _"));
    return new QmCombo(s, page, QmStringList());
}

// A modem page with the method group, the panels, the location controls and the others.
struct ModemFixture {
    RecordingWindow window;
    ModemPage* page = makePage<ModemPage>(&window);
    QmGroupWindow* methods;
    TestChoice *rpc, *email, *modem, *fax, *brr;
    TestChoice* others = new TestChoice(page, ";OTH");
    TestChoice* rip = new TestChoice(page, ";RIP");
    TestChoice* location = new TestChoice(page, "LOCA");
    TestChoice* caption = new TestChoice(page, "_CAL");
    TestChoice* hid = new TestChoice(page, "-HID");
    TestChoice* clt = new TestChoice(page, "-CLT");
    TestChoice* dlpr = new TestChoice(page, "dlpr");
    QmCombo* list = modemList(page);

    ModemFixture()
    {
        QmStrStream s(QStringLiteral(";MTH 10 10 200 120 0 0x4"));
        methods = new QmGroupWindow(s, page);
        rpc = new TestChoice(methods, ";RPC");
        email = new TestChoice(methods, ";EMR");
        modem = new TestChoice(methods, ";MDR");
        fax = new TestChoice(methods, ";FMR");
        brr = new TestChoice(methods, ";BRR");
        for (const char* panel : {"-RMD", "-EMD", "-MMD", "-FMD", "-BMD", "-CIM", "-CM8", "-CFX", "-CML"})
            new TestChoice(page, panel);
        page->SetLocationTexts(QStringLiteral("Dial as shown"), QStringLiteral("Dial from here"));
        window.resize(400, 300);
        window.show();
    }
    bool shown(const char* code) { return !page->FindByCode(FourCC(code))->GetWindow()->isHidden(); }
    bool enabled(QmWind* w) { return w->GetWindow()->isEnabled(); }
};

TEST(ModemPage, ThePanelOfTheChosenMethodShows)
{
    struct Case {
        const char* method;
        const char* panel;
    };
    const Case cases[] = {{";RPC", "-RMD"}, {";EMR", "-EMD"}, {";MDR", "-MMD"}, {";FMR", "-FMD"}, {";BRR", "-BMD"}};
    ModemFixture f;
    f.others->SetValue(1);
    for (const Case& c : cases) {
        f.methods->SetTextNotify(QString::fromLatin1(c.method));
        f.page->ApplyMethodOptions();
        for (const Case& other : cases)
            EXPECT_EQ(f.shown(other.panel), other.panel == c.panel) << c.method << " " << other.panel;
        // Only the modem method has its location and dialling controls.
        const bool modem = f.methods->GetSelected() == f.modem;
        EXPECT_EQ(f.shown("-HID"), modem) << c.method;
        EXPECT_EQ(f.enabled(f.location), modem) << c.method;
        EXPECT_EQ(f.enabled(f.dlpr), modem) << c.method;
        EXPECT_EQ(f.enabled(f.caption), modem) << c.method;
    }
}

TEST(ModemPage, WithoutTheOtherMethodsOnlyRpcIsOffered)
{
    ModemFixture f;
    f.page->Show(true);
    EXPECT_EQ(f.rip->Value(), 1);
    EXPECT_TRUE(f.shown(";RPC"));
    for (const char* code : {";EMR", ";MDR", ";FMR", ";BRR", "-CIM", "-CM8", "-CFX", "-CML"})
        EXPECT_FALSE(f.shown(code)) << code;

    f.others->SetValue(1);
    f.page->ApplyMethodOptions();
    for (const char* code : {";RPC", ";EMR", ";MDR", ";FMR", ";BRR", "-CIM", "-CM8", "-CFX", "-CML"})
        EXPECT_TRUE(f.shown(code)) << code;
}

TEST(ModemPage, TheLocationSwitchChoosesTheCaptionText)
{
    ModemFixture f;
    f.location->SetValue(0);
    f.page->ApplyMethodOptions();
    EXPECT_FALSE(f.shown("_CAL"));
    EXPECT_FALSE(f.shown("-CLT"));
    EXPECT_EQ(f.caption->text(), QStringLiteral("Dial as shown"));
    f.location->SetValue(1);
    f.page->ApplyMethodOptions();
    EXPECT_TRUE(f.shown("_CAL"));
    EXPECT_TRUE(f.shown("-CLT"));
    EXPECT_EQ(f.caption->text(), QStringLiteral("Dial from here"));
}

// The lines of the fixture's sysfs tree, those of an empty one, and modems named by path.
platform::HayesTelephonyOptions telephonyOver(const QString& sysfs, const QStringList& configured)
{
    platform::HayesTelephonyOptions options;
    options.sysfsRoot = sysfs;
    options.configured = configured;
    return options;
}

TEST(ModemPage, TheModemListIsFilledOnceFromTheTelephonyLines)
{
    const QString fixture = testsupport::sourceDir() + QStringLiteral("/tests/fixtures/sysfs/class/tty");
    const QString empty = testsupport::sandboxRoot() + QStringLiteral("/no-tty");
    QDir().mkpath(empty);
    struct Case {
        const char* name;
        QString sysfs;
        QStringList configured;
        QStringList items;
    };
    const Case cases[] = {
        {"no modem", empty, {}, {QStringLiteral("No Modem Available")}},
        {"one modem", empty, {QStringLiteral("/dev/modem")}, {QStringLiteral("Modem on /dev/modem")}},
        {"three modems",
         fixture,
         {QStringLiteral("/dev/modem")},
         {QStringLiteral("cdc_acm modem on ttyACM0"), QStringLiteral("serial8250 modem on ttyS2"),
          QStringLiteral("Modem on /dev/modem")}},
    };
    for (const Case& c : cases) {
        platform::HayesTelephony telephony(telephonyOver(c.sysfs, c.configured));
        ModemPage::SetTelephony(&telephony);
        ModemFixture f;
        f.others->SetValue(1);
        f.methods->SetTextNotify(QStringLiteral(";EMR"));
        f.page->ApplyMethodOptions();
        EXPECT_EQ(f.list->count(), 0) << c.name;
        f.methods->SetTextNotify(QStringLiteral(";MDR"));
        f.page->ApplyMethodOptions();
        f.page->ApplyMethodOptions();
        QStringList items;
        for (int i = 0; i < f.list->count(); ++i)
            items << f.list->itemText(i);
        EXPECT_EQ(items, c.items) << c.name;
        // The device index is the item's value: -1 for none, else the line's number.
        f.list->ChooseIndex(f.list->count() - 1);
        EXPECT_EQ(f.list->GetStoredValue(),
                  std::optional<QString>(
                      QString::number(c.items.size() == 1 && c.configured.isEmpty() ? -1 : c.items.size() - 1)))
            << c.name;
        ModemPage::SetTelephony(nullptr);
    }
}

TEST(ModemPage, NotificationsThatRefreshThePage)
{
    ModemFixture f;
    f.others->SetValue(1);
    f.page->ApplyMethodOptions();
    ASSERT_TRUE(f.shown(";EMR"));
    // ";OTH" tells its change before it holds the new value; the refresh reads the old one.
    f.others->SetValue(0);
    EXPECT_TRUE(f.shown(";EMR"));
    f.page->Notify(1002, 0);
    EXPECT_FALSE(f.shown(";EMR"));
    // Other elements' value changes stop at the page.
    f.location->SetValue(1);
    EXPECT_TRUE(f.window.log.empty());
    f.page->Notify(2001, 0);
    EXPECT_EQ(f.window.log, (std::vector<std::string>{"2001:0"}));
}

}  // namespace
