// The hive's text: REGEDIT4 sections and typed values, read strictly and written so that
// they read back as they were.
#include "platform/registry/Hive.h"

#include "platform/registry/KeyNames.h"
#include "platform/text/Ascii.h"

#include <QStringDecoder>

namespace platform {

using regkeys::keyPathProblem;
using regkeys::normalizePath;
using regkeys::rootName;
using regkeys::storableName;

namespace {

quint64 readLittleEndian(const QByteArray& bytes)
{
    quint64 v = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        v |= quint64(quint8(bytes[i])) << (8 * i);
    return v;
}

QString fromUtf16le(const QByteArray& bytes)
{
    QString s;
    s.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        s.append(QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8))));
    return s;
}

// ---- Serialising ----

void appendQuoted(QByteArray& out, const QString& s)
{
    // Escape first, encode once: a character outside the BMP is two QChars.
    QString escaped;
    escaped.reserve(s.size() + 2);
    for (QChar c : s) {
        if (c == u'\\' || c == u'"')
            escaped.append(u'\\');
        escaped.append(c);
    }
    out.append('"').append(escaped.toUtf8()).append('"');
}

void appendHex(QByteArray& out, const QByteArray& bytes)
{
    static const char digits[] = "0123456789abcdef";
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            out.append(',');
        out.append(digits[quint8(bytes[i]) >> 4]);
        out.append(digits[quint8(bytes[i]) & 0xf]);
    }
}

void appendData(QByteArray& out, const RegValue& v)
{
    switch (v.type) {
    case RegType::String:
        // A text the quoted form cannot carry goes as REG_SZ bytes, which read back exactly.
        if (storableName(v.text)) {
            appendQuoted(out, v.text);
        } else {
            out.append("hex(1):");
            appendHex(out, v.rawBytes());
        }
        return;
    case RegType::ExpandString: out.append("hex(2):"); break;
    case RegType::DWord:
        out.append("dword:");
        out.append(QByteArray::number(quint32(v.number), 16).rightJustified(8, '0'));
        return;
    case RegType::QWord: out.append("hex(b):"); break;
    case RegType::MultiString: out.append("hex(7):"); break;
    case RegType::Binary: out.append("hex:"); break;
    }
    appendHex(out, v.rawBytes());
}

// ---- Parsing ----

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool allBlank(QStringView s)
{
    for (QChar c : s)
        if (!isBlank(c))
            return false;
    return true;
}

QString snippet(QStringView s)
{
    const QString t = s.trimmed().toString();
    return t.size() > 40 ? t.left(40) + QStringLiteral("...") : t;
}

// Reads a quoted name or text starting at s[pos] == '"'; leaves pos after the closing quote.
std::optional<QString> readQuoted(QStringView s, qsizetype& pos, QString* what)
{
    QString out;
    for (++pos; pos < s.size(); ++pos) {
        const QChar c = s[pos];
        if (c == u'"') {
            ++pos;
            return out;
        }
        if (c == u'\\') {
            if (pos + 1 >= s.size() || (s[pos + 1] != u'\\' && s[pos + 1] != u'"')) {
                *what = QStringLiteral("unknown escape in a quoted text (only \\\\ and \\\" are allowed)");
                return std::nullopt;
            }
            ++pos;
        }
        out.append(s[pos]);
    }
    *what = QStringLiteral("quoted text has no closing '\"'");
    return std::nullopt;
}

std::optional<QByteArray> readHexBytes(QStringView s, QString* what)
{
    QByteArray out;
    if (allBlank(s))
        return out;
    for (QStringView part : s.split(u',')) {
        const QStringView t = part.trimmed();
        if (t.size() != 2 || !isHexDigit(t[0]) || !isHexDigit(t[1])) {
            *what = QStringLiteral("bad hex byte '%1'").arg(snippet(t));
            return std::nullopt;
        }
        out.append(char(t.toUInt(nullptr, 16)));
    }
    return out;
}

