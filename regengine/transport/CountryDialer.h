#pragma once

#include "regengine/core/LangCode.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace engine {

// One access number of the X.25 network: where it is and what to dial.
struct DialEntry {
    static constexpr qsizetype kCountrySize = 59;
    static constexpr qsizetype kPlaceSize = 59;
    static constexpr qsizetype kNumberSize = 39;
    QString country;
    QString place;
    QString number;
};

// The X.25 network's access numbers by country and place, read from the TEXT resource
// "X25NUMS" + language (full code, two letters, then "EN"): one line per number, country,
// place and number separated by tabs. Without the resource the table is empty.
class CountryDialer {
public:
    static constexpr qsizetype kGrowBy = 100;
    enum Column { Country = 0, Place = 1, Number = 2 };

    // Language "EN", then Load.
    explicit CountryDialer(const QString& module = QStringLiteral("launcher"));
    virtual ~CountryDialer() = default;

    // Empties the table, takes the language and loads its numbers.
    void SetLanguage(const LangCode& language);
    const LangCode& GetLanguage() const { return language_; }
    // Reads the resource of the current language into the table.
    virtual void Load();
    // A resource's text, split at line feeds; empty lines are skipped.
    void LoadText(QByteArrayView text);
    // One line: country, place and number up to their tabs, each cut to its size.
    virtual void ParseLine(QByteArrayView line);
    // The next free record; the table grows kGrowBy records at a time.
    virtual DialEntry* NewEntry();
    // The texts FillCombo lists: the column of each record whose country and place equal the
    // filters (an empty filter takes all), in table order, a text equal to the one before
    // left out.
    QStringList ColumnTexts(Column column, const QString& country = {}, const QString& place = {}) const;

    qsizetype GetCount() const { return entries_.size(); }
    const DialEntry& GetEntry(qsizetype i) const { return entries_.at(i); }

private:
    QList<DialEntry> entries_;
    LangCode language_;
    QString module_;
};

}  // namespace engine
