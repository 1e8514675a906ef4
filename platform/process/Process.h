#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Starts `program` with `arguments` (argv[1] on; argv[0] is the program path) in
// `workingDir`, and returns at once without waiting for it. No shell reads the arguments,
// so nothing in them is interpreted. The child gets this process's environment and its
// standard input, output and error, no other descriptor, default signal handling and a
// session of its own; it is reaped when it ends, so it leaves no zombie behind however long
// this process lives. False, with `error` saying why, when it could not be started: no
// such program, not executable, or no such working folder.
bool spawnDetached(const QString& program, const QStringList& arguments, const QString& workingDir,
                   QString* error = nullptr);

}  // namespace platform
