// The message check against real local services: what it stores, what it sends, how it
// fails, and that nothing dispatched during its waits starts a second one or ends the run.
#include "client/MessageList.h"
#include "client/ui/MessageViewer.h"
#include "client/RecordMap.h"
#include "client/ResString.h"
#include "tests/client/doc/DocTestSupport.h"
#include "tests/peers/Peers.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QJsonDocument>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace client;

namespace {

using namespace doctest;

const QJsonArray kChannels{
    QJsonObject{{"name", "critical_updates"}, {"title", "Critical updates v2"}, {"fields", QJsonArray{"MODL"}}},
    QJsonObject{{"name", "news"}, {"title", "News"}, {"fields", QJsonArray{"MODL"}}},
    QJsonObject{{"name", "quiet"}, {"title", "Quiet"}, {"fields", QJsonArray{"MODL"}}},
};

class MessageCheck : public ClientTest {
protected:
    void useService(const testpeers::MessageService& service)
    {
        ASSERT_TRUE(service.started());
        ::setenv("OVEXKELVO_TEST_SERVICE", service.hostPort().toUtf8().constData(), 1);
    }
    // "<channel>|1" when the record's subscription was checked during this test.
    QStringList subscriptions() const
    {
        return rows(
            QStringLiteral("SELECT chnname, lastCheck >= %1 AS fresh FROM Subscription ORDER BY chnname").arg(before_),
            {"chnname", "fresh"});
    }
    qint64 before_ = CurrentTime();
};

// A message the owner has read; the service sends it again.
void storeReadMessage(const QString& id)
{
    MessageList list;
    Message m = Message::FromTova({{"id", id}, {"offer", "Old title"}, {"url", "http://pages.example/" + id}});
    m.params.insert("mfgr", "OVEX");
    m.params.insert("channel", "critical_updates");
    m.params.insert("added", "2020-01-01");
    m.unread = false;
    list.Add(m);
    list.Save();
}

TEST_F(MessageCheck, StoresChannelsMessagesAndTheChannelsChecked)
{
    testpeers::MessageService service(
        dir, {answers(kChannels, {offer("m-new", "news", "Fresh"), offer("m-old", "critical_updates", "Again")}),
              false,
              {},
              {}});
    useService(service);
    putInDataFolder("r.tova", tovaFile("OVEX"));
    storeReadMessage("m-old");
    storeSetting("UserOptIn", "1");
    ASSERT_TRUE(start({"/test"}));
    settle();

    // Channels taken over and stored; the record subscribed to the new ones.
    EXPECT_EQ(rows("SELECT name, title FROM Channel ORDER BY chnid", {"name", "title"}),
              (QStringList{"critical_updates|Critical updates v2", "news|News", "quiet|Quiet"}));
    // Only the channels that delivered an offer count as checked.
    EXPECT_EQ(subscriptions(), (QStringList{"critical_updates|1", "news|1", "quiet|0"}));

    // Saved by the check: titles marked for the test service, dated today; the known id
    // updated in place, still read.
    const QString mark = " -- Message from Test Server";
    EXPECT_EQ(rows("SELECT m.msgid, p.value, m.read FROM Message m JOIN MessageParam p ON p.msgid = m.msgid "
                   "AND p.param = 'title' ORDER BY m.msgid",
                   {"msgid", "value", "read"}),
              (QStringList{"m-new|Fresh" + mark + "|0", "m-old|Again" + mark + "|1"}));
    MessageList& messages = doc()->Messages();
    EXPECT_EQ(messages.Count(), 2);
    EXPECT_EQ(GetField(messages.GetAt(messages.IndexOf("m-old")).params, "added"), TodayDateText());
    EXPECT_EQ(GetField(messages.GetAt(messages.IndexOf("m-new")).params, "mfgr"), "OVEX");
    ASSERT_EQ(view()->List()->topLevelItemCount(), 2);
    // The plain start went on to show the one unread message.
    EXPECT_EQ(view()->Viewer()->CurrentId(), "m-new");

    // What the service was asked: the request struct, then the record with its three
    // subscriptions, the new ones never checked.
    const QJsonArray calls = service.received();
    ASSERT_EQ(calls.size(), 2);
    const QJsonObject request{
        {"mfgr", "OVEX"}, {"lang", QString::fromLatin1(client::runState().languageCode)}, {"vers", "0107"}};
    EXPECT_EQ(calls[0].toObject()["method"].toString(), "getChannelsForMfgr");
    EXPECT_EQ(calls[0].toObject()["params"].toArray(), QJsonArray{request});
    const QJsonArray params = calls[1].toObject()["params"].toArray();
    ASSERT_EQ(params.size(), 2);
    EXPECT_EQ(params[0].toObject(), request);
    const QJsonArray subscribed = params[1].toArray()[0].toObject()["channels"].toArray();
    EXPECT_EQ(subscribed, (QJsonArray{QJsonObject{{"name", "critical_updates"}, {"lastCheck", 0}},
                                      QJsonObject{{"name", "news"}, {"lastCheck", 0}},
                                      QJsonObject{{"name", "quiet"}, {"lastCheck", 0}}}));
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_EQ(tray.count("balloon"), 0);  // an interactive check only updates the icon
}

// A failing call ends the check: nothing further is asked, nothing announced, the box
// only in an interactive run, and the program closes. The subscriptions to the new
// channels are stored all the same.
class FailingCheck : public MessageCheck, public ::testing::WithParamInterface<bool> {};

TEST_P(FailingCheck, EndsTheCheckAndTheProgram)
{
    const bool scheduled = GetParam();
    QJsonObject config = answers(kChannels, {});
    config["getOffersForRecords"] = QJsonObject{{"fault", QJsonArray{42, "Records & channels refused"}}};
    testpeers::MessageService service(dir, {config, false, {}, {}});
    useService(service);
    putInDataFolder("r.tova", tovaFile("OVEX", {"welcome"}));
    storeSetting("UserOptIn", "1");
    QStringList arguments{"/test"};
    if (scheduled)
        arguments << "/auto";
    ASSERT_TRUE(start(arguments));
    EXPECT_FALSE(view()->IsChecking());
    settle();

    EXPECT_EQ(service.received().size(), 2);
    const QStringList expected =
        scheduled ? QStringList{}
                  : QStringList{ResString(117) + ": " + ResString(116, QStringLiteral("Records & channels refused"))};
    EXPECT_EQ(sink.shown(), expected);
    EXPECT_TRUE(sink.boxes.empty() || sink.shown()[0].contains("The error was: Records & channels refused.\n"));
    EXPECT_TRUE(app->MainFrame()->IsClosed());
    EXPECT_TRUE(tray.calls.isEmpty()) << tray.calls.join(" / ").toStdString();
    EXPECT_FALSE(view()->Viewer()->isVisible());
    EXPECT_EQ(subscriptions(), (QStringList{"critical_updates|0", "news|0", "quiet|0"}));
}

INSTANTIATE_TEST_SUITE_P(Runs, FailingCheck, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Scheduled" : "Interactive"; });

// Two manufacturers: the second one's first call fails. What the first stored stays, the
// second is asked nothing more.
TEST_F(MessageCheck, LaterEntryFailingKeepsWhatTheEarlierOneStored)
{
    const QJsonObject config{
        {"ACME", answers(kChannels, {offer("a-1", "news", "From Acme")})},
        {"ZORK", QJsonObject{{"getChannelsForMfgr", QJsonObject{{"fault", QJsonArray{7, "Unknown maker"}}}}}},
    };
    testsupport::writeFile(dir + "/mfgr-config.json", QJsonDocument(config).toJson());
    testpeers::Peer service(testpeers::peerScript("mfgr_service.py"),
                            {"--config", dir + "/mfgr-config.json", "--record", dir + "/mfgr-record.jsonl"});
    ASSERT_TRUE(service.started());
    ::setenv("OVEXKELVO_TEST_SERVICE", service.hostPort().toUtf8().constData(), 1);
    putInDataFolder("1.tova", tovaFile("ACME"));
    putInDataFolder("2.tova", tovaFile("ZORK"));
    storeSetting("UserOptIn", "1");
    ASSERT_TRUE(start({"/test"}));
    settle();

    QStringList asked;
    for (const QByteArray& line : testsupport::readFile(dir + "/mfgr-record.jsonl").split('\n'))
        if (!line.isEmpty()) {
            const QJsonObject call = QJsonDocument::fromJson(line).object();
            asked << call["mfgr"].toString() + " " + call["method"].toString();
        }
    EXPECT_EQ(asked, (QStringList{"ACME getChannelsForMfgr", "ACME getOffersForRecords", "ZORK getChannelsForMfgr"}));
    EXPECT_EQ(rows("SELECT mfgr, name FROM Channel ORDER BY chnid", {"mfgr", "name"}),
              (QStringList{"ACME|critical_updates", "ZORK|critical_updates", "ACME|news", "ACME|quiet"}));
    EXPECT_EQ(rows("SELECT msgid, mfgr FROM Message", {"msgid", "mfgr"}), QStringList{"a-1|ACME"});
    EXPECT_EQ(rows(QStringLiteral("SELECT r.mfgr, s.chnname FROM Subscription s JOIN RegRecord r ON r.recid = s.recid "
                                  "WHERE s.lastCheck >= %1")
                       .arg(before_),
                   {"mfgr", "chnname"}),
              QStringList{"ACME|news"});
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_TRUE(sink.shown()[0].contains("The error was: Unknown maker."));
    EXPECT_TRUE(app->MainFrame()->IsClosed());
}

// With no registration record there is nothing to ask: an interactive start says so
// once, a scheduled one says nothing.
TEST_F(MessageCheck, NoRegistrationRecords)
{
    testpeers::MessageService service(dir, {answers(kChannels, {}), false, {}, {}});
    useService(service);
    storeSetting("UserOptIn", "1");
    ASSERT_TRUE(start({"/test"}));
    settle();
    EXPECT_EQ(sink.shown(),
              QStringList{"Error: You cannot receive messages because you have no registration records.\n\n"
                          "Please import a registration file or register a product."});
    EXPECT_TRUE(service.received().isEmpty());
    EXPECT_FALSE(app->MainFrame()->IsClosed());

    app.reset();
    sink.boxes.clear();
    client::runState() = client::RunState();
    ASSERT_TRUE(start({"/test", "/auto"}));
    settle();
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_TRUE(app->MainFrame()->IsClosed());  // and nothing unread: the run ends
}

// Working offline: nothing is sent, nothing changes, what is unread is still announced.
TEST_F(MessageCheck, OfflineSendsNothingAndAnnouncesWhatIsUnread)
{
    testpeers::MessageService service(dir, {answers(kChannels, {offer("m-1", "news", "x")}), false, {}, {}});
    useService(service);
    putInDataFolder("r.tova", tovaFile("OVEX", {"welcome"}));
    storeSetting("UserOptIn", "1");
    ovex_inet_set_connected_state(OVEX_INET_STATE_DISCONNECTED_BY_USER);
    ASSERT_TRUE(start({"/test", "/auto"}));
    settle();
    ovex_inet_set_connected_state(OVEX_INET_STATE_CONNECTED);

    EXPECT_TRUE(service.received().isEmpty());
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_EQ(rows("SELECT name FROM Channel", {"name"}), QStringList{"critical_updates"});
    EXPECT_EQ(subscriptions(), QStringList{"critical_updates|0"});
    EXPECT_EQ(tray.count("balloon"), 1);
    EXPECT_FALSE(app->MainFrame()->IsClosed());
}

// The desktop knows of no network: an interactive check asks nothing and says nothing,
// stores nothing and checks no channel, and the program goes on. Once the network is
// back, the next check asks.
TEST_F(MessageCheck, NoNetworkChecksQuietlyUntilItIsBack)
{
    testpeers::NetworkManager network(QStringLiteral(OVEX_NETWORK_MANAGER_PEER), testpeers::kNmDisconnected);
    ASSERT_TRUE(network.started());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", network.busAddress().toUtf8());
    testpeers::MessageService service(dir, {answers(kChannels, {offer("m-1", "news", "x")}), false, {}, {}});
    useService(service);
    putInDataFolder("r.tova", tovaFile("OVEX"));
    storeSetting("UserOptIn", "1");
    ASSERT_TRUE(start({"/test"}));
    settle();

    EXPECT_TRUE(service.received().isEmpty());
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_EQ(rows("SELECT name FROM Channel", {"name"}), QStringList{"critical_updates"});
    EXPECT_EQ(subscriptions(), QStringList{"critical_updates|0"});
    EXPECT_EQ(doc()->Messages().Count(), 0);
    EXPECT_FALSE(app->MainFrame()->IsClosed());

    ASSERT_TRUE(network.setState(testpeers::kNmConnectedGlobal));
    app->MainFrame()->CheckAction()->trigger();
    EXPECT_EQ(service.received().size(), 2);
    EXPECT_EQ(doc()->Messages().Count(), 1);
    EXPECT_TRUE(sink.boxes.empty());
}

// F5 where the user is, in the message window, checks.
TEST_F(MessageCheck, F5InTheMessageWindowChecks)
{
    testpeers::MessageService service(dir, {answers(kChannels, {offer("m-1", "news", "x")}), false, {}, {}});
    useService(service);
    putInDataFolder("r.tova", tovaFile("OVEX", {"w-1"}));
    ASSERT_TRUE(start({"/test"}));  // not opted in: no check at start
    CMessageViewer* window = view()->Viewer();
    ASSERT_TRUE(window->isVisible());
    QLabel* counter = window->findChild<QLabel*>("counter");
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(counter->text(), "Message 1 of 1");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_F5);
    EXPECT_EQ(service.received().size(), 2);
    EXPECT_EQ(doc()->Messages().Count(), 2);
    // The open window counts what the check brought, still on the message it shows.
    EXPECT_EQ(window->CurrentId(), "w-1");
    EXPECT_EQ(counter->text(), "Message " + QString::number(window->CurrentIndex() + 1) + " of 2");
    EXPECT_TRUE(window->findChild<QWidget*>("next")->isEnabled());
    EXPECT_TRUE(window->findChild<QWidget*>("previous")->isEnabled());
}

// F5, a close of the window and an import that arrive while a call waits are dispatched
// inside the wait: the first two must neither start a second check nor end the run under
// it, and the close takes effect once the check is over.
TEST_F(MessageCheck, WhatArrivesDuringTheWaitNeitherChecksAgainNorEndsTheRun)
{
    testpeers::MessageService service(dir, {answers(kChannels, {offer("m-1", "news", "x")}), false, {}, {}});
    useService(service);
    putInDataFolder("r.tova", tovaFile("OVEX"));
    int chooserAsked = 0;
    services.view.chooseImportFile = [&](QWidget*) {
        ++chooserAsked;
        return QString();
    };
    ASSERT_TRUE(start({"/test"}));  // not opted in: no check yet
    settle();
    ASSERT_TRUE(service.received().isEmpty());

    CMainFrame* frame = app->MainFrame();
    QStringList seen;
    // Posted now, dispatched by the first wait of the check.
    QTimer::singleShot(0, frame, [&] {
        seen << (view()->IsChecking() ? "in check" : "outside");
        frame->CheckAction()->trigger();
        frame->ImportAction()->trigger();
        // What a page can call, and the message window's own close box.
        CMessageViewer* viewer = view()->Viewer();
        viewer->NextMessage();
        viewer->DeleteMssage();
        QMetaObject::invokeMethod(viewer, "reject", Qt::DirectConnection);
        seen << (frame->IsClosed() ? "closed" : "open");
        frame->close();
        seen << (frame->IsClosed() ? "closed" : "open");
    });
    EXPECT_TRUE(view()->CheckForNewMessages());
    EXPECT_EQ(seen, (QStringList{"in check", "open", "open"}));
    EXPECT_EQ(service.received().size(), 2);
    EXPECT_EQ(chooserAsked, 0);
    EXPECT_FALSE(frame->IsClosed());
    EXPECT_EQ(doc()->Messages().Count(), 1);

    settle();
    EXPECT_TRUE(frame->IsClosed());
    EXPECT_EQ(service.received().size(), 2);
}

}  // namespace
