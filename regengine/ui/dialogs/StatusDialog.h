#pragma once

#include "regengine/ui/display/DialogStaticDisplayer.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>

namespace Ui {
class StatusDialog;
}

namespace engine {

// The modeless progress window of the modem and internet runs: a text line, an animated
// icon and Cancel, which sets the caller's cancel flag. The caller disables its window
// while the run goes; the dialog's end enables it again.
class StatusDialog : public QDialog {
public:
    static constexpr int kDefaultTemplate = 2011;
    static constexpr int kTextItem = 2012;
    static constexpr int kIconItem = 2013;

    // Seconds of the animation's clock; the system's monotonic clock unless tests give one.
    using SecondsClock = std::function<qint64()>;

    StatusDialog(int templateId, QWidget* parent);
    ~StatusDialog() override;

    // Shows the dialog over the parent, captioned from the "STAT" texts.
    bool CreateModeless();
    // The displayer of that item (none for 0); owned by the dialog.
    Displayer* SetTextItem(int itemId);
    virtual void SetCancelFlagPtr(int* flag) { cancelFlag_ = flag; }
    // The icon resource `iconId` on the item.
    void SetItemIcon(int item, int iconId);
    virtual void StartAnimation(int item, int firstIcon, int lastIcon);
    virtual void StopAnimation(int finalIcon);
    // The next icon, once at least two seconds passed since the last one.
    virtual void Animate();
    // Ends the window; the object lives on with its caller.
    void DestroyWindow();

    int CurrentIcon() const { return currentIcon_; }
    bool IsAnimating() const { return animating_; }
    void SetClock(SecondsClock clock) { clock_ = std::move(clock); }
    void SetResourceModule(const QString& module) { module_ = module; }

    void accept() override;
    void reject() override;

private:
    void EnableParent();
    qint64 Now() const;

    std::unique_ptr<Ui::StatusDialog> ui_;
    int templateId_;
    std::unique_ptr<DialogStaticDisplayer> displayer_;
    int* cancelFlag_ = nullptr;
    int firstIcon_ = 0;
    int lastIcon_ = 0;
    int currentIcon_ = 0;
    int iconItem_ = 0;
    bool animating_ = false;
    qint64 lastChange_ = 0;
    QPointer<QWidget> parent_;
    SecondsClock clock_;
    QString module_ = QStringLiteral("launcher");
};

}  // namespace engine
