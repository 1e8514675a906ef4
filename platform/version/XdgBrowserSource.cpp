#include "platform/version/XdgBrowserSource.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace platform {
namespace {

const QString kHttpScheme = QStringLiteral("x-scheme-handler/http");

using KeyFileGroups = QHash<QString, QHash<QString, QString>>;

// The freedesktop.org key files: "[Group]" lines, then "Key=Value" lines. The
// first occurrence of a key wins, as in the desktop-entry readers.
KeyFileGroups readKeyFile(const QString& path)
{
    KeyFileGroups groups;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return groups;
    QString group;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0 || group.isEmpty())
            continue;
        auto& keys = groups[group];
        const QString key = line.left(eq).trimmed();
        if (!keys.contains(key))
            keys.insert(key, line.mid(eq + 1).trimmed());
    }
    return groups;
}

// The escapes of a desktop entry's string values: \s \n \t \r \\.
QString unescapeValue(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar c = value[++i];
        if (c == u's')
            out += u' ';
        else if (c == u'n')
            out += u'\n';
        else if (c == u't')
            out += u'\t';
        else if (c == u'r')
            out += u'\r';
        else if (c == u'\\')
            out += u'\\';
        else
            out += QString(u'\\') + c;
    }
    return out;
}

// The program of an Exec line: its first word, where double quotes group and a backslash
// inside them escapes " ` $ and itself.
QString execProgram(const QString& exec)
{
    QString program;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < exec.size() && QStringLiteral("\"`$\\").contains(exec[i + 1]))
                program += exec[++i];
            else if (c == u'"')
                quoted = false;
            else
                program += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c.isSpace()) {
            if (!program.isEmpty())
                break;
        } else {
            program += c;
        }
    }
    return program;
}

QStringList splitList(const QString& value)
{
    QStringList out;
    for (const QString& item : value.split(u';'))
        if (!item.trimmed().isEmpty())
            out << item.trimmed();
    return out;
}

QString envFolder(const char* name, const QString& fallback)
{
    const QString v = qEnvironmentVariable(name);
    return v.startsWith(u'/') ? v : fallback;
}

QStringList envFolders(const char* name, const QStringList& fallback)
{
    QStringList out;
    for (const QString& d : qEnvironmentVariable(name).split(u':', Qt::SkipEmptyParts))
        if (d.startsWith(u'/'))
            out << d;
    return out.isEmpty() ? fallback : out;
}

// AppStream's <releases> list the newest release first.
QString firstReleaseVersion(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&f);
    bool inReleases = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("releases"))
            inReleases = true;
        else if (xml.isEndElement() && xml.name() == QLatin1String("releases"))
            inReleases = false;
        else if (inReleases && xml.isStartElement() && xml.name() == QLatin1String("release")) {
            const QString v = xml.attributes().value(QLatin1String("version")).toString().trimmed();
            if (!v.isEmpty())
                return v;
        }
    }
    return {};
}

}  // namespace

XdgBrowserRoots XdgBrowserRoots::fromEnvironment()
{
    const QString home = QDir::homePath();
    XdgBrowserRoots r;
    r.configHome = envFolder("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    r.configDirs = envFolders("XDG_CONFIG_DIRS", {QStringLiteral("/etc/xdg")});
    r.dataHome = envFolder("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    r.dataDirs = envFolders("XDG_DATA_DIRS", {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")});
    for (const QString& d : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts))
        r.desktops << d.toLower();
    r.path = qEnvironmentVariable("PATH").split(u':', Qt::SkipEmptyParts);
    r.dpkgDir = QStringLiteral("/var/lib/dpkg");
    return r;
}

XdgBrowserSource::XdgBrowserSource(XdgBrowserRoots roots) : roots_(std::move(roots)) {}

std::optional<QString> XdgBrowserSource::httpHandlerExecutable() const
{
    if (const auto h = findHandler())
        return h->executable;
    return std::nullopt;
}

std::optional<VersionBlock> XdgBrowserSource::httpHandlerVersionInfo() const
{
    const auto h = findHandler();
    if (!h)
        return std::nullopt;
    VersionBlock block;
    const QString translation = VersionBlock::defaultTranslation();
    if (!h->name.isEmpty())
        block.setString(translation, QStringLiteral("FileDescription"), h->name);
    QString version = appStreamVersion(h->id);
    if (version.isEmpty())
        version = dpkgVersion(h->entryPath);
    if (!version.isEmpty())
        block.setString(translation, QStringLiteral("ProductVersion"), version);
    return block;
}

std::optional<XdgBrowserSource::Handler> XdgBrowserSource::findHandler() const
{
    // mimeapps.list files in their precedence order: user config, system config, then the
    // user's and the system's applications folders; desktop-specific ones before the others.
    QStringList lists;
    auto addLists = [&](const QString& dir) {
        for (const QString& desktop : roots_.desktops)
            lists << dir + u'/' + desktop + QStringLiteral("-mimeapps.list");
        lists << dir + QStringLiteral("/mimeapps.list");
    };
    addLists(roots_.configHome);
    for (const QString& d : roots_.configDirs)
        addLists(d);
    const QStringList dataDirs = QStringList{roots_.dataHome} + roots_.dataDirs;
    for (const QString& d : dataDirs)
        addLists(d + QStringLiteral("/applications"));
    // The older name of the system defaults.
    for (const QString& d : dataDirs)
        lists << d + QStringLiteral("/applications/defaults.list");

    QList<KeyFileGroups> parsed;
    for (const QString& path : lists)
        parsed << readKeyFile(path);
    for (const char* group : {"Default Applications", "Added Associations"}) {
        for (const KeyFileGroups& file : parsed)
            for (const QString& id : splitList(file.value(QLatin1String(group)).value(kHttpScheme)))
                if (auto h = loadHandler(id))
                    return h;
    }
    for (const QString& d : dataDirs) {
        const KeyFileGroups cache = readKeyFile(d + QStringLiteral("/applications/mimeinfo.cache"));
        for (const QString& id : splitList(cache.value(QStringLiteral("MIME Cache")).value(kHttpScheme)))
            if (auto h = loadHandler(id))
                return h;
    }
    return std::nullopt;
}

