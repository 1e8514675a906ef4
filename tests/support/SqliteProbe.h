#pragma once

// Looks at a database file from outside the client: another process asking for its lock,
// and a connection of the test's own reading it back.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testsupport {

// What another process gets when it asks at once for the exclusive lock on `path`:
// "locked" when it got it (it lets go as it ends), else SQLite's reason, such as
// "database is locked".
QByteArray tryExclusiveLock(const QString& path);

// Every row of `sql`, its columns "|"-joined, read from `path` by a read-only connection
// of our own; SQLite's error text when the statement fails.
QStringList readRows(const QString& path, const char* sql);

}  // namespace testsupport
