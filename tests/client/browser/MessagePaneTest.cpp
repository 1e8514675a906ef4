// The message window's browser against real pages from a local server: what pages may
// call, how their dialogs are answered, which keys they get, no context menu, and which
// loads are reported.
#include "client/browser/MessagePane.h"
#include "client/browser/MessagePaneController.h"
#include "tests/client/browser/BrowserTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineView>

using namespace client;

using namespace browsertest;

namespace {

class RecordingCalls : public MessagePageCalls {
public:
    void NextMessage() override { calls << QStringLiteral("NextMessage"); }
    void PrevMssage() override { calls << QStringLiteral("PrevMssage"); }
    void DeleteMssage() override { calls << QStringLiteral("DeleteMssage"); }
    void ShowSettings() override { calls << QStringLiteral("ShowSettings"); }
    void StartMessaging() override { calls << QStringLiteral("StartMessaging"); }
    QStringList calls;
};

class MessagePaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareEngineEnvironment();
        ASSERT_TRUE(server.started());
        pane = std::make_unique<CMessagePane>(&calls);
        pane->resize(475, 345);
        pane->show();
        pane->activateWindow();
        complete = std::make_unique<QSignalSpy>(pane.get(), &CMessagePane::DocumentComplete);
    }

    // Loads `url` and waits for its completion; true when it loaded.
    bool Load(const QUrl& url)
    {
        complete->clear();
        pane->Navigate(url);
        if (!complete->wait(20000) && complete->isEmpty())
            return false;
        return complete->last().at(1).toBool();
    }

    QWebEnginePage* Page() const { return pane->Controller(); }
    QWidget* Input() const { return pane->View()->focusProxy(); }

    // The page has drawn twice, so input reaches the elements under the pointer.
    void WaitUntilPainted() { ASSERT_TRUE(WaitForScript(Page(), QStringLiteral("window.painted === true"))); }

    PageServer server;
    RecordingCalls calls;
    std::unique_ptr<CMessagePane> pane;
    std::unique_ptr<QSignalSpy> complete;
};

TEST_F(MessagePaneTest, EachExternalCallOfAPageReachesTheHandlerOnce)
{
    // The calls are made while the page loads, before the channel to the client is open.
    for (const QString& name :
         {QStringLiteral("NextMessage"), QStringLiteral("PrevMssage"), QStringLiteral("DeleteMssage"),
          QStringLiteral("ShowSettings"), QStringLiteral("StartMessaging")}) {
        SCOPED_TRACE(name.toStdString());
        calls.calls.clear();
        ASSERT_TRUE(Load(server.Url(QStringLiteral("calls.html?") + name)));
        ASSERT_TRUE(WaitUntil([&] { return calls.calls.size() >= 1; }));
        QTest::qWait(100);  // a second delivery would be here by now
        EXPECT_EQ(calls.calls, QStringList{name});
    }
}

TEST_F(MessagePaneTest, AClickOnAPageButtonCallsTheClient)
{
    ASSERT_TRUE(Load(server.Url(QStringLiteral("calls.html"))));
    WaitUntilPainted();
    QTest::mouseClick(Input(), Qt::LeftButton, {}, QPoint(100, 100));
    ASSERT_TRUE(WaitUntil([&] { return !calls.calls.isEmpty(); }));
    EXPECT_EQ(calls.calls, QStringList{QStringLiteral("DeleteMssage")});
}

TEST_F(MessagePaneTest, AnAlertIsAClientMessageBoxUnderTheApplicationTitle)
{
    RecordingSink sink;
    ASSERT_TRUE(Load(server.Url(QStringLiteral("alert.html"))));
    ASSERT_TRUE(WaitUntil([&] { return Page()->title() == u"alerted"; }));
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, QStringLiteral("Your warranty ends soon."));
    EXPECT_EQ(sink.boxes[0].caption, QStringLiteral("Ovex Kelvo"));
    EXPECT_EQ(sink.boxes[0].style & platform::mb::TypeMask, platform::mb::Ok);
}

