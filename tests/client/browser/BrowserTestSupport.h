#pragma once

// Shared pieces of the browser tests: the engine's environment, the page server, and
// recording stand-ins for the desktop's message boxes and URL opener.

#include "platform/shell/Shell.h"
#include "platform/ui/Ui.h"
#include "tests/peers/Peers.h"
#include "tests/support/FakeSystemctl.h"
#include "tests/support/RecordingOpener.h"
#include "tests/support/RecordingSink.h"
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

// tests/peers/page_server.py serving tests/client/browser/pages.
class PageServer {
public:
    PageServer()
        : peer_(testpeers::peerScript(QStringLiteral("page_server.py")),
                {QStringLiteral("--root"), testsupport::sourceDir() + QStringLiteral("/tests/client/browser/pages")})
    {}
    bool started() const { return peer_.started(); }
    QUrl Url(const QString& page) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/%2").arg(peer_.port()).arg(page));
    }

private:
    testpeers::Peer peer_;
};

using testsupport::RecordingOpener;
using testsupport::RecordingSink;

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

// Runs `script` in the page and waits for its value. The answer may come after the wait
// gave up, or when the page goes: it lands in state the callback shares, not in this frame.
inline QVariant Eval(QWebEnginePage* page, const QString& script, int timeoutMs = 10000)
{
    struct Answer {
        QVariant value;
        bool done = false;
    };
    const auto answer = std::make_shared<Answer>();
    page->runJavaScript(script, [answer](const QVariant& value) {
        answer->value = value;
        answer->done = true;
    });
    const QDeadlineTimer deadline(timeoutMs);
    while (!answer->done && !deadline.hasExpired())
        QTest::qWait(10);
    EXPECT_TRUE(answer->done) << "no answer to " << script.toStdString();
    return answer->value;
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