// The inverse of rawBytes() for the hex(N) types the layer stores.
std::optional<RegValue> valueFromBytes(uint type, const QByteArray& bytes, QString* what)
{
    RegValue v;
    switch (type) {
    case 0x1:
    case 0x2:
    case 0x7: {
        if (bytes.size() % 2 != 0) {
            *what = QStringLiteral("odd number of bytes in UTF-16 text");
            return std::nullopt;
        }
        QString chars = fromUtf16le(bytes);
        if (type == 0x7) {
            // "a\0b\0\0": drop the list's terminator, then each string's own one.
            v.type = RegType::MultiString;
            if (chars.endsWith(QChar(0)))
                chars.chop(1);
            if (!chars.isEmpty()) {
                v.strings = chars.split(QChar(0));
                if (chars.endsWith(QChar(0)))
                    v.strings.removeLast();
            }
            return v;
        }
        if (chars.endsWith(QChar(0)))
            chars.chop(1);
        v.type = type == 0x1 ? RegType::String : RegType::ExpandString;
        v.text = chars;
        return v;
    }
    case 0x3: return RegValue::fromBinary(bytes);
    case 0x4:
    case 0xb: {
        const int size = type == 0x4 ? 4 : 8;
        if (bytes.size() != size) {
            *what = QStringLiteral("a %1 needs %2 bytes, found %3")
                        .arg(type == 0x4 ? QStringLiteral("dword") : QStringLiteral("qword"))
                        .arg(size)
                        .arg(bytes.size());
            return std::nullopt;
        }
        v.type = type == 0x4 ? RegType::DWord : RegType::QWord;
        v.number = readLittleEndian(bytes);
        return v;
    }
    default: *what = QStringLiteral("unsupported value type hex(%1)").arg(type, 0, 16); return std::nullopt;
    }
}

// Strict UTF-8: a replacement character written back would silently change the data.
std::optional<QString> decodeLine(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return s;
}

}  // namespace

QByteArray Hive::serialize() const
{
    const QByteArray rootText = rootName(root_).toUtf8();
    QByteArray out = "REGEDIT4\n\n";
    for (const Key& k : keys_) {
        // The root's section only carries values; its existence goes without saying.
        if (k.path.isEmpty() && k.values.isEmpty())
            continue;
        out.append('[').append(rootText);
        if (!k.path.isEmpty())
            out.append('\\').append(k.path.toUtf8());
        out.append("]\n");
        for (const auto& [name, v] : k.values) {
            if (name.isEmpty())
                out.append('@');
            else
                appendQuoted(out, name);
            out.append('=');
            appendData(out, v);
            out.append('\n');
        }
        out.append('\n');
    }
    return out;
}