TEST_F(MessagePaneTest, TheAnswerToAConfirmReachesThePage)
{
    const struct {
        int answer;
        const char* title;
    } cases[] = {{platform::id::Ok, "kept"}, {platform::id::Cancel, "dropped"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        RecordingSink sink;
        sink.answers.push_back(c.answer);
        ASSERT_TRUE(Load(server.Url(QStringLiteral("confirm.html"))));
        ASSERT_TRUE(WaitUntil([&] { return Page()->title() == QString::fromLatin1(c.title); }))
            << Page()->title().toStdString();
        ASSERT_EQ(sink.boxes.size(), 1u);
        EXPECT_EQ(sink.boxes[0].text, QStringLiteral("Keep this offer?"));
        EXPECT_EQ(sink.boxes[0].caption, QStringLiteral("Ovex Kelvo"));
        EXPECT_EQ(sink.boxes[0].style & platform::mb::TypeMask, platform::mb::OkCancel);
    }
}

// Tab, Enter, Escape and F5 reach the page; any other key press is dropped before the
// engine sees it, so typing, Backspace and browser shortcuts do nothing.
TEST_F(MessagePaneTest, OnlyTabEnterEscapeAndF5ReachThePage)
{
    const struct {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* seen;  // the page's e.key, or nullptr when the page must not see it
    } cases[] = {
        {"Tab", Qt::Key_Tab, Qt::NoModifier, "Tab"},
        {"Shift+Tab", Qt::Key_Backtab, Qt::ShiftModifier, "Tab"},
        {"Return", Qt::Key_Return, Qt::NoModifier, "Enter"},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, "Enter"},
        {"Escape", Qt::Key_Escape, Qt::NoModifier, "Escape"},
        {"F5", Qt::Key_F5, Qt::NoModifier, "F5"},
        {"a letter", Qt::Key_A, Qt::NoModifier, nullptr},
        {"Space", Qt::Key_Space, Qt::NoModifier, nullptr},
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, nullptr},
        {"Delete", Qt::Key_Delete, Qt::NoModifier, nullptr},
        {"Ctrl+N", Qt::Key_N, Qt::ControlModifier, nullptr},
        {"Ctrl+A", Qt::Key_A, Qt::ControlModifier, nullptr},
        {"Alt+Left", Qt::Key_Left, Qt::AltModifier, nullptr},
        {"Left", Qt::Key_Left, Qt::NoModifier, nullptr},
        {"F1", Qt::Key_F1, Qt::NoModifier, nullptr},
        {"F11", Qt::Key_F11, Qt::NoModifier, nullptr},
    };
    ASSERT_TRUE(Load(server.Url(QStringLiteral("keys.html"))));
    WaitUntilPainted();
    Input()->setFocus();
    ASSERT_TRUE(WaitForScript(Page(), QStringLiteral("document.hasFocus()")));

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Eval(Page(), QStringLiteral("window.keys = []; var f = document.getElementById('field');"
                                    "f.value = 'xyz'; f.focus(); f.setSelectionRange(3, 3); true"));
        QTest::keyClick(Input(), c.key, c.modifiers);
        // Escape reaches the page, and the engine keeps key order: once it is seen, the key
        // before it has been delivered or dropped.
        QTest::keyClick(Input(), Qt::Key_Escape);
        ASSERT_TRUE(WaitForScript(Page(), QStringLiteral("window.keys[window.keys.length - 1] === 'Escape'")));
        const QString expected =
            c.seen ? QString::fromLatin1(c.seen) + QStringLiteral(",Escape") : QStringLiteral("Escape");
        EXPECT_EQ(Eval(Page(), QStringLiteral("window.keys.join(',')")).toString(), expected);
        EXPECT_EQ(Eval(Page(), QStringLiteral("document.getElementById('field').value")).toString(),
                  QStringLiteral("xyz"));
    }
}

