#pragma once

#include "regengine/core/FourCC.h"
#include "regengine/core/QmList.h"
#include "regengine/core/QmStringTable.h"

#include <QString>

#include <memory>

namespace engine {

class QmStrStream;

// The string tables declared by the page script, in order of declaration. One global
// instance owns them all.
class StringTableMgr : public QmList<std::unique_ptr<QmStringTable>> {
public:
    static StringTableMgr& Instance();

    // The first table declared with this tag and language, or null.
    QmStringTable* FindTable(const FourCC& tag, const FourCC& language) const;
    // Takes the table over and returns it.
    QmStringTable* AddTable(std::unique_ptr<QmStringTable> table);
};

// The language of every numbered lookup: "ENGL", never changed.
FourCC TableLanguage();

// The text numbered n in the table of that tag and language, else `fallback`. The result is
// a text, never a format: callers that fill in values use platform::formatText on it.
QString GetTableStringLang(const QString& fallback, qint32 n, const FourCC& tag, const FourCC& language);
// The same in the table language.
QString GetTableString(const QString& fallback, qint32 n, const FourCC& tag);

// `out` becomes the n-th entry (1-based, in order of appearance) of the "ENGL" table with
// that tag; when there is none, `out` stays as it was.
void ResolveStringRef(QString& out, const FourCC& tag, qint32 n);
// A text longer than six characters that begins with "=" and has ":" at index 5 is a table
// reference, "=CAPT:1": tag from characters 1-4, n from the digits at index 6 (none gives 0).
// A reference goes through ResolveStringRef; any other text becomes `out`.
void ResolveStringRefText(QString& out, const QString& text);
// A new text: the entry, or empty.
QString MakeStringFromTable(const FourCC& tag, qint32 n);
// A new text: the text itself, or what its reference resolves to (empty when it does not).
QString MakeStringResolved(const QString& text);
// A caption: the rest of the current line (at most 1023 characters, blanks before it
// skipped, trailing blanks cut), "\x" escapes decoded, then resolved like MakeStringResolved.
QString ReadStringFromScript(QmStrStream& stream);

// Line n (from 1) of string resource `id` of the program's resources; a line past the last
// gives the last. A missing resource shows "GetCStringInd is missing resources" and gives an
// empty text.
QString GetCStringInd(int id, int n, const QString& module = QStringLiteral("launcher"));

}  // namespace engine