// An entry counts only when it is there, not hidden, and its program can be found.
std::optional<XdgBrowserSource::Handler> XdgBrowserSource::loadHandler(const QString& desktopId) const
{
    const QString path = findDesktopFile(desktopId);
    if (path.isEmpty())
        return std::nullopt;
    const auto entry = readKeyFile(path).value(QStringLiteral("Desktop Entry"));
    if (entry.value(QStringLiteral("Hidden")) == QLatin1String("true"))
        return std::nullopt;
    const QString tryExec = unescapeValue(entry.value(QStringLiteral("TryExec")));
    if (!tryExec.isEmpty() && resolveProgram(tryExec).isEmpty())
        return std::nullopt;
    const QString program = resolveProgram(execProgram(unescapeValue(entry.value(QStringLiteral("Exec")))));
    if (program.isEmpty())
        return std::nullopt;
    return Handler{desktopId, path, unescapeValue(entry.value(QStringLiteral("Name"))), program};
}

// A desktop file id is the file's path below an applications folder with "/" written as
// "-"; the first folder that has it wins, even when the entry there is hidden.
QString XdgBrowserSource::findDesktopFile(const QString& desktopId) const
{
    if (desktopId.isEmpty() || desktopId.contains(u'/') || !desktopId.endsWith(QLatin1String(".desktop")))
        return {};
    for (const QString& d : QStringList{roots_.dataHome} + roots_.dataDirs) {
        const QString folder = d + QStringLiteral("/applications");
        const QString direct = folder + u'/' + desktopId;
        if (QFileInfo(direct).isFile())
            return direct;
        if (!desktopId.contains(u'-'))
            continue;
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (QDir(folder).relativeFilePath(file).replace(u'/', u'-') == desktopId)
                return file;
        }
    }
    return {};
}

QString XdgBrowserSource::resolveProgram(const QString& program) const
{
    if (program.isEmpty())
        return {};
    auto runnable = [](const QString& p) {
        const QFileInfo info(p);
        return info.isFile() && info.isExecutable();
    };
    if (program.contains(u'/'))
        return runnable(program) ? program : QString();
    for (const QString& dir : roots_.path) {
        const QString candidate = dir + u'/' + program;
        if (runnable(candidate))
            return candidate;
    }
    return {};
}

QString XdgBrowserSource::appStreamVersion(const QString& desktopId) const
{
    const QString bare = desktopId.chopped(int(QStringLiteral(".desktop").size()));
    for (const QString& d : QStringList{roots_.dataHome} + roots_.dataDirs)
        for (const char* sub : {"metainfo", "appdata"})
            for (const QString& base : {desktopId, bare})
                for (const char* ext : {".metainfo.xml", ".appdata.xml"}) {
                    const QString path = d + u'/' + QLatin1String(sub) + u'/' + base + QLatin1String(ext);
                    if (QFileInfo(path).isFile()) {
                        const QString v = firstReleaseVersion(path);
                        if (!v.isEmpty())
                            return v;
                    }
                }
    return {};
}

// The package that installed the entry is found from the package database's file lists;
// its version is that package's installed version, without an epoch ("1:").
QString XdgBrowserSource::dpkgVersion(const QString& entryPath) const
{
    if (roots_.dpkgDir.isEmpty())
        return {};
    QList<QByteArray> needles{'\n' + QFile::encodeName(entryPath) + '\n'};
    const QString canonical = QFileInfo(entryPath).canonicalFilePath();
    if (!canonical.isEmpty() && canonical != entryPath)
        needles << '\n' + QFile::encodeName(canonical) + '\n';

    QString package;
    QDirIterator lists(roots_.dpkgDir + QStringLiteral("/info"), {QStringLiteral("*.list")}, QDir::Files);
    while (package.isEmpty() && lists.hasNext()) {
        const QString listPath = lists.next();
        QFile f(listPath);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = '\n' + f.readAll() + '\n';
        for (const QByteArray& needle : needles)
            if (text.contains(needle))
                package = QFileInfo(listPath).completeBaseName().section(u':', 0, 0);
    }
    if (package.isEmpty())
        return {};

    QFile status(roots_.dpkgDir + QStringLiteral("/status"));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(status.readAll());
    for (const QString& paragraph : text.split(QRegularExpression(QStringLiteral("\\n\\s*\\n")))) {
        QString name, state, version;
        for (const QString& line : paragraph.split(u'\n')) {
            if (line.startsWith(QLatin1String("Package:")))
                name = line.mid(8).trimmed();
            else if (line.startsWith(QLatin1String("Status:")))
                state = line.mid(7).trimmed();
            else if (line.startsWith(QLatin1String("Version:")))
                version = line.mid(8).trimmed();
        }
        if (name == package && state.endsWith(QLatin1String(" installed")) && !version.isEmpty())
            return version.remove(QRegularExpression(QStringLiteral("^\\d+:")));
    }
    return {};
}

}  // namespace platform