TEST_F(MessagePaneTest, ARightClickShowsNoContextMenu)
{
    ASSERT_TRUE(Load(server.Url(QStringLiteral("keys.html"))));
    WaitUntilPainted();
    QTest::mouseClick(Input(), Qt::RightButton, {}, QPoint(200, 200));
    // The click reached the page; the menu would follow it at once.
    ASSERT_TRUE(WaitForScript(Page(), QStringLiteral("window.contextMenuEvents === 1")));
    QTest::qWait(500);
    EXPECT_TRUE(pane->findChildren<QMenu*>().isEmpty());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // The same click on a browser as it comes does open one, so the check above can fail.
    pane.reset();
    QWebEngineView plain;
    plain.resize(475, 345);
    plain.show();
    QSignalSpy loaded(&plain, &QWebEngineView::loadFinished);
    plain.load(server.Url(QStringLiteral("keys.html")));
    ASSERT_TRUE(loaded.wait(20000));
    ASSERT_TRUE(WaitForScript(plain.page(), QStringLiteral("window.painted === true")));
    QTest::mouseClick(plain.focusProxy(), Qt::RightButton, {}, QPoint(200, 200));
    EXPECT_TRUE(WaitUntil([&] { return !plain.findChildren<QMenu*>().isEmpty(); }));
    for (QMenu* menu : plain.findChildren<QMenu*>())
        menu->close();
}

TEST_F(MessagePaneTest, OnlyWebAndFileUrlsAreMessagePages)
{
    const struct {
        const char* url;
        bool message;
    } cases[] = {
        {"http://127.0.0.1/offer.html", true},
        {"https://messages.ovex.example/offer.html", true},
        {"HTTPS://messages.ovex.example/offer.html", true},
        {"file:///opt/ovex-kelvo/messages/welcome.htm", true},
        {"javascript:alert(1)", false},
        {"data:text/html,<p>hi</p>", false},
        {"ovexres:/LOADING.HTML", false},
        {"ftp://ovex.example/offer.html", false},
        {"mailto:support@ovex.example", false},
        {"offer.html", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CMessagePane::IsMessageUrl(QUrl(QString::fromLatin1(c.url))), c.message) << c.url;
}

TEST_F(MessagePaneTest, AMessageUrlOfAnotherSchemeIsNotFollowed)
{
    ASSERT_TRUE(Load(server.Url(QStringLiteral("keys.html"))));
    complete->clear();
    EXPECT_FALSE(pane->NavigateToMessage(QUrl(QStringLiteral("javascript:document.title='ran'"))));
    EXPECT_FALSE(pane->NavigateToMessage(QUrl(QStringLiteral("data:text/html,<title>ran</title>"))));
    QTest::qWait(500);
    EXPECT_EQ(Page()->title(), QStringLiteral("keys"));
    EXPECT_TRUE(complete->isEmpty());

    EXPECT_TRUE(pane->NavigateToMessage(server.Url(QStringLiteral("other.html"))));
    ASSERT_TRUE(complete->wait(20000));
    EXPECT_EQ(Page()->title(), QStringLiteral("other"));
}

TEST_F(MessagePaneTest, TheClientsOwnPagesComeFromItsResources)
{
    const struct {
        const char* name;
        const char* text;
    } cases[] = {{"LOADING.HTML", "Please wait.  Loading content..."},
                 {"CHECKING.HTML", "Please wait.  Checking for new messages..."},
                 {"EMPTY.HTML", "No messages available.  Please try again later."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Load(CMessagePane::ResourceUrl(QString::fromLatin1(c.name))));
        EXPECT_EQ(Eval(Page(), QStringLiteral("document.body.innerText.trim()")).toString(),
                  QString::fromLatin1(c.text));
    }
    EXPECT_FALSE(Load(CMessagePane::ResourceUrl(QStringLiteral("NOSUCH.HTML"))));
}

TEST_F(MessagePaneTest, ALoadThatFailsIsReportedOnce)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();  // nothing listens there now: the connection is refused

    EXPECT_FALSE(Load(QUrl(QStringLiteral("http://127.0.0.1:%1/offer.html").arg(port))));
    QTest::qWait(1000);  // an error page must not be reported as a second load
    EXPECT_EQ(complete->size(), 1);
}

