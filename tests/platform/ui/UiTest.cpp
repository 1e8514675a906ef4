#include "platform/ui/Ui.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

namespace mb = platform::mb;
namespace id = platform::id;

namespace {

// Ends a loop that a broken quit would leave running, with a code no test expects.
struct Watchdog {
    QTimer timer;
    Watchdog()
    {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        timer.start(10000);
    }
};

// Runs `f` on the next turn of the loop.
template <typename F>
void later(F f)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), f, Qt::QueuedConnection);
}

// ---- Message sink ---------------------------------------------------------------

const struct {
    unsigned style;
    int answer;
} kDefaultButtons[] = {
    {mb::Ok, id::Ok},
    {mb::Ok | mb::DefButton2, id::Ok},  // no second button: the first
    {mb::OkCancel | mb::IconExclamation, id::Ok},
    {mb::OkCancel | mb::DefButton2, id::Cancel},
    {mb::YesNo | mb::IconQuestion, id::Yes},
    {mb::YesNo | mb::DefButton2, id::No},
    {mb::YesNo | mb::DefButton3, id::Yes},
    {mb::YesNoCancel, id::Yes},
    {mb::YesNoCancel | mb::DefButton2, id::No},
    {mb::YesNoCancel | mb::DefButton3 | mb::IconHand, id::Cancel},
    {mb::RetryCancel, id::Retry},
    {mb::RetryCancel | mb::DefButton2, id::Cancel},
    {mb::AbortRetryIgnore, id::Abort},
    {mb::AbortRetryIgnore | mb::DefButton2, id::Retry},
    {mb::AbortRetryIgnore | mb::DefButton3 | mb::IconAsterisk, id::Ignore},
};

TEST(MessageSink, HeadlessAnswersTheDefaultButtonAndWritesToStderr)
{
    ASSERT_TRUE(platform::isHeadless());
    for (const auto& c : kDefaultButtons) {
        EXPECT_EQ(platform::defaultButton(c.style), c.answer) << std::hex << c.style;
        testing::internal::CaptureStderr();
        const int answer = platform::messageBox("The disk is full.", "Ovex Kelvo", c.style);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(answer, c.answer) << std::hex << c.style;
        EXPECT_EQ(err, "Ovex Kelvo: The disk is full.\n") << std::hex << c.style;
    }
    testing::internal::CaptureStderr();
    platform::beep(mb::IconHand);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

struct RecordingSink : platform::MessageSink {
    struct Box {
        QString text, caption;
        unsigned style;
    };
    std::vector<Box> boxes;
    std::vector<unsigned> beeps;
    int messageBox(const QString& text, const QString& caption, unsigned style) override
    {
        boxes.push_back({text, caption, style});
        return id::Retry;
    }
    void beep(unsigned style) override { beeps.push_back(style); }
};

TEST(MessageSink, InstalledSinkReceivesEverythingUntilRemoved)
{
    RecordingSink sink;
    platform::setMessageSink(&sink);
    EXPECT_EQ(&platform::messageSink(), &sink);
    EXPECT_EQ(platform::messageBox("Dial again?", "Modem", mb::RetryCancel | mb::IconQuestion), id::Retry);
    platform::beep(mb::IconExclamation);
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, "Dial again?");
    EXPECT_EQ(sink.boxes[0].caption, "Modem");
    EXPECT_EQ(sink.boxes[0].style, mb::RetryCancel | mb::IconQuestion);
    EXPECT_EQ(sink.beeps, std::vector<unsigned>{mb::IconExclamation});

    platform::setMessageSink(nullptr);
    EXPECT_NE(&platform::messageSink(), &sink);
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::messageBox("Dial again?", "Modem", mb::RetryCancel | mb::DefButton2), id::Cancel);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(sink.boxes.size(), 1u);
}

