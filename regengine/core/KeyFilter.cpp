#include "regengine/core/KeyFilter.h"

namespace engine {

bool KeyFilter::MaskItem::Matches(QChar c) const
{
    switch (kind.unicode()) {
    case u'&': return c.isLetterOrNumber();
    case u'A': return c.isLetter();
    case u'D': return c == u'-';
    case u'N': return c.isDigit();
    case u'S': return set.contains(c);
    case u' ': return c == u' ';
    default: return false;
    }
}

KeyFilter::KeyFilter(const QString& mask, const QString& picture) : picture_(picture)
{
    for (qsizetype i = 0; i < mask.size() && int(items_.size()) < kMaxItems; ++i) {
        MaskItem item;
        switch (mask[i].unicode()) {
        case u'&':
        case u'A':
        case u' ': item.kind = mask[i]; break;
        case u'-': item.kind = u'D'; break;
        case u'0': item.kind = u'N'; break;
        case u'{': {
            item.kind = u'S';
            const qsizetype close = mask.indexOf(u'}', i + 1);
            const qsizetype end = close < 0 ? mask.size() : close;
            item.set = mask.mid(i + 1, end - i - 1);
            i = end;
            break;
        }
        default: item.kind = u'X'; break;
        }
        items_.push_back(item);
    }
}

const KeyFilter::MaskItem& KeyFilter::Item(int i) const
{
    static const MaskItem none;
    return i >= 0 && i < ItemCount() ? items_[size_t(i)] : none;
}

QChar KeyFilter::PictureAt(int i) const
{
    return i >= 0 && i < picture_.size() ? picture_[i] : QChar(u' ');
}

bool KeyFilter::IsAllowed(const QString& text) const
{
    const qsizetype n = qMin(qsizetype(ItemCount()), text.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (!items_[size_t(i)].Matches(text[i]))
            return false;
    }
    return true;
}

bool KeyFilter::FilterKey(QString& text, int position, int count, int& caret) const
{
    // Beyond the text there is no typed character to look at.
    if (position < 0 || position >= text.size())
        return false;
    const QChar c = text[position];
    const MaskItem& here = Item(position);
    const bool nextTakes = Item(position + 1).Matches(c);
    if (nextTakes && (here.kind == u'D' || here.kind == u' ')) {
        const QChar literal = here.kind == u'D' ? QChar(u'-') : QChar(u' ');
        text = text.left(position) + literal + c + text.mid(position + 2);
        caret += 2;
    } else if (here.Matches(c)) {
        caret += 1;
    } else {
        return false;
    }
    caret = qMax(0, qMin(caret, count - 1));
    return true;
}

void KeyFilter::Pad(QString& text) const
{
    for (int i = int(text.size()); i < ItemCount(); ++i)
        text += PictureAt(i);
}

QString KeyFilter::Normalized(const QString& text) const
{
    QString out = text.isEmpty() ? picture_ : text;
    if (out.size() > ItemCount())
        out.truncate(ItemCount());
    Pad(out);
    return out;
}

void KeyFilter::Type(Edit& edit, QChar c) const
{
    const int count = ItemCount();
    if (count == 0)
        return;
    edit.text = Normalized(edit.text);
    const int at = qBound(0, edit.selStart, count - 1);
    QString typed = edit.text;
    typed[at] = c;
    int caret = at;
    if (FilterKey(typed, at, count, caret)) {
        edit.text = typed;
        edit.caret = caret;
        edit.selStart = edit.selEnd = caret;
    }
    Pad(edit.text);
}

void KeyFilter::RestorePicture(Edit& edit, int from, int to) const
{
    edit.text = Normalized(edit.text);
    from = qBound(0, from, int(edit.text.size()));
    to = qBound(from, to, int(edit.text.size()));
    for (int i = from; i < to; ++i)
        edit.text[i] = PictureAt(i);
}

// Backspace puts the picture back over the character before the caret and the caret lands
// on it, as Backspace does in any edit. Restoring the character at the caret and only then
// stepping back would leave every other character in place on repeated presses. A
// selection is restored whole.
void KeyFilter::Backspace(Edit& edit) const
{
    int start = qMin(edit.selStart, edit.selEnd);
    int end = qMax(edit.selStart, edit.selEnd);
    if (end == start) {
        // Nothing before the caret: nothing to take back.
        if (edit.caret <= 0) {
            edit.caret = 0;
            edit.selStart = edit.selEnd = 0;
            return;
        }
        start = edit.caret - 1;
        end = edit.caret;
    }
    RestorePicture(edit, start, end);
    edit.caret = qBound(0, start, qMax(0, int(edit.text.size())));
    edit.selStart = edit.selEnd = edit.caret;
}

void KeyFilter::Delete(Edit& edit) const
{
    const int start = qMin(edit.selStart, edit.selEnd);
    const int end = qMax(qMax(edit.selStart, edit.selEnd), start + 1);
    RestorePicture(edit, start, end);
    edit.caret = qBound(0, start, qMax(0, int(edit.text.size())));
    edit.selStart = edit.selEnd = edit.caret;
}

}  // namespace engine
