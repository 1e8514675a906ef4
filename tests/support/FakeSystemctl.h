#pragma once

#include "tests/support/QtPrinters.h"

#include <QDateTime>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Peers for scheduler tests: a recording systemctl put first on PATH, and the real
// systemd-analyze to check what was written.
namespace systemdtest {

// A `systemctl` that logs its arguments, one call a line, and fails for the verbs or
// whole calls ("enable --now x.timer") it is told to, saying "Failed to <verb> as told."
// on stderr. Like the real one, "enable" makes the timers.target.wants link (even when
// it then fails, as a failed start after enabling does) and "disable" removes it.
class FakeSystemctl {
public:
    FakeSystemctl();
    ~FakeSystemctl();
    QStringList calls() const;  // "--user daemon-reload", ...
    void clearCalls();
    void failOn(const QString& verbOrCall);
    void uninstall();  // no systemctl on PATH at all

private:
    QString dir_;
    QByteArray oldPath_;
};

// $XDG_CONFIG_HOME/systemd/user
QString unitFolder();
// The names of the files in the unit folder ending in `suffix`, links included.
QStringList unitFiles(const QString& suffix);

// systemd-analyze --user verify of the files; output holds every complaint.
struct Verify {
    int exitCode = -1;
    QString output;
};
Verify verifyUnits(const QStringList& paths);

// Every elapse of the OnCalendar expressions after `base`, in order, from
// systemd-analyze calendar (local time, whole seconds).
QList<QDateTime> calendarElapses(const QStringList& expressions, const QDateTime& base);

// The values of `key` in a unit text, in order.
QStringList unitValues(const QString& unitText, const QString& key);

// An Exec line split the way systemd's manual describes: a ':' prefix, words in double
// quotes with C escapes, "%%" for '%' (a lone '%' would be a specifier and shows as
// "<specifier>"). Returns the argv.
QStringList splitExecLine(const QString& value);

// Runs argv (program first) and returns its exit code; -1 when it did not run.
int runArgv(const QStringList& argv, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

// Writes an executable shell script that appends its arguments to `logPath`.
void writeRecordingProgram(const QString& path, const QString& logPath);

}  // namespace systemdtest
