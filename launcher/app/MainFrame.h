#pragma once

#include <QMainWindow>

#include <memory>

namespace engine {
class CPrintMeDoc;
class CPrintMeView;
}  // namespace engine

namespace launcher {

// The frame of the printed registration form's document: a hidden main window with its
// toolbar, a status bar of four indicator panes, the document and the view the printed runs
// print through. It never becomes the launcher's main window once the script has run.
class CMainFrame : public QMainWindow {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Toolbar and status bar; false when either could not be made.
    bool Create();

    engine::CPrintMeDoc* GetDocument() const { return document_.get(); }
    engine::CPrintMeView* GetView() const { return view_; }

private:
    std::unique_ptr<engine::CPrintMeDoc> document_;
    engine::CPrintMeView* view_ = nullptr;
};

}  // namespace launcher
