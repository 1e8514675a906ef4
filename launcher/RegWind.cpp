#include "launcher/RegWind.h"

#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/LangCode.h"
#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/core/WMIQuery.h"
#include "regengine/ui/QmBasicDialog.h"
#include "regengine/ui/ScreenInfo.h"

#include "platform/text/Format.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

// This product's codes and the engine's version marks, written over whatever the script
// set when a run ends.
const char kManufacturer[] = "OVEX";
const char kProduct[] = "OVX1";
const char kEngineVersion[] = "W61017";
const char kProductVersion[] = "0102";
const char kBuildVersion[] = "W61030";
constexpr int kSourceRevision = 2202;

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
    SetText(caption);
}

RegWind::~RegWind()
{
    ShutdownWmi();
}

FieldList* RegWind::GetList(int kind)
{
    return kind >= 0 && kind < kListCount ? &lists_[size_t(kind)] : nullptr;
}

const FieldList* RegWind::GetList(int kind) const
{
    return kind >= 0 && kind < kListCount ? &lists_[size_t(kind)] : nullptr;
}

void RegWind::SetFieldByKind(QChar kind, const FourCC& code, const QString& text)
{
    int list = -1;
    switch (kind.unicode()) {
    case u'U': list = PageFields; break;
    case u'H': list = HeaderRecord; break;
    case u'P': list = InitialValues; break;
    case u'B': list = BlankValues; break;
    default: return;
    }
    lists_[size_t(list)].SetField(code, text);
}

QString RegWind::LookupField(const FourCC& code) const
{
    for (const int kind : {StoredValues, HeaderRecord, PageFields}) {
        if (const Field* field = lists_[size_t(kind)].Find(code))
            return field->GetValue();
    }
    return {};
}

void RegWind::InitHeaderRecord()
{
    FieldList& header = lists_[HeaderRecord];
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
    const FieldList& header = lists_[HeaderRecord];
    const QString name = LookupField(settings_.regKey);
    if (name.isEmpty())
        return;
    OpenEngineRegistryKey(FourCC(header.GetField(FourCC("MFGR"))), FourCC(header.GetField(FourCC("PROD"))),
                          header.GetField(FourCC("VERS")), name);
}

void RegWind::MergeCommandLineFields(const FieldList& fields)
{
    lists_[HeaderRecord].Merge(fields);
}

QString RegWind::SubstituteTags(const QString& text, bool) const
{
    return text;
}

bool RegWind::AddPage(QmBasicDialog* page, int kind)
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
    if (pageCount_ > 1)
        page->Show(false);
    return true;
}

QmBasicDialog* RegWind::GetPage(int index) const
{
    return index >= 0 && index < pageCount_ ? pages_[size_t(index)] : nullptr;
}

void RegWind::GoToPage(int index)
{
    if (pageCount_ == 0)
        return;
    index = qBound(0, index, pageCount_ - 1);
    if (index == currentPage_)
        return;
    if (QmBasicDialog* leaving = GetPage(currentPage_)) {
        previousPage_ = currentPage_;
        leaving->Show(false);
        leaving->PerformEvent(AttachEvent::PageLeft);
    }
    currentPage_ = index;
    QmBasicDialog* page = pages_[size_t(index)];
    page->Show(true);
    page->PerformEvent(AttachEvent::PageShown);
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
    if (start != currentPage_) {
        const bool validate = validateOnForward_;
        validateOnForward_ = false;
        GoToPage(start);
        validateOnForward_ = validate;
    }
    if ((GetFlags() & kHiddenAtStart) == 0)
        show();
    return start;
}

bool RegWind::StartMode(int)
{
    return true;
}