// The real dialog under a real X server: the key pressed picks the button the style
// makes default (Return) or its escape button, and the answer maps back to the id.
TEST(MessageSink, DisplayShowsRealBoxes)
{
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty())
        GTEST_SKIP() << "xvfb-run is not installed";
    const struct {
        unsigned style;
        const char* key;
        int answer;
    } cases[] = {
        {mb::Ok | mb::IconHand, "return", id::Ok},
        {mb::Ok, "escape", id::Ok},
        {mb::OkCancel | mb::IconExclamation, "escape", id::Cancel},
        {mb::YesNo | mb::DefButton2, "return", id::No},
        {mb::YesNoCancel | mb::IconQuestion | mb::DefButton3, "return", id::Cancel},
        {mb::YesNoCancel, "return", id::Yes},
        {mb::AbortRetryIgnore | mb::DefButton2, "return", id::Retry},
        {mb::RetryCancel | mb::IconAsterisk, "escape", id::Cancel},
    };
    QStringList args{"-a", QStringLiteral(OVEX_UI_PEER), "messagebox"};
    QByteArray expected = "display\n";
    for (const auto& c : cases) {
        args << QStringLiteral("0x%1:%2").arg(c.style, 0, 16).arg(c.key);
        expected += QByteArray::number(c.answer) + '\n';
    }
    QProcessEnvironment env;
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LSAN_OPTIONS", "suppressions=" + testsupport::sourceDir() + "/tests/platform/ui/lsan-display.supp");
    const testsupport::RunResult r = testsupport::runProgram("xvfb-run", args, env, 60000);
    ASSERT_FALSE(r.timedOut) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, expected) << r.err.toStdString();
}

// ---- Quit and pumping waits -------------------------------------------------------

TEST(PostQuit, PostedBeforeTheLoopEndsItWithItsCode)
{
    platform::postQuit(3);
    EXPECT_TRUE(platform::quitPending());
    Watchdog watchdog;
    EXPECT_EQ(QCoreApplication::exec(), 3);
    EXPECT_EQ(platform::lastQuitCode(), 3);
    EXPECT_FALSE(platform::quitPending());
}

// The start-up shape: a wait before the loop runs, and a quit during it. Qt would drop
// an exit() made there; the quit must survive the wait and end the loop afterwards.
TEST(PostQuit, QuitDuringAWaitTakesEffectAfterIt)
{
    int stage = 0;
    const int before = platform::lastQuitCode();
    QTimer::singleShot(0, [&] {
        platform::postQuit(4);
        later([&] { stage = 1; });  // runs after the quit was met
    });
    EXPECT_TRUE(platform::pumpUntil([&] { return stage == 1; }, 10000));
    EXPECT_TRUE(platform::quitPending());
    EXPECT_EQ(platform::lastQuitCode(), before);  // held, not handled
    Watchdog watchdog;
    EXPECT_EQ(QCoreApplication::exec(), 4);
    EXPECT_EQ(platform::lastQuitCode(), 4);
    EXPECT_FALSE(platform::quitPending());
}

// A modal loop opened while a wait runs is not ended by a quit met inside it.
TEST(PostQuit, QuitDuringAWaitLeavesNestedLoopsRunning)
{
    int dialogResult = -1;
    bool done = false;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] {
            QEventLoop dialog;
            later([&] { platform::postQuit(5); });
            // A turn of the loop later, so that an exit() made by the quit would be seen.
            QTimer::singleShot(50, &dialog, [&] { dialog.exit(42); });
            dialogResult = dialog.exec();
            done = true;
        });
        EXPECT_TRUE(platform::pumpUntil([&] { return done; }, 10000));
    });
    Watchdog watchdog;
    EXPECT_EQ(QCoreApplication::exec(), 5);
    EXPECT_EQ(dialogResult, 42);
}

TEST(PostQuit, NestedWaitsPassTheLatestQuitToTheLoop)
{
    bool innerDone = false, outerDone = false, innerReturned = false;
    QTimer::singleShot(0, [&] {
        later([&] {
            platform::postQuit(6);
            later([&] { innerDone = true; });
        });
        EXPECT_TRUE(platform::pumpUntil([&] { return innerDone; }, 10000));
        innerReturned = true;
        EXPECT_TRUE(platform::quitPending());
        later([&] {
            platform::postQuit(7);
            later([&] { outerDone = true; });
        });
    });
    EXPECT_TRUE(platform::pumpUntil([&] { return outerDone; }, 10000));
    EXPECT_TRUE(innerReturned);
    Watchdog watchdog;
    EXPECT_EQ(QCoreApplication::exec(), 7);
}

