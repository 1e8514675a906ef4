#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace platform {

// The user's folders, as the XDG base-directory rules give them.
enum class Folder {
    AppData,       // $XDG_DATA_HOME (~/.local/share): roaming application data
    LocalAppData,  // $XDG_DATA_HOME as well; Linux has no roaming split
    Config,        // $XDG_CONFIG_HOME (~/.config)
    Cache,         // $XDG_CACHE_HOME (~/.cache)
    Home,          // $HOME
    Documents,     // the XDG documents folder, else ~/Documents
    Desktop,       // the XDG desktop folder, else ~/Desktop
    Startup,       // $XDG_CONFIG_HOME/autostart, where login-time entries go
    Temp,          // the per-user temporary folder (see tempFolder)
};

// The folder `which`, followed by `subFolder` (backslashes or slashes as separators).
// With `create` the folders are made when missing (mode 0700 for new ones). Returns an
// empty text, with `error` naming the folder and the reason, when the folder cannot be
// found or made.
QString folderPath(Folder which, const QString& subFolder = {}, bool create = false, QString* error = nullptr);

// The shared data folder of both programs: $XDG_DATA_HOME/Ovex/Ovex Kelvo, created when
// missing. Empty, with `error` saying why, when it cannot be made.
QString dataFolder(QString* error = nullptr);

// The running program's file and folder (/proc/self/exe).
QString modulePath();
QString moduleDirectory();
// Where a library the program loads by file name is looked for, in order: beside the
// program, then wherever the loader looks (an installation's $ORIGIN, LD_LIBRARY_PATH).
QStringList libraryCandidates(const QString& fileName);

// True when `name`, joined to a folder, names a file directly in it: not empty, no folder
// separator ('/', nor the '\\' that Windows-minded texts use) and no "..".
bool isPlainFileName(const QString& name);

// A temporary folder of this user only: $XDG_RUNTIME_DIR when it is usable, else a 0700
// folder under the cache folder. Never the shared /tmp, where others could plant files.
// Empty, with `error` saying why, when neither is usable.
QString tempFolder(QString* error = nullptr);

// Login-time entries (the Startup folder's shortcuts): XDG autostart .desktop files in
// folderPath(Folder::Startup). `name` is the entry's file name without ".desktop"; it must
// be a plain file name.
QString autostartEntryPath(const QString& name);
// Writes the entry that starts `program` with `arguments` (each passed as it is) at login,
// replacing one of that name. False, with `error` saying why, when the name is not plain or
// the file cannot be written.
bool writeAutostartEntry(const QString& name, const QString& program, const QStringList& arguments,
                         const QString& description, QString* error = nullptr);
// False, with `error` saying why, when there was no such entry or it could not be removed.
bool removeAutostartEntry(const QString& name, QString* error = nullptr);
// The Exec value of a desktop entry starting `program` with `arguments`, each quoted and
// escaped as the desktop-entry rules need, so that it reaches the program unchanged.
QString desktopExecLine(const QString& program, const QStringList& arguments);

// Opens URLs in the user's programs. Tests replace it.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // False, with `error` saying why, when no program took the URL.
    virtual bool open(const QUrl& url, QString* error = nullptr) = 0;
};
UrlOpener& urlOpener();
void setUrlOpener(UrlOpener* opener);  // nullptr restores the desktop's opener

// Opens `url` when its scheme is one of http, https, mailto and file; anything else is
// refused (false, with `error` saying so) without being handed to the desktop.
bool openUrl(const QUrl& url, QString* error = nullptr);
bool isOpenableScheme(const QUrl& url);
// Opens an address that a script or a field gave: only an http or https address with a
// host, or a mailto address. Anything else (files, other programs' schemes) is refused.
bool openWebOrMailAddress(const QString& text, QString* error = nullptr);

}  // namespace platform
