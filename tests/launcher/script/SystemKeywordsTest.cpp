#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/sysinfo/SysInfoSources.h"

#include "platform/hardware/LinuxHardware.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

using namespace engine;
using namespace launcher;

// SYSTEMINFO stores the item its exactly matched name selects in the page fields;
// SYSPARAMETER's answer joins the initial values; an unknown name stores nothing.
TEST(SystemKeywords, StoreItemsAndParametersInTheirLists)
{
    testsupport::isolateEnvironment();
    platform::LinuxHardwareRoots roots;
    roots.proc = testsupport::sourceDir() + QStringLiteral("/tests/fixtures/hardware/proc");
    roots.cupsFiles = {testsupport::sourceDir() + QStringLiteral("/tests/fixtures/hardware/cups/lpoptions")};
    SysInfoSources sources;
    sources.hardware = std::make_shared<platform::LinuxHardware>(roots);
    SetSysInfoSources(sources);

    ScriptReader reader(
        std::make_unique<QmStrStream>(QStringLiteral(">WIND HOLD 0 0 200 100 0x00020000 Window caption\n"
                                                     ">SYSTEMINFO CPUM 0 the rest is dropped\n"
                                                     ">SYSTEMINFO mnrz 0\n"
                                                     ">SYSTEMINFO WP03 1A\n"
                                                     ">SYSTEMINFO NOPE 0\n"
                                                     ">SYSPARAMETER memory MEMS\n"
                                                     ">SYSPARAMETER cpuvendor CPUV\n")),
        QString(), LangCode("EN"));
    reader.Run();
    RegWind* window = reader.GetWindow();
    ASSERT_NE(window, nullptr);
    const FieldList* page = window->GetList(RegWind::PageFields);
    const FieldList* initial = window->GetList(RegWind::InitialValues);
    EXPECT_EQ(page->GetField(FourCC("CPUM")), QStringLiteral("0"));
    EXPECT_EQ(page->Find(FourCC("mnrz")), nullptr) << "names match exactly";
    EXPECT_EQ(page->GetField(FourCC("WP03")), QStringLiteral("1")) << "the fixture's CUPS default";
    EXPECT_EQ(page->Find(FourCC("NOPE")), nullptr);
    EXPECT_EQ(initial->GetField(FourCC("MEMS")), QStringLiteral("64001"));
    EXPECT_EQ(initial->GetField(FourCC("CPUV")), QStringLiteral("GenuineIntel"));
    ResetSysInfoSources();
}
