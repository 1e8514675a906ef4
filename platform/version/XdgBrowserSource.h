#pragma once

#include "platform/version/BrowserSource.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// The folders the XDG lookups read; by default from the environment, as the desktop sets them.
struct XdgBrowserRoots {
    QString configHome;      // $XDG_CONFIG_HOME, else ~/.config
    QStringList configDirs;  // $XDG_CONFIG_DIRS, else /etc/xdg
    QString dataHome;        // $XDG_DATA_HOME, else ~/.local/share
    QStringList dataDirs;    // $XDG_DATA_DIRS, else /usr/local/share and /usr/share
    QStringList desktops;    // $XDG_CURRENT_DESKTOP, lower-cased, for "<desktop>-mimeapps.list"
    QStringList path;        // $PATH, where a bare program name of an Exec line is looked for
    QString dpkgDir;         // the Debian package database, /var/lib/dpkg

    static XdgBrowserRoots fromEnvironment();
};

// The default browser by the freedesktop.org rules for MIME handlers, read from files only
// (no helper program runs, and the browser itself never does):
// - the handler of x-scheme-handler/http: the first installed desktop entry named under
//   [Default Applications] in the mimeapps.list files in their precedence order, then under
//   [Added Associations], then in the applications folders' mimeinfo.cache;
// - the program: the first word of the entry's Exec line, looked up on PATH when bare;
// - its description: the entry's Name as "FileDescription";
// - its version, as "ProductVersion": the newest release of the AppStream metainfo file that
//   goes with the entry, else the version of the Debian package that installed the entry.
class XdgBrowserSource final : public BrowserSource {
public:
    explicit XdgBrowserSource(XdgBrowserRoots roots = XdgBrowserRoots::fromEnvironment());

    std::optional<QString> httpHandlerExecutable() const override;
    std::optional<VersionBlock> httpHandlerVersionInfo() const override;

private:
    struct Handler {
        QString id;          // desktop file id, "firefox-esr.desktop"
        QString entryPath;   // the .desktop file
        QString name;        // Name
        QString executable;  // resolved program
    };
    std::optional<Handler> findHandler() const;
    std::optional<Handler> loadHandler(const QString& desktopId) const;
    QString findDesktopFile(const QString& desktopId) const;
    QString resolveProgram(const QString& program) const;
    QString appStreamVersion(const QString& desktopId) const;
    QString dpkgVersion(const QString& entryPath) const;

    XdgBrowserRoots roots_;
};

}  // namespace platform
