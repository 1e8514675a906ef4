// The message window with its real browser inside the client as main() starts it: the
// counter and buttons, the two loads of every message, stepping and deleting, the pages'
// calls, the settings sheet, the opt-in check and the close, against pages from a local
// server and the local message service.
#include "client/ui/HoverButton.h"
#include "client/ui/MessageViewer.h"
#include "client/ScheduledTask.h"
#include "client/ui/SettingsEditor.h"
#include "client/browser/MessagePane.h"
#include "client/browser/MessagePaneController.h"
#include "tests/client/browser/BrowserTestSupport.h"
#include "tests/client/doc/DocTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTcpServer>
#include <QTimer>
#include <QWebEngineView>

#include <cstdlib>

using namespace client;

namespace {

using browsertest::Eval;
using browsertest::PageServer;
using browsertest::WaitForScript;

// A real browser whatever the display, as the window makes one where there is a display.
class RealBrowsers : public MessageBrowserMaker {
public:
    MessageBrowser* MakeBrowser(MessagePageCalls* calls, QWidget* parent) override
    {
        return new CMessagePane(calls, parent);
    }
};

struct Page {
    QString id;
    QUrl url;
};

// A registration file of "OVEX" with one record and the messages `pages`.
QByteArray tovaWith(const QList<Page>& pages)
{
    QByteArray text =
        ">BeginMfgrInfo\nmfgr:OVEX\nfullname:Ovex Inc.\n>EndMfgrInfo\n"
        ">BeginChannel\nname:critical_updates\ntitle:Critical Updates\nfields:MODL\n>EndChannel\n"
        ">BeginRecord\nMFGR:OVEX\nMODL:Book 14\n>EndRecord\n";
    for (const Page& p : pages)
        text += ">BeginMessage\nid:" + p.id.toUtf8() + "\noffer:Title " + p.id.toUtf8() +
                "\nurl:" + p.url.toString(QUrl::FullyEncoded).toUtf8() + "\n>EndMessage\n";
    return text;
}

class MessageWindow : public doctest::ClientTest {
protected:
    void SetUp() override
    {
        doctest::ClientTest::SetUp();
        browsertest::PrepareEngineEnvironment();
        setMessageBrowserMaker(&browsers_);
        ASSERT_TRUE(server.started());
    }
    void TearDown() override
    {
        doctest::ClientTest::TearDown();
        setMessageBrowserMaker(nullptr);
    }

    // Message `id` shows button.html, whose button calls `call`.
    Page page(const QString& id, const QString& call = QStringLiteral("NextMessage")) const
    {
        QUrl url = server.Url(QStringLiteral("button.html?") + id);
        url.setFragment(call);
        return {id, url};
    }
    QList<Page> pages(int count) const
    {
        QList<Page> out;
        for (int i = 1; i <= count; ++i)
            out << page(QStringLiteral("m%1").arg(i));
        return out;
    }

    // A plain start with `messages`, all unread: the window shows the first.
    void startWith(const QList<Page>& messages, const QStringList& arguments = {})
    {
        if (!messages.isEmpty())
            doctest::putInDataFolder(QStringLiteral("r.tova"), tovaWith(messages));
        ASSERT_TRUE(start(arguments));
        ASSERT_NE(viewer()->Browser(), nullptr);
        connect();
    }
    void connect()
    {
        QObject::connect(viewer()->Browser(), &MessageBrowser::DocumentComplete,
                         [this](const QUrl& url, bool) { completed << url; });
    }

    CMessageViewer* viewer() const { return view()->Viewer(); }
    CMessagePane* browser() const { return qobject_cast<CMessagePane*>(viewer()->Browser()); }
    QWebEnginePage* page() const { return browser()->Controller(); }
    QWidget* input() const { return browser()->View()->focusProxy(); }
    CHoverButton* button(const char* name) const { return viewer()->findChild<CHoverButton*>(name); }
    QString counter() const { return viewer()->findChild<QLabel*>("counter")->text(); }
    QProgressBar* progress() const { return viewer()->findChild<QProgressBar*>("progress"); }
    QString buttons() const
    {
        QString out;
        for (const char* name : {"delete", "settings", "previous", "next"})
            out += button(name)->isEnabled() ? u'1' : u'0';
        return out;
    }

