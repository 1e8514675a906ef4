#include "platform/text/Format.h"

#include <QLocale>

namespace platform {
namespace {

// The number a text begins with, as strtoll reads it: blanks, a sign, digits.
long long leadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    unsigned long long v = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        v = v * 10 + static_cast<unsigned>(text[i].unicode() - u'0');
    return negative ? -static_cast<long long>(v) : static_cast<long long>(v);
}

}  // namespace

QString FormatArg::asText() const
{
    switch (kind_) {
    case Kind::Text: return text_;
    case Kind::Signed: return QString::number(signed_);
    case Kind::Unsigned: return QString::number(unsigned_);
    case Kind::Char: return QString(QChar(static_cast<char16_t>(signed_)));
    case Kind::Real: return QString::number(real_, 'g', 6);
    }
    return {};
}

long long FormatArg::asSigned() const
{
    switch (kind_) {
    case Kind::Text: return leadingNumber(text_);
    case Kind::Signed:
    case Kind::Char: return signed_;
    case Kind::Unsigned: return static_cast<long long>(unsigned_);
    case Kind::Real: return static_cast<long long>(real_);
    }
    return 0;
}

unsigned long long FormatArg::asUnsigned() const
{
    switch (kind_) {
    case Kind::Unsigned: return unsigned_;
    case Kind::Text: return static_cast<unsigned long long>(leadingNumber(text_));
    default: return static_cast<unsigned long long>(asSigned());
    }
}

double FormatArg::asReal() const
{
    switch (kind_) {
    case Kind::Real: return real_;
    case Kind::Text: return text_.trimmed().toDouble();
    case Kind::Unsigned: return static_cast<double>(unsigned_);
    default: return static_cast<double>(asSigned());
    }
}

namespace {

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = -1;
    int precision = -1;
    QChar conv;
};

QString pad(QString body, const Spec& s, bool numeric)
{
    if (s.width < 0 || body.size() >= s.width)
        return body;
    const int fill = s.width - int(body.size());
    if (s.left)
        return body + QString(fill, u' ');
    if (s.zero && numeric) {
        // Zeros go after a sign or a 0x prefix.
        int at = 0;
        if (!body.isEmpty() && (body[0] == u'-' || body[0] == u'+' || body[0] == u' '))
            at = 1;
        if (body.mid(at, 2).compare(u"0x", Qt::CaseInsensitive) == 0)
            at += 2;
        return body.left(at) + QString(fill, u'0') + body.mid(at);
    }
    return QString(fill, u' ') + body;
}

QString integer(const FormatArg& a, const Spec& s)
{
    const char16_t c = s.conv.unicode();
    QString digits;
    bool negative = false;
    if (c == u'd' || c == u'i') {
        const long long v = a.asSigned();
        negative = v < 0;
        const unsigned long long mag =
            negative ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
        digits = QString::number(mag);
    } else {
        unsigned long long v = a.asUnsigned();
        // An unsigned conversion of a negative int shows the 32-bit pattern, as C does.
        if (a.kind() == FormatArg::Kind::Signed && a.asSigned() < 0 && a.asSigned() >= INT32_MIN)
            v &= 0xFFFFFFFFULL;
        const int base = (c == u'x' || c == u'X') ? 16 : (c == u'o' ? 8 : 10);
        digits = QString::number(v, base);
        if (c == u'X')
            digits = digits.toUpper();
        if (s.alt && v != 0 && base == 16)
            digits.prepend(c == u'X' ? u"0X" : u"0x");
        else if (s.alt && base == 8)
            digits.prepend(u'0');
    }
    if (s.precision >= 0) {
        if (s.precision == 0 && digits == u"0")
            digits.clear();
        while (digits.size() < s.precision)
            digits.prepend(u'0');
    }
    if (negative)
        digits.prepend(u'-');
    else if ((c == u'd' || c == u'i') && s.plus)
        digits.prepend(u'+');
    else if ((c == u'd' || c == u'i') && s.space)
        digits.prepend(u' ');
    Spec t = s;
    if (s.precision >= 0)
        t.zero = false;
    return pad(digits, t, true);
}

