#include "regengine/transport/CountryDialer.h"

#include "platform/resources/Resources.h"

namespace engine {

namespace {

// Up to the first of `stops`, from `at`; `at` moves to that stop.
QByteArrayView takeUntil(QByteArrayView line, qsizetype& at, QByteArrayView stops)
{
    const qsizetype begin = at;
    while (at < line.size() && !stops.contains(line[at]))
        ++at;
    return line.sliced(begin, at - begin);
}

void skipBlanks(QByteArrayView line, qsizetype& at)
{
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r' || line[at] == '\n'))
        ++at;
}

QString cut(QByteArrayView bytes, qsizetype size)
{
    return QString::fromUtf8(bytes).left(size);
}

}  // namespace

CountryDialer::CountryDialer(const QString& module) : language_("EN"), module_(module)
{
    Load();
}

void CountryDialer::SetLanguage(const LangCode& language)
{
    entries_.clear();
    language_ = language;
    Load();
}

void CountryDialer::Load()
{
    const auto text = platform::findLocalizedResource(module_, QStringLiteral("TEXT"), QStringLiteral("X25NUMS"),
                                                      language_.GetString());
    if (text)
        LoadText(*text);
}

// The whole resource is read: its last byte is a number's last digit as often as not.
void CountryDialer::LoadText(QByteArrayView text)
{
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.sliced(at, end - at);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            ParseLine(line);
        at = end + 1;
    }
}

// Country up to a tab; blanks and tabs before the place and the number are skipped; the
// number ends at a tab or a line end. What is missing stays empty.
void CountryDialer::ParseLine(QByteArrayView line)
{
    DialEntry* entry = NewEntry();
    if (entry == nullptr)
        return;
    qsizetype at = 0;
    const QByteArrayView country = takeUntil(line, at, "\t");
    if (country.isEmpty())
        return;
    entry->country = cut(country, DialEntry::kCountrySize);
    skipBlanks(line, at);
    const QByteArrayView place = takeUntil(line, at, "\t");
    if (place.isEmpty())
        return;
    entry->place = cut(place, DialEntry::kPlaceSize);
    skipBlanks(line, at);
    entry->number = cut(takeUntil(line, at, "\t\r\n"), DialEntry::kNumberSize);
}

DialEntry* CountryDialer::NewEntry()
{
    if (entries_.size() == entries_.capacity())
        entries_.reserve(entries_.size() + kGrowBy);
    entries_.append(DialEntry());
    return &entries_.last();
}

QStringList CountryDialer::ColumnTexts(Column column, const QString& country, const QString& place) const
{
    QStringList out;
    QString last;
    bool any = false;
    for (const DialEntry& e : entries_) {
        if (!country.isEmpty() && e.country != country)
            continue;
        if (!place.isEmpty() && e.place != place)
            continue;
        const QString& text = column == Country ? e.country : column == Place ? e.place : e.number;
        if (any && text == last)
            continue;
        out << text;
        last = text;
        any = true;
    }
    return out;
}

}  // namespace engine