    // `url` has loaded, and the window is done with it.
    bool shows(const QUrl& url) const
    {
        return !completed.isEmpty() && completed.last() == url && !progress()->isVisible();
    }
    [[nodiscard]] bool waitFor(const QUrl& url)
    {
        return browsertest::WaitUntil([&] { return shows(url); });
    }
    QUrl emptyPage() const { return QUrl::fromLocalFile(CMessageViewer::MessagesFolder() + "/EMPTY.HTML"); }

    // Clicks the middle of the page's element `id` once the page has drawn.
    void clickInPage(const QString& id)
    {
        Eval(page(), "requestAnimationFrame(() => requestAnimationFrame(() => window.drawn = true)); true");
        ASSERT_TRUE(WaitForScript(page(), "window.drawn === true"));
        const QVariantList r = Eval(page(), QStringLiteral("(() => { const r = document.getElementById('%1')"
                                                           ".getBoundingClientRect(); return [r.x + r.width / 2,"
                                                           " r.y + r.height / 2]; })()")
                                                .arg(id))
                                   .toList();
        ASSERT_EQ(r.size(), 2);
        QTest::mouseClick(input(), Qt::LeftButton, {}, QPoint(r[0].toInt(), r[1].toInt()));
    }

    // Answers the settings sheet as soon as it is up.
    void answerSheetWith(int result)
    {
        auto* timer = new QTimer(viewer());
        QObject::connect(timer, &QTimer::timeout, [this, timer, result] {
            if (auto* sheet = qobject_cast<CSettingsEditor*>(QApplication::activeModalWidget())) {
                ++sheetsSeen;
                sheet->done(result);
                timer->deleteLater();
            }
        });
        timer->start(20);
    }

