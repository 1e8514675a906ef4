#include "regengine/core/ModalWait.h"

#include "platform/ui/Ui.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace engine;

namespace {

int g_idleCalls = 0;
QObject* g_idleWindow = nullptr;

void countIdle(QObject* window)
{
    ++g_idleCalls;
    g_idleWindow = window;
}

// Runs the real event loop; a loop that never gets its quit ends with -99 instead of
// hanging the test.
int runLoop()
{
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(-99); });
    watchdog.start(5000);
    return QCoreApplication::exec();
}

TEST(ModalWait, StartsWithTheLaunchersInitialExitCode)
{
    EXPECT_EQ(LauncherExitCode(), 31009);
    EXPECT_EQ(CancelFlag(), 0);
}

TEST(ModalWait, CancelFlagAbandonsTheWaitWithoutPumping)
{
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    SetCancelFlag(1);
    int cancelled = 0;
    EXPECT_TRUE(PumpWhileBusy(&cancelled));
    EXPECT_EQ(cancelled, 1);
    EXPECT_TRUE(PumpWhileBusy());
    EXPECT_FALSE(ran);

    *CancelFlagPointer() = 0;
    cancelled = 0;
    for (int i = 0; i < 20 && !ran; ++i)
        EXPECT_FALSE(PumpWhileBusy(&cancelled));
    EXPECT_TRUE(ran);
    EXPECT_EQ(cancelled, 0);
}

TEST(ModalWait, IdleCallbackRunsOnEveryPassEvenWhenCancelled)
{
    QWidget window;
    SetIdleCallback(countIdle, &window);
    PumpWhileBusy();
    SetCancelFlag(1);
    PumpWhileBusy();
    SetCancelFlag(0);
    SetIdleCallback(nullptr, nullptr);
    PumpWhileBusy();
    EXPECT_EQ(g_idleCalls, 2);
    EXPECT_EQ(g_idleWindow, &window);
}

// A quit met while the engine waits does not end the wait; it ends the event loop that
// runs afterwards, with the exit code the launcher had set.
TEST(ModalWait, QuitInsideTheWaitEndsTheLoopLaterWithTheExitCode)
{
    SetLauncherExitCode(7);
    bool posted = false;
    QTimer::singleShot(0, [&posted] {
        PostQuitWithExitCode();
        posted = true;
    });
    for (int i = 0; i < 20 && !posted; ++i)
        PumpWhileBusy();
    ASSERT_TRUE(posted);
    PumpWhileBusy();
    EXPECT_TRUE(platform::quitPending());
    EXPECT_EQ(runLoop(), 7);
}

TEST(ModalWait, QuitPostedBeforeTheLoopRunsEndsIt)
{
    SetLauncherExitCode(0);
    PostQuitWithExitCode();
    EXPECT_EQ(runLoop(), 0);
}

}  // namespace
