#pragma once

#include <QString>

namespace engine {

class QmStrStream;

// The readers that the page script and every class reading its own script line share. They
// fix the script grammar that everything else rests on.

// The space and the control characters 9 to 13 (tab, line feed, vertical tab, form feed,
// carriage return).
inline bool IsScriptBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || (u >= 9 && u <= 13);
}

// Consumes blanks, line ends included.
void SkipScriptBlanks(QmStrStream& stream);
// Consumes blanks but stops at a line feed, for readers that must stay on their own line.
void SkipLineBlanks(QmStrStream& stream);

// The next token: blanks skipped, then characters up to a blank, or, for a token that opens
// with a double quote, up to the closing quote. A line feed ends either kind. The character
// that ended the token has been consumed. Backslash escapes: \" \\ \n \r; any other
// backslash pair is kept as written.
QString ReadScriptToken(QmStrStream& stream);

// Standard getline of at most n - 1 characters, a carriage return before a line-feed
// delimiter dropped. A longer line is cut there and the rest of it skipped, so the stream
// stays usable. False only when nothing is left to read.
bool ReadLineCut(QmStrStream& stream, QString& out, qsizetype n, QChar delimiter = u'\n');

// ReadLineCut, then trailing blanks removed.
bool ReadScriptLine(QmStrStream& stream, QString& out, qsizetype n, QChar delimiter = u'\n');

void TrimTrailingBlanks(QString& text);

// The index of the first of `count` entries that equals `word` exactly (letter case counts),
// or -1.
qint16 FindKeyword(const QStringView* table, int count, QStringView word);

// In place: a backslash, "x" or "X" and two hexadecimal digits become the one character they
// name; everything else, a backslash that starts no such escape included, is copied. The
// text ends at an escape that names character 0, as it always has. `length` (optional)
// receives the result's length.
void UnescapeHex(QString& text, qsizetype* length = nullptr);

// The text as UTF-8 with every byte other than an ASCII letter or digit written as "%XX"
// (upper-case hexadecimal).
QString UrlEncode(QStringView text);

}  // namespace engine
