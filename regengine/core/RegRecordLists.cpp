#include "regengine/core/RegRecordLists.h"

#include <QTextStream>

namespace engine {

namespace {

const QString kNil = QStringLiteral("_nil");

}  // namespace

FieldList* RegRecordLists::GetList(int kind)
{
    return kind >= 0 && kind < kListCount ? &lists_[size_t(kind)] : nullptr;
}

const FieldList* RegRecordLists::GetList(int kind) const
{
    return kind >= 0 && kind < kListCount ? &lists_[size_t(kind)] : nullptr;
}

void RegRecordLists::SetFieldByKind(QChar kind, const FourCC& code, const QString& text)
{
    ListKind list = PageFields;
    switch (kind.unicode()) {
    case u'U': list = PageFields; break;
    case u'H': list = HeaderRecord; break;
    case u'P': list = InitialValues; break;
    case u'B': list = BlankValues; break;
    default: return;
    }
    List(list).SetField(code, text);
}

void RegRecordLists::UpdateFieldValue(const FourCC& code, const QString& text)
{
    for (const ListKind kind : {PageFields, InitialValues, HeaderRecord}) {
        if (Field* field = List(kind).Find(code))
            field->SetValue(text);
    }
}

QString RegRecordLists::FieldValue(const FourCC& code) const
{
    for (const ListKind kind : {StoredValues, HeaderRecord, PageFields}) {
        if (const Field* field = List(kind).Find(code))
            return field->GetValue();
    }
    return {};
}

void RegRecordLists::RemoveField(const FourCC& code)
{
    for (const ListKind kind : {PageFields, InitialValues, HeaderRecord, StoredValues})
        List(kind).Remove(code);
}

FieldList RegRecordLists::TagValues() const
{
    FieldList merged(List(PageFields));
    merged.Merge(List(HeaderRecord));
    merged.Merge(List(StoredValues));
    return merged;
}

void RegRecordLists::MarkPrivateField(const FourCC& code, bool on)
{
    if (on)
        privateCodes_.SetField(code, QStringLiteral("1"));
    else
        privateCodes_.Remove(code);
}

bool RegRecordLists::IsPrivateField(const FourCC& code) const
{
    return privateCodes_.Find(code) != nullptr;
}

bool RegRecordLists::IsExemptFromValidation(const FourCC& code) const
{
    const Field* mark = privateCodes_.Find(code);
    return mark != nullptr && !mark->GetValue().isEmpty();
}

bool RegRecordLists::IsPrivateCode(const FourCC& code)
{
    const quint8 c = code[0];
    return c == '-' || c == ';' || c == '_' || (c >= 'a' && c <= 'z');
}

FieldList RegRecordLists::HeaderForPacket() const
{
    FieldList header(List(HeaderRecord));
    ClearNilValues(header);
    RemoveListedFields(header);
    return header;
}

FieldList RegRecordLists::CompleteRecord(const FieldList& header, const FieldTagFiller& fill) const
{
    FieldList record(header);
    record.Merge(List(PageFields));
    record.Merge(List(StoredValues));
    ApplyBlankValues(record);
    AddDerivedFields(record, fill);
    RemoveListedFields(record);
    return record;
}

FieldList RegRecordLists::AssembleRecord(const FieldTagFiller& fill) const
{
    FieldList record(List(PageFields));
    record.Merge(List(HeaderRecord));
    record.Merge(List(StoredValues));
    ApplyBlankValues(record);
    AddDerivedFields(record, fill);
    RemoveListedFields(record);
    return record;
}

void RegRecordLists::WriteFields(QTextStream& stream, const FieldList& record, QChar separator, quint32 flags)
{
    const bool lineForm = separator == u'\n' || separator == u'\r';
    for (const auto& field : record) {
        if ((flags & kLeaveOutPrivate) && IsPrivateCode(field->GetCode()))
            continue;
        const Field written(field->GetCode(), lineForm ? OneLine(field->GetValue()) : field->GetValue());
        written.WriteCodeAndValue(stream, separator);
        if (separator == u'\r')
            stream << QChar(u'\n');
    }
}

QString RegRecordLists::FieldsText(const FieldList& record, QChar separator, quint32 flags)
{
    QString text;
    QTextStream stream(&text);
    WriteFields(stream, record, separator, flags);
    stream.flush();
    return text;
}

// The value stays on its own line and cannot start a line of its own.
QString RegRecordLists::OneLine(const QString& value)
{
    if (!value.contains(u'\r') && !value.contains(u'\n'))
        return value;
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n')
            continue;
        out += c == u'\r' || c == u'\n' ? QChar(u' ') : c;
    }
    return out;
}

void RegRecordLists::ClearNilValues(FieldList& list)
{
    for (const auto& field : list) {
        if (field->GetValue() == kNil)
            field->SetValue(QString());
    }
}

void RegRecordLists::ApplyBlankValues(FieldList& list) const
{
    ClearNilValues(list);
    for (const auto& field : list) {
        if (!field->GetValue().isEmpty())
            continue;
        if (const Field* blank = List(BlankValues).Find(field->GetCode()))
            field->SetValue(blank->GetValue());
    }
}

void RegRecordLists::AddDerivedFields(FieldList& list, const FieldTagFiller& fill) const
{
    for (const auto& derived : List(DerivedFields)) {
        QString text = derived->GetValue();
        if (fill)
            fill(text);
        list.SetField(derived->GetCode(), CutText(text, kDerivedTextLimit));
    }
}

void RegRecordLists::RemoveListedFields(FieldList& list) const
{
    for (const auto& code : privateCodes_)
        list.Remove(code->GetCode());
}

void RegRecordLists::ForEachListedField(FieldList& list, const FieldList& order)
{
    if (order.IsEmpty())
        return;
    for (const auto& wanted : order) {
        if (list.Find(wanted->GetCode()) == nullptr)
            list.SetField(wanted->GetCode(), QString());
    }
    list.OrderLike(order);
}

}  // namespace engine
