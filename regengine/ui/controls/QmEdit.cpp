#include "regengine/ui/controls/QmEdit.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/Constraint.h"
#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/element/ScreenInfo.h"

#include "platform/ui/Ui.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

namespace engine {

namespace {

constexpr qsizetype kInitialTextLimit = 101;
constexpr int kMultiLineHeight = 24;

// The standard menu, with Paste going through the edit's filter and, for an edit that
// keeps its own text form, no undo, redo, cut or delete.
void execContextMenu(QMenu* menu, QmEdit* owner, QPoint at)
{
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        if (name == u"edit-paste") {
            QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
            QObject::connect(action, &QAction::triggered, menu, [owner] { owner->Paste(); });
        } else if (!owner->AllowsFreeEditing() &&
                   (name == u"edit-undo" || name == u"edit-redo" || name == u"edit-cut" || name == u"edit-delete")) {
            action->setEnabled(false);
        }
    }
    menu->exec(at);
    delete menu;
}

class EditLine final : public QLineEdit, public EditWindow {
public:
    explicit EditLine(QWidget* parent) : QLineEdit(parent) {}

    QWidget* Widget() override { return this; }
    QString Text() const override { return text(); }
    void Replace(const QString& value, int caret) override
    {
        const QSignalBlocker block(this);
        setText(value);
        setCursorPosition(caret);
    }
    int SelectionStart() const override { return hasSelectedText() ? selectionStart() : cursorPosition(); }
    int SelectionEnd() const override { return hasSelectedText() ? selectionEnd() : cursorPosition(); }
    int Caret() const override { return cursorPosition(); }
    void Insert(const QString& value) override { insert(value); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (owner_ != nullptr && owner_->KeyPressed(event))
            return;
        QLineEdit::keyPressEvent(event);
        if (owner_ != nullptr)
            owner_->KeyDefaultHandled(event);
    }
    void keyReleaseEvent(QKeyEvent* event) override
    {
        QLineEdit::keyReleaseEvent(event);
        if (owner_ != nullptr)
            owner_->KeyReleased();
    }
    void focusInEvent(QFocusEvent* event) override
    {
        QLineEdit::focusInEvent(event);
        if (owner_ != nullptr)
            owner_->FocusGained();
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QLineEdit::focusOutEvent(event);
        deselect();
        if (owner_ != nullptr)
            owner_->FocusLost();
    }
    void inputMethodEvent(QInputMethodEvent* event) override
    {
        if (owner_ == nullptr || event->commitString().isEmpty()) {
            QLineEdit::inputMethodEvent(event);
            return;
        }
        QInputMethodEvent preedit(event->preeditString(), event->attributes());
        QLineEdit::inputMethodEvent(&preedit);
        owner_->TypeText(event->commitString());
    }
    void dropEvent(QDropEvent* event) override
    {
        if (owner_ == nullptr || !event->mimeData()->hasText()) {
            event->ignore();
            return;
        }
        setCursorPosition(cursorPositionAt(event->position().toPoint()));
        owner_->TypeText(event->mimeData()->text());
        event->acceptProposedAction();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        // The X11 selection's middle-button paste, through the filter as well.
        if (event->button() == Qt::MiddleButton && owner_ != nullptr) {
            const QString text = QGuiApplication::clipboard()->text(QClipboard::Selection);
            if (!text.isEmpty()) {
                setCursorPosition(cursorPositionAt(event->position().toPoint()));
                owner_->TypeText(text);
            }
            return;
        }
        QLineEdit::mouseReleaseEvent(event);
    }
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (owner_ == nullptr)
            return;
        execContextMenu(createStandardContextMenu(), owner_, event->globalPos());
    }
};

class EditBox final : public QPlainTextEdit, public EditWindow {
public:
    explicit EditBox(QWidget* parent) : QPlainTextEdit(parent)
    {
        setTabChangesFocus(true);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }

    QWidget* Widget() override { return this; }
    QString Text() const override { return toPlainText(); }
    void Replace(const QString& value, int caret) override
    {
        const QSignalBlocker block(this);
        setPlainText(value);
        QTextCursor cursor = textCursor();
        cursor.setPosition(qBound(0, caret, int(value.size())));
        setTextCursor(cursor);
    }
    int SelectionStart() const override { return textCursor().selectionStart(); }
    int SelectionEnd() const override { return textCursor().selectionEnd(); }
    int Caret() const override { return textCursor().position(); }
    void Insert(const QString& value) override { insertPlainText(value); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (owner_ != nullptr && owner_->KeyPressed(event))
            return;
        QPlainTextEdit::keyPressEvent(event);
        if (owner_ != nullptr)
            owner_->KeyDefaultHandled(event);
    }
    void keyReleaseEvent(QKeyEvent* event) override
    {
        QPlainTextEdit::keyReleaseEvent(event);
        if (owner_ != nullptr)
            owner_->KeyReleased();
    }
    void focusInEvent(QFocusEvent* event) override
    {
        QPlainTextEdit::focusInEvent(event);
        if (owner_ != nullptr)
            owner_->FocusGained();
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QPlainTextEdit::focusOutEvent(event);
        QTextCursor cursor = textCursor();
        cursor.clearSelection();
        setTextCursor(cursor);
        if (owner_ != nullptr)
            owner_->FocusLost();
    }
    void inputMethodEvent(QInputMethodEvent* event) override
    {
        if (owner_ == nullptr || event->commitString().isEmpty()) {
            QPlainTextEdit::inputMethodEvent(event);
            return;
        }
        QInputMethodEvent preedit(event->preeditString(), event->attributes());
        QPlainTextEdit::inputMethodEvent(&preedit);
        owner_->TypeText(event->commitString());
    }
    // Paste, drop and the middle button all arrive here.
    void insertFromMimeData(const QMimeData* source) override
    {
        if (owner_ != nullptr && source->hasText())
            owner_->TypeText(source->text());
    }
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (owner_ == nullptr)
            return;
        execContextMenu(createStandardContextMenu(event->pos()), owner_, event->globalPos());
    }
};

}  // namespace

