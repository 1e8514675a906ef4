#pragma once

// The machine a first run needs, in the test's own registry folder: the setup's first-boot
// pass, the client's "InstallPath", a DMI fixture and a locale; and a stub client that
// records how it was started.

#include "tests/support/QtPrinters.h"
#include "tests/support/StubClient.h"
#include "tests/support/TestEnvironment.h"

#include "platform/registry/Registry.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <ostream>

namespace launchere2e {

using testsupport::StubClient;

inline const QString kProductKey = QStringLiteral("SOFTWARE\\Ovex\\Ovex Kelvo");
inline const QString kSetupKey = QStringLiteral("SYSTEM\\Setup\\Status\\UnattendPasses");
inline const QString kUserKey = QStringLiteral("Software\\Ovex\\Ovex Kelvo");

inline QString dataFolder()
{
    return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Ovex/Ovex Kelvo");
}
inline QString registrationFile()
{
    return dataFolder() + QStringLiteral("/Ovex Kelvo.tova");
}

// The machine hive an OEM installation leaves, with `client` as the installed client.
inline bool prepareMachine(const QString& client)
{
    using platform::Registry;
    using platform::RegValue;
    using platform::RootKey;
    return Registry::setValue(RootKey::LocalMachine, kSetupKey, QStringLiteral("oobeSystem"), RegValue::fromDWord(1)) &&
           Registry::setValue(RootKey::LocalMachine, kProductKey, QStringLiteral("InstallPath"),
                              RegValue::fromString(client));
}

// The launcher's environment: the DMI fixture, a Canadian French user, the engine's traces.
inline QProcessEnvironment launcherEnv()
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("OVEX_DMI_DIR"), testsupport::fixturePath(QStringLiteral("dmi/laptop")));
    env.insert(QStringLiteral("LANG"), QStringLiteral("fr_CA.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QString());
    env.insert(QStringLiteral("LC_MESSAGES"), QString());
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("ovex.engine.trace.debug=true"));
    return env;
}

}  // namespace launchere2e
