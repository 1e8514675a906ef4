#include "tests/support/FakeSystemctl.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>

namespace systemdtest {

namespace {

QString shellQuote(const QString& s)
{
    QString out = s;
    out.replace(QStringLiteral("'"), QStringLiteral("'\\''"));
    return u'\'' + out + u'\'';
}

}  // namespace

FakeSystemctl::FakeSystemctl()
    : dir_(testsupport::sandboxRoot() + QStringLiteral("/fakebin")), oldPath_(qgetenv("PATH"))
{
    QDir().mkpath(dir_);
    const QString log = dir_ + QStringLiteral("/calls.log");
    const QString fail = dir_ + QStringLiteral("/fail.list");
    // A fresh one knows no calls and no failures of an earlier one.
    QFile::remove(log);
    QFile::remove(fail);
    const QString script = QStringLiteral(
                               "#!/bin/sh\n"
                               "printf '%s\\n' \"$*\" >> %1\n"
                               "wants=\"$XDG_CONFIG_HOME/systemd/user/timers.target.wants\"\n"
                               "case \"$2\" in\n"
                               "  enable) mkdir -p \"$wants\"; ln -sf \"../$4\" \"$wants/$4\" ;;\n"
                               "  disable) rm -f \"$wants/$4\" ;;\n"
                               "esac\n"
                               "call=$*; call=${call#--user }\n"
                               "if [ -f %2 ] && { grep -qxF -- \"$2\" %2 || grep -qxF -- \"$call\" %2; }; then\n"
                               "  echo \"Failed to $2 as told.\" >&2; exit 1\n"
                               "fi\n"
                               "exit 0\n")
                               .arg(shellQuote(log), shellQuote(fail));
    testsupport::writeExecutable(dir_ + QStringLiteral("/systemctl"), script.toUtf8());
    qputenv("PATH", dir_.toLocal8Bit() + ':' + oldPath_);
}

FakeSystemctl::~FakeSystemctl()
{
    qputenv("PATH", oldPath_);
}

QStringList FakeSystemctl::calls() const
{
    const QString text = QString::fromUtf8(testsupport::readFile(dir_ + QStringLiteral("/calls.log")));
    return text.split(u'\n', Qt::SkipEmptyParts);
}

void FakeSystemctl::clearCalls()
{
    QFile::remove(dir_ + QStringLiteral("/calls.log"));
}

void FakeSystemctl::failOn(const QString& verbOrCall)
{
    QFile f(dir_ + QStringLiteral("/fail.list"));
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write(verbOrCall.toUtf8() + '\n');
}

void FakeSystemctl::uninstall()
{
    QFile::remove(dir_ + QStringLiteral("/systemctl"));
    // Only folders without a systemctl stay on PATH.
    qputenv("PATH", dir_.toLocal8Bit());
}

QString unitFolder()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/systemd/user");
}

QStringList unitFiles(const QString& suffix)
{
    QStringList out;
    for (const QString& name : QDir(unitFolder()).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name)) {
        if (name.endsWith(suffix))
            out << name;
    }
    return out;
}

Verify verifyUnits(const QStringList& paths)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("systemd-analyze"),
            QStringList{QStringLiteral("--user"), QStringLiteral("verify"), QStringLiteral("--man=no")} + paths);
    Verify v;
    if (!p.waitForFinished(60000))
        return v;
    v.exitCode = p.exitCode();
    v.output = QString::fromUtf8(p.readAll());
    return v;
}

QList<QDateTime> calendarElapses(const QStringList& expressions, const QDateTime& base)
{
    QList<QDateTime> out;
    if (expressions.isEmpty())
        return out;
    QProcess p;
    p.start(QStringLiteral("systemd-analyze"),
            QStringList{QStringLiteral("calendar"), QStringLiteral("--iterations=40"),
                        QStringLiteral("--base-time=") + base.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))} +
                expressions);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << "systemd-analyze calendar failed: " << p.readAllStandardError().toStdString();
        return out;
    }
    static const QRegularExpression line(
        QStringLiteral("^\\s*(?:Next elapse|Iter\\. #\\d+): \\w+ (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)"));
    for (const QString& l : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n')) {
        const QRegularExpressionMatch m = line.match(l);
        if (m.hasMatch())
            out << QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

QStringList unitValues(const QString& unitText, const QString& key)
{
    QStringList out;
    for (const QString& l : unitText.split(u'\n')) {
        if (l.startsWith(key + u'='))
            out << l.mid(key.size() + 1);
    }
    return out;
}

QStringList splitExecLine(const QString& value)
{
    QString v = value;
    if (v.startsWith(u':'))
        v.remove(0, 1);
    QStringList words;
    QString word;
    bool inWord = false, quoted = false;
    for (qsizetype i = 0; i < v.size(); ++i) {
        const QChar c = v[i];
        if (!quoted && c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == u'"') {
            quoted = !quoted;
        } else if (c == u'\\' && i + 1 < v.size()) {
            const QChar n = v[++i];
            if (n == u'x' && i + 2 < v.size()) {
                word += QChar(v.mid(i + 1, 2).toUShort(nullptr, 16));
                i += 2;
            } else if (n == u'n') {
                word += u'\n';
            } else if (n == u't') {
                word += u'\t';
            } else {
                word += n;
            }
        } else if (c == u'%') {
            // systemd would put a specifier's value here; keep it visibly wrong.
            const bool doubled = i + 1 < v.size() && v[i + 1] == u'%';
            word += doubled ? QStringLiteral("%") : QStringLiteral("<specifier>");
            i += doubled ? 1 : 0;
        } else {
            word += c;
        }
    }
    if (inWord)
        words << word;
    return words;
}

int runArgv(const QStringList& argv, const QProcessEnvironment& env)
{
    if (argv.isEmpty())
        return -1;
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(argv.first(), argv.mid(1));
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    return p.exitCode();
}

void writeRecordingProgram(const QString& path, const QString& logPath)
{
    testsupport::writeExecutable(
        path, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$*\" >> %1\n").arg(shellQuote(logPath)).toUtf8());
}

}  // namespace systemdtest
