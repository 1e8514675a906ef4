#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// xmlrpc-epi's value handle, as <xmlrpc.h> declares it; spelled here so that the record
// headers do not pull in the library's headers.
typedef struct _xmlrpc_value* XMLRPC_VALUE;

namespace client {

// A record of the message client: field name to text. Keys compare ordinally (case
// matters) and iterate in that order, which is QMap's order for QString keys.
using RecordMap = QMap<QString, QString>;

// The value under `key`, or the empty text; never inserts.
QString GetField(const RecordMap& map, const QString& key);
void SetField(RecordMap& map, const QString& key, const QString& value);

// Splits `text` at every `separator`; empty pieces are kept, an empty text gives none.
QStringList SplitString(const QString& text, const QString& separator);

// A new XML-RPC struct with one string member per entry, in the map's order, names and
// values in UTF-8. The caller owns it: hand it to a vector or request (which takes it
// over) or release it with XMLRPC_CleanupValue.
XMLRPC_VALUE MapToXmlRpcStruct(const RecordMap& map);

// The text of a scalar the service sent: a string as decoded UTF-8, an integer as decimal
// text. False for every other type (and a null value), which callers skip.
bool XmlRpcValueText(XMLRPC_VALUE value, QString* text);

// The member name of a struct member, as decoded UTF-8 (empty when it has none).
QString XmlRpcValueName(XMLRPC_VALUE value);

// Date texts: "YYYY-MM-DD", optionally followed by "THH:MM:SS", local time.
// The time value (seconds since 1970) of a date text; -1 when the text is not one, names a
// date or time that does not exist (month 13, 30 February, hour 24) or a year before 1900,
// or names the one second whose time value is -1, which means "no time".
qint64 ParseIsoDateTime(const QString& text);

// The user's short date for a date text; the text itself when it does not parse.
QString FormatDisplayDate(const QString& text);

// Today's local date as "YYYY-MM-DD".
QString TodayDateText();

// The local calendar date of a stored time value as "YYYY-MM-DD"; "0000-00-00" for -1 (no
// time) and for a time whose local date is before 1900 or after 9999.
QString DateTextFromTime(qint64 time);

// Seconds since 1970, now.
qint64 CurrentTime();

}  // namespace client
