#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace engine {

class Field;
class FieldList;

// The form's bar codes: the record as "code:value<TAB>" per printable field, in UTF-8,
// cut into symbols of 10 data columns and 89 rows.
inline constexpr int kFormSymbolColumns = 10;
inline constexpr int kFormSymbolRows = 89;
inline constexpr qsizetype kFormChunkBytes = 910;
inline constexpr qsizetype kFormTextCapBytes = 5579;

// Private and internal fields (codes that begin with ";", "_" or a lower-case letter) are
// left out of the printed form.
bool IsPrintableField(const Field& field);
// The code as "%4.4s" shows it: up to its first 0 byte.
QString PrintableCode(const Field& field);

// The bar codes' text of every printable field.
QByteArray BuildRegistrationText(const FieldList& fields);

// The longest start of `utf8` of at most `limit` bytes that ends on a character boundary,
// so no character is cut in two between symbols or at the cap.
qsizetype Utf8PrefixLength(const QByteArray& utf8, qsizetype start, qsizetype limit);

// `text` cut into chunks of at most `chunkBytes`, each ending on a character boundary.
QList<QByteArray> SplitUtf8Chunks(const QByteArray& text, qsizetype chunkBytes);

}  // namespace engine
