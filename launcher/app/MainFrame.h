#pragma once

#include <QMainWindow>

namespace launcher {

// The frame of the printed registration form's document: a hidden main window with its
// toolbar and a status bar of four indicator panes. It never becomes the launcher's main
// window once the script has run.
class CMainFrame : public QMainWindow {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Toolbar and status bar; false when either could not be made.
    bool Create();
};

}  // namespace launcher
