#pragma once

#include <QWidget>

#include <memory>

class CBrevantDoc;
class CMessageViewer;
class InstanceGuard;
namespace platform {
class WindowRaiseServer;
}

// The view inside the hidden main frame: owns the message window and runs the start-up
// road once the frame exists.
class CBrevantView : public QWidget {
    Q_OBJECT
public:
    CBrevantView(CBrevantDoc* document, InstanceGuard* guard, QWidget* parent = nullptr);
    ~CBrevantView() override;

    CBrevantDoc* GetDocument() const { return document_; }
    CMessageViewer* Viewer() const { return viewer_.get(); }

    virtual void OnInitialUpdate();

private:
    CBrevantDoc* document_;
    InstanceGuard* guard_;
    std::unique_ptr<CMessageViewer> viewer_;
    platform::WindowRaiseServer* raiseServer_ = nullptr;
};
