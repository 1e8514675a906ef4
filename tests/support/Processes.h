#pragma once

// Programs a test runs as processes of their own: the built programs with their traces,
// small peers that answer in lines, a throwaway X server, and a child that runs as
// "nobody" so that a denial is real even for root.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace testsupport {

// A program started as a user would start it, in the test's environment without `unset`
// and with `extra`, its traces on stderr as `loggingRules` turn them on; killed when the
// object goes. Merged, its standard output joins stderr in what is read (a browser
// engine's warnings come on either).
class TracedProgram {
public:
    enum class Output { ErrorOnly, Merged };
    TracedProgram(const QString& program, const QString& loggingRules, const QProcessEnvironment& extra = {},
                  const QStringList& unset = {}, Output output = Output::ErrorOnly);
    ~TracedProgram();
    TracedProgram(const TracedProgram&) = delete;
    TracedProgram& operator=(const TracedProgram&) = delete;

    void start(const QStringList& args = {});
    // Waits until stderr holds `text`; false when the program ended or time ran out first.
    bool waitFor(const QByteArray& text, int ms = 30000);
    // Waits for the program to end by itself; true when it ended normally.
    bool finish(int ms = 30000);
    // Ends it as a logout would (when it still runs), then waits as finish() does.
    bool terminate(int ms = 30000);
    bool running() const { return process_.state() == QProcess::Running; }
    int exitCode() const { return process_.exitCode(); }
    const QByteArray& err() const { return err_; }
    // What has come so far, reading what is there without waiting.
    const QByteArray& read();
    qint64 pid() const { return process_.processId(); }
    QProcess& process() { return process_; }

private:
    QByteArray arrived();

    QString program_;
    QProcess process_;
    QByteArray err_;
    Output output_;
};

// A peer program that reports in lines on stdout, its errors passed through; killed when
// the object goes.
struct LinePeer {
    QProcess process;

    LinePeer(const QString& program, const QStringList& args);
    ~LinePeer();
    LinePeer(const LinePeer&) = delete;
    LinePeer& operator=(const LinePeer&) = delete;
    // The next line the peer prints, without its newline; empty when it printed none.
    QByteArray line();
    // SIGKILL: no clean-up of any kind.
    void killHard();
};

// A throwaway X server that picks a free display itself (-displayfd). -noreset: a server
// that resets when its last client leaves would start every idle reading from zero.
class Xvfb {
public:
    explicit Xvfb(const QString& screen = QStringLiteral("320x240x24"));
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    // ":N", or empty when the server did not start.
    QByteArray display() const { return display_; }

private:
    QProcess process_;
    QByteArray display_;
};

// Root passes every permission check, so a child that must meet a real denial runs as
// "nobody" when the tests run as root. It ends with kCannotBecomeNobody when it cannot
// drop root; the test then skips.
inline constexpr int kCannotBecomeNobody = 77;
void runAsNobodyWhenRoot(QProcess& process);
bool couldNotBecomeNobody(const QProcess& process);

}  // namespace testsupport
