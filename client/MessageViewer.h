#pragma once

#include <QDialog>
#include <QString>

class CBrevantDoc;
class CBrevantView;

// The message window: a top-level window that shows one message of the document's shown
// list at a time. The view creates it hidden and shows it when there is something to read.
class CMessageViewer : public QDialog {
    Q_OBJECT
public:
    explicit CMessageViewer(QWidget* parent = nullptr);

    // Set by the view in its first update.
    void SetDocument(CBrevantDoc* document, CBrevantView* view);

    // Takes the message at `position` of the shown list; false (and no current message)
    // when there is none there or it has no page.
    bool ShowMessageAt(int position);
    // The page that stands while the message's own page loads.
    void ShowLoadingPage();
    // The page for nothing to show.
    void ShowEmptyPage();

    // Another start of the program, or the tray, asked for this window.
    void BringToFront();

    const QString& CurrentId() const { return currentId_; }
    const QString& CurrentUrl() const { return currentUrl_; }
    int CurrentIndex() const { return currentIndex_; }

protected:
    // The close box and Escape end the program.
    void reject() override;

private:
    CBrevantDoc* document_ = nullptr;
    CBrevantView* view_ = nullptr;
    QString currentUrl_;
    QString currentId_;
    int currentIndex_ = -1;
};
