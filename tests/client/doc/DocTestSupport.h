#pragma once

// What the document, view and check tests share: recording stand-ins for the tray, the
// message boxes and the desktop, registration files for the data folder, and a client
// started in this process the way main() starts it.

#include "client/BrevantApp.h"
#include "client/BrevantDoc.h"
#include "client/ui/BrevantView.h"
#include "client/Database.h"
#include "client/Globals.h"
#include "client/ui/MainFrame.h"
#include "client/Settings.h"
#include "client/ui/TrayNotifier.h"
#include "platform/desktop/Desktop.h"
#include "platform/inet/Inet.h"
#include "platform/ui/Ui.h"
#include "tests/peers/Peers.h"
#include "tests/support/DesktopStandIns.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/StoredRows.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <cstdlib>
#include <memory>
#include <ostream>

namespace doctest {

// Every call, as "add 137 <tip>", "modify 128 <tip>", "balloon <title>|<text>|<ms>", "remove".
class RecordingTray final : public client::TrayNotifier {
public:
    void AddIcon(int iconId, const QString& tip) override { calls << QStringLiteral("add %1 %2").arg(iconId).arg(tip); }
    void ModifyIcon(int iconId, const QString& tip) override
    {
        calls << QStringLiteral("modify %1 %2").arg(iconId).arg(tip);
    }
    void ShowBalloon(const QString& title, const QString& text, int timeoutMs) override
    {
        calls << QStringLiteral("balloon %1|%2|%3").arg(title, text).arg(timeoutMs);
    }
    void RemoveIcon() override { calls << QStringLiteral("remove"); }
    void click() { emit activated(); }
    int count(const QString& prefix) const
    {
        int n = 0;
        for (const QString& c : calls)
            n += c.startsWith(prefix) ? 1 : 0;
        return n;
    }
    QStringList calls;
};

using testsupport::RecordingSink;

using testsupport::CountingClock;
using testsupport::ScriptedDesktop;

// A registration file of the manufacturer `code` with one record subscribed to
// "critical_updates" and a message with a page for each of `messageIds`.
inline QByteArray tovaFile(const QString& code, const QStringList& messageIds = {})
{
    const QByteArray c = code.toUtf8();
    QByteArray text = ">BeginMfgrInfo\nmfgr:" + c + "\nfullname:" + c + " Inc.\n>EndMfgrInfo\n" +
                      ">BeginChannel\nname:critical_updates\ntitle:Critical\nfields:MODL\n>EndChannel\n" +
                      ">BeginRecord\nMFGR:" + c + "\nMODL:Book 14\n>EndRecord\n";
    for (const QString& id : messageIds)
        text += ">BeginMessage\nid:" + id.toUtf8() + "\noffer:Title " + id.toUtf8() + "\nurl:file:///" + id.toUtf8() +
                ".html\n>EndMessage\n";
    return text;
}

inline void putInDataFolder(const QString& name, const QByteArray& content)
{
    testsupport::writeFile(client::Database::GetFolder() + u'/' + name, content);
}

// The stored setting, written the way the program writes its settings.
inline void storeSetting(const QString& name, const QString& value)
{
    client::Settings::Instance().Set(name, value);
    client::Settings::Instance().Save();
}

using testsupport::rows;

inline QJsonObject answers(const QJsonArray& channels, const QJsonArray& offers)
{
    return testpeers::MessageService::answers(channels, offers);
}

inline QJsonObject offer(const QString& id, const QString& channel, const QString& title)
{
    return QJsonObject{{"id", id}, {"name", channel}, {"offer", title}, {"url", "http://pages.example/" + id}};
}

// The posted work of a start (the close of a run that ends) is done; nothing in these
// tests posts more than a chain of two.
inline void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// The stand-ins installed for one test, and the client's process-wide state reset.
class ClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                                 "NO_PROXY", "OVEXKELVO_TEST_SERVICE"})
            ::unsetenv(name);
        ovex_inet_set_connected_state(OVEX_INET_STATE_CONNECTED);
        client::runState() = client::RunState();
        platform::setMessageSink(&sink);
        platform::setDesktop(&desktop);
        services.view.tray = &tray;
        services.view.clock = &clock;
        dir = testsupport::sandboxRoot() + "/peers";
    }
    void TearDown() override
    {
        app.reset();
        platform::setMessageSink(nullptr);
        platform::setDesktop(nullptr);
    }

    // The client started with `arguments`, as main() does up to the event loop.
    bool start(const QStringList& arguments)
    {
        app = std::make_unique<client::CBrevantApp>(services);
        return app->InitInstance(arguments);
    }
    // A clean slate between the cases of one test: no client, a fresh home and database.
    void freshStart()
    {
        app.reset();
        testsupport::isolateEnvironment();
        client::Database::Close();
        client::runState() = client::RunState();
    }
    client::CBrevantView* view() const { return app->View(); }
    client::CBrevantDoc* doc() const { return app->Document(); }

    RecordingTray tray;
    RecordingSink sink;
    ScriptedDesktop desktop;
    CountingClock clock;
    client::CBrevantApp::Services services;
    std::unique_ptr<client::CBrevantApp> app;
    QString dir;
};

}  // namespace doctest
