#include "platform/shell/Shell.h"

#include "platform/text/Ascii.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

QString env(const char* name)
{
    const char* v = std::getenv(name);
    return v && *v ? QString::fromLocal8Bit(v) : QString();
}

QString home()
{
    QString h = env("HOME");
    return h.isEmpty() ? QDir::homePath() : h;
}

// XDG variables must be absolute to count.
QString xdg(const char* name, const QString& fallback)
{
    const QString v = env(name);
    return (!v.isEmpty() && v.startsWith(u'/')) ? v : fallback;
}

void setError(QString* error, const QString& text)
{
    if (error != nullptr)
        *error = text;
}

QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Makes every missing folder along `path`, new ones private to the user.
bool makePath(const QString& path, QString* error)
{
    if (QFileInfo(path).isDir())
        return true;
    QString built;
    for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
        built += u'/' + part;
        const QByteArray b = QFile::encodeName(built);
        if (::mkdir(b.constData(), 0700) != 0 && errno != EEXIST) {
            const QString reason = systemReason(errno);
            setError(error, built == path
                                ? QStringLiteral("Unable to make the folder %1: %2").arg(path, reason)
                                : QStringLiteral("Unable to make the folder %1 for %2: %3").arg(built, path, reason));
            return false;
        }
    }
    if (QFileInfo(path).isDir())
        return true;
    setError(error, QStringLiteral("Unable to make the folder %1: a file of that name is in the way").arg(path));
    return false;
}

// A private folder is one we own and nobody else can enter.
bool isPrivateDir(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 0077) == 0;
}

class DesktopUrlOpener final : public UrlOpener {
public:
    bool open(const QUrl& url, QString* error) override
    {
        if (QDesktopServices::openUrl(url))
            return true;
        // xdg-open says nothing more than that it failed.
        setError(error,
                 QStringLiteral("Unable to open \"%1\": the desktop started no program for it").arg(url.toString()));
        return false;
    }
};

UrlOpener* g_opener = nullptr;

}  // namespace

QString folderPath(Folder which, const QString& subFolder, bool create, QString* error)
{
    QString base;
    switch (which) {
    case Folder::AppData:
    case Folder::LocalAppData: base = xdg("XDG_DATA_HOME", home() + "/.local/share"); break;
    case Folder::Config: base = xdg("XDG_CONFIG_HOME", home() + "/.config"); break;
    case Folder::Cache: base = xdg("XDG_CACHE_HOME", home() + "/.cache"); break;
    case Folder::Home: base = home(); break;
    case Folder::Documents: {
        const QString d = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        base = d.isEmpty() ? home() + "/Documents" : d;
        break;
    }
    case Folder::Desktop: {
        const QString d = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        base = d.isEmpty() ? home() + "/Desktop" : d;
        break;
    }
    case Folder::Startup: base = xdg("XDG_CONFIG_HOME", home() + "/.config") + "/autostart"; break;
    case Folder::Temp: base = tempFolder(error); break;
    }
    if (base.isEmpty())
        return {};
    QString sub = subFolder;
    sub.replace(u'\\', u'/');
    QString path = QDir::cleanPath(sub.isEmpty() ? base : base + u'/' + sub);
    if (create && !makePath(path, error))
        return {};
    return path;
}

QString dataFolder(QString* error)
{
    return folderPath(Folder::AppData, QStringLiteral("Ovex/Ovex Kelvo"), true, error);
}

QString modulePath()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString moduleDirectory()
{
    return QFileInfo(modulePath()).absolutePath();
}

QStringList libraryCandidates(const QString& fileName)
{
    return {moduleDirectory() + u'/' + fileName, fileName};
}

bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') && !name.contains(QStringLiteral(".."));
}

QString tempFolder(QString* error)
{
    const QString runtime = xdg("XDG_RUNTIME_DIR", {});
    if (!runtime.isEmpty() && isPrivateDir(runtime)) {
        const QString t = runtime + "/ovex-kelvo";
        if (makePath(t, nullptr) && isPrivateDir(t))
            return t;
    }
    // The runtime folder is optional; only the fallback's failure is the caller's to hear.
    const QString t = xdg("XDG_CACHE_HOME", home() + "/.cache") + "/ovex-kelvo/tmp";
    if (!makePath(t, error))
        return {};
    ::chmod(QFile::encodeName(t).constData(), 0700);
    if (isPrivateDir(t))
        return t;
    setError(
        error,
        QStringLiteral("Unable to use %1 as the temporary folder: it is not a folder private to this user").arg(t));
    return {};
}