TEST(PumpUntil, EndsByDoneCancelOrTimeout)
{
    bool flag = false;
    QObject context;  // its timers die with the test
    const struct {
        const char* what;
        std::function<bool()> done;
        std::function<bool()> cancelled;
        int timeoutMs;
        bool result;
    } cases[] = {
        // With nothing else able to end it, a false result is the timeout's.
        {"times out", [] { return false; }, {}, 30, false},
        {"times out though never cancelled", [] { return false; }, [] { return false; }, 30, false},
        // With no limit, a false result is the cancel's.
        {"cancelled by an event", [] { return false; }, [&] { return flag; }, -1, false},
        {"done by an event", [&] { return flag; }, {}, -1, true},
        {"done wins over an expired limit", [] { return true; }, {}, 0, true},
        {"done wins over cancel", [] { return true; }, [] { return true; }, -1, true},
    };
    for (const auto& c : cases) {
        flag = false;
        QTimer::singleShot(10, &context, [&] { flag = true; });
        EXPECT_EQ(platform::pumpUntil(c.done, c.timeoutMs, c.cancelled), c.result) << c.what;
        QCoreApplication::processEvents();
    }
}

// What a wait watches may change with no event at all, here in another thread.
TEST(PumpUntil, SeesAChangeMadeWithoutAnyEvent)
{
    std::atomic<bool> set{false};
    std::thread worker([&] {
        QThread::msleep(100);
        set = true;
    });
    EXPECT_TRUE(platform::pumpUntil([&] { return set.load(); }, 30000));
    worker.join();
}

// ---- Idle hooks --------------------------------------------------------------------

TEST(IdleHooks, RunWhenTheLoopIdlesUntilRemoved)
{
    int calls = 0, selfRemoving = 0;
    bool mainThread = true;
    const int counting = platform::addIdleHook([&] {
        ++calls;
        mainThread = mainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    int once = 0;
    once = platform::addIdleHook([&] {
        ++selfRemoving;
        platform::removeIdleHook(once);
    });

    // Not from inside a wait.
    EXPECT_FALSE(platform::pumpUntil([] { return false; }, 50));
    EXPECT_EQ(calls, 0);

    // A tenth of a second with nothing to do: a few calls, not a spin.
    QTimer::singleShot(100, [] { platform::postQuit(0); });
    Watchdog watchdog;
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_GE(calls, 1);
    EXPECT_LT(calls, 50);
    EXPECT_TRUE(mainThread);
    EXPECT_EQ(selfRemoving, 1);

    platform::removeIdleHook(counting);
    const int before = calls;
    QTimer::singleShot(50, [] { platform::postQuit(0); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(calls, before);
}

// ---- Termination signals -------------------------------------------------------------

struct Child : testsupport::LinePeer {
    explicit Child(const QStringList& args) : LinePeer(QStringLiteral(OVEX_UI_PEER), args) {}
};

TEST(TerminationSignals, EndTheLoopInOrderWithCodeZero)
{
    for (int sig : {SIGTERM, SIGINT}) {
        Child child({"sigterm-idle"});
        ASSERT_EQ(child.line(), "ready");
        ASSERT_EQ(::kill(pid_t(child.process.processId()), sig), 0);
        ASSERT_TRUE(child.process.waitForFinished(10000));
        EXPECT_EQ(child.process.exitStatus(), QProcess::NormalExit) << sig;
        EXPECT_EQ(child.process.exitCode(), 0) << sig;
        EXPECT_EQ(child.line(), "stopped 0 0") << sig;
    }
}

TEST(TerminationSignals, SignalDuringAStartUpWaitEndsTheProgramAfterIt)
{
    const QString file = testsupport::sandboxRoot() + "/finish";
    Child child({"sigterm-wait", file});
    ASSERT_EQ(child.line(), "waiting");
    ASSERT_EQ(::kill(pid_t(child.process.processId()), SIGTERM), 0);
    // Still waiting: the signal must not cut the wait short.
    EXPECT_FALSE(child.process.waitForFinished(300));
    testsupport::writeFile(file, "");
    EXPECT_EQ(child.line(), "wait done");
    ASSERT_TRUE(child.process.waitForFinished(10000));
    EXPECT_EQ(child.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.process.exitCode(), 0);
    EXPECT_EQ(child.line(), "stopped 0 0");
}

// A wait that blocks without the loop (the idle wait before a balloon) ends on the signal,
// and the quit follows as soon as the loop runs.
TEST(TerminationSignals, EndASleepAtOnce)
{
    Child child({"sigterm-sleep"});
    ASSERT_EQ(child.line(), "sleeping");
    ASSERT_EQ(::kill(pid_t(child.process.processId()), SIGTERM), 0);
    EXPECT_EQ(child.line(), "woken");
    ASSERT_TRUE(child.process.waitForFinished(10000));
    EXPECT_EQ(child.process.exitCode(), 0);
    EXPECT_EQ(child.line(), "stopped 0 0");
}

}  // namespace
