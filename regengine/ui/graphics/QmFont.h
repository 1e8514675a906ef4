#pragma once

#include <QFont>
#include <QString>

#include <optional>

namespace engine {

// A named font of the page script with the two alignment letters and the text colour that
// elements take from it. A default font has no name, no letters, colour 0, 0, 0 and no
// typeface, so an element given it keeps the font it has.
class QmFont {
public:
    QmFont() = default;

    const QString& GetName() const { return name_; }
    void SetName(const QString& name) { name_ = name; }

    // The typeface, once one was made for the font.
    bool HasFont() const { return font_.has_value(); }
    const QFont& GetFont() const;
    void SetFont(const QFont& font) { font_ = font; }

    // The letters as the script wrote them; 0 for none.
    QChar GetFirstLetter() const { return first_; }
    QChar GetSecondLetter() const { return second_; }
    void SetLetters(QChar first, QChar second);

    qint16 GetRed() const { return red_; }
    qint16 GetGreen() const { return green_; }
    qint16 GetBlue() const { return blue_; }
    void SetColor(qint16 red, qint16 green, qint16 blue);

private:
    QString name_;
    std::optional<QFont> font_;
    QChar first_;
    QChar second_;
    qint16 red_ = 0;
    qint16 green_ = 0;
    qint16 blue_ = 0;
};

}  // namespace engine
