#include "regengine/core/WMIQuery.h"

#include "platform/wmi/LinuxWmi.h"

#include "tests/support/TestEnvironment.h"
#include "tests/support/TraceRecorder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRect>

#include <cstdlib>

using namespace engine;

namespace {

QString dmiFixture(const char* name)
{
    return testsupport::fixturePath(QStringLiteral("dmi/") + QLatin1String(name));
}

std::shared_ptr<platform::Wmi> fixtureWmi(const char* dmiCase)
{
    const QString m = testsupport::sourceDir() + QStringLiteral("/tests/platform/wmi/fixtures/two-packages");
    return std::make_shared<platform::LinuxWmi>(platform::LinuxWmiRoots{dmiFixture(dmiCase),
                                                                        m + QStringLiteral("/proc"),
                                                                        m + QStringLiteral("/sys"),
                                                                        {m + QStringLiteral("/os-release")}});
}

TEST(WMIQuery, FirstObjectsPropertyAsText)
{
    struct Case {
        const char* query;
        const char* property;
        const char* expected;
    };
    InitWmi(fixtureWmi("no-serial-files"));
    const WMIQuery wmi;
    ASSERT_TRUE(wmi.IsReady());
    for (const Case& c : {
             // The page script's two lines; trimming is the script's flag, not the query's.
             Case{"select * from Win32_ComputerSystem", "Model", "Kelvo Desk 7"},
             Case{"select * from Win32_BIOS", "SerialNumber", ""},                // no value: null
             Case{"select * from win32_processor", "CurrentClockSpeed", "2394"},  // the first package
             Case{"SELECT * FROM Win32_ComputerSystem", "TotalPhysicalMemory", "16706547712"},
             Case{"select * from Win32_ComputerSystem", "model", "Kelvo Desk 7"},
             Case{"select * from Win32_ComputerSystem", "Colour", ""},
             Case{"select * from Win32_Fan", "Name", ""},
             Case{"select * from Win32_Processor where Manufacturer = 'Cyrix'", "Name", ""},
             Case{"select from", "Model", ""},
         }) {
        EXPECT_EQ(wmi.Query(QString::fromUtf8(c.query), QString::fromUtf8(c.property)), QString::fromUtf8(c.expected))
            << c.query << " / " << c.property;
    }
    InitWmi(fixtureWmi("laptop"));
    EXPECT_EQ(WMIQuery().Query(QStringLiteral("select * from Win32_ComputerSystem"), QStringLiteral("Model")),
              QStringLiteral("Kelvo Book 14  "));
}

// A query the WMI does not understand is traced with the WMI's words: what it did not
// understand, by name.
TEST(WMIQuery, AQueryNotUnderstoodIsTracedWithTheReason)
{
    InitWmi(fixtureWmi("laptop"));
    const WMIQuery wmi;
    const struct {
        const char* query;
        const char* traced;
    } cases[] = {
        {"select * from Win32_Fan", "WMIQuery: Unknown WMI class Win32_Fan in the query \"select * from Win32_Fan\""},
        {"select Colour from Win32_BIOS",
         "WMIQuery: Class Win32_BIOS has no property Colour (query \"select Colour from Win32_BIOS\")"},
        {"select from", "WMIQuery: Unable to read the WQL query \"select from\": a property name is missing"},
    };
    for (const auto& c : cases) {
        testsupport::TraceRecorder trace;
        EXPECT_EQ(wmi.Query(QString::fromUtf8(c.query), QStringLiteral("Colour")), QString());
        EXPECT_EQ(trace.Text(), QString::fromUtf8(c.traced) + QStringLiteral("\r\n"));
    }
    ShutdownWmi();
}

// Without InitWmi the first query takes the machine's WMI, which honours OVEX_DMI_DIR.
TEST(WMIQuery, MachineWmiReadsTheDmiFolderTheEnvironmentNames)
{
    ::setenv("OVEX_DMI_DIR", QFile::encodeName(dmiFixture("laptop")).constData(), 1);
    const WMIQuery wmi;
    EXPECT_TRUE(wmi.IsReady());
    EXPECT_EQ(wmi.Query(QStringLiteral("select * from Win32_BIOS"), QStringLiteral("SerialNumber")),
              QStringLiteral("QX7-0042-1138"));
}

TEST(WMIQuery, ShutdownLeavesLiveQueriesAndTheNextOneReconnects)
{
    InitWmi(fixtureWmi("laptop"));
    const WMIQuery before;
    ShutdownWmi();
    EXPECT_EQ(before.Query(QStringLiteral("select * from Win32_BIOS"), QStringLiteral("SerialNumber")),
              QStringLiteral("QX7-0042-1138"));

    ::setenv("OVEX_DMI_DIR", QFile::encodeName(dmiFixture("no-serial-files")).constData(), 1);
    const WMIQuery after;
    EXPECT_TRUE(after.IsReady());
    EXPECT_EQ(after.Query(QStringLiteral("select * from Win32_ComputerSystem"), QStringLiteral("Model")),
              QStringLiteral("Kelvo Desk 7"));
    ShutdownWmi();
}

// A value with no text form reads as empty text, as one that cannot be converted does.
TEST(WMIQuery, ValueWithoutTextFormIsEmpty)
{
    class OddWmi final : public platform::Wmi {
    public:
        std::optional<QList<platform::WmiObject>> query(const QString&, const QStringList&, QString*) const override
        {
            platform::WmiObject o;
            o.properties = {{QStringLiteral("Area"), QVariant::fromValue(QRect(0, 0, 2, 2))}};
            return QList<platform::WmiObject>{o, platform::WmiObject{}};
        }
    };
    InitWmi(std::make_shared<OddWmi>());
    const WMIQuery wmi;
    EXPECT_EQ(wmi.Query(QStringLiteral("select * from Odd"), QStringLiteral("Area")), QString());
    ShutdownWmi();
}

}  // namespace
