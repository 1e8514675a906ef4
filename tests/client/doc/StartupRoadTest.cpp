// The start-up road: whether a start checks, shows the message window, announces or ends,
// for plain and scheduled starts, opted in or not, with or without unread messages.
#include "client/ui/MessageViewer.h"
#include "tests/client/doc/DocTestSupport.h"
#include "tests/peers/Peers.h"

using namespace client;

namespace {

using namespace doctest;

struct RoadCase {
    const char* name;
    bool scheduled;    // "/auto"
    bool optedIn;      // "UserOptIn" "1"
    bool unread;       // the registration file brings an unread message
    int serviceCalls;  // 2: a check ran
    int balloons;
    bool ends;  // the run closes its frame by itself
    bool windowShown;
};

const RoadCase kRoad[] = {
    {"PlainStartShowsTheEmptyPage", false, false, false, 0, 0, false, true},
    {"PlainStartShowsTheUnreadMessage", false, false, true, 0, 0, false, true},
    {"PlainOptedInStartChecks", false, true, false, 2, 0, false, true},
    {"PlainOptedInStartChecksAndShows", false, true, true, 2, 0, false, true},
    {"ScheduledRunWithNothingUnreadEnds", true, false, false, 0, 0, true, false},
    {"ScheduledRunNotOptedInAnnouncesStoredMessages", true, false, true, 0, 1, false, false},
    {"ScheduledOptedInRunWithNothingNewEnds", true, true, false, 2, 0, true, false},
    {"ScheduledOptedInRunAnnouncesOnce", true, true, true, 2, 1, false, false},
};

void PrintTo(const RoadCase& c, std::ostream* os)
{
    *os << c.name;
}

class StartupRoad : public ClientTest, public ::testing::WithParamInterface<RoadCase> {};

TEST_P(StartupRoad, ChecksShowsAnnouncesOrEnds)
{
    const RoadCase& c = GetParam();
    const QJsonArray channels{QJsonObject{{"name", "critical_updates"}, {"fields", QJsonArray{"MODL"}}}};
    testpeers::MessageService service(dir, {answers(channels, {}), false, {}, {}});
    ASSERT_TRUE(service.started());
    ::setenv("OVEXKELVO_TEST_SERVICE", service.hostPort().toUtf8().constData(), 1);
    putInDataFolder(QStringLiteral("r.tova"),
                    tovaFile(QStringLiteral("OVEX"), c.unread ? QStringList{"welcome"} : QStringList{}));
    if (c.optedIn)
        storeSetting(QStringLiteral("UserOptIn"), QStringLiteral("1"));

    QStringList arguments{QStringLiteral("/test")};
    if (c.scheduled)
        arguments << QStringLiteral("/auto");
    ASSERT_TRUE(start(arguments));
    settle();

    EXPECT_EQ(service.received().size(), c.serviceCalls);
    EXPECT_EQ(tray.count(QStringLiteral("balloon")), c.balloons) << tray.calls.join(" / ").toStdString();
    if (c.balloons > 0) {
        EXPECT_TRUE(
            tray.calls.contains("balloon New message from Ovex Inc|You have one unread message available.|15000"));
        EXPECT_EQ(desktop.sounds, QList<unsigned>{platform::mb::IconAsterisk});
    }
    EXPECT_EQ(app->MainFrame()->IsClosed(), c.ends);
    EXPECT_EQ(view()->Viewer()->isVisible(), c.windowShown);
    EXPECT_FALSE(app->MainFrame()->isVisible());
    EXPECT_TRUE(sink.boxes.empty()) << sink.shown().join(" / ").toStdString();

    // A plain start shows the unread message, or the empty page when there is none.
    if (!c.scheduled) {
        EXPECT_EQ(view()->Viewer()->CurrentIndex(), c.unread ? 0 : -1);
        EXPECT_EQ(view()->UnreadCount(), 0);
    }
    // The message the balloon announces stays for the user to open.
    if (c.scheduled && c.unread) {
        EXPECT_EQ(view()->UnreadCount(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, StartupRoad, ::testing::ValuesIn(kRoad),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
