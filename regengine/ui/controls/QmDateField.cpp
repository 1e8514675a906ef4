#include "regengine/ui/controls/QmDateField.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/Clock.h"
#include "regengine/core/Constraint.h"
#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/controls/QmPopup.h"
#include "regengine/ui/element/ScreenInfo.h"

#include "platform/text/Format.h"

#include <QDateTime>

#include <cmath>

namespace engine {

namespace {

constexpr int kPopupWidth = 64;
constexpr int kPopupGap = 5;
constexpr int kFullDayList = 32;

bool isLeap(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

}  // namespace

QmDateField::QmDateField(QmStrStream& script, QmWind* parent, const QmStringList* months, const QmStringList* years,
                         const LangCode&)
    : QmBasicWindow(parent)
{
    ReadWindowLine(script);
    quint32 flags = 0;
    script.readHex(flags);
    // The field's value is collected, not its popups'.
    flags |= QmFlag::NoFieldDescent;
    SetFlags(flags);
    SkipLineBlanks(script);
    if (script.peek() == u'"')
        SetText(ReadScriptToken(script));

    const int width = kPopupWidth * ScreenInfo::Instance().DpiX() / 96;
    const int height = this->height();
    const FourCC code("abcd");
    QmPopup** popups[] = {&month_, &day_, &year_};
    for (int i = 0; i < 3; ++i) {
        const QmRect rect(i * width, 0, i * width + width - kPopupGap, height);
        *popups[i] = new QmPopup(code, rect, i + 1, 1, flags, this);
        (*popups[i])->show();
    }
    SetDayList(kFullDayList);
    setFocusPolicy(Qt::TabFocus);
    if (months != nullptr && years != nullptr)
        SetPopupLists(*months, *years);
}

QmDateField::~QmDateField() = default;

void QmDateField::SetPopupLists(const QmStringList& months, const QmStringList& years)
{
    months_ = months;
    years_ = years;
    month_->Fill(months_);
    year_->Fill(years_);
}

void QmDateField::SetDayList(int n)
{
    const QString day = MakeStringFromTable(FourCC("DFLD"), 1);
    days_ = QmStringList(day.isEmpty() ? QStringLiteral("Day") : day);
    days_.AddString(days_.GetName());
    for (int d = 1; d < n; ++d)
        days_.AddString(QString::number(d));
    day_->Fill(days_);
    if (day_->Value() > n - 1)
        day_->SetValue(n - 1);
}

int QmDateField::DayItemsFor(int month, int year)
{
    switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12: return 32;
    case 4:
    case 6:
    case 9:
    case 11: return 31;
    case 2: return isLeap(year) ? 30 : 29;
    default: return 0;
    }
}

void QmDateField::UpdateDayCount()
{
    const int month = month_->Value();
    const QString dayText = day_->GetText();
    const int day = LeadingDecimal(dayText);
    const int year = LeadingDecimal(year_->GetText());
    const int wanted = DayItemsFor(month, year);
    if (wanted == 0)
        return;
    if (day_->ItemCount() != wanted)
        SetDayList(wanted);
    const int count = day_->ItemCount();
    if (day < count) {
        day_->SetText(dayText);
    } else {
        // The last day of the month stands for a day it does not have.
        day_->SetValue(count - 1);
    }
    Notify(QmNotify::ValueChanged, 0);
}

void QmDateField::SetTextNotify(const QString& text)
{
    const QStringList parts = text.split(u'/');
    if (!parts.isEmpty())
        month_->SetValueText(parts.value(0));
    // The day is looked up in the full list: one left shorter by an earlier month would not
    // hold it. The day count then cuts it to the month's last day.
    if (day_->ItemCount() != kFullDayList)
        SetDayList(kFullDayList);
    if (parts.size() > 1)
        day_->SetTextNotify(parts.value(1));
    if (parts.size() > 2)
        year_->SetTextNotify(parts.value(2));
    UpdateDayCount();
}

QString QmDateField::GetValue() const
{
    if (month_->Value() == 0 && day_->Value() == 0 && year_->Value() == 0)
        return {};
    return platform::formatText(QStringLiteral("%d/%s/%s"), month_->Value(), day_->GetText(), year_->GetText());
}

int QmDateField::OnNotify(QmWind* source, int code, int value)
{
    const bool fromPopup = source == month_ || source == day_ || source == year_;
    if (fromPopup && code == QmNotify::ValueChanged) {
        QmWind::OnNotify(source, code, value);
        return PerformEvent(AttachEvent::ValueSet);
    }
    if (fromPopup && code == QmNotify::ItemChosen)
        UpdateDayCount();
    return QmWind::OnNotify(source, code, value);
}

void QmDateField::SetConstraint(Constraint* constraint)
{
    QmBasicWindow::SetConstraint(constraint);
    for (QmPopup* popup : {month_, day_, year_})
        popup->SetConstraint(constraint);
}

void QmDateField::ApplyFont(const QmFont* font)
{
    for (QmPopup* popup : {month_, day_, year_})
        popup->ApplyFont(font);
}

void QmDateField::EnableField(bool enable)
{
    setEnabled(enable);
    for (QmPopup* popup : {month_, day_, year_})
        popup->setEnabled(enable);
}

QDate QmDateField::Today() const
{
    const Clock& clock = clock_ != nullptr ? *clock_ : Clock::System();
    return QDateTime::fromSecsSinceEpoch(clock.CurrentTime()).date();
}

bool QmDateField::IsFutureDate() const
{
    const QDate today = Today();
    const int year = LeadingDecimal(year_->GetText());
    const int month = month_->Value();
    const int day = day_->Value();
    const QDate entered(year != 0 ? year : today.year(), month != 0 ? month : today.month(),
                        day != 0 ? day : today.day());
    if (!entered.isValid())
        return false;
    // Whole days at midnight; rounding only matters where a day is not 24 hours long.
    const double days = double(QDateTime(today, QTime(0, 0)).secsTo(QDateTime(entered, QTime(0, 0)))) / 86400.0;
    const double rounded = days >= 0 ? days + 0.5 / 86400.0 : days - 0.5 / 86400.0;
    return std::trunc(rounded) > 0;
}

bool QmDateField::Validate()
{
    Constraint* constraint = GetConstraint();
    bool madeRequired = false;
    if (constraint != nullptr && (constraint->GetFlags() & ConstraintFlag::Required) == 0 &&
        (month_->Value() != 0 || day_->Value() != 0 || year_->Value() != 0)) {
        constraint->SetFlags(ConstraintFlag::Required, 0);
        madeRequired = true;
    }
    focusIndex_ = -1;
    const quint32 quiet = ConstraintQuietFlags();
    SetConstraintQuietFlags(quiet | 1);
    QmPopup* popups[] = {month_, day_, year_};
    int failed = -1;
    for (int i = 0; i < 3 && failed < 0; ++i) {
        if (!popups[i]->Validate())
            failed = i;
    }
    SetConstraintQuietFlags(quiet);
    bool result = true;
    if (failed >= 0) {
        focusIndex_ = failed;
        static const char* const kEnglish[] = {"A selection must be made from the month list of %s.",
                                               "A selection must be made from the day list of %s.",
                                               "A selection must be made from the year list of %s."};
        const QString text =
            platform::formatText(ConstraintText(22 + failed, QString::fromLatin1(kEnglish[failed])), GetDisplayName());
        if (constraint != nullptr)
            constraint->ReportError(text, ConstraintText(2, QStringLiteral("Required")));
        result = false;
    } else if (constraint != nullptr && (constraint->GetFlags() & kFutureDateCheck) && IsFutureDate()) {
        const QString name = GetDisplayName();
        constraint->ReportFailure(32, QChar(), name);
        focusIndex_ = 0;
        result = false;
    }
    if (madeRequired)
        constraint->SetFlags(0, ConstraintFlag::Required);
    return result ? PerformEvent(AttachEvent::Validated) : false;
}

void QmDateField::focusInEvent(QFocusEvent* event)
{
    QmBasicWindow::focusInEvent(event);
    QmPopup* popups[] = {month_, day_, year_};
    if (focusIndex_ >= 0 && focusIndex_ < 3)
        popups[focusIndex_]->setFocus(Qt::OtherFocusReason);
    else
        month_->setFocus(Qt::TabFocusReason);
}

}  // namespace engine
