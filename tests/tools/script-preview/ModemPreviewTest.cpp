#include "tests/peers/FakeModem.h"
#include "tests/peers/ModemService.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

using testpeers::FakeModem;

// The fixture registers by modem through script-preview; the machine's modem list is the
// fake modem alone, named by OVEX_MODEMS.
TEST(ModemPreview, ClickingRegisterRegistersOverTheListedModem)
{
    auto log = std::make_shared<testpeers::ServiceLog>();
    testpeers::ServiceScript script;
    script.packetsIn = 3;
    script.reply = testpeers::remoteRecord("SETF", testpeers::codeArg("RGID", QStringLiteral("R-42")));
    FakeModem::Options options = FakeModem::at(19200);
    options.service = testpeers::registrationService(script, log);
    FakeModem modem(options);
    ASSERT_TRUE(modem.started());

    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("OVEX_MODEMS"), modem.devicePath());
    const testsupport::RunResult r = testsupport::runProgram(
        testsupport::binaryDir() + QStringLiteral("/tools/script-preview/script-preview"),
        {testsupport::sourceDir() + QStringLiteral("/tests/tools/script-preview/fixtures/modem-registration.txt"),
         QStringLiteral("--set"), QStringLiteral("NAME=Jo"), QStringLiteral("--set"),
         QStringLiteral("-Fnl=18005550100"), QStringLiteral("--click"), QStringLiteral("REGB"),
         QStringLiteral("--tree"), QStringLiteral("--fields")},
        env);
    ASSERT_FALSE(r.crashed);
    EXPECT_EQ(modem.dialled(), QStringList{"18005550100"});
    const QList<QByteArray> packets = log->Packets();
    ASSERT_EQ(packets.size(), 3) << r.err.constData();
    EXPECT_TRUE(packets[2].contains(QByteArray("NAME:Jo\0", 8)));
    EXPECT_TRUE(r.out.contains("RGID:R-42")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("QmRegPage PG02")) << "the success page is shown";
}

}  // namespace
