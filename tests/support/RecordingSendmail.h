#pragma once

// A sendmail program that records what it was given: its arguments one a line in
// "argv", its standard input in "message", and exits with the code in the file "exit"
// (0 when there is none). OVEX_SENDMAIL is pointed at it.

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QString>

namespace testsupport {

class RecordingSendmail {
public:
    RecordingSendmail()
        : folder_(QDir(sandboxRoot()).filePath(QStringLiteral("sendmail"))),
          program_(QDir(folder_).filePath(QStringLiteral("sendmail")))
    {
        QDir().mkpath(folder_);
        writeFile(program_, QStringLiteral("#!/bin/sh\n"
                                           "dir='%1'\n"
                                           "printf '%s\\n' \"$@\" > \"$dir/argv\"\n"
                                           "cat > \"$dir/message\"\n"
                                           "[ -f \"$dir/exit\" ] && exit \"$(cat \"$dir/exit\")\"\n"
                                           "exit 0\n")
                                .arg(folder_)
                                .toUtf8());
        QFile::setPermissions(program_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("OVEX_SENDMAIL", program_.toLocal8Bit());
        Reset();
    }
    ~RecordingSendmail() { qunsetenv("OVEX_SENDMAIL"); }

    void SetExitCode(int code) { writeFile(QDir(folder_).filePath(QStringLiteral("exit")), QByteArray::number(code)); }
    void Reset()
    {
        QFile::remove(QDir(folder_).filePath(QStringLiteral("argv")));
        QFile::remove(QDir(folder_).filePath(QStringLiteral("message")));
        QFile::remove(QDir(folder_).filePath(QStringLiteral("exit")));
    }
    bool Ran() const { return QFile::exists(QDir(folder_).filePath(QStringLiteral("argv"))); }
    QByteArray Argv() const { return readFile(QDir(folder_).filePath(QStringLiteral("argv"))); }
    QByteArray Message() const { return readFile(QDir(folder_).filePath(QStringLiteral("message"))); }
    const QString& Program() const { return program_; }

private:
    QString folder_;
    QString program_;
};

}  // namespace testsupport
