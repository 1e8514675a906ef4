#include "launcher/window/RegWind.h"

#include "launcher/script/ScriptReader.h"
#include "launcher/window/TagSubstitution.h"

#include "regengine/core/Constraint.h"
#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/ModalWait.h"
#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/QmStringTable.h"
#include "regengine/core/RegFile.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/core/WMIQuery.h"
#include "regengine/ui/graphics/DrawBitmapInRect.h"
#include "regengine/ui/pages/QmRegPage.h"
#include "regengine/ui/element/ScreenInfo.h"

#include "platform/nls/Nls.h"
#include "platform/resources/Resources.h"
#include "platform/shell/Shell.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QCloseEvent>
#include <QColor>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTextStream>
#include <QUrl>

#include <algorithm>
#include <functional>

namespace {

// This product's codes and the engine's version marks, written over whatever the script
// set when a run ends.
const char kManufacturer[] = "OVEX";
const char kProduct[] = "OVX1";
const char kEngineVersion[] = "W61017";
const char kProductVersion[] = "0102";
const char kBuildVersion[] = "W61030";
constexpr int kSourceRevision = 2202;

// Sizes of the texts the window keeps or reads from its controls.
constexpr qsizetype kControlValueLimit = 255;
constexpr qsizetype kPageCaptionLimit = 99;
constexpr qsizetype kTagResultLimit = 1023;
constexpr qsizetype kLinkLimit = 2047;
constexpr qsizetype kPageTargetLimit = 19;
constexpr qsizetype kDirectiveLimit = 255;

const FourCC kErrorControl("-HDR");
const FourCC kLanguageControl("C-Lng");
const FourCC kQuitPage("QUIT");

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

RegWind::RegWind(QmStrStream& script) : QWidget(nullptr, Qt::Window)
{
    SetWindow(this);
    SetCode(FourCC(script));
    QmRect rect;
    rect.ReadFromScript(script);
    quint32 flags = 0;
    if (!script.readHex(flags) && !script.eof())
        script.clear();
    const QString caption = ReadStringFromScript(script);
    ScreenInfo::Instance().Scale(rect);
    SetFlags(flags);
    // Qt sizes the client area either way; with the frame counted in (no kClientSize) the
    // window is as large as the script asks, which is the nearest Linux gets.
    resize(qMax(0, rect.right - rect.left), qMax(0, rect.bottom - rect.top));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    if (flags & kTopMost)
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const QString background = ScriptReader::PageBackgroundName();
    if (!background.isEmpty()) {
        background_.emplace();
        if (const std::optional<QByteArray> bytes =
                platform::findResource(QStringLiteral("launcher"), QStringLiteral("BITMAP"), background))
            background_->loadFromData(*bytes);
        backgroundMode_ = ScriptReader::PageBackgroundMode();
    }
    SetText(caption);
}

std::unique_ptr<ScriptWindow> CreateRegWind(QmStrStream& script)
{
    return std::make_unique<RegWind>(script);
}

RegWind::~RegWind()
{
    SavePrefs();
    // Attachments told of the end, and the pages going before the lists, still see a whole
    // window.
    DestroyHooks();
    ClearPages();
    ShutdownWmi();
}

void RegWind::SetScriptReader(ScriptReader* reader)
{
    reader_ = reader;
    // The colour in force when the window is made is the window's own.
    if (reader != nullptr && !pageColor_)
        pageColor_ = reader->GetPageColor();
}

// ---- Field lists and the header record -----------------------------------------------

FieldList* RegWind::GetList(int kind)
{
    return record_.GetList(kind);
}

const FieldList* RegWind::GetList(int kind) const
{
    return record_.GetList(kind);
}

void RegWind::SetFieldByKind(QChar kind, const FourCC& code, const QString& text)
{
    record_.SetFieldByKind(kind, code, text);
}

void RegWind::SetHeader(const FourCC& code, const QString& text)
{
    record_.List(HeaderRecord).SetField(code, text);
}

void RegWind::SetInitialValue(const Field& field)
{
    record_.List(InitialValues).SetFieldFrom(field);
}

void RegWind::UpdateFieldValue(const FourCC& code, const QString& text)
{
    record_.UpdateFieldValue(code, text);
}

void RegWind::SetFieldValue(const FourCC& code, const QString& text)
{
    QmWind* control = FindControl(code);
    if (control == nullptr) {
        SetHeader(code, text);
        return;
    }
    control->SetTextNotify(text);
    UpdateFieldValue(code, text);
}

QString RegWind::LookupField(const FourCC& code)
{
    if (GetCurrentPage() != nullptr)
        CollectPageFields(false);
    return FieldValue(code);
}

QString RegWind::FieldValue(const FourCC& code) const
{
    return record_.FieldValue(code);
}

void RegWind::InitHeaderRecord()
{
    FieldList& header = record_.List(HeaderRecord);
    header.SetField(FourCC("MFGR"), QString::fromLatin1(kManufacturer));
    header.SetField(FourCC("PROD"), QString::fromLatin1(kProduct));
    header.SetField(FourCC("RgVr"), QString::fromLatin1(kEngineVersion));
    header.SetField(FourCC("VERS"), QString::fromLatin1(kProductVersion));
    header.SetField(FourCC("VRST"), platform::formatText(QStringLiteral("%s (%s)"), kProductVersion,
                                                         LangCode::Current().GetString().left(2)));
    header.SetField(FourCC("BlVr"), QString::fromLatin1(kBuildVersion));
    header.SetField(FourCC("RCVR"), platform::formatText(QStringLiteral("WS%05X"), kSourceRevision));
}

void RegWind::ReadProductHeaders()
{
    const FieldList& header = record_.List(HeaderRecord);
    const QString name = FieldValue(settings_.regKey);
    if (name.isEmpty())
        return;
    OpenEngineRegistryKey(FourCC(header.GetField(FourCC("MFGR"))), FourCC(header.GetField(FourCC("PROD"))),
                          header.GetField(FourCC("VERS")), name);
}

bool RegWind::OpenRegistryKey()
{
    ReadProductHeaders();
    return IsEngineRegistryKeyOpen();
}

void RegWind::MergeCommandLineFields(const FieldList& fields)
{
    record_.List(HeaderRecord).Merge(fields);
}

void RegWind::SetMapValue(const QString& key, const QString& text)
{
    mapValues_.insert(key, text);
}

QString RegWind::GetMapValue(const QString& key) const
{
    return mapValues_.value(key);
}

// ---- Prefs ---------------------------------------------------------------------------

bool RegWind::ReadPrefsFile(const QString& name)
{
    // The prefs file turns backslashes into folder separators: they are refused too.
    if (!platform::isPlainFileName(name)) {
        EngineTrace(platform::formatText(QStringLiteral("PREFFILE %s refused: not a file of the prefs folder"), name));
        return false;
    }
    if (prefs_)
        prefs_->GetFieldList().RemoveAll();
    settings_.prefsFileName = name;
    LoadPrefs();
    return true;
}

void RegWind::LoadPrefs()
{
    if (GetFlags() & kKeepPrefs)
        return;
    prefs_ = std::make_unique<RegFile>(settings_.prefsFileName);
    prefs_->ReadExistingFields();
    record_.List(InitialValues).Merge(prefs_->GetFieldList());
}

void RegWind::MarkPrivateField(const FourCC& code, bool on)
{
    record_.MarkPrivateField(code, on);
}

bool RegWind::IsPrivateField(const FourCC& code) const
{
    return record_.IsPrivateField(code);
}

void RegWind::ClearField(const FourCC& code, bool remove)
{
    if (QmWind* control = FindControl(code))
        control->Clear();
    if (remove)
        record_.RemoveField(code);
}

// ---- Tag substitution ----------------------------------------------------------------

QString RegWind::SubstituteTags(const QString& text, bool urlEncode)
{
    // The page's latest input counts.
    if (GetCurrentPage() != nullptr)
        CollectPageFields(false);
    const FieldList values = record_.TagValues();
    TagSources sources;
    sources.field = [&values](const FourCC& code) { return values.GetField(code); };
    sources.app = [this](const QString& name) { return GetAppValue(name); };
    return SubstituteTagText(text, urlEncode, sources);
}

bool RegWind::SubstituteFieldTags(QString& text, bool urlEncode) const
{
    const FieldList values = record_.TagValues();
    TagSources sources;
    sources.field = [&values](const FourCC& code) { return values.GetField(code); };
    bool replaced = false;
    const QString result = SubstituteTagText(text, urlEncode, sources, &replaced);
    if (replaced)
        text = CutText(result, kTagResultLimit);
    return replaced;
}

QString RegWind::GetAppValue(const QString& name) const
{
    const std::optional<QString> value = appValues_.Value(name);
    if (!value) {
        EngineTrace(platform::formatText(QStringLiteral("<$APP.%s> is unknown in substitution"), name));
        return {};
    }
    return *value;
}

void RegWind::ExpandListText(const QString& listName)
{
    if (reader_ == nullptr)
        return;
    QmStringList* list = reader_->FindList(listName);
    if (list == nullptr)
        return;
    for (QString& item : *list)
        SubstituteFieldTags(item, false);
}

// ---- The record ----------------------------------------------------------------------

RegRecordLists::FieldTagFiller RegWind::DerivedTextFiller() const
{
    return [this](QString& text) { SubstituteFieldTags(text, false); };
}

void RegWind::BuildPacket()
{
    headerPacket_.Begin(Packet::kData);
    headerPacket_.AddFields(record_.HeaderForPacket());
    headerPacket_.Finish();
}

QString RegWind::OneLine(const QString& value)
{
    return RegRecordLists::OneLine(value);
}

void RegWind::WriteFields(QTextStream& stream, QChar separator, quint32 flags, const FieldList* list) const
{
    if (list != nullptr) {
        RegRecordLists::WriteFields(stream, *list, separator, flags);
        return;
    }
    FieldList header;
    headerPacket_.ReadFields(nullptr, &header);
    RegRecordLists::WriteFields(stream, record_.CompleteRecord(header, DerivedTextFiller()), separator, flags);
}

QString RegWind::FieldsText(QChar separator, quint32 flags, const FieldList* list) const
{
    QString text;
    QTextStream stream(&text);
    WriteFields(stream, separator, flags, list);
    stream.flush();
    return text;
}

FieldList RegWind::AssembleRecord() const
{
    return record_.AssembleRecord(DerivedTextFiller());
}

void RegWind::ClearNilValues(FieldList& list)
{
    RegRecordLists::ClearNilValues(list);
}

void RegWind::ApplyBlankValues(FieldList& list) const
{
    record_.ApplyBlankValues(list);
}

void RegWind::AddDerivedFields(FieldList& list) const
{
    record_.AddDerivedFields(list, DerivedTextFiller());
}

void RegWind::RemoveListedFields(FieldList& list) const
{
    record_.RemoveListedFields(list);
}

void RegWind::ForEachListedField(FieldList& list) const
{
    RegRecordLists::ForEachListedField(list, settings_.outputOrder);
}

// ---- Pages and navigation ------------------------------------------------------------

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
    if (kind == 2)
        methodPage_ = page;
    if (pageCount_ == 1)
        OnFirstPage();
    else
        page->Show(false);
    return true;
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

bool RegWind::StartMode(int)
{
    return true;
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

void RegWind::FocusPage(QmRegPage* page)
{
    std::function<QmWind*(QmWind*)> findDefault = [&findDefault](QmWind* element) -> QmWind* {
        for (QmWind* child : element->GetChildren()) {
            if (child == nullptr)
                continue;
            if ((child->GetFlags() & QmFlag::DefaultButton) && child->GetWindow() != nullptr)
                return child;
            if (QmWind* found = findDefault(child))
                return found;
        }
        return nullptr;
    };
    if (QmWind* button = findDefault(page)) {
        button->GetWindow()->setFocus();
        return;
    }
    for (QWidget* child : page->findChildren<QWidget*>()) {
        if ((child->focusPolicy() & Qt::TabFocus) && child->isEnabled()) {
            child->setFocus();
            return;
        }
    }
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
        const bool isPage = std::find(pages_.begin(), pages_.begin() + pageCount_, child) != pages_.begin() + pageCount_;
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

void RegWind::SetTopMost(bool on)
{
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // Changing a window's flags hides it.
    if (visible)
        show();
}

// ---- Commands ------------------------------------------------------------------------

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
            QString site = settings_.webRegSite;
            SubstituteFieldTags(site, true);
            OpenInShell(site);
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
            OpenInShell(SubstituteTags(CutText(stored ? *stored : source->GetValue(), kLinkLimit), true));
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
        if (currentPage_ + 1 < pageCount_ && (serialMade_ || serialMaker_.CheckMade())) {
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
        if (serialMaker_.CheckMade())
            GoToConditionalNextPage();
        break;
    case RegCommand::NavigateBack:
    case RegCommand::NavigateForward:
        OnNavCommand(code);
        break;
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

void RegWind::SetSerialNumberClock(const Clock* clock)
{
    serialMaker_ = SerialNumberMaker(clock);
    serialMade_ = false;
}

void RegWind::DefineSerialNumber(const FourCC& code, QChar mode, const QString& prefix, const QString& suffix,
                                 const QString& valueName)
{
    serialCode_ = code;
    serialMaker_.SetMode(mode);
    // Empty, not null: a definition without affixes has none, whatever an earlier one said.
    serialMaker_.SetAffixes(prefix.isNull() ? QStringLiteral("") : prefix,
                            suffix.isNull() ? QStringLiteral("") : suffix);
    serialMaker_.SetValueName(valueName);
    serialPending_ = true;
    serialMaker_.GetResult();
    serialMade_ = serialMaker_.IsMade();
}

void RegWind::StoreMadeSerialNumber()
{
    if (!serialMade_ || !serialPending_)
        return;
    const QString number = serialMaker_.GetResult();
    record_.List(HeaderRecord).SetField(serialCode_, number);
    record_.List(PageFields).SetField(serialCode_, number);
    serialMade_ = false;
}

void RegWind::PostLanguageChange(int index)
{
    QMetaObject::invokeMethod(this, [this, index] { OnLanguageChange(index); }, Qt::QueuedConnection);
}

void RegWind::PostAutoLanguage()
{
    QMetaObject::invokeMethod(this, [this] { OnAutoLanguage(); }, Qt::QueuedConnection);
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

bool RegWind::OpenInShell(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = platform::asciiLower(url.scheme());
    const bool web = scheme == u"http" || scheme == u"https";
    if (!url.isValid() || !((web && !url.host().isEmpty()) || scheme == u"mailto")) {
        EngineTrace(platform::formatText(QStringLiteral("Not opened: %s is not an http, https or mailto address"),
                                         text));
        return false;
    }
    return platform::openUrl(url);
}

void RegWind::QuitWithExitCode()
{
    PostQuitWithExitCode();
}

// ---- Steps of later runs -------------------------------------------------------------

bool RegWind::Register(const QString& method)
{
    return registration_.Register(method, lastStatus_);
}

bool RegWind::ScheduleReminder(bool fromFinalPage)
{
    return reminders_.ScheduleReminder(fromFinalPage);
}

void RegWind::SetReminder()
{
    reminders_.SetReminder();
}

void RegWind::DeleteReminder()
{
    reminders_.DeleteReminder();
}

void RegWind::WriteRegStatus(QChar letter)
{
    registration_.WriteRegStatus(letter);
}

void RegWind::SavePrefs()
{
    registration_.SavePrefs();
}

void RegWind::AskOnlineUpdate()
{
    update_.AskOnlineUpdate();
}

void RegWind::OnRegistered()
{
    registration_.OnRegistered();
}

void RegWind::OnFirstPage() {}

// ---- Window events -------------------------------------------------------------------

void RegWind::paintEvent(QPaintEvent*)
{
    if (!background_ && !pageColor_)
        return;
    QPainter painter(this);
    std::optional<QColor> color;
    if (pageColor_)
        color = QColor(int(*pageColor_ & 0xFF), int(*pageColor_ >> 8 & 0xFF), int(*pageColor_ >> 16 & 0xFF));
    DrawBitmapInRect(&painter, background_ ? &*background_ : nullptr, backgroundMode_, color ? &*color : nullptr,
                     rect());
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

void RegWind::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::ThemeChange) {
        ScreenInfo::Instance().Refresh();
        UpdateColors();
    }
    QWidget::changeEvent(event);
}
