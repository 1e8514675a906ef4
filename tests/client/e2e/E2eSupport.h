#pragma once

// The built client as a process, a private session bus, and the rows it stored.

#include "client/Database.h"
#include "tests/peers/Peers.h"
#include "tests/support/Processes.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/StoredRows.h"
#include "tests/support/TestEnvironment.h"

#include <QProcessEnvironment>
#include <QStringList>

namespace e2etest {

// OvexKelvo with its traces on stderr, in the test's environment without a display or a
// session bus unless `extra` gives one: the idle time then cannot be read, so a
// scheduled run announces without its idle wait.
class ClientProcess : public testsupport::TracedProgram {
public:
    // `unset` goes with the variables above.
    explicit ClientProcess(const QProcessEnvironment& extra = {}, const QStringList& unset = {})
        : TracedProgram(testsupport::programPath(QStringLiteral("OvexKelvo")), QStringLiteral("ovex.client.info=true"),
                        extra,
                        QStringList{QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"),
                                    QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("http_proxy"),
                                    QStringLiteral("https_proxy"), QStringLiteral("HTTPS_PROXY"),
                                    QStringLiteral("all_proxy"), QStringLiteral("ALL_PROXY")} +
                            unset)
    {}
};

// A dbus-daemon of the test's own.
using testpeers::PrivateBus;

using testsupport::rows;

}  // namespace e2etest
