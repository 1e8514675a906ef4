// Measurements of the message window, run by hand on a display (xvfb-run), never by ctest:
// the memory of the client (its own process and the engine's processes together) before
// and after the first message is shown, and the time from a click on Next to the next
// message's page loaded from the local page server.
//
//   xvfb-run -a env QT_QPA_PLATFORM=xcb build/default/tests/client/browser/client_browser_bench [clicks]
//
// The memory is measured twice: in this process, which runs the client's code as main()
// does, from the tray state to the first message shown by a click on the announcement;
// and for the built program, a scheduled run resting in the tray beside a plain start that
// shows the same first message.
#include "client/BrevantApp.h"
#include "client/ui/BrevantView.h"
#include "client/Database.h"
#include "client/ui/HoverButton.h"
#include "client/ui/MessageBrowser.h"
#include "client/ui/MessageViewer.h"
#include "tests/client/doc/DocTestSupport.h"
#include "tests/peers/Peers.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProgressBar>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <unistd.h>

using namespace client;

namespace {

// Kilobytes of a /proc/<pid>/ file's "<key>:" line.
long readKb(const QString& file, const QByteArray& key)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLong();
    return 0;
}

// Process `root` and all its descendants but `left` (the page server).
std::vector<long> family(long root, long left)
{
    std::vector<long> pids{root};
    for (bool grew = true; grew;) {
        grew = false;
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool ok = false;
            const long pid = entry.toLong(&ok);
            if (!ok || pid == left || std::find(pids.begin(), pids.end(), pid) != pids.end())
                continue;
            const long parent = readKb(QStringLiteral("/proc/%1/status").arg(pid), "PPid");
            if (std::find(pids.begin(), pids.end(), parent) != pids.end()) {
                pids.push_back(pid);
                grew = true;
            }
        }
    }
    return pids;
}

struct Memory {
    int processes = 0;
    long rssKb = 0;  // resident sizes added up (shared pages counted in each)
    long pssKb = 0;  // proportional: shared pages split between their users
};

Memory measure(long root, long left = 0)
{
    Memory m;
    for (long pid : family(root, left)) {
        ++m.processes;
        m.rssKb += readKb(QStringLiteral("/proc/%1/status").arg(pid), "VmRSS");
        m.pssKb += readKb(QStringLiteral("/proc/%1/smaps_rollup").arg(pid), "Pss");
    }
    return m;
}

void report(const char* what, const Memory& m)
{
    std::printf("%-40s %2d process(es)  RSS %7.1f MiB  PSS %7.1f MiB\n", what, m.processes, m.rssKb / 1024.0,
                m.pssKb / 1024.0);
}

// The built program on the same data: `args` started, measured once stderr has shown
// `marker` `times` times and two more seconds have passed.
Memory measureProgram(const QStringList& args, const QByteArray& marker, int times)
{
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("ovex.client.debug=true;ovex.client.info=true"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    client.setProcessEnvironment(env);
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(testsupport::programPath(QStringLiteral("OvexKelvo")), args);
    client.waitForStarted(10000);
    QByteArray err;
    const QDeadlineTimer deadline(120000);
    while (err.count(marker) < times && !deadline.hasExpired() && client.state() == QProcess::Running) {
        client.waitForReadyRead(100);
        err += client.readAll();
    }
    QTest::qWait(2000);
    if (client.state() != QProcess::Running) {
        std::fprintf(stderr, "bench: OvexKelvo %s ended early:\n%s\n", qPrintable(args.join(' ')), err.constData());
        std::exit(1);
    }
    const Memory m = measure(long(client.processId()));
    client.kill();
    client.waitForFinished(10000);
    if (err.count(marker) < times)
        std::fprintf(stderr, "bench: OvexKelvo %s did not get there:\n%s\n", qPrintable(args.join(' ')),
                     err.constData());
    return m;
}

}  // namespace

