#include "regengine/ui/controls/QmMaskEdit.h"

#include "regengine/core/Constraint.h"
#include "regengine/core/KeyFilter.h"

#include <QKeyEvent>

namespace engine {

namespace {

// Keys that only move the caret, select or copy: the widget handles them as it would.
bool movesOrCopies(QKeyEvent* event)
{
    static const QKeySequence::StandardKey kKeys[] = {
        QKeySequence::MoveToNextChar,        QKeySequence::MoveToPreviousChar,  QKeySequence::MoveToNextWord,
        QKeySequence::MoveToPreviousWord,    QKeySequence::MoveToStartOfLine,   QKeySequence::MoveToEndOfLine,
        QKeySequence::MoveToStartOfDocument, QKeySequence::MoveToEndOfDocument, QKeySequence::SelectNextChar,
        QKeySequence::SelectPreviousChar,    QKeySequence::SelectNextWord,      QKeySequence::SelectPreviousWord,
        QKeySequence::SelectStartOfLine,     QKeySequence::SelectEndOfLine,     QKeySequence::SelectStartOfDocument,
        QKeySequence::SelectEndOfDocument,   QKeySequence::SelectAll,           QKeySequence::Copy,
    };
    for (QKeySequence::StandardKey key : kKeys) {
        if (event->matches(key))
            return true;
    }
    return event->key() == Qt::Key_Home || event->key() == Qt::Key_End;
}

}  // namespace

QmMaskEdit::QmMaskEdit(QmStrStream& script, QmWind* parent, quint32 extraStyle) : QmEdit(script, parent, extraStyle) {}

QmMaskEdit::~QmMaskEdit() = default;

void QmMaskEdit::SetConstraint(Constraint* constraint)
{
    const auto* mask = dynamic_cast<const MaskConstraint*>(constraint);
    if (mask == nullptr)
        return;
    filter_ = std::make_unique<KeyFilter>(mask->Mask(), mask->Picture());
    QmEdit::SetConstraint(constraint);
}

void QmMaskEdit::SetTextNotify(const QString& text)
{
    QString shown = text;
    if (filter_) {
        if (shown.size() > filter_->ItemCount())
            shown.truncate(filter_->ItemCount());
        if (shown.isEmpty())
            shown = filter_->Picture();
    }
    QmEdit::SetTextNotify(shown);
}

QString QmMaskEdit::GetValue() const
{
    const QString value = QmEdit::GetValue();
    const Constraint* constraint = GetConstraint();
    if (filter_ && constraint != nullptr && (constraint->GetFlags() & ConstraintFlag::PictureIsEmpty) &&
        value == filter_->Picture())
        return {};
    return value;
}

bool QmMaskEdit::KeyPressed(QKeyEvent* event)
{
    // Escape is the window's Cancel and Enter the page's default button, with a mask or
    // without; ignored here, they go on up to them.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return true;
    }
    EditWindow* edit = Edit();
    if (!filter_ || edit == nullptr)
        return true;
    if (event->matches(QKeySequence::Paste)) {
        Paste();
        return true;
    }
    if (movesOrCopies(event))
        return false;
    KeyFilter::Edit state{edit->Text(), edit->SelectionStart(), edit->SelectionEnd(), edit->Caret()};
    const bool command = (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != 0;
    if (event->key() == Qt::Key_Backspace) {
        filter_->Backspace(state);
    } else if (event->key() == Qt::Key_Delete) {
        filter_->Delete(state);
    } else if (!command && !event->text().isEmpty() && event->text()[0].unicode() >= 32) {
        for (QChar c : event->text())
            TypeChar(c);
        return true;
    } else {
        // Undo, cut and the rest would edit the text past the filter.
        return true;
    }
    edit->Replace(state.text, state.caret);
    return true;
}

void QmMaskEdit::TypeChar(QChar c)
{
    EditWindow* edit = Edit();
    if (!filter_ || edit == nullptr)
        return;
    KeyFilter::Edit state{edit->Text(), edit->SelectionStart(), edit->SelectionEnd(), edit->Caret()};
    filter_->Type(state, c);
    edit->Replace(state.text, state.caret);
}

}  // namespace engine
