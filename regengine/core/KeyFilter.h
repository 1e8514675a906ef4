#pragma once

#include <QString>

#include <vector>

namespace engine {

// The key filter of a masked field. Each mask character makes one position: "&" a letter
// or digit, "A" a letter, "-" the dash, "0" a digit, " " a blank, "{...}" one of the braced
// characters, anything else a position that accepts nothing. The picture is what an empty
// field shows: the mask's literal characters with blanks where input goes.
class KeyFilter {
public:
    static constexpr int kMaxItems = 50;

    struct MaskItem {
        // "&", "A", "D", "N", "S", " " or "X".
        QChar kind = u'X';
        QString set;
        bool Matches(QChar c) const;
    };

    KeyFilter(const QString& mask, const QString& picture);

    // Every character at a position the mask has matches it; characters beyond the mask
    // are not tested.
    bool IsAllowed(const QString& text) const;
    // Called once the typed character stands at `position` of `text`. A character typed on
    // a dash or blank position that belongs to the next position moves there, the literal
    // put back; `caret` (the typed position on entry) ends after it, at most count - 1.
    // False, nothing changed, when the character fits neither position.
    bool FilterKey(QString& text, int position, int count, int& caret) const;

    int ItemCount() const { return int(items_.size()); }
    // The position's item; one of kind "X" past the mask.
    const MaskItem& Item(int i) const;
    const QString& Picture() const { return picture_; }
    // The picture's character at `i`, a blank past its end.
    QChar PictureAt(int i) const;

    // The masked edit's text and selection while a key is handled.
    struct Edit {
        QString text;
        int selStart = 0;
        int selEnd = 0;
        int caret = 0;
    };
    // An empty text shows the picture; a longer text is cut to the mask and a shorter one
    // padded from the picture.
    QString Normalized(const QString& text) const;
    // A typed character replaces the one at the selection start when the filter takes it.
    void Type(Edit& edit, QChar c) const;
    // Backspace: a selection goes back to the picture and the caret to its start; without
    // one, the character before the caret does, and the caret steps back to it.
    void Backspace(Edit& edit) const;
    // Delete: the selection, or the character at the caret, goes back to the picture; the
    // caret stays at the selection start.
    void Delete(Edit& edit) const;

private:
    // The text padded to the mask's length from the picture.
    void Pad(QString& text) const;
    void RestorePicture(Edit& edit, int from, int to) const;

    std::vector<MaskItem> items_;
    QString picture_;
};

}  // namespace engine
