// The registration window's commands: the table OnNotify dispatches by number, Cancel and
// the keys and close that stand for it, the queued language changes and the links it
// opens.
#include "launcher/window/RegWind.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/LangCode.h"
#include "regengine/core/ModalWait.h"
#include "regengine/core/SerialNumberMaker.h"

#include "platform/nls/Nls.h"
#include "platform/shell/Shell.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QUrl>

using namespace engine;

namespace launcher {

namespace {

// Sizes of the texts commands read from their controls.
constexpr qsizetype kLinkLimit = 2047;
constexpr qsizetype kPageTargetLimit = 19;

const FourCC kLanguageControl("C-Lng");

constexpr int kIdCancel = 2;

// The relative page moves by command number.
int relativeMove(int command)
{
    switch (command) {
    case 2004: return -2;
    case 2005: return 2;
    case 2007: return -3;
    case 2008: return 3;
    case 2009: return -5;
    case 2010: return 5;
    case 2014: return -4;
    case 2015: return 4;
    case 2018: return -6;
    case 2020: return 6;
    case 2021: return -7;
    case 2022: return 7;
    case 2023: return -8;
    case 2024: return 8;
    case 2025: return -9;
    case 2026: return 9;
    case 2027: return -10;
    case 2028: return 10;
    default: return 0;
    }
}

bool isDecimal(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

}  // namespace

// ---- Commands -------------------------------------------------------------------------

int RegWind::OnNotify(QmWind* source, int code, int value)
{
    bool command = true;
    switch (code) {
    case RegCommand::SaveAndQuit:
        CollectPageFields(false);
        SavePrefs();
        QuitWithExitCode();
        break;
    case RegCommand::Register:
    case RegCommand::RegisterValidated:
        if (CollectPageFields(code == RegCommand::RegisterValidated) && Register(QString()))
            OnRegistered();
        break;
    case RegCommand::ScheduleReminder:
    case RegCommand::ScheduleReminderFromFinalPage:
        if (ScheduleReminder(code == RegCommand::ScheduleReminderFromFinalPage)) {
            setFocus();
            CollectPageFields(false);
            QuitWithExitCode();
        }
        break;
    case RegCommand::NeverRegister:
        DeleteReminder();
        WriteRegStatus(u'N');
        OnNotify(this, RegCommand::Quit, 0);
        break;
    case RegCommand::SetReminder:
        SetReminder();
        QuitWithExitCode();
        break;
    case RegCommand::OpenWebRegistration:
        if (CollectPageFields(true)) {
            OnNotify(this, RegCommand::NextPage, 0);
            OpenInShell(AddressForUser(settings_.webRegSite, false));
        }
        break;
    case RegCommand::AlreadyRegistered:
        ReadProductHeaders();
        WriteRegStatus(u'I');
        lastStatus_ = u'I';
        DeleteReminder();
        PerformEvent(AttachEvent::Registered);
        QuitWithExitCode();
        break;
    case RegCommand::Hyperlink:
        if (source != nullptr) {
            const std::optional<QString> stored = source->GetStoredValue();
            OpenInShell(AddressForUser(CutText(stored ? *stored : source->GetValue(), kLinkLimit), true));
        }
        break;
    case QmNotify::ItemChosen:
        command = source != nullptr && source->GetCode() == kLanguageControl;
        if (command)
            PostLanguageChange(value);
        break;
    case RegCommand::PreviousPage:
        if (currentPage_ > 0)
            GoToPage(currentPage_ - 1);
        break;
    case RegCommand::NextPage:
        if (currentPage_ + 1 < pageCount_ && (serialMade_ || serialMaker_->CheckMade())) {
            GoToPage(currentPage_ + 1);
            StoreMadeSerialNumber();
        }
        break;
    case RegCommand::GoToPage:
    case RegCommand::GoToPageValidated: {
        if (!CollectPageFields(code == RegCommand::GoToPageValidated))
            break;
        QString target;
        if (value != 0) {
            target = QString::number(value);
        } else if (source != nullptr) {
            const std::optional<QString> stored = source->GetStoredValue();
            target = CutText(stored ? *stored : source->GetValue(), kPageTargetLimit);
        }
        const bool validate = validateOnForward_;
        validateOnForward_ = false;
        if (isDecimal(target))
            GoToPage(target.toInt());
        else
            GoToPageByName(target);
        validateOnForward_ = validate;
        break;
    }
    case RegCommand::BackToPreviousPage:
        if (previousPage_ >= 0)
            GoToPage(previousPage_);
        break;
    case RegCommand::ConditionalNextPage:
        StoreMadeSerialNumber();
        if (serialMaker_->CheckMade())
            GoToConditionalNextPage();
        break;
    case RegCommand::NavigateBack:
    case RegCommand::NavigateForward: OnNavCommand(code); break;
    case RegCommand::Quit:
        CollectPageFields(false);
        QuitWithExitCode();
        break;
    default:
        if (const int move = relativeMove(code); move != 0)
            GoToPage(currentPage_ + move);
        else
            command = code >= 2000 && code <= 2028;
        break;
    }
    if (command && quitAfterThankYou_) {
        CollectPageFields(false);
        QuitWithExitCode();
    }
    return 0;
}

void RegWind::OnCommandRange(int id)
{
    if (id == kIdCancel && settings_.cancelCommand != 0)
        OnNotify(this, settings_.cancelCommand, 0);
}

void RegWind::OnNavCommand(int code)
{
    if (code == RegCommand::NavigateBack)
        OnNotify(this, RegCommand::PreviousPage, 0);
    else if (code == RegCommand::NavigateForward)
        OnNotify(this, RegCommand::NextPage, 0);
}

// Closing the window is its Cancel: the script decides what that does.
void RegWind::closeEvent(QCloseEvent* event)
{
    event->ignore();
    OnCommandRange(kIdCancel);
}

void RegWind::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        OnCommandRange(kIdCancel);
        return;
    }
    QWidget::keyPressEvent(event);
}

void RegWind::QuitWithExitCode()
{
    PostQuitWithExitCode();
}

// ---- Steps of later runs -------------------------------------------------------------

// ---- Language changes -----------------------------------------------------------------

void RegWind::PostLanguageChange(int index)
{
    QMetaObject::invokeMethod(
        this, [this, index] { OnLanguageChange(index); }, Qt::QueuedConnection);
}

void RegWind::PostAutoLanguage()
{
    QMetaObject::invokeMethod(
        this, [this] { OnAutoLanguage(); }, Qt::QueuedConnection);
}

void RegWind::OnLanguageChange(int index)
{
    QmWind* chooser = FindControl(kLanguageControl);
    if (chooser == nullptr)
        return;
    const std::optional<QString> stored = chooser->GetStoredValue();
    const QString chosen = stored ? *stored : chooser->GetValue();
    ReloadForLanguage(LangCode(QStringView(chosen).left(2)));
    if (QmWind* rebuilt = FindControl(kLanguageControl)) {
        if (auto* combo = qobject_cast<QComboBox*>(rebuilt->GetWindow()))
            combo->setCurrentIndex(index);
    }
}

void RegWind::OnAutoLanguage()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const LangCode language = LangCode::Translate(LangCode(platform::asciiUpper(platform::languageAbbreviation())));
    if (language != LangCode::Current())
        ReloadForLanguage(language);
}

// ---- Links ----------------------------------------------------------------------------

bool RegWind::OpenInShell(const QString& text)
{
    QString error;
    if (!platform::openWebOrMailAddress(text, &error)) {
        EngineTrace(error);
        return false;
    }
    return true;
}

}  // namespace launcher
