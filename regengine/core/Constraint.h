#pragma once

#include "regengine/core/FourCC.h"
#include "regengine/core/QmList.h"

#include <QString>

#include <array>

namespace engine {

class QmStrStream;
class QmWind;

// Flag bits of a constraint.
namespace ConstraintFlag {
constexpr quint32 Required = 0x1;
constexpr quint32 Letters = 0x2;
constexpr quint32 Digits = 0x4;  // the library's digit class
constexpr quint32 Email = 0x8;
constexpr quint32 AsciiDigits = 0x10;  // "0" to "9" only
constexpr quint32 CharSet = 0x40;      // the line after the CONSTRAINT line is the character set
constexpr quint32 Mask = 0x10000;      // every mask constraint
constexpr quint32 PictureIsEmpty = 0x20000;
constexpr quint32 NoTrim = 0x40000;
}  // namespace ConstraintFlag

// The message box style of every constraint message: topmost and task-modal.
constexpr unsigned kConstraintBoxStyle = 0x42000;

// The table of every constraint message; `n` its number, `english` the text when the table
// lacks it.
QString ConstraintText(qint32 n, const QString& english);

// A named validation rule of the page script, attached to page elements, which check their
// value with it when they validate. Messages come from string table "CNST" and are shown in
// message boxes unless the quiet switch is on; after the error limit every message is the
// limit text.
class Constraint {
public:
    static constexpr qint32 kDefaultMaxLength = 0x7fff;

    Constraint() = default;
    // The rest of a CONSTRAINT line: name, hexadecimal flags, minimum and maximum length;
    // with the character-set flag the next script line is the set.
    explicit Constraint(QmStrStream& script);
    Constraint(const Constraint&) = delete;
    Constraint& operator=(const Constraint&) = delete;
    virtual ~Constraint();

    // True when `text` passes. `label` is the field's display name, or null for the
    // generic message.
    virtual bool Validate(const QString& text, const QString* label);
    virtual quint32 GetFlags() const { return flags_; }
    // The key-filter mask and the picture of an empty field; nothing here.
    virtual void GetMask(QString& mask, QString& picture) const;
    // Takes the constraint out of the global list; true when it was there.
    virtual bool Unregister();
    // Blank-separated tokens: one character, "\" for the blank, "a-z" for a range, or a
    // word whose every character is allowed. At most 512 characters are read.
    virtual void SetCharSet(const QString& text);
    // Every character code from low to high; nothing when high < low.
    virtual void SetCharRange(int low, int high);
    // Whether the table marks the character's low 8 bits.
    virtual bool IsCharAllowed(QChar c) const;
    // The error limit and the string of its message; the error count starts again.
    virtual void SetErrorLimit(int limit, const FourCC& tag, qint32 number);

    // The global list, in order of registration. Registered constraints belong to it.
    static void Register(Constraint* constraint);
    static void DeleteAll();
    // The first registered constraint with exactly that name (letter case counts), or null.
    static Constraint* Find(const QString& name);

    // Flags, lengths, counts and the table back to a new constraint's; the limit's string
    // reference stays.
    void Reset();
    // flags = (flags | set) & ~clear.
    void SetFlags(quint32 set, quint32 clear);
    // Counts the error and shows it, or the limit text once the limit is passed; nothing
    // at all while the quiet switch is on.
    void ReportError(const QString& text, const QString& caption);
    // A control's own finding: kind 32 a future date, kind 64 a refused character; other
    // kinds show nothing.
    void ReportFailure(int kind, QChar character, const QString& label);

    const QString& GetName() const { return name_; }
    void SetName(const QString& name) { name_ = name; }
    qint32 GetMinLength() const { return minLength_; }
    qint32 GetMaxLength() const { return maxLength_; }
    void SetLengths(qint32 minimum, qint32 maximum);
    int GetErrorCount() const { return errorCount_; }
    int GetErrorLimit() const { return errorLimit_; }

    // The e-mail rule: one "@", not first; no blank; no "." first, after another "." or
    // right after the "@"; a last "." after the "@" and not at the end.
    static bool IsEmailAddress(const QString& text);

protected:
    // The name and the hexadecimal flags of a CONSTRAINT or MASK line.
    void ReadNameAndFlags(QmStrStream& script);
    // The label for "%s", or the empty text.
    static QString LabelText(const QString* label);

private:
    QString name_;
    quint32 flags_ = 0;
    qint32 maxLength_ = kDefaultMaxLength;
    qint32 minLength_ = 0;
    std::array<bool, 256> allowed_{};
    int errorLimit_ = 0;
    FourCC errorTag_;
    qint32 errorNumber_ = 0;
    int errorCount_ = 0;
};

// A constraint with a fixed input pattern, for the masked edit: the mask in the key-filter
// grammar and the picture an empty field shows.
class MaskConstraint : public Constraint {
public:
    // The rest of a MASK line: name, hexadecimal flags, mask and picture, one word each,
    // in which every "S" stands for a blank.
    explicit MaskConstraint(QmStrStream& script);
    ~MaskConstraint() override;

    // Required: the text fits the mask and is not empty. Otherwise it fits the mask or is
    // the untouched picture.
    bool Validate(const QString& text, const QString* label) override;
    void GetMask(QString& mask, QString& picture) const override;

    const QString& Mask() const { return mask_; }
    const QString& Picture() const { return picture_; }

private:
    QString mask_;
    QString picture_;
};

// Marks the manufacturer combo box, which tests its value itself; passes everything.
class MFGRConstraint : public Constraint {
public:
    explicit MFGRConstraint(QmWind* window) : window_(window) {}
    bool Validate(const QString& text, const QString* label) override;
    QmWind* GetWindow() const { return window_; }

private:
    QmWind* window_;
};

// The quiet switch: while its bit 0 is set no constraint shows a message box. Callers that
// report a validation's outcome themselves set it around the validation and restore it.
quint32 ConstraintQuietFlags();
void SetConstraintQuietFlags(quint32 flags);

}  // namespace engine
