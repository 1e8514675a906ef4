#include "platform/text/Ascii.h"

namespace platform {

namespace {
inline char16_t lower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}
inline char16_t upper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}
}  // namespace

QString asciiLower(const QString& s)
{
    QString r = s;
    for (QChar& c : r)
        c = QChar(lower(c.unicode()));
    return r;
}

QString asciiUpper(const QString& s)
{
    QString r = s;
    for (QChar& c : r)
        c = QChar(upper(c.unicode()));
    return r;
}

QByteArray asciiLower(const QByteArray& s)
{
    QByteArray r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    return r;
}

int asciiCompareIgnoreCase(const QString& a, const QString& b)
{
    const qsizetype n = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = lower(a[i].unicode()), y = lower(b[i].unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool asciiEqualsIgnoreCase(const QString& a, const QString& b)
{
    return a.size() == b.size() && asciiCompareIgnoreCase(a, b) == 0;
}

}  // namespace platform