int main(int argc, char** argv)
{
    testsupport::isolateEnvironment();
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication qapp(argc, argv);
    const int clicks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    QProcess server;
    server.start(QStringLiteral("python3"),
                 {testpeers::peerScript(QStringLiteral("page_server.py")), QStringLiteral("--root"),
                  testsupport::sourceDir() + QStringLiteral("/tests/client/browser/pages")});
    if (!server.waitForStarted(10000) || !server.waitForReadyRead(10000))
        return 1;
    const QByteArray portLine = server.readLine().trimmed();
    const int port = portLine.mid(5).toInt();
    auto url = [port](int i) { return QUrl(QStringLiteral("http://127.0.0.1:%1/other.html?m%2").arg(port).arg(i)); };

    QByteArray tova =
        ">BeginMfgrInfo\nmfgr:OVEX\nfullname:Ovex Inc.\n>EndMfgrInfo\n"
        ">BeginChannel\nname:critical_updates\ntitle:Critical Updates\nfields:MODL\n>EndChannel\n"
        ">BeginRecord\nMFGR:OVEX\nMODL:Book 14\n>EndRecord\n";
    for (int i = 1; i <= 3; ++i)
        tova += ">BeginMessage\nid:m" + QByteArray::number(i) + "\noffer:Offer " + QByteArray::number(i) +
                "\nurl:" + url(i).toEncoded() + "\n>EndMessage\n";
    doctest::putInDataFolder(QStringLiteral("r.tova"), tova);

    // A scheduled run with three unread messages: announced, the window not shown.
    doctest::RecordingTray tray;
    doctest::ScriptedDesktop desktop;
    doctest::CountingClock clock;
    platform::setDesktop(&desktop);
    CBrevantApp::Services services;
    services.view.tray = &tray;
    services.view.clock = &clock;
    auto app = std::make_unique<CBrevantApp>(services);
    if (!app->InitInstance({QStringLiteral("/auto")}))
        return 1;
    QTest::qWait(2000);
    const Memory before = measure(::getpid(), long(server.processId()));

    // The tray's click shows the first unread message.
    CMessageViewer* viewer = app->View()->Viewer();
    QList<QUrl> completed;
    app->View()->OnTrayNotify();
    if (viewer->Browser() == nullptr) {
        std::fprintf(stderr, "no browser: run this on a display (xvfb-run, QT_QPA_PLATFORM=xcb)\n");
        return 1;
    }
    QObject::connect(viewer->Browser(), &MessageBrowser::DocumentComplete,
                     [&](const QUrl& u, bool) { completed << u; });
    auto progress = viewer->findChild<QProgressBar*>(QStringLiteral("progress"));
    auto waitFor = [&](const QUrl& u) {
        const QDeadlineTimer deadline(30000);
        while (!(completed.value(completed.size() - 1) == u && !progress->isVisible()) && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        return !deadline.hasExpired();
    };
    if (!waitFor(url(1)))
        return 1;
    QTest::qWait(2000);
    const Memory after = measure(::getpid(), long(server.processId()));

    auto* next = viewer->findChild<CHoverButton*>(QStringLiteral("next"));
    std::vector<double> ms;
    for (int i = 0; i < clicks; ++i) {
        const QUrl expected = url((i + 1) % 3 + 1);
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(next, Qt::LeftButton);
        if (!waitFor(expected))
            return 1;
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());

    report("in process, before the first message", before);
    report("in process, after the first message", after);

    // The built program: a scheduled run announces and rests in the tray (its idle wait
    // reads the X server's idle time, a few seconds); a plain start shows the message.
    app.reset();
    Database::Close();  // the program takes the database's lock
    report("OvexKelvo /auto, in the tray", measureProgram({QStringLiteral("/auto")}, "Announcing", 1));
    report("OvexKelvo, first message shown", measureProgram({}, "LoadSucceededStatus", 2));
    std::printf("Next to the next page loaded, %d clicks: median %.1f ms, min %.1f ms, max %.1f ms\n", clicks,
                ms[ms.size() / 2], ms.front(), ms.back());

    app.reset();
    platform::setDesktop(nullptr);
    server.closeWriteChannel();
    server.waitForFinished(3000);
    return 0;
}
