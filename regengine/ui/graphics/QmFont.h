#pragma once

#include "regengine/core/QmList.h"

#include <QFont>
#include <QString>

#include <memory>
#include <optional>

namespace engine {

class QmStrStream;

// A named font of the page script with the two alignment letters and the text colour that
// elements take from it. A default font has no name, no letters, colour 0, 0, 0 and no
// typeface, so an element given it keeps the font it has.
class QmFont {
public:
    QmFont() = default;
    // The rest of a FONT line: name, face ("_" for a blank), size in points and the letters.
    // The face resolves through the desktop's font configuration, so the common Windows
    // faces find their metric twins. Colour and weight are the current ones.
    explicit QmFont(QmStrStream& script);

    const QString& GetName() const { return name_; }
    void SetName(const QString& name) { name_ = name; }

    // The typeface, once one was made for the font.
    bool HasFont() const { return font_.has_value(); }
    const QFont& GetFont() const;
    void SetFont(const QFont& font) { font_ = font; }
    // The size the font was made with, in tenths of a point; 0 without a typeface.
    int GetPointSizeTenths() const { return tenths_; }

    // The letters as the script wrote them; 0 for none.
    QChar GetFirstLetter() const { return first_; }
    QChar GetSecondLetter() const { return second_; }
    void SetLetters(QChar first, QChar second);

    qint16 GetRed() const { return red_; }
    qint16 GetGreen() const { return green_; }
    qint16 GetBlue() const { return blue_; }
    void SetColor(qint16 red, qint16 green, qint16 blue);

    // The script's point size in tenths: with the screen's scaling on it grows with the
    // dots per inch; off, it keeps the pixel height it has at 96 dots per inch. A screen
    // that reports no resolution counts as 96.
    static int ScriptSizeTenths(int points, bool scaling, int dpiY);
    // The pixel height of a point font of `tenths` on a screen of `dpiY`.
    static int PixelHeight(int tenths, int dpiY);

private:
    QString name_;
    std::optional<QFont> font_;
    int tenths_ = 0;
    QChar first_;
    QChar second_;
    qint16 red_ = 0;
    qint16 green_ = 0;
    qint16 blue_ = 0;
};

// The script's fonts in order of declaration; it owns them. One instance lives as long as
// the program.
class QmFontMgr : public QmList<std::unique_ptr<QmFont>> {
public:
    static QmFontMgr& Instance();

    // FONT: a font from the rest of the line, kept in the list.
    QmFont* AddFromScript(QmStrStream& script);
    // USEFONT: the first font of exactly that name (letter case counts), or null.
    QmFont* FindFont(const QString& name) const;
};

// The colour (SETFONTCOLOR) and weight (SETFONTWEIGHT, 0 for the face's own) that fonts
// declared afterwards take; fonts made earlier keep theirs.
void SetFontColor(qint16 red, qint16 green, qint16 blue);
void SetFontWeight(int weight);
int CurrentFontWeight();

}  // namespace engine
