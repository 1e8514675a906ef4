#include "client/RecordMap.h"
#include "tests/client/model/ModelTestSupport.h"

#include <gtest/gtest.h>

#include <ctime>

#include <QDateTime>
#include <QLocale>

using namespace client;

namespace {

qint64 local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s)).toSecsSinceEpoch();
}

TEST(RecordMap, LookupIsCaseSensitiveAndDoesNotInsert)
{
    RecordMap map{{"mfgr", "OVEX"}};
    EXPECT_EQ(GetField(map, "Mfgr"), QString());
    EXPECT_EQ(map.size(), 1);
    SetField(map, "mfgr", "ACME");
    EXPECT_EQ(GetField(map, "mfgr"), "ACME");
}

TEST(RecordMap, SplitString)
{
    const struct {
        const char* text;
        const char* separator;
        QStringList pieces;
    } cases[] = {
        {"a  b", " ", {"a", "", "b"}},    {"", " ", {}},
        {"a ", " ", {"a", ""}},           {"MODL CTRY USID", " ", {"MODL", "CTRY", "USID"}},
        {"a--b--", "--", {"a", "b", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitString(c.text, c.separator), c.pieces) << c.text;
}

TEST(DateText, Parse)
{
    const struct {
        const char* text;
        qint64 expected;
    } cases[] = {
        {"2008-03-05", local(2008, 3, 5)},
        {"2008-03-05T14:07:09", local(2008, 3, 5, 14, 7, 9)},
        {"2040-06-01T00:00:00", local(2040, 6, 1)},  // past 2038: 64-bit all the way
        {"2008-02-29", local(2008, 2, 29)},
        {"2008-3-5", -1},
        {"2008-03-05 14:07:09", -1},
        {"2008-03-05T14:07", -1},
        {"x2008-03-05", -1},
        {"2008-03-05T14:07:09Z", -1},
        {"", -1},
        // Out of range: rejected, never rolled over into another date.
        {"2008-13-01", -1},
        {"2008-00-10", -1},
        {"2008-01-45", -1},
        {"2008-01-00", -1},
        {"2007-02-29", -1},
        {"2008-04-31", -1},
        {"2008-03-05T24:00:00", -1},
        {"2008-03-05T12:60:00", -1},
        {"2008-03-05T12:00:60", -1},
        {"1899-12-31", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIsoDateTime(c.text), c.expected) << c.text;
}

// Where summer time begins at midnight, that day has no 00:00; its date still names a
// time: the wall time read with the offset in force before the change, as mktime does.
TEST(DateText, DayWhoseMidnightIsSkipped)
{
    const QByteArray saved = qgetenv("TZ");
    // Egypt's rules of 2023, written out so no zone database is needed: UTC+2, and +3 from
    // the last Friday of April at 00:00.
    qputenv("TZ", "EET-2EEST,M4.5.5/0,M10.5.4/24");
    tzset();
    const qint64 utcMidnight = QDateTime(QDate(2023, 4, 28), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    EXPECT_EQ(ParseIsoDateTime("2023-04-28"), utcMidnight - 2 * 3600);
    EXPECT_EQ(ParseIsoDateTime("2023-04-28T00:30:00"), utcMidnight - 2 * 3600 + 1800);
    EXPECT_EQ(ParseIsoDateTime("2023-04-28T12:00:00"), utcMidnight + 9 * 3600);
    EXPECT_EQ(ParseIsoDateTime("2023-04-27"), utcMidnight - 26 * 3600);
    EXPECT_EQ(DateTextFromTime(ParseIsoDateTime("2023-04-28")), "2023-04-28");
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    tzset();
}

// Runs `body` with the local time of a POSIX zone rule.
template <typename Body>
void inZone(const char* rule, Body body)
{
    const QByteArray saved = qgetenv("TZ");
    qputenv("TZ", rule);
    tzset();
    body();
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    tzset();
}

// The ends of the calendar a date text can name, each read back to the date it names; -1
// stays "no time", so the one second that would be -1 is not a time.
TEST(DateText, EdgesOfTheCalendarReadBack)
{
    const struct {
        const char* zone;
        const char* text;
        const char* shown;  // DateTextFromTime of the parsed time
    } cases[] = {
        {"UTC0", "1969-07-20", "1969-07-20"},           {"UTC0", "1900-01-01", "1900-01-01"},
        {"UTC0", "1969-12-31T23:59:58", "1969-12-31"},  {"UTC0", "1970-01-01", "1970-01-01"},
        {"UTC0", "9999-12-31T23:59:59", "9999-12-31"},  {"PST8", "9999-12-31T20:00:00", "9999-12-31"},
        {"PST8", "1969-12-31T20:00:00", "1969-12-31"},  {"JST-9", "1970-01-01T08:59:58", "1970-01-01"},
        {"JST-9", "9999-12-31T23:59:59", "9999-12-31"}, {"HST10", "1900-01-01", "1900-01-01"},
    };
    for (const auto& c : cases)
        inZone(c.zone, [&] {
            const qint64 t = ParseIsoDateTime(QString::fromLatin1(c.text));
            EXPECT_NE(t, -1) << c.zone << " " << c.text;
            EXPECT_EQ(DateTextFromTime(t), c.shown) << c.zone << " " << c.text;
        });
    inZone("UTC0", [] {
        EXPECT_EQ(ParseIsoDateTime("1969-12-31T23:59:59"), -1);
        EXPECT_EQ(ParseIsoDateTime("1969-12-31T23:59:58"), -2);
        EXPECT_EQ(DateTextFromTime(-1), "0000-00-00");
        EXPECT_EQ(DateTextFromTime(-2208988801), "0000-00-00");   // 1899
        EXPECT_EQ(DateTextFromTime(253402300800), "0000-00-00");  // 10000
    });
    inZone("JST-9", [] { EXPECT_EQ(DateTextFromTime(ParseIsoDateTime("9999-12-31T23:59:59") + 1), "0000-00-00"); });
    inZone("PST8", [] { EXPECT_EQ(ParseIsoDateTime("1969-12-31T15:59:59"), -1); });
    inZone("JST-9", [] { EXPECT_EQ(ParseIsoDateTime("1970-01-01T08:59:59"), -1); });
}

TEST(DateText, FormatAndToday)
{
    EXPECT_EQ(FormatDisplayDate("not a date"), "not a date");
    EXPECT_EQ(FormatDisplayDate("2008-13-01"), "2008-13-01");
    EXPECT_EQ(FormatDisplayDate("2008-03-05"), QLocale().toString(QDate(2008, 3, 5), QLocale::ShortFormat));

    EXPECT_EQ(ParseIsoDateTime(TodayDateText()),
              local(QDate::currentDate().year(), QDate::currentDate().month(), QDate::currentDate().day()));
    EXPECT_EQ(DateTextFromTime(local(2008, 3, 5, 23, 59, 59)), "2008-03-05");
    EXPECT_EQ(DateTextFromTime(local(2040, 6, 1, 12)), "2040-06-01");
    EXPECT_EQ(DateTextFromTime(-1), "0000-00-00");
    EXPECT_EQ(DateTextFromTime(Q_INT64_C(400000000000)), "0000-00-00");
}

TEST(RecordMap, StructMembersInMapOrderAsUtf8)
{
    const RecordMap map{{"vers", "0107"}, {"mfgr", "O'V<E>X"}, {"lang", "ENU"}, {"name", "caf\u00e9"}, {"empty", ""}};
    EXPECT_EQ(modeltest::toXml(MapToXmlRpcStruct(map)),
              "<value><struct>"
              "<member><name>empty</name><value><string/></value></member>"
              "<member><name>lang</name><value><string>ENU</string></value></member>"
              "<member><name>mfgr</name><value><string>O'V&#60;E&#62;X</string></value></member>"
              "<member><name>name</name><value><string>caf\u00e9</string></value></member>"
              "<member><name>vers</name><value><string>0107</string></value></member>"
              "</struct></value>");
}

}  // namespace
