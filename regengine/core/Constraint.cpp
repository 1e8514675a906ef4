#include "regengine/core/Constraint.h"

#include "regengine/core/KeyFilter.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"

#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QStringList>

namespace engine {

namespace {

quint32 g_quietFlags = 0;

QmList<Constraint*>& constraintList()
{
    static QmList<Constraint*> list;
    return list;
}

bool quiet()
{
    return (g_quietFlags & 1) != 0;
}

constexpr qsizetype kCharSetLineLimit = 256;
constexpr qsizetype kCharSetTextLimit = 512;

QString requiredCaption()
{
    return ConstraintText(2, QStringLiteral("Required"));
}

}  // namespace

QString ConstraintText(qint32 n, const QString& english)
{
    return GetTableString(english, n, FourCC("CNST"));
}

Constraint::Constraint(QmStrStream& script)
{
    ReadNameAndFlags(script);
    qint32 minimum = 0;
    qint32 maximum = 0;
    if (!script.readInt(minimum))
        minimum = 0;
    if (!script.readInt(maximum))
        maximum = 0;
    SetLengths(minimum, maximum);
    if (flags_ & ConstraintFlag::CharSet) {
        if (!script.good())
            script.clear();
        SkipScriptBlanks(script);
        QString set;
        ReadScriptLine(script, set, kCharSetLineLimit);
        SetCharSet(set);
    }
}

Constraint::~Constraint() = default;

void Constraint::ReadNameAndFlags(QmStrStream& script)
{
    QString name;
    if (script.readWord(name))
        name_ = name;
    quint32 flags = 0;
    if (script.readHex(flags))
        flags_ = flags;
}

void Constraint::SetLengths(qint32 minimum, qint32 maximum)
{
    minLength_ = qMax(0, minimum);
    maxLength_ = maximum > 0 ? maximum : kDefaultMaxLength;
}

QString Constraint::LabelText(const QString* label)
{
    return label != nullptr ? *label : QString();
}

bool Constraint::Validate(const QString& text, const QString* label)
{
    const qsizetype n = text.size();
    const QString trimmed = (flags_ & ConstraintFlag::NoTrim) ? text : text.trimmed();
    const qsizetype m = trimmed.size();

    if ((flags_ & ConstraintFlag::Required) && m == 0) {
        if (label != nullptr)
            ReportError(platform::formatText(ConstraintText(18, QStringLiteral("Please enter your %s.")), *label),
                        requiredCaption());
        else
            ReportError(ConstraintText(1, QStringLiteral("The selected field must be filled in.")), requiredCaption());
        return false;
    }
    if (minLength_ > 0 && m > 0 && m < minLength_) {
        ReportError(platform::formatText(ConstraintText(4, QStringLiteral("The selected field must have a length of "
                                                                          "at least %ld.")),
                                         long(minLength_)),
                    ConstraintText(3, QStringLiteral("Minimum Length")));
        return false;
    }
    if (n > maxLength_) {
        ReportError(platform::formatText(ConstraintText(6, QStringLiteral("The selected field can only hold %ld "
                                                                          "characters.")),
                                         long(maxLength_)),
                    ConstraintText(5, QStringLiteral("Maximum Length")));
        return false;
    }
    if ((flags_ & ConstraintFlag::Email) && n > 0) {
        if (IsEmailAddress(text))
            return true;
        ReportError(ConstraintText(8, QStringLiteral("A valid E-Mail address is required.")), requiredCaption());
        return false;
    }

    auto all = [&text](auto&& test) {
        for (QChar c : text) {
            if (!test(c))
                return false;
        }
        return true;
    };
    if (flags_ & ConstraintFlag::CharSet) {
        for (QChar c : text) {
            if ((c.unicode() & 0xFF) >= 32 && !IsCharAllowed(c)) {
                ReportError(platform::formatText(ConstraintText(17, QStringLiteral("The character '%c' is not "
                                                                                   "allowable in %s")),
                                                 c, LabelText(label)),
                            requiredCaption());
                return false;
            }
        }
    } else if ((flags_ & (ConstraintFlag::Letters | ConstraintFlag::Digits)) ==
               (ConstraintFlag::Letters | ConstraintFlag::Digits)) {
        if (!all([](QChar c) { return c.isLetterOrNumber(); })) {
            ReportError(ConstraintText(14, QStringLiteral("The selected field must contain only numbers and letters.")),
                        requiredCaption());
            return false;
        }
    } else if (flags_ & ConstraintFlag::AsciiDigits) {
        if (!all([](QChar c) { return c >= u'0' && c <= u'9'; })) {
            ReportError(ConstraintText(9, QStringLiteral("The selected field must contain only numbers.")),
                        requiredCaption());
            return false;
        }
    } else if (flags_ & ConstraintFlag::Digits) {
        if (!all([](QChar c) { return c.isDigit(); })) {
            ReportError(ConstraintText(13, QStringLiteral("The selected field must contain only numbers.")),
                        requiredCaption());
            return false;
        }
    } else if (flags_ & ConstraintFlag::Letters) {
        if (!all([](QChar c) { return c.isLetter(); })) {
            ReportError(ConstraintText(12, QStringLiteral("The selected field must contain only letters.")),
                        requiredCaption());
            return false;
        }
    }
    return true;
}

bool Constraint::IsEmailAddress(const QString& text)
{
    qsizetype at = -1;
    qsizetype lastDot = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'@') {
            if (at >= 0)
                return false;
            at = i;
        } else if (c == u'.') {
            if (i == 0 || text[i - 1] == u'.' || text[i - 1] == u'@')
                return false;
            lastDot = i;
        } else if (c.isSpace()) {
            return false;
        }
    }
    return at > 0 && lastDot > at && lastDot != text.size() - 1;
}

