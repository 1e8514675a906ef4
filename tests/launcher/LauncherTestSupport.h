#pragma once

#include "platform/registry/Registry.h"
#include "tests/support/TraceRecorder.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace launchertest {

using testsupport::TraceRecorder;

// The user hive as the launcher left it; "<none>" when there is none.
inline QByteArray userHive()
{
    QFile f(platform::Registry::hiveFilePath(platform::RootKey::CurrentUser));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

}  // namespace launchertest
