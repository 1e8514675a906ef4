#pragma once

#include <QMainWindow>

#include <memory>

namespace engine {
class CPrintMeDoc;
class CPrintMeView;
}  // namespace engine

namespace launcher {

// The frame of the printed registration form's document: a hidden main window with its
// toolbar and a status bar of four indicator panes (both made when it is first shown), the
// document and the view the printed runs print through. It never becomes the launcher's
// main window once the script has run.
class CMainFrame : public QMainWindow {
public:
    CMainFrame();
    ~CMainFrame() override;

    // The document and its view; false when the document could not be made.
    bool Create();

    engine::CPrintMeDoc* GetDocument() const { return document_.get(); }
    engine::CPrintMeView* GetView() const { return view_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateBars();

    bool barsMade_ = false;
    std::unique_ptr<engine::CPrintMeDoc> document_;
    engine::CPrintMeView* view_ = nullptr;
};

}  // namespace launcher