void Constraint::GetMask(QString&, QString&) const {}

void Constraint::Register(Constraint* constraint)
{
    if (constraint != nullptr)
        constraintList().Add(constraint);
}

bool Constraint::Unregister()
{
    QmList<Constraint*>& list = constraintList();
    for (int i = 0; i < list.GetCount(); ++i) {
        if (*list.At(i) == this) {
            list.RemoveAt(i);
            return true;
        }
    }
    return false;
}

void Constraint::DeleteAll()
{
    QmList<Constraint*>& list = constraintList();
    // Taken out before it goes, so a destructor that looks at the list finds it gone.
    while (list.GetCount() > 0) {
        Constraint* constraint = *list.At(list.GetCount() - 1);
        list.RemoveAt(list.GetCount() - 1);
        delete constraint;
    }
    list.Init();
}

Constraint* Constraint::Find(const QString& name)
{
    for (Constraint* constraint : constraintList()) {
        if (constraint != nullptr && constraint->name_ == name)
            return constraint;
    }
    return nullptr;
}

void Constraint::Reset()
{
    flags_ = 0;
    minLength_ = 0;
    maxLength_ = kDefaultMaxLength;
    errorCount_ = 0;
    errorLimit_ = 0;
    allowed_.fill(false);
}

void Constraint::SetFlags(quint32 set, quint32 clear)
{
    flags_ = (flags_ | set) & ~clear;
}

void Constraint::SetCharSet(const QString& text)
{
    const QString limited = text.left(kCharSetTextLimit);
    for (const QString& token : limited.split(u' ', Qt::SkipEmptyParts)) {
        if (token == u"\\") {
            SetCharRange(u' ', u' ');
        } else if (token.size() == 3 && token[1] == u'-') {
            SetCharRange(token[0].unicode(), token[2].unicode());
        } else {
            for (QChar c : token)
                SetCharRange(c.unicode(), c.unicode());
        }
    }
}

void Constraint::SetCharRange(int low, int high)
{
    if (high < low)
        return;
    // The table has 256 entries: a range that long marks them all.
    if (qint64(high) - low >= 255) {
        allowed_.fill(true);
        return;
    }
    for (int c = low; c <= high; ++c)
        allowed_[size_t(c & 0xFF)] = true;
}

bool Constraint::IsCharAllowed(QChar c) const
{
    return allowed_[size_t(c.unicode() & 0xFF)];
}

void Constraint::SetErrorLimit(int limit, const FourCC& tag, qint32 number)
{
    errorLimit_ = limit;
    errorTag_ = tag;
    errorNumber_ = number;
    errorCount_ = 0;
}

void Constraint::ReportError(const QString& text, const QString& caption)
{
    if (quiet())
        return;
    ++errorCount_;
    QString shown = text;
    QString title = caption;
    if (errorLimit_ > 0 && errorCount_ > errorLimit_) {
        shown = GetTableString(QStringLiteral("Too many errors validating constraints."), errorNumber_, errorTag_);
        title = requiredCaption();
    }
    platform::messageBox(shown, title, kConstraintBoxStyle);
}

void Constraint::ReportFailure(int kind, QChar character, const QString& label)
{
    if (kind == 32)
        ReportError(
            platform::formatText(ConstraintText(16, QStringLiteral("You may not use a future date for %s.")), label),
            requiredCaption());
    else if (kind == 64)
        ReportError(platform::formatText(ConstraintText(17, QStringLiteral("The character '%c' is not allowable "
                                                                           "in %s")),
                                         character, label),
                    requiredCaption());
}

MaskConstraint::MaskConstraint(QmStrStream& script)
{
    ReadNameAndFlags(script);
    SetFlags(ConstraintFlag::Mask, 0);
    QString mask;
    QString picture;
    script.readWord(mask);
    script.readWord(picture);
    // A word cannot hold a blank, so "S" stands for one.
    mask_ = mask.replace(u'S', u' ');
    picture_ = picture.replace(u'S', u' ');
}

MaskConstraint::~MaskConstraint() = default;

bool MaskConstraint::Validate(const QString& text, const QString*)
{
    const KeyFilter filter(mask_, picture_);
    QString message;
    if (GetFlags() & ConstraintFlag::Required) {
        if (filter.IsAllowed(text) && !text.isEmpty())
            return true;
        message =
            platform::formatText(ConstraintText(10, QStringLiteral("The selected field should look like %s.")), mask_);
    } else {
        if (filter.IsAllowed(text) || text == picture_)
            return true;
        message = ConstraintText(11, QStringLiteral("The selected field must be completely filled out or not "
                                                    "filled out at all."));
    }
    // Shown directly: the mask's message counts toward no error limit.
    if (!quiet())
        platform::messageBox(message, requiredCaption(), kConstraintBoxStyle);
    return false;
}

void MaskConstraint::GetMask(QString& mask, QString& picture) const
{
    mask = mask_;
    picture = picture_;
}

bool MFGRConstraint::Validate(const QString&, const QString*)
{
    return true;
}

quint32 ConstraintQuietFlags()
{
    return g_quietFlags;
}

void SetConstraintQuietFlags(quint32 flags)
{
    g_quietFlags = flags;
}

}  // namespace engine
