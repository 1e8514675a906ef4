#include "regengine/core/ScriptReading.h"

#include "regengine/core/QmStrStream.h"

namespace engine {

void SkipScriptBlanks(QmStrStream& stream)
{
    QChar skipped;
    for (int c; (c = stream.peek()) >= 0 && IsScriptBlank(QChar(char16_t(c)));)
        stream.get(skipped);
}

void SkipLineBlanks(QmStrStream& stream)
{
    QChar skipped;
    for (int c; (c = stream.peek()) >= 0 && c != u'\n' && IsScriptBlank(QChar(char16_t(c)));)
        stream.get(skipped);
}

QString ReadScriptToken(QmStrStream& stream)
{
    QString token;
    SkipScriptBlanks(stream);
    QChar c;
    if (!stream.get(c))
        return token;
    const bool quoted = c == u'"';
    // At the end of the text a token simply ends: peeking first sets end-of-text without
    // failing the stream, so the token just read still counts.
    auto next = [&stream](QChar& ch) { return stream.peek() >= 0 && stream.get(ch); };
    if (quoted && !next(c))
        return token;
    for (;;) {
        if (c == u'\n' || (quoted ? c == u'"' : IsScriptBlank(c)))
            break;
        if (c == u'\\') {
            QChar d;
            if (!next(d))
                break;
            switch (d.unicode()) {
            case u'"': token += u'"'; break;
            case u'\\': token += u'\\'; break;
            case u'n': token += u'\n'; break;
            case u'r': token += u'\r'; break;
            default:
                token += u'\\';
                token += d;
                break;
            }
        } else {
            token += c;
        }
        if (!next(c))
            break;
    }
    return token;
}

bool ReadLineCut(QmStrStream& stream, QString& out, qsizetype n, QChar delimiter)
{
    if (stream.getline(out, n, delimiter))
        return true;
    // Either the line filled the buffer before its delimiter, or nothing was read (the end
    // of the text, or a stream an earlier reader left failed). What fits is kept and the
    // rest of the line skipped, rather than the stream left failed, which would end every
    // reader after this one.
    const bool filled = !out.isEmpty();
    if (!stream.eof()) {
        stream.clear();
        stream.ignore(-1, delimiter);
    }
    return filled;
}

bool ReadScriptLine(QmStrStream& stream, QString& out, qsizetype n, QChar delimiter)
{
    if (!ReadLineCut(stream, out, n, delimiter)) {
        out.clear();
        return false;
    }
    TrimTrailingBlanks(out);
    return true;
}

void TrimTrailingBlanks(QString& text)
{
    qsizetype n = text.size();
    while (n > 0 && IsScriptBlank(text[n - 1]))
        --n;
    text.truncate(n);
}

qint16 FindKeyword(const QStringView* table, int count, QStringView word)
{
    for (int i = 0; table != nullptr && i < count; ++i) {
        if (table[i] == word)
            return static_cast<qint16>(i);
    }
    return -1;
}

namespace {

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

}  // namespace

void UnescapeHex(QString& text, qsizetype* length)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 3 < n && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
            const int hi = hexValue(text[i + 2]);
            const int lo = hexValue(text[i + 3]);
            if (hi >= 0 && lo >= 0) {
                const int value = hi * 16 + lo;
                if (value == 0)
                    break;
                out += QChar(char16_t(value));
                i += 3;
                continue;
            }
        }
        out += c;
    }
    text = out;
    if (length != nullptr)
        *length = text.size();
}

QString UrlEncode(QStringView text)
{
    static const char kHex[] = "0123456789ABCDEF";
    QString out;
    for (const char byte : text.toUtf8()) {
        const auto b = static_cast<unsigned char>(byte);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) {
            out += QChar(char16_t(b));
        } else {
            out += u'%';
            out += QChar(char16_t(kHex[b >> 4]));
            out += QChar(char16_t(kHex[b & 15]));
        }
    }
    return out;
}

}  // namespace engine
