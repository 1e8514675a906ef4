#pragma once

#include "regengine/core/LangCode.h"
#include "regengine/core/QmStringList.h"
#include "regengine/ui/element/QmBasicWindow.h"

#include <QDate>

namespace engine {

class Clock;
class QmPopup;

// A date entered with three popups side by side (DATEFIELD): month (its value the month
// number), day (rebuilt to the month's length) and year. Its value is "month/day/year",
// or empty while nothing is chosen. The field, not its popups, is the record's field.
class QmDateField : public QmBasicWindow {
public:
    static constexpr quint32 kFutureDateCheck = 0x20;  // constraint flag: no date after today

    // The rest of the line after the two list names: code, rect, id, flags and a quoted
    // label. The popups are filled when both lists are given.
    QmDateField(QmStrStream& script, QmWind* parent, const QmStringList* months, const QmStringList* years,
                const LangCode& language = LangCode("EN"));
    ~QmDateField() override;

    void SetPopupLists(const QmStringList& months, const QmStringList& years);
    // "month/day/year": the month by number, day and year by text.
    void SetTextNotify(const QString& text) override;
    QString GetValue() const override;
    int OnNotify(QmWind* source, int code, int value) override;
    void SetConstraint(Constraint* constraint) override;
    void ApplyFont(const QmFont* font) override;
    bool Validate() override;
    // Enables or disables the field and its popups.
    void EnableField(bool enable);

    // The day popup's items: "Day", then 1 to n - 1.
    void SetDayList(int n);
    // Rebuilds the day list for the month and year chosen; then 1001.
    void UpdateDayCount();
    // Whether the entered date (a part not chosen counts as today's) lies after today.
    bool IsFutureDate() const;
    // Today comes from this clock (not owned; null: the system's).
    void SetClock(const Clock* clock) { clock_ = clock; }

    QmPopup* Month() const { return month_; }
    QmPopup* Day() const { return day_; }
    QmPopup* Year() const { return year_; }
    int FocusIndex() const { return focusIndex_; }

    // Days wanted in the day list (the count of items, "Day" included) for a month and a
    // year; 0 for a month outside 1 to 12.
    static int DayItemsFor(int month, int year);

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    QDate Today() const;

    QmPopup* month_ = nullptr;
    QmPopup* day_ = nullptr;
    QmPopup* year_ = nullptr;
    QmStringList months_;
    QmStringList days_;
    QmStringList years_;
    int focusIndex_ = -1;
    const Clock* clock_ = nullptr;
};

}  // namespace engine
