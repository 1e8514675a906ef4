#pragma once

#include "launcher/update/ResUpdateWorker.h"

#include <QString>

#include <functional>

namespace launcher {

class RegWind;
class ResUpdateDialog;

// The registration window's resource update: a newer page script asked for, downloaded
// over HTTPS, checked and kept in a per-user folder under the engine's own, and run in
// place of the built-in one. Only with a RESUPDATE type; this product sets none.
class ResourceUpdate {
public:
    // The update server; a build's configuration value, a test's loopback server.
    static QString DefaultHost();

    explicit ResourceUpdate(RegWind& window);

    // After the start page is shown: asks first with type 1, then opens the dialog.
    void AskOnlineUpdate();
    // The first page was added: a saved script of the current language, when there is one,
    // replaces the built-in script (throws RegWindLoadedUpdate). At most once per window.
    void LoadUpdatedPages();
    // Where a checked script is kept: the engine key, the header codes the new folder is
    // named after, and the file name.
    struct SaveTarget {
        QString keyPath;
        QString product;
        QString build;
        QString fileName;
    };
    // Keeps `text` as the saved script (UTF-8) in the folder the engine key's "Updates"
    // names, or in a new one under the engine's folder; runs on the worker's thread and
    // touches no window. The folder is returned, empty when nothing could be saved.
    static QString SavePages(const QString& text, const SaveTarget& target);

    // The worker's settings for this window, the status texts resolved.
    ResUpdateWorker::Config MakeConfig() const;
    void SetServer(const QString& host, quint16 port);
    // Runs the dialog; tests replace it to look at the dialog or drive it.
    using DialogRunner = std::function<int(ResUpdateDialog& dialog)>;
    void SetDialogRunner(DialogRunner runner) { runner_ = std::move(runner); }

    // The process's update-allowed flag: set at start, cleared once an update ran or was
    // declined.
    static bool IsUpdateAllowed();
    static void SetUpdateAllowed(bool allowed);

    // "pages" + language + ".dat".
    QString ScriptFileName() const;
    // The folder the "Updates" value under `keyPath` names, when it lies under the engine's
    // own folder once links are resolved; empty otherwise.
    static QString StoredFolder(const QString& keyPath);

private:
    RegWind& window_;
    QString host_;
    quint16 port_ = 443;
    DialogRunner runner_;
    bool loaded_ = false;
};

}  // namespace launcher
