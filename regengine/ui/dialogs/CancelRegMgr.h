#pragma once

#include "regengine/core/FourCC.h"
#include "regengine/core/LangCode.h"
#include "regengine/ui/dialogs/BetterDialog.h"
#include "regengine/ui/dialogs/ReminderKeeper.h"

#include <memory>

namespace Ui {
class CancelRegMgr;
}

namespace engine {

// The register-later dialog: register now, be reminded later, or leave the registration for
// good. The caller reads GetResult after the modal run: 0 register now, 1 cancelled, 2 a
// reminder was set, 4 the user left the registration.
class CancelRegMgr : public BetterDialog {
public:
    static constexpr int kDefaultTemplate = 2100;
    static constexpr int kShortcutTextLimit = 256;

    // `keeper` (not owned) does the reminder's bookkeeping; null: the engine's own.
    CancelRegMgr(int templateId, int reminderMinutes, int reminderDays, QWidget* parent = nullptr,
                 ReminderKeeper* keeper = nullptr);
    ~CancelRegMgr() override;

    void SetReminderAnswer(QChar letter) { answer_ = letter; }
    void SetLanguage(const LangCode& code) { language_ = code; }
    void SetShortcutText(const QString& text) { shortcutText_ = text.left(kShortcutTextLimit); }
    void SetHideCancel(bool hide) { hideCancel_ = hide; }
    void SetShortcutName(const QString& name) { shortcutName_ = name; }
    void SetRegKey(const FourCC& code) { regKey_ = code; }

    int GetResult() const { return result_; }

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    // Escape and the close box answer as the Cancel button does.
    void OnCancel() override;

private:
    std::unique_ptr<Ui::CancelRegMgr> ui_;
    ReminderKeeper ownKeeper_;
    ReminderKeeper* keeper_;
    int reminderMinutes_;
    bool hideCancel_ = false;
    QChar answer_;
    LangCode language_;
    QString shortcutText_;
    int result_ = 0;
    QString shortcutName_ = QStringLiteral("Product Registration");
    FourCC regKey_;
    int reminderDays_;
};

}  // namespace engine