// Loads that end without a page (an answer with no content, a stop, a load replaced by
// the next navigation) leave the shown page as it was and report nothing; the next load
// that ends with a page, or fails, is reported.
TEST_F(MessagePaneTest, AbortedLoadsAreNotReported)
{
    ASSERT_TRUE(Load(server.Url(QStringLiteral("keys.html"))));
    complete->clear();
    QSignalSpy started(Page(), &QWebEnginePage::loadStarted);
    QSignalSpy finished(Page(), &QWebEnginePage::loadFinished);

    pane->Navigate(server.Url(QStringLiteral("other.html?status=204")));
    ASSERT_TRUE(finished.wait(20000));
    pane->Navigate(server.Url(QStringLiteral("other.html?delay=2")));
    ASSERT_TRUE(started.wait(20000));
    pane->View()->stop();
    ASSERT_TRUE(finished.wait(20000));
    pane->Navigate(server.Url(QStringLiteral("other.html?delay=2")));
    QTest::qWait(300);
    pane->Navigate(server.Url(QStringLiteral("alert.html?status=404")));  // fails: reported
    ASSERT_TRUE(complete->wait(20000));
    QTest::qWait(2500);  // past the moment the replaced page would have arrived

    ASSERT_EQ(complete->size(), 1);
    EXPECT_EQ(complete->at(0).at(0).toUrl(), server.Url(QStringLiteral("alert.html?status=404")));
}

TEST_F(MessagePaneTest, ProgressIsReportedOutOfAHundred)
{
    QSignalSpy progress(pane.get(), &CMessagePane::ProgressChange);
    ASSERT_TRUE(Load(server.Url(QStringLiteral("other.html"))));
    ASSERT_FALSE(progress.isEmpty());
    for (const QList<QVariant>& p : progress) {
        EXPECT_EQ(p.at(1).toInt(), 100);
        EXPECT_GE(p.at(0).toInt(), 0);
        EXPECT_LE(p.at(0).toInt(), 100);
    }
    EXPECT_EQ(progress.last().at(0).toInt(), 100);
}

TEST_F(MessagePaneTest, LinksForOtherProgramsAndNewWindowsGoToTheDesktop)
{
    RecordingOpener opener;
    ASSERT_TRUE(Load(server.Url(QStringLiteral("links.html"))));
    WaitUntilPainted();

    QTest::mouseClick(Input(), Qt::LeftButton, {}, QPoint(100, 50));
    ASSERT_TRUE(WaitUntil([&] { return opener.opened.size() >= 1; }));
    EXPECT_EQ(opener.opened[0], QUrl(QStringLiteral("mailto:support@ovex.example")));

    QTest::mouseClick(Input(), Qt::LeftButton, {}, QPoint(100, 200));
    ASSERT_TRUE(WaitUntil([&] { return opener.opened.size() >= 2; }));
    EXPECT_EQ(opener.opened.size(), 2);
    EXPECT_EQ(opener.opened[1], server.Url(QStringLiteral("other.html")));

    // The message stays where it was.
    EXPECT_EQ(Page()->url(), server.Url(QStringLiteral("links.html")));
}

TEST_F(MessagePaneTest, TheBrowserKeepsItsDataInTheClientsFolders)
{
    EXPECT_FALSE(pane->Profile()->isOffTheRecord());
    EXPECT_EQ(pane->Profile()->persistentStoragePath(), platform::dataFolder() + QStringLiteral("/WebView"));
    EXPECT_EQ(QDir(pane->Profile()->cachePath()).absolutePath(),
              QDir(platform::folderPath(platform::Folder::Cache) + QStringLiteral("/Ovex/Ovex Kelvo/WebView"))
                  .absolutePath());
    ASSERT_TRUE(Load(server.Url(QStringLiteral("other.html"))));  // stores a value locally
    pane.reset();
    EXPECT_TRUE(QDir(platform::dataFolder() + QStringLiteral("/WebView")).exists());
}

}  // namespace
