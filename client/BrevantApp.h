#pragma once

#include "client/ui/BrevantView.h"
#include "client/InstanceGuard.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <thread>

namespace platform {
class OsVersionSource;
}

namespace client {

class CBrevantDoc;
class CMainFrame;
class CWarningDlg;

// The message client's process: the single-instance guard, start-up and exit.
class CBrevantApp : public QObject {
    Q_OBJECT
public:
    // What start-up asks of the desktop; tests replace these.
    struct Services {
        const platform::OsVersionSource* osVersion = nullptr;  // nullptr: this system
        std::function<int(CWarningDlg&)> runWarning;           // empty: the dialog's exec()
        CBrevantView::Services view;                           // the tray, the idle clock, the file chooser
    };

    // Exit codes of a start that cannot go on; 0 for the ends the design means.
    static constexpr int kExitNoDisplay = 1;
    static constexpr int kExitDamagedDatabase = 2;
    static constexpr int kExitUnusableDatabase = 3;

    CBrevantApp();
    explicit CBrevantApp(Services services);
    ~CBrevantApp() override;

    // The one application object of the process, or nullptr.
    static CBrevantApp* Instance();

    // Start-up; false ends the program without a window. `arguments` exclude the program.
    bool InitInstance(const QStringList& arguments);
    int ExitInstance();
    // InitInstance, the event loop, ExitInstance; returns the exit code.
    int Run(const QStringList& arguments);

    InstanceGuard& Guard() { return guard_; }
    CBrevantDoc* Document() const { return document_.get(); }
    CMainFrame* MainFrame() const { return frame_.get(); }
    CBrevantView* View() const { return view_; }

private:
    bool CreateDocumentFrame();

    Services services_;
    InstanceGuard guard_;
    std::unique_ptr<CBrevantDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
    CBrevantView* view_ = nullptr;  // owned by the frame
    int exitCode_ = 0;              // of a start that ended in InitInstance
    // A scheduled run's HTTP library, loaded beside the rest of its start; joined with
    // the application object, before the program's exit handlers run.
    std::jthread internetLoad_;
};

}  // namespace client
