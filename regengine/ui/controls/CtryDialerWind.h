#pragma once

#include "regengine/transport/CountryDialer.h"
#include "regengine/ui/element/QmBasicWindow.h"

namespace engine {

class LangCode;
class QmCombo;
class QmEdit;
class QmRect;
class QmStrStream;

// The country dialer (COUNTRYDIALER): three drop-down lists, country, place and access
// number of the X.25 network, and an edit with the number to dial, which is the element's
// value. Choosing a country refills the places and numbers; choosing a place, the numbers.
class CtryDialerWind : public QmBasicWindow {
public:
    static constexpr int kCountryId = 1;
    static constexpr int kPlaceId = 2;
    static constexpr int kNumberId = 3;
    static constexpr int kDialId = 4;

    // The rest of the line: code, rectangle, id and the hexadecimal flag word. A language
    // other than "???" picks the access numbers' language; `module` holds them.
    CtryDialerWind(QmStrStream& script, QmWind* parent, const LangCode& language,
                   const QString& module = QStringLiteral("launcher"));
    ~CtryDialerWind() override;

    // The element, its three lists and the edit.
    virtual void EnableControls(bool enable);
    // 0: the country changed (places and numbers refilled), 1: the place changed (numbers
    // refilled), 2: a number was chosen.
    void Refresh(int level);

    // The number to dial.
    QString GetValue() const override;
    int OnNotify(QmWind* source, int code, int value) override;
    void ApplyFont(const QmFont* font) override;

    QmCombo* GetCombo(int id) const;
    QmEdit* GetDialEdit() const { return edit_; }
    CountryDialer& GetDialer() { return dialer_; }

private:
    void CreateChildren(const QmRect& client);
    // Empties the list and adds the column's texts under the filters; nothing without a
    // table.
    void FillCombo(CountryDialer::Column column, const QString& country, const QString& place, QmCombo* combo);

    QmCombo* combos_[3] = {};
    QmEdit* edit_ = nullptr;
    CountryDialer dialer_;
};

}  // namespace engine
