#pragma once

// Shared pieces of the browser tests: the engine's environment, the page server, and
// recording stand-ins for the desktop's message boxes and URL opener.

#include "platform/shell/Shell.h"
#include "platform/ui/Ui.h"
#include "tests/peers/Peers.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QUrl>
#include <QVariant>
#include <QWebEnginePage>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <unistd.h>

namespace browsertest {

// The engine refuses to run as root with its sandbox on; the test runs in a throwaway
// environment anyway. Must run before the engine starts.
inline void PrepareEngineEnvironment()
{
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

// tests/client/browser/page_server.py serving tests/client/browser/pages.
class PageServer {
public:
    PageServer()
        : peer_(testsupport::sourceDir() + QStringLiteral("/tests/client/browser/page_server.py"),
                {QStringLiteral("--root"), testsupport::sourceDir() + QStringLiteral("/tests/client/browser/pages")})
    {
    }
    bool started() const { return peer_.started(); }
    QUrl Url(const QString& page) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/%2").arg(peer_.port()).arg(page));
    }

private:
    testpeers::Peer peer_;
};

struct Box {
    QString text, caption;
    unsigned style = 0;
};

// Records every message box and answers from a list (then with the default button).
class RecordingSink : public platform::MessageSink {
public:
    RecordingSink() { platform::setMessageSink(this); }
    ~RecordingSink() override { platform::setMessageSink(nullptr); }
    int messageBox(const QString& text, const QString& caption, unsigned style) override
    {
        boxes.push_back({text, caption, style});
        if (answers.empty())
            return platform::defaultButton(style);
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void beep(unsigned) override {}

    std::vector<Box> boxes;
    std::deque<int> answers;
};

class RecordingOpener : public platform::UrlOpener {
public:
    RecordingOpener() { platform::setUrlOpener(this); }
    ~RecordingOpener() override { platform::setUrlOpener(nullptr); }
    bool open(const QUrl& url) override
    {
        opened.push_back(url);
        return true;
    }
    std::vector<QUrl> opened;
};

// A `systemctl` first on PATH that logs its arguments, one call a line, and succeeds.
class RecordingSystemctl {
public:
    RecordingSystemctl()
        : dir_(testsupport::sandboxRoot() + QStringLiteral("/recording-bin")), oldPath_(qgetenv("PATH"))
    {
        const QString program = dir_ + QStringLiteral("/systemctl");
        testsupport::writeFile(program,
                               QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '%1/calls.log'\n").arg(dir_).toUtf8());
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", dir_.toLocal8Bit() + ':' + oldPath_);
    }
    ~RecordingSystemctl() { qputenv("PATH", oldPath_); }
    QStringList calls() const
    {
        return QString::fromUtf8(testsupport::readFile(dir_ + QStringLiteral("/calls.log"))).split(u'\n', Qt::SkipEmptyParts);
    }
    void clear() const { QFile::remove(dir_ + QStringLiteral("/calls.log")); }
    // The check task's timer units on disk: its own and the one that removes it after its end.
    static QStringList timers()
    {
        return QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/systemd/user"))
            .entryList({QStringLiteral("*.timer")}, QDir::Files);
    }

private:
    QString dir_;
    QByteArray oldPath_;
};

// Runs the event loop until `done` holds; false when `timeoutMs` passed first. (QtTest's
// QTRY macros report to QtTest, which a GoogleTest run never hears from.)
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

// Runs `script` in the page and waits for its value.
inline QVariant Eval(QWebEnginePage* page, const QString& script, int timeoutMs = 10000)
{
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    const QDeadlineTimer deadline(timeoutMs);
    while (!done && !deadline.hasExpired())
        QTest::qWait(10);
    EXPECT_TRUE(done) << "no answer to " << script.toStdString();
    return result;
}

// Waits until `script` yields true in the page.
inline bool WaitForScript(QWebEnginePage* page, const QString& script, int timeoutMs = 15000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (Eval(page, script).toBool())
            return true;
        QTest::qWait(20);
    }
    return false;
}

}  // namespace browsertest
