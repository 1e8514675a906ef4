#include "client/RecordMap.h"

QString GetField(const RecordMap& map, const QString& key)
{
    const auto it = map.constFind(key);
    return it == map.constEnd() ? QString() : it.value();
}

void SetField(RecordMap& map, const QString& key, const QString& value)
{
    map.insert(key, value);
}

QStringList SplitString(const QString& text, const QString& separator)
{
    QStringList pieces;
    if (text.isEmpty() || separator.isEmpty())
        return pieces;
    qsizetype start = 0;
    qsizetype p = 0;
    do {
        p = text.indexOf(separator, start);
        if (p < 0)
            p = text.size();
        pieces << text.mid(start, p - start);
        start = p + separator.size();
    } while (p < text.size());
    return pieces;
}
