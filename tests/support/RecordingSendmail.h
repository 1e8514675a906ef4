#pragma once

// A sendmail program that records what it was given: its arguments one a line in
// "argv", its standard input in "message", and exits with the code in the file "exit"
// (0 when there is none). OVEX_SENDMAIL is pointed at it. Read() reads the message back as
// a strict RFC 5322 reader does (Python's email parser, tests/peers/check_mail.py).

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
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

    // What the strict reader found: from_name, from_address, to, subject, mime_version,
    // content_type, charset, transfer_encoding, has_date, body (decoded, in base64) and
    // longest_line; empty, with `defect` saying why, when it refused the message.
    QJsonObject Read(QString* defect = nullptr) const
    {
        const RunResult r =
            runProgram(QStringLiteral("python3"), {sourceDir() + QStringLiteral("/tests/peers/check_mail.py"),
                                                   QDir(folder_).filePath(QStringLiteral("message"))});
        if (defect != nullptr)
            *defect = QString::fromUtf8(r.err);
        return r.exitCode == 0 ? QJsonDocument::fromJson(r.out).object() : QJsonObject();
    }
    // The body as the strict reader decoded it.
    static QByteArray Body(const QJsonObject& read)
    {
        return QByteArray::fromBase64(read.value("body").toString().toLatin1());
    }

private:
    QString folder_;
    QString program_;
};

}  // namespace testsupport