    PageServer server;
    QList<QUrl> completed;
    int sheetsSeen = 0;

private:
    RealBrowsers browsers_;
};

TEST_F(MessageWindow, CounterAndButtonsFollowTheShownList)
{
    const struct {
        int messages;
        const char* counter;
        const char* buttons;  // delete, settings, previous, next enabled
    } cases[] = {
        {0, "Message 0 of 0", "0100"},
        {1, "Message 1 of 1", "1100"},
        {3, "Message 1 of 3", "1111"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.messages);
        freshStart();
        completed.clear();
        startWith(pages(c.messages));
        ASSERT_TRUE(waitFor(c.messages == 0 ? emptyPage() : page("m1").url));
        EXPECT_TRUE(viewer()->isVisible());
        EXPECT_EQ(counter(), QString::fromLatin1(c.counter));
        EXPECT_EQ(buttons(), QString::fromLatin1(c.buttons));
        EXPECT_EQ(viewer()->windowTitle(), c.messages == 0 ? QStringLiteral("Ovex Kelvo") : QStringLiteral("Title m1"));
        EXPECT_EQ(button("delete")->toolTip(), "Delete Message");
        EXPECT_EQ(button("next")->toolTip(), "Next Message");
        EXPECT_EQ(button("previous")->toolTip(), "Previous Message");
        EXPECT_EQ(button("settings")->toolTip(), "Edit Settings");
    }
}

// The engine starts with the first page the window shows: a scheduled run that only
// announces makes no browser; the click on its announcement does.
TEST_F(MessageWindow, TheBrowserComesWithTheFirstPageShown)
{
    doctest::putInDataFolder(QStringLiteral("r.tova"), tovaWith(pages(1)));
    ASSERT_TRUE(start({QStringLiteral("/auto")}));
    doctest::settle();
    ASSERT_EQ(tray.count(QStringLiteral("balloon")), 1);
    EXPECT_FALSE(viewer()->isVisible());
    EXPECT_EQ(viewer()->Browser(), nullptr);

    tray.click();
    ASSERT_NE(viewer()->Browser(), nullptr);
    connect();
    ASSERT_TRUE(waitFor(page("m1").url));
    EXPECT_TRUE(viewer()->isVisible());
}

TEST_F(MessageWindow, TheLayoutIsFixed)
{
    startWith(pages(1));
    EXPECT_EQ(viewer()->size(), QSize(475, 385));
    EXPECT_EQ(viewer()->minimumSize(), viewer()->maximumSize());
    EXPECT_EQ(browser()->geometry(), QRect(0, 0, 475, 345));
    EXPECT_EQ(button("delete")->geometry(), QRect(3, 349, 32, 32));
    EXPECT_EQ(button("settings")->geometry(), QRect(38, 349, 32, 32));
    EXPECT_EQ(button("previous")->geometry(), QRect(405, 349, 32, 32));
    EXPECT_EQ(button("next")->geometry(), QRect(440, 349, 32, 32));
    // Centred in the band from 345 to 385: as much room above as below, give or take a pixel.
    auto centred = [](const QRect& r) { return std::abs((r.top() - 345) - (385 - (r.top() + r.height()))) <= 1; };
    const QRect label = viewer()->findChild<QLabel*>("counter")->geometry();
    EXPECT_EQ(label.left() + label.width(), 405 - 20);
    EXPECT_TRUE(centred(label));
    EXPECT_EQ(progress()->geometry().left(), 38 + 32 + 20);
    EXPECT_TRUE(centred(progress()->geometry()));
}

TEST_F(MessageWindow, EveryMessageLoadsAfterTheLoadingPageWithTheProgressBar)
{
    const Page slow{"m1", server.Url("other.html?delay=1")};
    startWith({slow});
    ASSERT_TRUE(browsertest::WaitUntil([&] { return completed.size() >= 1; }));
    EXPECT_EQ(completed[0], MessageBrowser::ResourceUrl("LOADING.HTML"));
    // The message's own page is on its way: the bar shows until it is in.
    EXPECT_TRUE(progress()->isVisible());
    ASSERT_TRUE(waitFor(slow.url));
    EXPECT_EQ(completed.size(), 2);
    EXPECT_EQ(progress()->value(), 100);
}

TEST_F(MessageWindow, NextAndPreviousWrapAround)
{
    startWith(pages(3));
    ASSERT_TRUE(waitFor(page("m1").url));
    const struct {
        const char* button;
        const char* shown;
        const char* counter;
    } steps[] = {
        {"next", "m2", "Message 2 of 3"},     {"next", "m3", "Message 3 of 3"},     {"next", "m1", "Message 1 of 3"},
        {"previous", "m3", "Message 3 of 3"}, {"previous", "m2", "Message 2 of 3"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(std::string(s.button) + " to " + s.shown);
        QTest::mouseClick(button(s.button), Qt::LeftButton);
        ASSERT_TRUE(waitFor(page(s.shown).url));
        EXPECT_EQ(viewer()->CurrentId(), QString::fromLatin1(s.shown));
        EXPECT_EQ(counter(), QString::fromLatin1(s.counter));
    }
}

TEST_F(MessageWindow, DeletingTheLastShowsTheOneBeforeAndTheOnlyOneTheEmptyPage)
{
    const struct {
        const char* what;
        int messages;
        int stepsBack;      // Previous presses before Delete
        const char* shown;  // after the delete; nullptr: the empty page
        const char* counter;
        const char* buttons;
    } cases[] = {
        {"the last of three", 3, 1, "m2", "Message 2 of 2", "1111"},
        {"the first of three", 3, 0, "m2", "Message 1 of 2", "1111"},
        {"the only one", 1, 0, nullptr, "Message 0 of 0", "0100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        freshStart();
        completed.clear();
        startWith(pages(c.messages));
        ASSERT_TRUE(waitFor(page("m1").url));
        for (int i = 0; i < c.stepsBack; ++i)
            QTest::mouseClick(button("previous"), Qt::LeftButton);
        const QString deleted = viewer()->CurrentId();
        QTest::mouseClick(button("delete"), Qt::LeftButton);
        ASSERT_TRUE(waitFor(c.shown ? page(c.shown).url : emptyPage()));
        EXPECT_EQ(counter(), QString::fromLatin1(c.counter));
        EXPECT_EQ(buttons(), QString::fromLatin1(c.buttons));
        EXPECT_FALSE(doc()->ShownIds().contains(deleted));
        EXPECT_TRUE(doc()->Messages().GetAt(doc()->Messages().IndexOf(deleted)).deleted);
    }
}

TEST_F(MessageWindow, PageCallsActAsTheButtons)
{
    systemdtest::FakeSystemctl systemctl;
    startWith({page("m1", "NextMessage"), page("m2", "PrevMssage"), page("m3", "DeleteMssage")});
    ASSERT_TRUE(waitFor(page("m1", "NextMessage").url));

    clickInPage("call");  // m1: NextMessage
    ASSERT_TRUE(waitFor(page("m2", "PrevMssage").url));
    clickInPage("call");  // m2: PrevMssage
    ASSERT_TRUE(waitFor(page("m1", "NextMessage").url));
    QTest::mouseClick(button("previous"), Qt::LeftButton);
    ASSERT_TRUE(waitFor(page("m3", "DeleteMssage").url));
    clickInPage("call");  // m3: DeleteMssage, the last: the one before it
    ASSERT_TRUE(waitFor(page("m2", "PrevMssage").url));
    EXPECT_EQ(doc()->ShownIds(), (QStringList{"m1", "m2"}));
    EXPECT_EQ(counter(), "Message 2 of 2");
}

TEST_F(MessageWindow, ThePageCallShowSettingsOpensTheSheet)
{
    systemdtest::FakeSystemctl systemctl;
    startWith({page("m1", "ShowSettings")});
    ASSERT_TRUE(waitFor(page("m1", "ShowSettings").url));
    answerSheetWith(QDialog::Rejected);
    clickInPage("call");
    ASSERT_TRUE(browsertest::WaitUntil([&] { return sheetsSeen == 1; }));
    EXPECT_TRUE(browsertest::WaitUntil([&] { return systemctl.calls().join('\n').contains("enable --now"); }));
}

// Cancel keeps the settings, but the task is made again through the recording systemctl.
TEST_F(MessageWindow, TheSettingsButtonCancelledStillRecreatesTheTask)
{
    systemdtest::FakeSystemctl systemctl;
    doctest::storeSetting("UpdateFrequency", "1");
    startWith(pages(1));
    ASSERT_TRUE(waitFor(page("m1").url));
    systemctl.clearCalls();

    answerSheetWith(QDialog::Rejected);
    QTest::mouseClick(button("settings"), Qt::LeftButton);
    EXPECT_EQ(sheetsSeen, 1);
    const QStringList calls = systemctl.calls();
    EXPECT_TRUE(calls.join('\n').contains("--user enable --now")) << calls.join(" / ").toStdString();
    EXPECT_EQ(systemdtest::unitFiles(QStringLiteral(".timer")).size(), 2);
    EXPECT_EQ(GetSetting("UpdateFrequency"), "1");
}

// The welcome page's button opts the user in, schedules the task, shows the checking
// page, and then checks: the welcome message goes and the new one is shown.
TEST_F(MessageWindow, StartMessagingFromTheWelcomePageOptsInAndChecks)
{
    systemdtest::FakeSystemctl systemctl;
    const QString fresh = server.Url("other.html?fresh").toString();
    const QJsonArray channels{QJsonObject{{"name", "critical_updates"}, {"fields", QJsonArray{"MODL"}}}};
    testpeers::MessageService service(
        dir, {doctest::answers(
                  channels,
                  {QJsonObject{{"id", "m-new"}, {"name", "critical_updates"}, {"offer", "Fresh"}, {"url", fresh}}}),
              false,
              {},
              {}});
    ASSERT_TRUE(service.started());
    ::setenv("OVEXKELVO_TEST_SERVICE", service.hostPort().toUtf8().constData(), 1);

    const Page welcome{CMessageViewer::WelcomeMessageId(),
                       QUrl::fromLocalFile(CMessageViewer::MessagesFolder() + "/welcome.htm")};
    startWith({welcome}, {"/test"});
    ASSERT_TRUE(waitFor(welcome.url));
    EXPECT_FALSE(button("delete")->isEnabled());  // the welcome message stays until the user answers
    EXPECT_EQ(service.received().size(), 0);

    Eval(page(), "document.querySelector('button.start').id = 'start'; true");
    clickInPage("start");
    ASSERT_TRUE(browsertest::WaitUntil(
        [&] { return completed.value(completed.size() - 1) == MessageBrowser::ResourceUrl("CHECKING.HTML"); }));
    EXPECT_EQ(GetSetting("UserOptIn"), "1");
    EXPECT_TRUE(systemctl.calls().join('\n').contains("--user enable --now"));

    ASSERT_TRUE(waitFor(QUrl(fresh)));
    EXPECT_EQ(service.received().size(), 2);
    EXPECT_EQ(viewer()->CurrentId(), "m-new");
    EXPECT_EQ(doc()->ShownIds(), QStringList{"m-new"});
    EXPECT_TRUE(doc()->Messages().GetAt(doc()->Messages().IndexOf(welcome.id)).deleted);
    EXPECT_EQ(counter(), "Message 1 of 1");
}

TEST_F(MessageWindow, ClosingEndsTheProgramAndDropsTheTaskOfAUserNotOptedIn)
{
    const struct {
        const char* what;
        bool optedIn;
        bool escape;  // Escape, else the close box
        bool taskStays;
    } cases[] = {
        {"close box, not opted in", false, false, false},
        {"Escape, not opted in", false, true, false},
        {"close box, opted in", true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        freshStart();
        completed.clear();
        systemdtest::FakeSystemctl systemctl;
        ASSERT_EQ(ScheduleCheckTask(0, QString()), platform::TaskStatus::Ok);
        ASSERT_EQ(systemdtest::unitFiles(QStringLiteral(".timer")).size(), 2);
        startWith(pages(1));
        ASSERT_TRUE(waitFor(page("m1").url));
        if (c.optedIn)
            SetSetting("UserOptIn", "1");

        // Enter does not close the window, in the page or on a button.
        QTest::keyClick(input(), Qt::Key_Return);
        QTest::keyClick(button("next"), Qt::Key_Return);
        doctest::settle();
        ASSERT_TRUE(viewer()->isVisible());
        ASSERT_FALSE(app->MainFrame()->IsClosed());

        if (c.escape)
            QTest::keyClick(button("next"), Qt::Key_Escape);
        else
            viewer()->close();
        doctest::settle();
        EXPECT_FALSE(viewer()->isVisible());
        EXPECT_TRUE(app->MainFrame()->IsClosed());
        EXPECT_EQ(systemdtest::unitFiles(QStringLiteral(".timer")).size(), c.taskStays ? 2 : 0);
    }
}

// With the page focused, its keys reach it before the window's own: F5 goes to the page
// and, as the page leaves it alone, on to the window's check; Escape goes to the page.
TEST_F(MessageWindow, ThePageGetsItsKeysBeforeTheWindow)
{
    const QJsonArray channels{QJsonObject{{"name", "critical_updates"}, {"fields", QJsonArray{"MODL"}}}};
    testpeers::MessageService service(dir, {doctest::answers(channels, {}), false, {}, {}});
    ASSERT_TRUE(service.started());
    ::setenv("OVEXKELVO_TEST_SERVICE", service.hostPort().toUtf8().constData(), 1);
    startWith({{"m1", server.Url("keys.html")}}, {"/test"});
    ASSERT_TRUE(waitFor(server.Url("keys.html")));
    // The engine drops keys that come before the page has drawn its first frame, and a key
    // given before the page's handler is in is never recorded: wait for both, and the focus.
    ASSERT_TRUE(WaitForScript(page(), "Array.isArray(window.keys) && window.painted === true"));
    viewer()->activateWindow();
    input()->setFocus();
    ASSERT_TRUE(WaitForScript(page(), "document.hasFocus()"));

    QTest::keyClick(input(), Qt::Key_F5);
    ASSERT_TRUE(WaitForScript(page(), "window.keys.join(',') === 'F5'"));
    ASSERT_TRUE(browsertest::WaitUntil([&] { return service.received().size() == 2; }));
    EXPECT_FALSE(app->MainFrame()->IsClosed());

    QTest::keyClick(input(), Qt::Key_Escape);
    EXPECT_TRUE(WaitForScript(page(), "window.keys.join(',') === 'F5,Escape'"));
}

// A page the service names by another scheme is not followed: the empty page stands.
TEST_F(MessageWindow, AMessageOfAnotherSchemeShowsTheEmptyPage)
{
    startWith({{"m1", QUrl("javascript:alert('from the service')")},
               {"m2", QUrl("data:text/html,<script>alert(1)</script>")}});
    ASSERT_TRUE(waitFor(emptyPage()));
    EXPECT_EQ(counter(), "Message 0 of 2");
    QTest::mouseClick(button("next"), Qt::LeftButton);
    ASSERT_TRUE(browsertest::WaitUntil([&] { return viewer()->CurrentId() == u"m2"; }));
    completed.clear();
    ASSERT_TRUE(waitFor(emptyPage()));
    EXPECT_TRUE(sink.boxes.empty()) << sink.shown().join(" / ").toStdString();
}

// A message whose page cannot be had leaves no bar behind, and the next one still shows.
TEST_F(MessageWindow, AFailedPageDoesNotStallTheWindow)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QUrl refused(QStringLiteral("http://127.0.0.1:%1/offer.html").arg(closed.serverPort()));
    closed.close();
    startWith({{"m1", refused}, page("m2")});
    ASSERT_TRUE(waitFor(refused));
    QTest::mouseClick(button("next"), Qt::LeftButton);
    ASSERT_TRUE(waitFor(page("m2").url));
    EXPECT_EQ(counter(), "Message 2 of 2");
}

}  // namespace