QmEdit::QmEdit(QmStrStream& script, QmWind* parent, quint32 extraStyle) : QmWind(parent)
{
    SetCode(FourCC(script));
    QmRect rect;
    rect.ReadFromScript(script);
    // Decided on the script's height, before the screen scales it.
    const bool multiLine = rect.bottom - rect.top > kMultiLineHeight;
    QString text;
    if (script.previous() != u'\n') {
        SkipLineBlanks(script);
        ReadLineCut(script, text, kInitialTextLimit);
    }
    if (text == u"_")
        text.clear();
    SetFlags(GetDefaultFlags());
    groupStart_ = (extraStyle & kGroupStart) != 0;
    ScreenInfo::Instance().Scale(rect);
    CreateWindow(parent, rect, multiLine, (GetFlags() & kNoClientEdge) == 0);
    SetText(text);
}

QmEdit::QmEdit(const FourCC& code, const QmRect& rect, int id, quint32 flags, QmWind* parent) : QmWind(parent)
{
    SetCode(code);
    SetFlags(flags);
    groupStart_ = (flags & kGroupStart) != 0;
    CreateWindow(parent, rect, false, true);
    SetControlId(id);
}

QmEdit::~QmEdit()
{
    // The widget must report nothing more to an edit that is going.
    if (edit_ != nullptr)
        edit_->SetOwner(nullptr);
    delete widget_.data();
}

void QmEdit::CreateWindow(QmWind* parent, const QmRect& rect, bool multiLine, bool frame)
{
    QWidget* parentWindow = ParentWindowOf(parent);
    multiLine_ = multiLine;
    if (multiLine) {
        auto* box = new EditBox(parentWindow);
        box->setFrameShape(frame ? QFrame::StyledPanel : QFrame::NoFrame);
        edit_ = box;
        widget_ = box;
    } else {
        auto* line = new EditLine(parentWindow);
        line->setFrame(frame);
        edit_ = line;
        widget_ = line;
    }
    edit_->SetOwner(this);
    SetWindow(widget_);
    SetRect(rect);
    SetControlId(1);
    widget_->show();
}

void QmEdit::SetConstraint(Constraint* constraint)
{
    QmWind::SetConstraint(constraint);
    limit_ = constraint != nullptr && constraint->GetMaxLength() > 0 ? constraint->GetMaxLength() : 0;
}

bool QmEdit::KeyPressed(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste)) {
        Paste();
        return true;
    }
    const bool command = (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != 0;
    if (multiLine_ && !command && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        TypeChar(u'\n');
        return true;
    }
    const QString text = event->text();
    if (!command && !text.isEmpty() && text[0].unicode() >= 32 && text[0].unicode() != 127) {
        for (QChar c : text)
            TypeChar(c);
        return true;
    }
    return false;
}

void QmEdit::KeyDefaultHandled(QKeyEvent* event)
{
    // Backspace and the control letters (cut, undo and the rest) are characters too: the
    // widget takes them, then the value event follows.
    const bool controlLetter =
        (event->modifiers() & Qt::ControlModifier) && event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z;
    if (event->key() == Qt::Key_Backspace || controlLetter)
        PerformEvent(AttachEvent::ValueSet);
}

void QmEdit::TypeChar(QChar c)
{
    if (edit_ == nullptr)
        return;
    const Constraint* constraint = GetConstraint();
    if (constraint != nullptr && (constraint->GetFlags() & ConstraintFlag::CharSet) && c.unicode() >= 32 &&
        !constraint->IsCharAllowed(c)) {
        platform::beep(platform::mb::IconHand);
        return;
    }
    // A line break or tab has a place only in a multi-line edit; a CR of a pasted CR LF is
    // dropped there, so each line ends once.
    if (c.unicode() < 32 && !(multiLine_ && (c == u'\n' || c == u'\t')))
        return;
    if (limit_ > 0) {
        const qsizetype kept = edit_->Text().size() - (edit_->SelectionEnd() - edit_->SelectionStart());
        if (kept + 1 > limit_) {
            platform::beep(platform::mb::Ok);
            return;
        }
    }
    edit_->Insert(QString(c));
    PerformEvent(AttachEvent::ValueSet);
}

void QmEdit::TypeText(const QString& text)
{
    for (QChar c : text)
        TypeChar(c);
}

void QmEdit::Paste()
{
    // An empty clipboard types nothing, but the paste is still reported.
    TypeText(QGuiApplication::clipboard()->text());
    PerformEvent(AttachEvent::ValueSet);
    Notify(QmNotify::EditKeyUp, 0);
}

void QmEdit::KeyReleased()
{
    Notify(QmNotify::EditKeyUp, 0);
}

void QmEdit::FocusGained()
{
    if (auto* line = qobject_cast<QLineEdit*>(widget_.data()))
        line->selectAll();
    else if (auto* box = qobject_cast<QPlainTextEdit*>(widget_.data()))
        box->selectAll();
}

void QmEdit::FocusLost()
{
    Notify(QmNotify::EditLostFocus, 0);
}

}  // namespace engine
