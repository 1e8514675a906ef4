#pragma once

#include "regengine/core/QmStringList.h"
#include "regengine/ui/controls/QmButtons.h"

#include <QHash>
#include <QMenu>
#include <QPointer>

namespace engine {

// A button that opens a menu of a script list's items (POPUP). Lines starting "->" open a
// submenu named by the rest, "--" ends it and "-|" starts a new column; every other line
// is an item whose menu id is its list position + 1. The value is the chosen item's id - 1.
class QmPopup : public QmPushButton {
public:
    static constexpr int kMaxItemId = 800;

    // The rest of the line as a push button of kind 3; its text is the no-selection text.
    QmPopup(QmStrStream& script, QmWind* parent, const QmStringList& list);
    // A popup given directly (the date field's).
    QmPopup(const FourCC& code, const QmRect& rect, int id, int command, quint32 flags, QmWind* parent);
    ~QmPopup() override;

    void Fill(const QmStringList& list);
    // The first item whose hidden value (flag 0x4) or menu text equals the text exactly; with
    // flag 0x4 one whose menu text matches is the fallback; else item id 1.
    void SetTextNotify(const QString& text) override;
    QString GetValue() const override;
    void GetValueAndStored(QString& value, std::optional<QString>* stored) const override;
    // The control rule, then the window text becomes the menu text of id value + 1.
    int SetValue(int value) override;
    bool Validate() override;

    // The user's choice of menu id n (1 to 800).
    void Choose(int id);
    // The text of menu id n, or empty.
    QString MenuText(int id) const;
    // The id of the first item shown with that text, or 0.
    int FindMenuText(const QString& text) const;
    // 0 for the first column, counting each column break.
    int ColumnOf(int id) const;
    // The submenu title holding id n, or empty for the top menu.
    QString SubmenuOf(int id) const;
    int ItemCount() const { return itemCount_; }
    const QString& NoSelectionText() const { return noSelection_; }
    const QmStringList& ValueList() const { return values_; }
    QMenu* Menu() { return &menu_; }
    // Shows the menu at the button's top left corner.
    void OpenMenu();

protected:
    void Pressed() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Item {
        QPointer<QAction> action;
        int column = 0;
        QString submenu;
    };

    QMenu menu_;
    QHash<int, Item> items_;
    QString noSelection_;
    QmStringList values_;
    int itemCount_ = 0;
};

}  // namespace engine
