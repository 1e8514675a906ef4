#pragma once

#include <QDialog>
#include <QIcon>
#include <QList>

class QLabel;

namespace engine {

// The engine's dialog base: buttons report their dialog ids to OnCommand, statics whose
// text is "BMP_<name>" become the bitmap <name>, and it can ask for a task-bar entry, an
// icon and to come to the front when it opens.
class BetterDialog : public QDialog {
public:
    // The end codes of the standard buttons.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    BetterDialog(int templateId, QWidget* parent);
    ~BetterDialog() override;

    int TemplateId() const { return templateId_; }
    // Kept for the callers that set it; the dialog itself does not use it.
    virtual void SetOption(quint8 option) { option_ = option; }
    virtual void SetBringToFront(bool on) { bringToFront_ = on; }
    virtual void SetIcon(const QIcon& icon) { icon_ = icon; }
    virtual void SetAppWindow(bool on) { appWindow_ = on; }
    // The dialog's text colour again from the desktop's colours.
    virtual void UpdateTextColor();
    virtual void EndWithCode4();
    // Every static whose text begins with "BMP_" gives way to a picture of that bitmap
    // resource, in its place and size.
    virtual void ReplaceBitmapStatics();

    // The item with that dialog id, or null.
    QWidget* Item(int id) const;
    const QList<QLabel*>& Pictures() const { return pictures_; }
    QRgb TextColor() const { return textColor_; }
    // The bitmap module the pictures come from; "launcher" unless set.
    void SetResourceModule(const QString& module) { module_ = module; }

    // Escape and the close box: a dialog that hides its Cancel button cannot be left this
    // way, since the caller offers only the other buttons.
    void reject() override;
    void accept() override;

protected:
    // Before the dialog is first shown; the derived dialogs fill their texts here.
    virtual bool OnInitDialog();
    // A button with dialog id `id` was pressed: 1 OK, 2 Cancel, 4 EndWithCode4. A derived
    // dialog that handles an id itself does not pass it on.
    virtual void OnCommand(int id);
    virtual void OnOK();
    virtual void OnCancel();
    bool CanCancel() const;

    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ConnectButtons();

    int templateId_;
    QList<QLabel*> pictures_;
    quint8 option_ = 0;
    bool bringToFront_ = false;
    bool appWindow_ = false;
    QIcon icon_;
    QRgb textColor_ = 0;
    bool initialised_ = false;
    QString module_ = QStringLiteral("launcher");
};

}  // namespace engine