std::optional<Hive> Hive::parse(RootKey root, const QByteArray& text, QString* error)
{
    Hive hive(root);
    qsizetype lineNo = 0;
    QString what;
    auto fail = [&]() -> std::optional<Hive> {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(lineNo).arg(what);
        return std::nullopt;
    };

    QByteArray data = text;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    // A zero-length file holds nothing to lose; treat it like a missing one.
    if (data.isEmpty())
        return hive;

    QList<QByteArray> lines = data.split('\n');
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    auto lineAt = [&](qsizetype i) -> std::optional<QString> {
        lineNo = i + 1;
        std::optional<QString> s = decodeLine(lines[i]);
        if (!s)
            what = QStringLiteral("not valid UTF-8");
        return s;
    };

    std::optional<QString> header = lineAt(0);
    if (!header)
        return fail();
    if (header->trimmed() != u"REGEDIT4") {
        what = QStringLiteral("the file does not start with REGEDIT4");
        return fail();
    }

    const QString rootText = rootName(root);
    std::optional<QString> section;  // normalised path of the current section
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const std::optional<QString> decoded = lineAt(i);
        if (!decoded)
            return fail();
        QStringView line(*decoded);
        while (!line.isEmpty() && isBlank(line.front()))
            line = line.mid(1);
        if (line.isEmpty())
            continue;

        if (line.front() == u'[') {
            const qsizetype close = line.lastIndexOf(u']');
            if (close < 0) {
                what = QStringLiteral("section header has no closing ']'");
                return fail();
            }
            if (!allBlank(line.mid(close + 1))) {
                what = QStringLiteral("text after the section header");
                return fail();
            }
            const QStringView inner = line.mid(1, close - 1);
            const qsizetype slash = inner.indexOf(u'\\');
            const QStringView rootPart = slash < 0 ? inner : inner.left(slash);
            if (!asciiEqualsIgnoreCase(rootPart.toString(), rootText)) {
                what = QStringLiteral("section [%1] is not under %2").arg(snippet(inner), rootText);
                return fail();
            }
            const QString path = slash < 0 ? QString() : normalizePath(inner.mid(slash + 1).toString());
            if (!storableName(path)) {
                what = QStringLiteral("bad key name");
                return fail();
            }
            // Checked before the keys are made: each level of a path is a key of its own.
            what = keyPathProblem(path);
            if (!what.isEmpty())
                return fail();
            if (!path.isEmpty())
                hive.ensureKey(path);
            section = path;
            continue;
        }

        if (line.front() != u'"' && line.front() != u'@') {
            what = QStringLiteral("unexpected text '%1'").arg(snippet(line));
            return fail();
        }
        if (!section) {
            what = QStringLiteral("value before the first section");
            return fail();
        }
        const qsizetype valueLine = lineNo;
        qsizetype pos = 0;
        QString name;
        if (line.front() == u'@') {
            pos = 1;
        } else {
            std::optional<QString> n = readQuoted(line, pos, &what);
            if (!n)
                return fail();
            name = *n;
        }
        if (!storableName(name)) {
            what = QStringLiteral("bad value name");
            return fail();
        }
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        if (pos >= line.size() || line[pos] != u'=') {
            what = QStringLiteral("'=' missing after the value name");
            return fail();
        }
        ++pos;
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        QStringView rest = line.mid(pos);
        const QString lower = asciiLower(rest.left(6).toString());

        RegValue v;
        if (rest.startsWith(u'"')) {
            qsizetype p = 0;
            std::optional<QString> t = readQuoted(rest, p, &what);
            if (!t)
                return fail();
            if (!allBlank(rest.mid(p))) {
                what = QStringLiteral("text after the closing '\"'");
                return fail();
            }
            v = RegValue::fromString(*t);
        } else if (lower.startsWith(u"dword:")) {
            const QStringView digits = rest.mid(6).trimmed();
            bool ok = !digits.isEmpty() && digits.size() <= 8;
            for (QChar c : digits)
                ok = ok && isHexDigit(c);
            if (!ok) {
                what = QStringLiteral("bad dword value '%1' (1 to 8 hex digits expected)").arg(snippet(rest.mid(6)));
                return fail();
            }
            v = RegValue::fromDWord(digits.toUInt(nullptr, 16));
        } else if (lower.startsWith(u"hex:") || lower.startsWith(u"hex(")) {
            uint type = 0x3;
            qsizetype p = 3;
            if (rest[p] == u'(') {
                const qsizetype close = rest.indexOf(u')', p);
                const QStringView digits = close < 0 ? QStringView() : rest.mid(p + 1, close - p - 1);
                bool ok = !digits.isEmpty() && digits.size() <= 8;
                for (QChar c : digits)
                    ok = ok && isHexDigit(c);
                if (!ok || close + 1 >= rest.size() || rest[close + 1] != u':') {
                    what = QStringLiteral("bad hex(N): type '%1'").arg(snippet(rest));
                    return fail();
                }
                type = digits.toUInt(nullptr, 16);
                p = close + 1;
            }
            // Long data runs on over lines that end in a backslash.
            QString bytesText = rest.mid(p + 1).toString();
            while (bytesText.trimmed().endsWith(u'\\')) {
                bytesText = bytesText.trimmed();
                bytesText.chop(1);
                if (i + 1 >= lines.size()) {
                    what = QStringLiteral("hex data continues past the end of the file");
                    return fail();
                }
                const std::optional<QString> next = lineAt(++i);
                if (!next)
                    return fail();
                bytesText += *next;
            }
            lineNo = valueLine;
            const std::optional<QByteArray> bytes = readHexBytes(bytesText, &what);
            if (!bytes)
                return fail();
            const std::optional<RegValue> typed = valueFromBytes(type, *bytes, &what);
            if (!typed)
                return fail();
            v = *typed;
        } else {
            what = QStringLiteral("unknown value data '%1'").arg(snippet(rest));
            return fail();
        }
        hive.setValue(*section, name, v);
    }
    return hive;
}

}  // namespace platform
