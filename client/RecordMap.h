#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// A record of the message client: field name to text. Keys compare ordinally (case
// matters) and iterate in that order, which is QMap's order for QString keys.
using RecordMap = QMap<QString, QString>;

// The value under `key`, or the empty text; never inserts.
QString GetField(const RecordMap& map, const QString& key);
void SetField(RecordMap& map, const QString& key, const QString& value);

// Splits `text` at every `separator`; empty pieces are kept, an empty text gives none.
QStringList SplitString(const QString& text, const QString& separator);
