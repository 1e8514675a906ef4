#pragma once

#include "tests/support/TestEnvironment.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QThread>

namespace testsupport {

// A client program, in `folder` under the test's root, that writes its working folder and
// arguments, one a line, into its log and ends: what the launcher hands over, as the
// started program sees it.
class StubClient {
public:
    explicit StubClient(const QString& folder = QStringLiteral("opt/ovex-kelvo"))
        : path_(sandboxRoot() + u'/' + folder + QStringLiteral("/OvexKelvo")),
          log_(sandboxRoot() + QStringLiteral("/stub-client.log"))
    {
        writeExecutable(path_, QStringLiteral("#!/bin/sh\n"
                                              "{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } "
                                              "> '%1.part' && mv '%1.part' '%1'\n")
                                   .arg(log_)
                                   .toUtf8());
    }
    const QString& path() const { return path_; }
    bool started() const { return QFile::exists(log_); }
    void forget() const { QFile::remove(log_); }
    // Working folder first, then the arguments; empty when it was not started in time.
    QStringList waitForStart() const
    {
        const QDeadlineTimer deadline(20000);
        while (!started() && !deadline.hasExpired())
            QThread::msleep(10);
        return QString::fromUtf8(readFile(log_)).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QString path_;
    QString log_;
};

}  // namespace testsupport
