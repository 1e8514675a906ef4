#pragma once

#include "regengine/ui/element/QmWind.h"

#include <QPointer>

class QKeyEvent;

namespace engine {

class QmRect;
class QmStrStream;
class QmEdit;

// The widget half of an edit: a line edit or, for a tall rectangle, a plain text edit. It
// hands keys, pastes, drops and input-method text to its QmEdit, so all of them pass the
// same filter.
class EditWindow {
public:
    virtual ~EditWindow() = default;
    virtual QWidget* Widget() = 0;
    virtual QString Text() const = 0;
    // Replaces the text without signals; the caret goes to `caret`.
    virtual void Replace(const QString& text, int caret) = 0;
    virtual int SelectionStart() const = 0;
    virtual int SelectionEnd() const = 0;
    virtual int Caret() const = 0;
    // Inserts at the caret in place of the selection.
    virtual void Insert(const QString& text) = 0;
    // The edit the widget reports to; null once the edit has gone.
    void SetOwner(QmEdit* owner) { owner_ = owner; }

protected:
    QmEdit* owner_ = nullptr;
};

// An edit box of a page (EDIT). With a character-set constraint a refused character is
// dropped with a beep; the constraint's maximum length stops typing and pasting but never
// cuts a value the program sets. A paste, a drop or an input method's text is typed
// character by character through the same filter. Each typed character raises event 0x10;
// a released key notifies 1008 and leaving the edit 1007.
class QmEdit : public QmWind {
public:
    static constexpr quint32 kNoClientEdge = 0x2000;
    static constexpr quint32 kGroupStart = 0x4000;

    // The rest of an EDIT line: code, rectangle and the initial text ("_" for none). A
    // rectangle higher than 24 makes a multi-line edit. `extraStyle` 0x4000 marks the first
    // edit after a page keyword. The flags are the DEFAULTFLAG word.
    QmEdit(QmStrStream& script, QmWind* parent, quint32 extraStyle);
    // The country dialer's form: everything given, always one line.
    QmEdit(const FourCC& code, const QmRect& rect, int id, quint32 flags, QmWind* parent);
    ~QmEdit() override;

    // Keeps the constraint; its maximum length becomes the typing limit.
    void SetConstraint(Constraint* constraint) override;

    bool IsMultiLine() const { return multiLine_; }
    bool IsGroupStart() const { return groupStart_; }
    // Characters typing may fill the edit to; 0 for no limit.
    int GetLengthLimit() const { return limit_; }

    // ---- What the widget hands over -------------------------------------------------

    // True when the edit took the key; false leaves it to the widget.
    virtual bool KeyPressed(QKeyEvent* event);
    // After the widget handled a key the edit left to it.
    virtual void KeyDefaultHandled(QKeyEvent* event);
    virtual void KeyReleased();
    virtual void FocusGained();
    virtual void FocusLost();
    // Text the user puts in other than by a key (input method, drop), character by
    // character.
    virtual void TypeText(const QString& text);
    // The clipboard's text, character by character, then event 0x10 and 1008.
    virtual void Paste();
    // Whether the widget's own undo, redo and cut may run.
    virtual bool AllowsFreeEditing() const { return true; }

protected:
    EditWindow* Edit() const { return edit_; }
    // One typed character: the filter, the limit, then the insertion and event 0x10.
    virtual void TypeChar(QChar c);

private:
    void CreateWindow(QmWind* parent, const QmRect& rect, bool multiLine, bool frame);

    EditWindow* edit_ = nullptr;
    QPointer<QWidget> widget_;
    bool multiLine_ = false;
    bool groupStart_ = false;
    int limit_ = 0;
};

}  // namespace engine
