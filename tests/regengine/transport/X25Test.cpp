#include "regengine/core/Dumper.h"
#include "regengine/transport/CommDevice.h"
#include "regengine/transport/CountryDialer.h"
#include "regengine/transport/TapiHayes.h"
#include "regengine/transport/X25.h"

#include "platform/telephony/HayesTelephony.h"
#include "platform/ui/Ui.h"

#include "tests/peers/FakeModem.h"
#include "tests/peers/ModemService.h"
#include "tests/regengine/transport/TransportTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>

using namespace engine;
using testpeers::dumpedBytes;
using testpeers::FakeModem;
using testpeers::telephonyFor;
using transporttest::Lines;
using transporttest::StepClock;

namespace {

const QString kKey = QStringLiteral("Kelvo25X");

QString scrambled(const QString& plain)
{
    QString out = plain;
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = QChar(char16_t(out[i].unicode() ^ kKey[i % 8].unicode()));
    return out;
}

TEST(UnscrambleText, RestoresEveryCharacterIntoACopy)
{
    struct Case {
        const char* name;
        QString plain;
    } cases[] = {
        {"empty", QString()},
        {"eight", QStringLiteral("a0100aaa")},
        // The ninth character is combined with the key's first again.
        {"nine", QStringLiteral("abcdefghi")},
        // 'e' meets the key's 'e': stored as 0, and what follows must not stay scrambled.
        {"zero inside", QStringLiteral("Se5ame!x9")},
    };
    for (const Case& c : cases) {
        const QString stored = scrambled(c.plain);
        EXPECT_EQ(UnscrambledText(stored), c.plain) << c.name;
        EXPECT_EQ(stored, scrambled(c.plain)) << c.name << ": the stored text changed";
    }
    QString nine = QStringLiteral("ABCDEFGHI");
    UnscrambleText(nine);
    EXPECT_EQ(nine[8].unicode(), char16_t(u'I' ^ u'K'));
}

struct X25Call {
    explicit X25Call(testpeers::ServiceScript script)
        : log(std::make_shared<testpeers::ServiceLog>()), modem(options(std::move(script), log)),
          telephony(telephonyFor(modem)), device(QString(), &telephony)
    {
        dumper.Attach(&dump);
        device.SetDumper(&dumper);
        device.SetStatusDisplayer(&status);
        device.SetTraceDisplayer(&trace);
    }
    static FakeModem::Options options(testpeers::ServiceScript script, std::shared_ptr<testpeers::ServiceLog> log)
    {
        FakeModem::Options o = FakeModem::at(2400);
        o.service = testpeers::registrationService(std::move(script), std::move(log));
        return o;
    }
    std::shared_ptr<testpeers::ServiceLog> log;
    FakeModem modem;
    platform::HayesTelephony telephony;
    TapiHayes device;
    StepClock clock{20};
    Lines dump, status, trace;
    Dumper dumper;
};

testpeers::ServiceScript logonOnly(bool connects = true)
{
    testpeers::ServiceScript script;
    script.x25 = testpeers::X25Dialogue();
    script.x25->connects = connects;
    script.packetsIn = 0;
    return script;
}

TEST(X25, LogsOnWithTheUnscrambledSecretsAndDumpsNeitherOfThem)
{
    X25Call call(logonOnly());
    ASSERT_TRUE(call.device.Dial("5550100"));
    call.device.SetClock(&call.clock);
    X25 x25(&call.device);
    EXPECT_EQ(x25.Logon(), 0);
    platform::pumpUntil([&] { return call.log->done.load(); }, 5000);
    const QByteArray wire = call.log->Wire();
    EXPECT_EQ(wire, QByteArray("...\rNUI a0100aaa\rSe5ame!x9\rSET 1:0,2:0\rSET 3:2\rSET 4:1\rC SERVICE\r"));
    // Read twice, the password is the same: the stored entry was not unscrambled in place.
    EXPECT_EQ(call.device.SendIndirectString(X25::kTextTable, 3, '\r', true), 0);
    const QByteArray dumped = dumpedBytes(call.dump.text);
    for (const char* secret : {"a0100aaa", "Se5ame!x9"}) {
        EXPECT_FALSE(dumped.contains(secret)) << qPrintable(call.dump.text);
        EXPECT_FALSE(call.trace.text.contains(QLatin1String(secret)));
    }
    EXPECT_TRUE(dumped.contains("...\rNETWORK LOGON:")) << dumped.constData();
    EXPECT_TRUE(dumped.contains("C SERVICE\r"));
    EXPECT_TRUE(call.status.text.contains(QStringLiteral("X25 Connected")));
}

TEST(X25, ANetworkThatNeverConnectsFailsTheLogon)
{
    X25Call call(logonOnly(false));
    ASSERT_TRUE(call.device.Dial("5550100"));
    call.device.SetClock(&call.clock);
    X25 x25(&call.device);
    EXPECT_EQ(x25.Logon(), X25::kLogonFailed);
    EXPECT_TRUE(call.status.text.trimmed().endsWith(QStringLiteral("Waiting for Final X25 Connected Msg")))
        << qPrintable(call.status.text);
}

TEST(X25, WithoutADialledCallNothingIsSent)
{
    X25Call call(logonOnly());
    X25 x25(&call.device);
    EXPECT_EQ(x25.Logon(), 0);
    EXPECT_TRUE(call.log->Wire().isEmpty());
    X25 none(nullptr);
    EXPECT_EQ(none.Logon(), 0);
}

TEST(CountryDialer, ListsEachCountryPlaceAndNumberOncePerGroup)
{
    CountryDialer dialer;
    ASSERT_EQ(dialer.GetCount(), 8);
    struct Case {
        const char* name;
        CountryDialer::Column column;
        QString country, place;
        QStringList expected;
    } cases[] = {
        {"countries, a split group twice",
         CountryDialer::Country,
         {},
         {},
         {"Germany", "France", "Germany", "No tabs here", "Italy", "Spain"}},
        {"places of one country", CountryDialer::Place, "Germany", {}, {"Berlin", "Munich", "Hamburg"}},
        {"numbers of one place", CountryDialer::Number, "Germany", "Berlin", {"030 1234", "030 5678"}},
        {"blanks before a place are skipped", CountryDialer::Place, "Italy", {}, {"Rome"}},
        {"a carriage return ends a number", CountryDialer::Number, "Italy", "Rome", {"06 4444"}},
        {"the resource's last byte is kept", CountryDialer::Number, "Spain", {}, {"91 5555"}},
        {"a line without tabs has no place", CountryDialer::Place, "No tabs here", {}, {""}},
        {"an unknown country lists nothing", CountryDialer::Place, "Atlantis", {}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dialer.ColumnTexts(c.column, c.country, c.place), c.expected) << c.name;
}

TEST(CountryDialer, CutsLongTextsAndGrowsPastItsFirstHundred)
{
    CountryDialer dialer(QStringLiteral("no-such-module"));
    EXPECT_EQ(dialer.GetCount(), 0);
    EXPECT_TRUE(dialer.ColumnTexts(CountryDialer::Country).isEmpty());
    const QByteArray longText(80, 'x');
    dialer.LoadText(longText + '\t' + longText + '\t' + longText + '\n');
    ASSERT_EQ(dialer.GetCount(), 1);
    EXPECT_EQ(dialer.GetEntry(0).country.size(), 59);
    EXPECT_EQ(dialer.GetEntry(0).place.size(), 59);
    EXPECT_EQ(dialer.GetEntry(0).number.size(), 39);
    QByteArray many;
    for (int i = 0; i < 250; ++i)
        many += "C\tP\t" + QByteArray::number(i) + '\n';
    dialer.LoadText(many);
    ASSERT_EQ(dialer.GetCount(), 251);
    EXPECT_EQ(dialer.GetEntry(250).number, QStringLiteral("249"));
    dialer.SetLanguage(LangCode("FR"));
    EXPECT_EQ(dialer.GetCount(), 0) << "a module without the resource leaves the table empty";
}

}  // namespace
