#include "regengine/ui/controls/CtryDialerWind.h"

#include "regengine/core/LangCode.h"
#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/QmStringList.h"
#include "regengine/ui/controls/QmCombo.h"
#include "regengine/ui/controls/QmEdit.h"

namespace engine {

namespace {

const FourCC kListCode("CtMn");
const FourCC kDialCode("-Fnl");
// A closed list's own height; its dropped height is the toolkit's.
constexpr qint32 kListHeight = 22;
constexpr qint32 kListTops[3] = {0, 26, 52};
constexpr qint32 kDialTop = 122;
constexpr qint32 kDialBottom = 142;

}  // namespace

CtryDialerWind::CtryDialerWind(QmStrStream& script, QmWind* parent, const LangCode& language, const QString& module)
    : QmBasicWindow(parent), dialer_(module)
{
    ReadWindowLine(script);
    quint32 flags = 0;
    script.readHex(flags);
    SetFlags(flags);
    if (language != LangCode("???"))
        dialer_.SetLanguage(language);
    const QmRect rect = GetRect();
    CreateChildren(QmRect(0, 0, rect.right - rect.left, rect.bottom - rect.top));
}

CtryDialerWind::~CtryDialerWind() = default;

void CtryDialerWind::CreateChildren(const QmRect& client)
{
    // The list is filled by the dialer; none of its items means "no selection".
    for (int i = 0; i < 3; ++i) {
        const QmRect rect(client.left, client.top + kListTops[i], client.right,
                          client.top + kListTops[i] + kListHeight);
        combos_[i] = new QmCombo(kListCode, rect, kCountryId + i, QmChoiceFlag::NoSelectionFixed, this);
    }
    edit_ = new QmEdit(kDialCode, QmRect(client.left, client.top + kDialTop, client.right, client.top + kDialBottom),
                       kDialId, 0, this);
    FillCombo(CountryDialer::Country, {}, {}, combos_[0]);
    Refresh(0);
}

void CtryDialerWind::FillCombo(CountryDialer::Column column, const QString& country, const QString& place,
                               QmCombo* combo)
{
    if (combo == nullptr || dialer_.GetCount() == 0)
        return;
    QmStringList items;
    for (const QString& text : dialer_.ColumnTexts(column, country, place))
        items.AddString(text);
    combo->Fill(items);
}

void CtryDialerWind::Refresh(int level)
{
    const QString country = combos_[0]->currentText();
    const QString place = combos_[1]->currentText();
    if (level == 0) {
        FillCombo(CountryDialer::Place, country, {}, combos_[1]);
        combos_[1]->SetValue(0);
    }
    if (level <= 1) {
        FillCombo(CountryDialer::Number, country, level == 0 ? combos_[1]->currentText() : place, combos_[2]);
        combos_[2]->SetValue(0);
        edit_->SetText(combos_[2]->currentText());
    }
}

QString CtryDialerWind::GetValue() const
{
    return edit_ != nullptr ? edit_->GetValue() : QString();
}

int CtryDialerWind::OnNotify(QmWind* source, int code, int value)
{
    if (code == QmNotify::ValueChanged)
        return 0;
    if (code == QmNotify::ItemChosen && source != nullptr) {
        const int id = source->GetControlId();
        if (id >= kCountryId && id <= kNumberId) {
            Refresh(id - kCountryId);
            // A number chosen from the list is the one to dial.
            if (id == kNumberId)
                edit_->SetText(combos_[2]->currentText());
            return 0;
        }
    }
    return QmBasicWindow::OnNotify(source, code, value);
}

void CtryDialerWind::EnableControls(bool enable)
{
    setEnabled(enable);
    for (QmCombo* combo : combos_)
        combo->setEnabled(enable);
    if (QWidget* w = edit_->GetWindow())
        w->setEnabled(enable);
}

void CtryDialerWind::ApplyFont(const QmFont* font)
{
    for (QmCombo* combo : combos_)
        combo->ApplyFont(font);
    edit_->ApplyFont(font);
}

QmCombo* CtryDialerWind::GetCombo(int id) const
{
    return id >= kCountryId && id <= kNumberId ? combos_[id - kCountryId] : nullptr;
}

}  // namespace engine
