// The tray notification of scheduled runs: texts, the wait for a pausing user, the sound
// setting, and the click that makes the run interactive.
#include "client/ui/MessageViewer.h"
#include "tests/client/doc/DocTestSupport.h"
#include "tests/peers/Peers.h"

using namespace client;

namespace {

using namespace doctest;

QStringList messageIds(int count)
{
    QStringList ids;
    for (int i = 1; i <= count; ++i)
        ids << QStringLiteral("m%1").arg(i);
    return ids;
}

class Tray : public ClientTest {
protected:
    // A scheduled run of a user who has not opted in, with `unread` stored messages: the
    // start-up road announces them.
    void scheduledRunWith(int unread)
    {
        putInDataFolder("r.tova", tovaFile("OVEX", messageIds(unread)));
        ASSERT_TRUE(start({"/auto", "/test"}));
    }
};

class TrayTexts : public Tray, public ::testing::WithParamInterface<int> {};

TEST_P(TrayTexts, TipsAndBalloonByCount)
{
    scheduledRunWith(GetParam());
    const QString added =
        GetParam() == 1 ? "You have one new message available." : "You have 3 new messages available.";
    const QString unread =
        GetParam() == 1 ? "You have one unread message available." : "You have 3 unread messages available.";
    EXPECT_EQ(tray.calls, (QStringList{"add 137 " + added, "modify 128 " + unread,
                                       "balloon New message from Ovex Inc|" + unread + "|15000"}));
}

INSTANTIATE_TEST_SUITE_P(Counts, TrayTexts, ::testing::Values(1, 3),
                         [](const auto& info) { return info.param == 1 ? "One" : "Several"; });

// The balloon waits, in 8-second steps, for a user idle between 10 and 60 seconds; a
// user who never pauses is announced to once the wait gives up; where the idle time
// cannot be read there is nothing to wait for.
TEST_F(Tray, BalloonWaitsForAPausingUser)
{
    constexpr int kStepsInThirtyMinutes = 30 * 60 / 8;
    const struct {
        const char* what;
        QList<qint64> idle;
        int steps;
    } cases[] = {
        {"typing, then a pause", {200, 200, 3000, 12000}, 3},
        {"idle within the window at once", {15000}, 1},
        {"away for good", {100000}, kStepsInThirtyMinutes},
        {"idle time unknown", {-1}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        freshStart();
        tray.calls.clear();
        clock.sleeps.clear();
        desktop.script = c.idle;
        scheduledRunWith(1);
        EXPECT_EQ(clock.sleeps.size(), c.steps);
        EXPECT_EQ(clock.sleeps.count(8000), c.steps);
        EXPECT_EQ(tray.count("balloon"), 1);
    }
}

TEST_F(Tray, SoundFollowsTheSetting)
{
    for (const char* setting : {"0", "1"}) {
        SCOPED_TRACE(setting);
        freshStart();
        Settings::Instance().Reset();
        desktop.sounds.clear();
        tray.calls.clear();
        storeSetting("PlayNewMessageSound", setting);
        scheduledRunWith(1);
        EXPECT_EQ(tray.count("balloon"), 1);
        const qsizetype expected = QString(setting) == "1" ? 1 : 0;
        EXPECT_EQ(desktop.sounds.size(), expected);
        EXPECT_EQ(desktop.sounds.count(platform::mb::IconAsterisk), expected);
    }
}

// A click on the balloon opens the first unread message, and from then on the run is
// interactive: the next check brings the icon up to date without a balloon. Reading the
// last unread message removes the icon.
TEST_F(Tray, ClickOpensTheMessageAndMakesTheRunInteractive)
{
    testpeers::MessageService service(dir, {answers({}, {offer("m-9", "critical_updates", "Later")}), false, {}, {}});
    ASSERT_TRUE(service.started());
    ::setenv("OVEXKELVO_TEST_SERVICE", service.hostPort().toUtf8().constData(), 1);
    scheduledRunWith(2);
    ASSERT_FALSE(view()->Viewer()->isVisible());
    tray.calls.clear();
    clock.sleeps.clear();

    tray.click();
    EXPECT_FALSE(client::runState().scheduledRun);
    EXPECT_TRUE(view()->Viewer()->isVisible());
    EXPECT_EQ(view()->Viewer()->CurrentId(), "m1");
    EXPECT_EQ(tray.calls, QStringList{"modify 128 You have one unread message available."});

    tray.calls.clear();
    ASSERT_TRUE(view()->CheckForNewMessages());
    EXPECT_EQ(tray.calls, QStringList{"modify 128 You have 2 unread messages available."});
    EXPECT_TRUE(clock.sleeps.isEmpty());

    tray.calls.clear();
    tray.click();
    tray.click();
    EXPECT_EQ(tray.calls, (QStringList{"modify 128 You have one unread message available.", "remove"}));
    EXPECT_FALSE(view()->TrayIconShown());
    EXPECT_EQ(view()->UnreadCount(), 0);
}

}  // namespace