UrlOpener& urlOpener()
{
    static DesktopUrlOpener desktop;
    return g_opener ? *g_opener : desktop;
}

void setUrlOpener(UrlOpener* opener)
{
    g_opener = opener;
}

bool isOpenableScheme(const QUrl& url)
{
    const QString scheme = asciiLower(url.scheme());
    return url.isValid() && (scheme == u"http" || scheme == u"https" || scheme == u"mailto" || scheme == u"file");
}

bool openUrl(const QUrl& url, QString* error)
{
    if (!isOpenableScheme(url)) {
        setError(error,
                 QStringLiteral("Refusing to open \"%1\": only http, https, mailto and file addresses are opened")
                     .arg(url.toString()));
        return false;
    }
    return urlOpener().open(url, error);
}

bool openWebOrMailAddress(const QString& text, QString* error)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = asciiLower(url.scheme());
    const bool web = scheme == u"http" || scheme == u"https";
    if (!url.isValid() || !((web && !url.host().isEmpty()) || scheme == u"mailto")) {
        setError(
            error,
            QStringLiteral("Refusing to open \"%1\": it is not an http, https or mailto address").arg(text.trimmed()));
        return false;
    }
    return openUrl(url, error);
}

namespace {

// One Exec argument: quoted when it holds anything the desktop-entry rules reserve, with
// '"', '`', '$' and '\' escaped inside the quotes; '%' doubled so no field code is read.
QString execArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString text = argument;
    text.replace(u'%', QStringLiteral("%%"));
    bool quote = text.isEmpty();
    for (QChar c : text)
        quote = quote || reserved.contains(c);
    if (!quote)
        return text;
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += u'\\';
        out += c;
    }
    return out + u'"';
}

// A string value of a desktop entry: backslash, line breaks and tab escaped.
QString entryString(const QString& text)
{
    QString out;
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\t': out += QStringLiteral("\\t"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace

QString autostartEntryPath(const QString& name)
{
    if (!isPlainFileName(name))
        return {};
    const QString folder = folderPath(Folder::Startup);
    return folder.isEmpty() ? QString() : folder + u'/' + name + QStringLiteral(".desktop");
}

bool writeAutostartEntry(const QString& name, const QString& program, const QStringList& arguments,
                         const QString& description, QString* error)
{
    if (!isPlainFileName(name)) {
        setError(error,
                 QStringLiteral("Unable to write the autostart entry \"%1\": it is not a plain file name").arg(name));
        return false;
    }
    if (folderPath(Folder::Startup, {}, true, error).isEmpty())
        return false;
    const QString text =
        QStringLiteral(
            "[Desktop Entry]\nType=Application\nName=%1\nComment=%2\nExec=%3\nTerminal=false\nNoDisplay=true\n")
            .arg(entryString(description), entryString(description), desktopExecLine(program, arguments));
    QSaveFile file(autostartEntryPath(name));
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error,
                 QStringLiteral("Unable to write the autostart entry %1: %2").arg(file.fileName(), file.errorString()));
        return false;
    }
    file.write(text.toUtf8());
    if (!file.commit()) {
        setError(error,
                 QStringLiteral("Unable to write the autostart entry %1: %2").arg(file.fileName(), file.errorString()));
        return false;
    }
    return true;
}

QString desktopExecLine(const QString& program, const QStringList& arguments)
{
    QStringList exec{execArgument(program)};
    for (const QString& argument : arguments)
        exec << execArgument(argument);
    // The string escapes apply over the quoting, so a backslash ends up as four.
    return entryString(exec.join(u' '));
}

bool removeAutostartEntry(const QString& name, QString* error)
{
    const QString path = autostartEntryPath(name);
    if (path.isEmpty()) {
        setError(error,
                 QStringLiteral("Unable to remove the autostart entry \"%1\": it is not a plain file name").arg(name));
        return false;
    }
    QFile file(path);
    if (!file.remove()) {
        setError(error, QStringLiteral("Unable to remove the autostart entry %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

}  // namespace platform