QString real(const FormatArg& a, const Spec& s)
{
    const char16_t c = s.conv.unicode();
    const int prec = s.precision < 0 ? 6 : s.precision;
    const char f = c == u'e' || c == u'E' ? 'e' : (c == u'g' || c == u'G' ? 'g' : 'f');
    QString body = QString::number(a.asReal(), f, prec);
    if (c == u'E' || c == u'G')
        body = body.toUpper();
    if (s.plus && !body.startsWith(u'-'))
        body.prepend(u'+');
    return pad(body, s, true);
}

}  // namespace

QString format(const QString& pattern, std::span<const FormatArg> list)
{
    size_t next = 0;
    QString out;
    out.reserve(pattern.size() + 16);
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = pattern[i];
        if (ch != u'%') {
            out += ch;
            continue;
        }
        const qsizetype start = i;
        qsizetype j = i + 1;
        if (j < n && pattern[j] == u'%') {
            out += u'%';
            i = j;
            continue;
        }
        Spec s;
        for (; j < n; ++j) {
            const QChar f = pattern[j];
            if (f == u'-')
                s.left = true;
            else if (f == u'+')
                s.plus = true;
            else if (f == u' ')
                s.space = true;
            else if (f == u'#')
                s.alt = true;
            else if (f == u'0')
                s.zero = true;
            else
                break;
        }
        if (j < n && pattern[j] == u'*') {
            s.width = next < list.size() ? int(list[next++].asSigned()) : 0;
            if (s.width < 0) {
                s.left = true;
                s.width = -s.width;
            }
            ++j;
        } else {
            for (; j < n && pattern[j].isDigit(); ++j)
                s.width = (s.width < 0 ? 0 : s.width) * 10 + pattern[j].digitValue();
        }
        if (j < n && pattern[j] == u'.') {
            ++j;
            s.precision = 0;
            if (j < n && pattern[j] == u'*') {
                s.precision = next < list.size() ? int(list[next++].asSigned()) : 0;
                ++j;
            } else {
                for (; j < n && pattern[j].isDigit(); ++j)
                    s.precision = s.precision * 10 + pattern[j].digitValue();
            }
        }
        // Length modifiers carry no meaning here: each argument knows its own type.
        while (j < n) {
            const QChar m = pattern[j];
            if (m == u'h' || m == u'l' || m == u'L' || m == u'q' || m == u'j' || m == u'z' || m == u't' || m == u'w') {
                ++j;
            } else if (m == u'I' && pattern.mid(j, 3) == u"I64") {
                j += 3;
            } else if (m == u'I' && pattern.mid(j, 3) == u"I32") {
                j += 3;
            } else {
                break;
            }
        }
        if (j >= n) {
            out += pattern.mid(start);
            break;
        }
        s.conv = pattern[j];
        const char16_t c = s.conv.unicode();
        const bool known = c == u's' || c == u'S' || c == u'c' || c == u'C' || c == u'd' || c == u'i' || c == u'u' ||
                           c == u'x' || c == u'X' || c == u'o' || c == u'e' || c == u'E' || c == u'f' || c == u'F' ||
                           c == u'g' || c == u'G';
        if (!known) {
            out += pattern.mid(start, j - start + 1);
            i = j;
            continue;
        }
        i = j;
        if (next >= list.size())
            continue;
        const FormatArg& a = list[next++];
        switch (c) {
        case u's':
        case u'S': {
            QString t = a.asText();
            if (s.precision >= 0)
                t.truncate(s.precision);
            out += pad(t, s, false);
            break;
        }
        case u'c':
        case u'C': {
            QString t = a.kind() == FormatArg::Kind::Text ? a.asText().left(1)
                                                          : QString(QChar(static_cast<char16_t>(a.asSigned())));
            out += pad(t, s, false);
            break;
        }
        case u'e':
        case u'E':
        case u'f':
        case u'F':
        case u'g':
        case u'G': out += real(a, s); break;
        default: out += integer(a, s); break;
        }
    }
    return out;
}

}  // namespace platform
