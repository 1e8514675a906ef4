// The registration window's pages: adding them, moving between them, collecting and
// filling their controls, and rebuilding them in another language.
#include "launcher/window/RegWind.h"

#include "launcher/reminders/Reminders.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/Constraint.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/QmStringTable.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/pages/MethodPage.h"
#include "regengine/ui/pages/QmRegPage.h"

#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <algorithm>

using namespace engine;

namespace launcher {

namespace {

// Sizes of the texts the window keeps or reads from its pages.
constexpr qsizetype kControlValueLimit = 255;
constexpr qsizetype kPageCaptionLimit = 99;
constexpr qsizetype kDirectiveLimit = 255;

const FourCC kErrorControl("-HDR");
const FourCC kQuitPage("QUIT");

}  // namespace

// ---- Pages and navigation -------------------------------------------------------------

bool RegWind::AddPage(QmRegPage* page, int kind)
{
    if (page == nullptr)
        return false;
    if (pageCount_ >= kMaxPages) {
        EngineTrace(platform::formatText(QStringLiteral("Page %s refused: the window holds %d pages already"),
                                         FieldCodeToString(page->GetCode()), kMaxPages));
        return false;
    }
    pages_[size_t(pageCount_++)] = page;
    if (kind == 2) {
        methodPage_ = page;
        if (auto* methods = dynamic_cast<MethodPage*>(page))
            methods->SetTagSubstitution([this](const QString& text) { return AddressForUser(text, false); });
    }
    if (pageCount_ == 1)
        OnFirstPage();
    else
        page->Show(false);
    return true;
}

void RegWind::AddWebSite(const QString& site)
{
    settings_.webRegSite = site;
    if (auto* methods = dynamic_cast<MethodPage*>(methodPage_))
        methods->AddWebSite(site);
}

QmRegPage* RegWind::GetPage(int index) const
{
    return index >= 0 && index < pageCount_ ? pages_[size_t(index)] : nullptr;
}

int RegWind::FindPage(const FourCC& code) const
{
    for (int i = 0; i < pageCount_; ++i) {
        if (pages_[size_t(i)]->GetCode() == code)
            return i;
    }
    return -1;
}

void RegWind::GoToPage(int index)
{
    if (pageCount_ == 0)
        return;
    index = qBound(0, index, pageCount_ - 1);
    if (index == currentPage_)
        return;
    // Leaving the method page records the method the user chose there.
    if (auto* methods = dynamic_cast<MethodPage*>(methodPage_); methods != nullptr && methodPage_ == GetCurrentPage()) {
        QString code;
        methods->GetMethodCode(&code);
        record_.List(PageFields).SetField(FourCC(";MTH"), code);
    }
    if (QmRegPage* leaving = GetCurrentPage()) {
        if (!CollectPageFields(currentPage_ < index && validateOnForward_))
            return;
        // An attachment run by the validation may have moved the window meanwhile.
        if (GetCurrentPage() != leaving || index == currentPage_)
            return;
        if (!LeavePage(currentPage_))
            return;
        leaving->Show(false);
        leaving->PerformEvent(AttachEvent::PageLeft);
    }
    currentPage_ = index;
    QmRegPage* page = pages_[size_t(index)];
    const bool firstShowing = !shownPages_.contains(page);
    FillPageControls(record_.List(InitialValues), firstShowing);
    FillPageControls(record_.List(HeaderRecord), firstShowing);
    shownPages_.insert(page);
    PreparePage();
    page->Show(true);
    const QString caption = CutText(page->GetValue(), kPageCaptionLimit);
    if (!caption.isEmpty())
        SetText(caption);
    FocusPage(page);
    page->PerformEvent(AttachEvent::PageShown);
}

void RegWind::GoToPageByName(const QString& name)
{
    const int index = name.isEmpty() ? -1 : FindPage(FourCC(QStringView(name).left(4)));
    GoToPage(index < 0 ? 0 : index);
}

void RegWind::MoveWithoutValidation(int index)
{
    const bool validate = validateOnForward_;
    validateOnForward_ = false;
    GoToPage(index);
    validateOnForward_ = validate;
}

void RegWind::ShowFirstPage()
{
    GoToPage(0);
}

int RegWind::ShowStartPage(int page)
{
    int start = qMax(0, settings_.startPages[0]);
    if (settings_.reminderMode && settings_.startPages[1] >= 0)
        start = settings_.startPages[1];
    if (settings_.externalStart && settings_.startPages[2] >= 0)
        start = settings_.startPages[2];
    if (page > 0)
        start = page;
    EngineTrace(platform::formatText(QStringLiteral("Showing start page %d"), start));
    if (!PerformEvent(AttachEvent::PageShown))
        EngineTrace(QStringLiteral("An attachment stopped the start event"));
    if (start != currentPage_)
        MoveWithoutValidation(start);
    if ((GetFlags() & kHiddenAtStart) == 0)
        show();
    AskOnlineUpdate();
    return start;
}

bool RegWind::StartMode(int mode)
{
    return reminders_->StartMode(mode);
}

void RegWind::GoToSuccessPage()
{
    const FourCC code = settings_.successPage;
    if (code == kQuitPage) {
        QuitWithExitCode();
        return;
    }
    int index = code[0] == '?' ? -1 : FindPage(code);
    if (index < 0)
        index = pageCount_ - 1;
    GoToPage(index);
}

void RegWind::GoToConditionalNextPage()
{
    QmRegPage* page = GetCurrentPage();
    if (page == nullptr || page->GetTextList().GetCount() == 0)
        return;
    QmStrStream directive(CutText(*page->GetTextList().GetItem(0), kDirectiveLimit));
    const QString word = ReadScriptToken(directive);
    const FourCC code(directive);
    qint32 ifSet = 0;
    qint32 ifClear = 0;
    directive.readInt(ifSet);
    directive.readInt(ifClear);
    if (word != u"NXTC")
        return;
    QmWind* control = nullptr;
    for (QmWind* child : page->GetChildren()) {
        if (child != nullptr && (control = child->FindByCode(code)) != nullptr)
            break;
    }
    if (control != nullptr)
        GoToPage(control->GetInt() != 0 ? ifSet : ifClear);
}

// ---- Controls of the current page -----------------------------------------------------

bool RegWind::CollectPageFields(bool validate)
{
    QmRegPage* page = GetCurrentPage();
    if (page == nullptr)
        return false;
    // A page with an error handler reports failures by moving to its error page, not by
    // boxes.
    const bool handled = page->GetErrorHandler().IsActive();
    const quint32 quiet = ConstraintQuietFlags();
    if (handled)
        SetConstraintQuietFlags(1);
    FieldList collected;
    const bool ok = CollectControls(page, validate, collected);
    if (handled)
        SetConstraintQuietFlags(quiet);
    if (ok) {
        record_.List(PageFields).Merge(collected);
        if (shownPages_.contains(page))
            record_.List(InitialValues).Merge(record_.List(PageFields));
        return true;
    }
    if (handled) {
        QString target;
        if (QmWind* error = page->FindByCode(kErrorControl))
            target = CutText(error->GetValue(), kControlValueLimit);
        previousPage_ = currentPage_;
        const bool validateForward = validateOnForward_;
        validateOnForward_ = false;
        GoToPageByName(target);
        validateOnForward_ = validateForward;
        if (QmRegPage* reached = GetCurrentPage()) {
            if (QmWind* error = reached->FindByCode(kErrorControl))
                error->SetTextNotify(target);
        }
    }
    return false;
}

bool RegWind::CollectControls(QmWind* element, bool validate, FieldList& collected)
{
    // By index: an attachment run by a validation may change the children.
    for (int i = 0; i < element->GetChildren().GetCount(); ++i) {
        QmWind* control = *element->GetChildren().At(i);
        if (control == nullptr)
            continue;
        const FourCC code = control->GetCode();
        control->SetDisplayName(GetFieldDisplayName(code));
        if (validate) {
            if (!record_.IsExemptFromValidation(code) && !control->Validate()) {
                if ((ConstraintQuietFlags() & 1) == 0)
                    control->SetSel(0, -1);
                return false;
            }
        }
        if (code[0] != '-') {
            QString value;
            std::optional<QString> stored;
            control->GetValueAndStored(value, &stored);
            collected.SetField(code, CutText(value, kControlValueLimit));
            if (stored)
                record_.List(StoredValues).SetField(code, CutText(*stored, kControlValueLimit));
        }
        if ((control->GetFlags() & QmFlag::NoFieldDescent) == 0 && !CollectControls(control, validate, collected))
            return false;
    }
    return true;
}

void RegWind::FillPageControls(const FieldList& list, bool firstShowing)
{
    // A copy: the controls' attachments may change the list while it is read.
    const FieldList fields(list);
    for (const auto& field : fields) {
        if (field->GetCode()[0] != '-')
            SetControlValue(field->GetCode(), field->GetValue(), firstShowing ? kFirstShowing : 0);
    }
}

bool RegWind::LeavePage(int index)
{
    previousPage_ = index;
    return true;
}

void RegWind::PreparePage()
{
    if (QmRegPage* page = GetCurrentPage())
        PrepareControls(page);
}

void RegWind::PrepareControls(QmWind* element)
{
    for (int i = 0; i < element->GetChildren().GetCount(); ++i) {
        QmWind* control = *element->GetChildren().At(i);
        if (control == nullptr)
            continue;
        if (control->GetFlags() & QmFlag::TextIsHint) {
            if (const std::optional<QString> hint = control->GetHint())
                control->SetTextNotify(SubstituteTags(*hint, false));
        }
        if ((control->GetFlags() & QmFlag::NoFieldDescent) == 0)
            PrepareControls(control);
    }
}

// The page's first tab item takes the focus, so typing starts in its first field; its
// default button only wears the default look, and Enter presses it from there.
void RegWind::FocusPage(QmRegPage* page)
{
    page->FocusFirst();
}

void RegWind::SetControlValue(const FourCC& code, const QString& text, quint32 flags)
{
    QmRegPage* page = GetCurrentPage();
    if (page == nullptr)
        return;
    QmWind* control = nullptr;
    for (QmWind* child : page->GetChildren()) {
        if (child != nullptr && (control = child->FindByCode(code)) != nullptr)
            break;
    }
    if (control == nullptr)
        return;
    if (const QmWind* parent = control->GetParent(); parent != nullptr && (parent->GetFlags() & QmFlag::NoFieldDescent))
        return;
    if (flags & kFirstShowing) {
        const quint32 own = control->GetFlags();
        if (own & 0x200)
            return;
        if ((own & 0x8000) && !sameProduct_)
            return;
    }
    control->SetTextNotify(text);
}

QmWind* RegWind::FindControl(const FourCC& code)
{
    for (QmWind* child : GetChildren()) {
        if (child == nullptr)
            continue;
        const bool isPage =
            std::find(pages_.begin(), pages_.begin() + pageCount_, child) != pages_.begin() + pageCount_;
        if (!isPage) {
            if (QmWind* found = child->FindByCode(code))
                return found;
            continue;
        }
        for (QmWind* control : child->GetChildren()) {
            if (control == nullptr)
                continue;
            if (QmWind* found = control->FindByCode(code))
                return found;
        }
    }
    return nullptr;
}

QString RegWind::GetFieldDisplayName(const FourCC& code) const
{
    const QmStringTable* table = StringTableMgr::Instance().FindTable(FourCC("FLDN"), TableLanguage());
    if (table == nullptr)
        return {};
    const QString prefix = FieldCodeToString(code);
    QString name;
    for (int i = 0; i < table->GetCount(); ++i) {
        const QString* entry = table->GetStringAt(i);
        if (entry != nullptr && entry->size() >= 5 && entry->startsWith(prefix) && entry->at(4) == u':')
            name = entry->mid(5);
    }
    return name;
}

// ---- Rebuilding the pages -------------------------------------------------------------

void RegWind::ClearPages()
{
    for (int i = pageCount_ - 1; i >= 0; --i) {
        delete pages_[size_t(i)];
        pages_[size_t(i)] = nullptr;
    }
    pageCount_ = 0;
    currentPage_ = -1;
    shownPages_.clear();
    methodPage_ = nullptr;
    exchangeFinished_ = false;
    serialPending_ = false;
    settings_.reminderDialogId = 0;
    pagesReplaced_ = false;
    record_.List(DerivedFields).RemoveAll();
    // The reader must not go on filling a page that is gone.
    if (reader_ != nullptr)
        reader_->SetCurrentPage(nullptr);
}

void RegWind::ReloadForLanguage(const LangCode& language)
{
    LangCode::SetCurrent(language);
    if (!CollectPageFields(false))
        return;
    if (reader_ == nullptr)
        return;
    const int former = currentPage_;
    ClearPages();
    reader_->RunResource(language);
    GoToPage(former);
}

void RegWind::Manipulate(int kind, const FourCC& first, const FourCC& second)
{
    if (kind != 1) {
        const QString text = QStringLiteral("Bad Manipulate Command");
        platform::messageBox(text, text, platform::mb::Ok);
        return;
    }
    const int a = FindPage(first);
    const int b = FindPage(second);
    if (a < 0 || b < 0)
        return;
    std::swap(pages_[size_t(a)], pages_[size_t(b)]);
}

}  // namespace launcher
