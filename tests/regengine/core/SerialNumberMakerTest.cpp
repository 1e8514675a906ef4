#include "regengine/core/SerialNumberMaker.h"

#include "platform/registry/Registry.h"
#include "platform/ui/Ui.h"

#include "tests/support/FakeClock.h"
#include "tests/support/RecordingSink.h"

#include <QDateTime>

#include <gtest/gtest.h>

using namespace engine;

namespace {

// The tests run with TZ=UTC, so 1 January 1998 00:00:00 local standard time is this.
constexpr qint64 k1998 = 883612800;

TEST(SerialNumberMaker, TimeBasedNumbers)
{
    ASSERT_EQ(QDateTime(QDate(1998, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch(), k1998);
    struct Case {
        const char* name;
        qint64 sinceEpoch, elapsed;
        const char16_t* expected;
    };
    const Case cases[] = {
        {"at the epoch", 0, 0, u"AB0000000000000"},
        {"a day and a bit in", 86400 + 5, 42, u"AB0000864050042"},
        {"the last nine-digit second, 2029-09-09 01:46:39", 999999999, 999, u"AB9999999990999"},
        {"after 2029-09-09 the width stays", 1000000005, 1234, u"AB0000000050234"},
        {"much later", 3000000007LL, 7, u"AB0000000070007"},
    };
    for (const Case& c : cases) {
        testsupport::FakeClock clock;
        clock.seconds = k1998 + c.sinceEpoch;
        SerialNumberMaker maker(&clock);
        maker.SetMode(u'A');
        maker.SetAffixes(QStringLiteral("AB"), QString());
        clock.seconds += c.elapsed;
        maker.Make();
        EXPECT_TRUE(maker.IsMade()) << c.name;
        EXPECT_EQ(maker.GetResult(), QString::fromUtf16(c.expected)) << c.name;
    }
}

TEST(SerialNumberMaker, RandomTailAndUnknownModes)
{
    testsupport::FakeClock clock;
    clock.seconds = k1998 + 123456789;
    SerialNumberMaker maker(&clock);
    maker.SetMode(u'C');
    maker.Make();
    const QString result = maker.GetResult();
    ASSERT_EQ(result.size(), 13);
    EXPECT_TRUE(result.startsWith(u"1234567890"));
    EXPECT_LT(result.mid(9).toInt(), 1000);

    for (QChar letter : {QChar(u'Z'), QChar(u'a'), QChar(u'c'), QChar()}) {
        maker.SetMode(letter);
        EXPECT_EQ(maker.GetMode(), u'A');
    }
}

TEST(SerialNumberMaker, ResultIsMadeOnceAndKept)
{
    testsupport::FakeClock clock;
    clock.seconds = k1998 + 10;
    SerialNumberMaker maker(&clock);
    maker.SetMode(u'A');
    maker.SetAffixes(QStringLiteral("P-"), QStringLiteral("-S"));
    const QString first = maker.GetResult();
    EXPECT_EQ(first, u"P-0000000100000-S");
    clock.seconds += 77;
    EXPECT_EQ(maker.GetResult(), first);

    maker.SetAffixes(QString(), QStringLiteral("-T"));
    maker.Reset();
    EXPECT_FALSE(maker.IsMade());
    EXPECT_TRUE(maker.GetMode().isNull());
    EXPECT_TRUE(maker.CheckMade()) << "no mode asks for nothing";
    maker.SetResult(QStringLiteral("given"));
    EXPECT_TRUE(maker.IsMade());
    EXPECT_EQ(maker.GetResult(), u"given");
}

TEST(SerialNumberMaker, TextsAreCutToTheirBuffers)
{
    testsupport::FakeClock clock;
    clock.seconds = k1998;
    SerialNumberMaker maker(&clock);
    maker.SetMode(u'A');
    maker.SetAffixes(QString(45, u'p'), QString(45, u's'));
    maker.Make();
    const QString result = maker.GetResult();
    EXPECT_EQ(result.size(), 49);
    EXPECT_EQ(result, QString(39, u'p') + QStringLiteral("0000000000"));
    maker.SetResult(QString(60, u'r'));
    EXPECT_EQ(maker.GetResult().size(), 49);
}

TEST(SerialNumberMaker, RegistryModes)
{
    ASSERT_TRUE(platform::Registry::setValue(platform::RootKey::LocalMachine, QStringLiteral("SOFTWARE\\Maker"),
                                             QStringLiteral("Serial"),
                                             platform::RegValue::fromString(QStringLiteral("SN-42"))));
    testsupport::RecordingSink sink;

    SerialNumberMaker byName;
    byName.SetMode(u'R');
    byName.SetValueName(QStringLiteral("SOFTWARE\\Maker\\Serial"));
    byName.SetAffixes(QStringLiteral("<"), QStringLiteral(">"));
    byName.Make();
    EXPECT_TRUE(byName.IsMade());
    EXPECT_EQ(byName.GetResult(), u"<SN-42>");

    SerialNumberMaker missing;
    missing.SetMode(u'R');
    missing.SetValueName(QStringLiteral("SOFTWARE\\Maker\\Nothing"));
    missing.Make();
    EXPECT_FALSE(missing.IsMade());
    EXPECT_FALSE(missing.CheckMade());
    EXPECT_TRUE(sink.boxes.empty());

    SerialNumberMaker byPath;
    byPath.SetMode(u't');
    EXPECT_TRUE(byPath.IsNeverReused());
    byPath.SetRegistryPath(QStringLiteral("SOFTWARE\\Maker\\Serial"));
    byPath.Make();
    EXPECT_TRUE(byPath.IsMade());
    EXPECT_EQ(byPath.GetResult(), u"SN-42");
    EXPECT_FALSE(platform::quitPending());
}

// Without the value the launcher was started for, the user is told and the program ends.
TEST(SerialNumberMaker, MissingParameterWarnsAndQuits)
{
    testsupport::RecordingSink sink;
    SerialNumberMaker maker;
    maker.SetMode(u'T');
    maker.SetAffixes(QStringLiteral("SOFTWARE\\"), QString());
    maker.SetRegistryPath(QStringLiteral("NoSuch\\Value"));
    maker.Make();
    EXPECT_FALSE(maker.IsMade());
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].caption, u"Missing Parameter");
    EXPECT_TRUE(sink.boxes[0].text.startsWith(u"Missing required input parameter. Please click on the shortcut"));
    EXPECT_TRUE(platform::quitPending());
    EXPECT_EQ(maker.GetResult(), QString()) << "no affixes are added";
}

TEST(SerialNumberMaker, MetaModeOnlyWarns)
{
    testsupport::RecordingSink sink;
    SerialNumberMaker maker;
    maker.SetMode(u'm');
    maker.Make();
    EXPECT_FALSE(maker.IsMade());
    EXPECT_FALSE(maker.CheckMade());
    ASSERT_EQ(sink.boxes.size(), 2u);
    for (const auto& box : sink.boxes) {
        EXPECT_EQ(box.text, u"Must put define in Meta Program");
        EXPECT_EQ(box.caption, u"Developer Warning");
    }
}

}  // namespace
