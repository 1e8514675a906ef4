#include "client/RecordMap.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <xmlrpc.h>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <limits>

namespace client {

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

XMLRPC_VALUE MapToXmlRpcStruct(const RecordMap& map)
{
    XMLRPC_VALUE result = XMLRPC_CreateVector(nullptr, xmlrpc_vector_struct);
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        const QByteArray name = it.key().toUtf8();
        const QByteArray value = it.value().toUtf8();
        XMLRPC_VectorAppendString(result, name.constData(), value.constData(), int(value.size()));
    }
    return result;
}

bool XmlRpcValueText(XMLRPC_VALUE value, QString* text)
{
    if (!value)
        return false;
    switch (XMLRPC_GetValueTypeEasy(value)) {
    case xmlrpc_type_string: {
        const char* s = XMLRPC_GetValueString(value);
        *text = s ? QString::fromUtf8(s, XMLRPC_GetValueStringLen(value)) : QString();
        return true;
    }
    case xmlrpc_type_int: *text = QString::number(XMLRPC_GetValueInt(value)); return true;
    default: return false;
    }
}

QString XmlRpcValueName(XMLRPC_VALUE value)
{
    const char* id = value ? XMLRPC_GetValueID(value) : nullptr;
    return id ? QString::fromUtf8(id) : QString();
}

namespace {

// Compiled once; the pattern is fixed, so a failure here means no date text parses.
class DatePattern {
public:
    DatePattern()
    {
        static const char16_t pattern[] =
            u"^(?P<year>\\d\\d\\d\\d)-(?P<month>\\d\\d)-(?P<day>\\d\\d)"
            u"(?:T(?P<hour>\\d\\d):(?P<minute>\\d\\d):(?P<second>\\d\\d))?$";
        int error = 0;
        PCRE2_SIZE offset = 0;
        code_ =
            pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, 0, &error, &offset, nullptr);
        if (code_)
            match_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    }
    ~DatePattern()
    {
        pcre2_match_data_free(match_);
        pcre2_code_free(code_);
    }
    DatePattern(const DatePattern&) = delete;
    DatePattern& operator=(const DatePattern&) = delete;

    // Fills the six fields (hour, minute, second 0 without a time part); false when the
    // text does not match.
    bool Match(const QString& text, int fields[6]) const
    {
        if (!match_)
            return false;
        const int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(text.utf16()), PCRE2_SIZE(text.size()), 0, 0,
                                   match_, nullptr);
        if (rc < 4)
            return false;
        static const char16_t* const names[6] = {u"year", u"month", u"day", u"hour", u"minute", u"second"};
        const int groups = rc >= 5 ? 6 : 3;
        for (int i = 0; i < 6; ++i) {
            fields[i] = 0;
            if (i >= groups)
                continue;
            PCRE2_UCHAR buffer[10];
            PCRE2_SIZE length = sizeof buffer / sizeof buffer[0];
            if (pcre2_substring_copy_byname(match_, reinterpret_cast<PCRE2_SPTR>(names[i]), buffer, &length) != 0)
                return false;
            fields[i] = QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer), qsizetype(length)).toInt();
        }
        return true;
    }

private:
    pcre2_code* code_ = nullptr;
    pcre2_match_data* match_ = nullptr;
};

}  // namespace

// The calendar checks reject what mktime would silently roll over (month 13 into the next
// year, 30 February into March), so a stored time is always the date the text names.
qint64 ParseIsoDateTime(const QString& text)
{
    static const DatePattern pattern;
    int f[6];
    if (!pattern.Match(text, f))
        return -1;
    if (f[0] < 1900 || f[3] > 23 || f[4] > 59 || f[5] > 59)
        return -1;
    const QDate date(f[0], f[1], f[2]);
    if (!date.isValid())
        return -1;
    const QTime time(f[3], f[4], f[5]);
    const QDateTime local(date, time);
    qint64 result = 0;
    if (local.isValid()) {
        result = local.toSecsSinceEpoch();
    } else {
        // A wall time that summer time skips (midnight itself in some zones) is read with the
        // offset in force the day before, as mktime reads it, so the date is never lost.
        const int offset = QDateTime(date.addDays(-1), QTime(12, 0)).offsetFromUtc();
        result = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch() - offset;
    }
    // The one second that falls on -1 (23:59:59 on 31 December 1969 in UTC) cannot be told
    // from "no time", which is what -1 means in every stored table; it is refused as a time
    // that cannot be represented.
    return result;
}

QString FormatDisplayDate(const QString& text)
{
    const qint64 t = ParseIsoDateTime(text);
    if (t == -1)
        return text;
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(t).date(), QLocale::ShortFormat);
}

QString TodayDateText()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
}

QString DateTextFromTime(qint64 time)
{
    // -1 is "no time". Other times before 1970 are dates (ParseIsoDateTime reads years from
    // 1900), and the limits are taken on the local date, which is what the text shows: the
    // last hours of 9999 west of UTC lie past 9999 in UTC. A day either side of the limits
    // keeps QDateTime far from its own range.
    constexpr qint64 kFirst = -2208988800 - 2 * 86400;  // 1900-01-01T00:00:00Z, less two days
    constexpr qint64 kLast = 253402300799 + 2 * 86400;  // 9999-12-31T23:59:59Z, and two days
    if (time == -1 || time < kFirst || time > kLast)
        return QStringLiteral("0000-00-00");
    const QDate date = QDateTime::fromSecsSinceEpoch(time).date();
    if (!date.isValid() || date.year() < 1900 || date.year() > 9999)
        return QStringLiteral("0000-00-00");
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

qint64 CurrentTime()
{
    return QDateTime::currentSecsSinceEpoch();
}

}  // namespace client
