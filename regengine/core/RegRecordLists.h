#pragma once

#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"

#include <QString>

#include <array>
#include <functional>

class QTextStream;

namespace engine {

// The field lists the registration record is made of, the private codes, and the rules
// that make a record of them: "_nil" values, blank values, derived fields, private codes
// and the output order. The registration window owns one and forwards to it. It knows no
// window: what needs more than the lists comes in as arguments, the header packet's fields
// (the packet is a transport's) and the substitution of field tags in derived texts.
class RegRecordLists {
public:
    // The lists, by the kind GetList takes.
    enum ListKind {
        PageFields = 0,
        HeaderRecord = 1,
        InitialValues = 2,
        StoredValues = 3,
        BlankValues = 4,
        ExternalFields = 5,
        DerivedFields = 6,
    };
    static constexpr int kListCount = 7;
    // WriteFields flag: codes beginning with '-', ';', '_' or a lower-case letter, which
    // never leave the machine, are left out.
    static constexpr quint32 kLeaveOutPrivate = 0x1;
    // A derived field's text is held to this many characters, tags substituted.
    static constexpr qsizetype kDerivedTextLimit = 1023;

    // Substitutes field tags in a derived field's text, in place.
    using FieldTagFiller = std::function<void(QString& text)>;

    // Null for a kind outside 0..6.
    FieldList* GetList(int kind);
    const FieldList* GetList(int kind) const;
    FieldList& List(ListKind kind) { return lists_[size_t(kind)]; }
    const FieldList& List(ListKind kind) const { return lists_[size_t(kind)]; }

    // 'U' page fields, 'H' header record, 'P' initial values, 'B' blank values; other
    // letters do nothing.
    void SetFieldByKind(QChar kind, const FourCC& code, const QString& text);
    // Replaces the value in each of page fields, initial values and header record that holds
    // the code already; adds nothing.
    void UpdateFieldValue(const FourCC& code, const QString& text);
    // The code's value from page fields, header record and stored values, a later list
    // winning; empty when absent.
    QString FieldValue(const FourCC& code) const;
    // Takes the code out of page fields, initial values, header record and stored values.
    void RemoveField(const FourCC& code);
    // Page fields, header record and stored values merged, a later list winning: the values
    // tags stand for.
    FieldList TagValues() const;

    // Private codes are never validated and never leave the machine.
    void MarkPrivateField(const FourCC& code, bool on);
    bool IsPrivateField(const FourCC& code) const;
    // A private code whose mark is not empty passes validation unchecked.
    bool IsExemptFromValidation(const FourCC& code) const;
    // Whether a code stays out of a record written with kLeaveOutPrivate.
    static bool IsPrivateCode(const FourCC& code);

    // The header record without "_nil" values and private codes: what the header packet
    // carries.
    FieldList HeaderForPacket() const;
    // The whole record: `header` (the header packet read back), the page fields and the
    // stored values merged in, blank values applied, derived fields added and private codes
    // removed.
    FieldList CompleteRecord(const FieldList& header, const FieldTagFiller& fill) const;
    // What a registration run sends: page fields, header record and stored values merged, a
    // later list winning, with blank values, derived fields and without private codes.
    FieldList AssembleRecord(const FieldTagFiller& fill) const;
    // Writes the record as code, ':', value and the separator (a line feed follows a
    // carriage return). A value never carries a line break into a line-separated form: each
    // CR LF, CR or LF in it is written as one blank.
    static void WriteFields(QTextStream& stream, const FieldList& record, QChar separator, quint32 flags);
    static QString FieldsText(const FieldList& record, QChar separator, quint32 flags);
    // `value` for a line-separated form: each CR LF, CR or LF becomes one blank.
    static QString OneLine(const QString& value);
    // Every "_nil" value becomes empty.
    static void ClearNilValues(FieldList& list);
    // ClearNilValues, then each empty value whose code has a blank value takes it.
    void ApplyBlankValues(FieldList& list) const;
    // Each derived text, field tags substituted by `fill`, set under its code.
    void AddDerivedFields(FieldList& list, const FieldTagFiller& fill) const;
    // Takes every private code out.
    void RemoveListedFields(FieldList& list) const;
    // With an output order: the codes it names that the list lacks are added empty, and the
    // list is put in that order.
    static void ForEachListedField(FieldList& list, const FieldList& order);

private:
    std::array<FieldList, kListCount> lists_;
    FieldList privateCodes_;
};

}  // namespace engine
