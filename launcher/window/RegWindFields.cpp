// The registration window's field lists, forwarded to its RegRecordLists, with the header
// record, tag substitution and the written record.
#include "launcher/window/RegWind.h"

#include "launcher/reminders/EngineRemoval.h"

#include "launcher/script/ScriptReader.h"
#include "launcher/window/AppValues.h"
#include "launcher/window/TagSubstitution.h"

#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStringList.h"
#include "regengine/transport/Packet.h"

#include "platform/text/Format.h"

#include <QTextStream>

using namespace engine;

namespace launcher {

namespace {

// This product's codes and the engine's version marks, written over whatever the script
// set when a run ends.
const char kManufacturer[] = "OVEX";
const char kProduct[] = "OVX1";
const char kEngineVersion[] = "W61017";
const char kProductVersion[] = "0102";
const char kBuildVersion[] = "W61030";
constexpr int kSourceRevision = 2202;

// A text with tags substituted is held to this size.
constexpr qsizetype kTagResultLimit = 1023;

}  // namespace

// ---- Field lists and the header record ------------------------------------------------

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
    SetUninstallStrings(header.GetField(FourCC("MFGR")), header.GetField(FourCC("PROD")));
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

// ---- Tag substitution -----------------------------------------------------------------

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

QString RegWind::AddressForUser(const QString& address, bool appTags, bool* withRecord)
{
    QString filled = address;
    if (appTags)
        filled = SubstituteTags(address, true);
    else
        SubstituteFieldTags(filled, true);
    const bool secure = !IsPlainHttpAddress(filled);
    if (withRecord != nullptr)
        *withRecord = secure;
    if (secure)
        return filled;
    // Anyone on the way reads plain HTTP: the page opens, the owner's data stays home.
    TagSources blank;
    blank.field = [](const FourCC&) { return QString(); };
    if (appTags)
        blank.app = [this](const QString& name) { return GetAppValue(name); };
    const QString without = SubstituteTagText(address, true, blank);
    if (without != filled)
        EngineTrace(platform::formatText(QStringLiteral("Opening %s without the record: not https"), without));
    return without;
}

QString RegWind::GetAppValue(const QString& name) const
{
    const std::optional<QString> value = appValues_->Value(name);
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

// ---- The record -----------------------------------------------------------------------

RegRecordLists::FieldTagFiller RegWind::DerivedTextFiller() const
{
    return [this](QString& text) { SubstituteFieldTags(text, false); };
}

void RegWind::BuildPacket()
{
    headerPacket_->Begin(Packet::kData);
    QString refused;
    // A header the packet cannot carry goes as none; the modem run refuses the record
    // that holds it, and says why.
    if (!headerPacket_->AddFields(record_.HeaderForPacket(), 0, &refused)) {
        EngineTrace(refused);
        headerPacket_->Clear();
        return;
    }
    headerPacket_->Finish();
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
    RegRecordLists::WriteFields(stream, CompleteRecord(), separator, flags);
}

FieldList RegWind::CompleteRecord() const
{
    FieldList header;
    headerPacket_->ReadFields(nullptr, &header);
    return record_.CompleteRecord(header, DerivedTextFiller());
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

}  // namespace launcher
