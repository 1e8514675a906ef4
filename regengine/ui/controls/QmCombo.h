#pragma once

#include "regengine/core/QmStringList.h"
#include "regengine/ui/element/QmControl.h"

#include <QComboBox>

namespace engine {

class QmStrStream;

// Flag bits of the combo and the popup.
namespace QmChoiceFlag {
constexpr quint32 Editable = 0x1;          // combo: the user may type a text of his own
constexpr quint32 NoSelectionFixed = 0x2;  // combo: the first item is not the no-selection text
constexpr quint32 HiddenValues = 0x4;      // items are display^value
constexpr quint32 Hidden = 0x100000;
}  // namespace QmChoiceFlag

// A drop-down list (COMBO) filled from a script list. Its value is the chosen item's
// index, its text the item's display text; with flag 0x4 each item also carries a hidden
// value. An editable combo keeps a text the user typed until he chooses an item.
class QmCombo : public QComboBox, public QmControl {
public:
    // The rest of the line: code, rect, id, command, flags (with the DEFAULTFLAG word) and
    // the initial text; then filled from `list`.
    QmCombo(QmStrStream& script, QmWind* parent, const QmStringList& list);
    // The country dialer's form: everything given, filled later.
    QmCombo(const FourCC& code, const QmRect& rect, int id, quint32 flags, QmWind* parent);
    ~QmCombo() override;

    void Fill(const QmStringList& list);
    // Selects the item whose display text equals the text exactly (letter case counts);
    // none: an editable combo takes the text as typed. The empty text selects item 0.
    void SetTextNotify(const QString& text) override;
    QString GetValue() const override;
    void GetValueAndStored(QString& value, std::optional<QString>* stored) const override;
    std::optional<QString> GetStoredValue() const override;
    // Clamped to the items; returns the old value.
    int SetValue(int value) override;
    // The selection becomes the value (1001), then its decimal text. A typed text that is
    // no item stays as typed.
    int GetValueText(QString* out) const override;
    bool Validate() override;
    void UpdateColors() override;

    // The user's choice of item `index`, as from the list.
    void ChooseIndex(int index);
    // The item whose display text equals `text` exactly, or -1.
    int FindExact(const QString& text) const;
    const QString& NoSelectionText() const { return noSelection_; }
    const QmStringList& ValueList() const { return values_; }
    // The text in the edit part is not the current item's.
    bool HasFreeText() const;

protected:
    void showPopup() override;

private:
    QString noSelection_;
    QString initial_;
    QmStringList values_;
};

}  // namespace engine
