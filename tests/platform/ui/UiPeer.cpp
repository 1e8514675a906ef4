// The child process of the ui tests.
//   sigterm-idle          run the loop until a termination signal; print "stopped <code>"
//   sigterm-wait FILE     pump until FILE exists, then run the loop as above
//   sigterm-sleep         sleep 30 s unless a termination signal ends it, then as above
//   messagebox STYLE:KEY...  show each box, press KEY (return|escape), print the answer
#include "platform/ui/Ui.h"
#include "tests/peers/PeerLines.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

using peerlines::say;

// A lost quit must show as a distinct code, not as a hang.
void watchdog()
{
    QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
}

int runLoop()
{
    const int code = QCoreApplication::exec();
    say("stopped " + QByteArray::number(code) + " " + QByteArray::number(platform::lastQuitCode()));
    return code;
}

int messageBoxes(const QStringList& cases)
{
    say(platform::isHeadless() ? "headless" : "display");
    for (const QString& c : cases) {
        const QStringList parts = c.split(u':');
        const unsigned style = parts.value(0).toUInt(nullptr, 0);
        const Qt::Key key = parts.value(1) == u"escape" ? Qt::Key_Escape : Qt::Key_Return;
        QTimer press;
        QObject::connect(&press, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                press.stop();
                QTest::keyClick(box, key);
            }
        });
        press.start(50);
        say(QByteArray::number(platform::messageBox("text", "caption", style)));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == u"messagebox") {
        QApplication app(argc, argv);
        return messageBoxes(app.arguments().mid(2));
    }
    QCoreApplication app(argc, argv);
    platform::quitOnTerminationSignals();
    watchdog();
    if (mode == u"sigterm-idle") {
        QTimer::singleShot(0, [] { say("ready"); });
        return runLoop();
    }
    if (mode == u"sigterm-wait" && argc == 3) {
        const QString file = QString::fromLocal8Bit(argv[2]);
        say("waiting");
        const bool done = platform::pumpUntil([&] { return QFile::exists(file); }, 30000);
        say(done ? "wait done" : "wait timed out");
        return runLoop();
    }
    if (mode == u"sigterm-sleep") {
        say("sleeping");
        say(platform::sleepUnlessTerminated(30000) ? "slept" : "woken");
        return runLoop();
    }
    std::fprintf(stderr, "usage: ui_peer sigterm-idle | sigterm-wait FILE | sigterm-sleep | messagebox STYLE:KEY...\n");
    return 64;
}
