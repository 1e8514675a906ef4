#include "launcher/registration/RemoteCommands.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/FieldList.h"
#include "regengine/transport/Packet.h"
#include "regengine/transport/RemoteCommand.h"

#include "tests/launcher/window/RegWindTestSupport.h"
#include "tests/peers/ModemService.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>

#include <functional>

using namespace launcher;
using regwindtest::editOf;
using testpeers::codeArg;
using testpeers::remoteRecord;
using testpeers::utf16Arg;

namespace {

const QString kScript = QStringLiteral(
    ">WIND HOLD 0 0 200 100 0x00020000 Caption\n"
    ">SETHEADER PRNM Kelvo\n"
    ">PAGE PG00 0 0 100 100 0 First\n>EDIT NAME 0\n>EDIT CITY 0\n"
    ">PAGE PG01 0 0 100 100 0 Second\n>EDIT MAIL 0\n"
    ">PAGE PG02 0 0 100 100 0 Third\n");

engine::Packet packetOf(const QByteArray& records)
{
    engine::Packet packet;
    packet.Clear();
    packet.Append(testpeers::servicePacket(1, 'D', records));
    packet.SetChecksumFlag(true);
    return packet;
}

// Runs every record of the reply on the window; the numbers they gave.
QList<int> execute(RegWind& window, const QByteArray& records)
{
    const engine::Packet packet = packetOf(records);
    QList<int> numbers;
    quint32 position = 0;
    engine::RemoteRecord record;
    while (engine::ReadRecord(packet, position, record))
        numbers << window.ExecuteRemoteCommand(record);
    return numbers;
}

TEST(RemoteCommands, EachCommandOfTheReplyActsOnThePage)
{
    struct Case {
        const char* name;
        QByteArray records;
        QList<int> numbers;
        std::function<void(RegWind&)> check;
    } cases[] = {
        {"SETF fills a control of the current page",
         remoteRecord("SETF", codeArg("NAME", QStringLiteral("Jörg"))),
         {0},
         [](RegWind& w) { EXPECT_EQ(editOf(w, "NAME")->text(), QStringLiteral("Jörg")); }},
        {"SETF for a control of another page changes nothing",
         remoteRecord("SETF", codeArg("MAIL", "x@y")),
         {0},
         [](RegWind& w) { EXPECT_EQ(editOf(w, "MAIL")->text(), QString()); }},
        {"HIDF hides, SHOF shows again",
         remoteRecord("HIDF", codeArg("CITY")) + remoteRecord("HIDF", codeArg("NAME")) +
             remoteRecord("SHOF", codeArg("NAME")),
         {2, 2, 4},
         [](RegWind& w) {
             EXPECT_TRUE(editOf(w, "CITY")->isHidden());
             EXPECT_FALSE(editOf(w, "NAME")->isHidden());
         }},
        {"NSCR moves on and marks the page as moved by the service",
         remoteRecord("NSCR"),
         {9},
         [](RegWind& w) {
             EXPECT_EQ(w.GetCurrentPageIndex(), 1);
             EXPECT_TRUE(w.IsRemoteMoved());
         }},
        {"NSCR then PSCR comes back",
         remoteRecord("NSCR") + remoteRecord("PSCR"),
         {9, 10},
         [](RegWind& w) { EXPECT_EQ(w.GetCurrentPageIndex(), 0); }},
        {"PSCR on the first page moves nothing",
         remoteRecord("PSCR"),
         {10},
         [](RegWind& w) {
             EXPECT_EQ(w.GetCurrentPageIndex(), 0);
             EXPECT_FALSE(w.IsRemoteMoved());
         }},
        {"TCMD runs script text into the current page",
         remoteRecord("TCMD", utf16Arg(QStringLiteral(">SETFIELD ZIPC 12345\n>EDIT NEWF 0\n"))),
         {22},
         [](RegWind& w) {
             EXPECT_EQ(w.FieldValue(engine::FourCC("ZIPC")), QStringLiteral("12345"));
             ASSERT_NE(editOf(w, "NEWF"), nullptr);
             EXPECT_EQ(w.GetCurrentPageIndex(), 0);
         }},
        {"the commands without an effect do nothing",
         remoteRecord("SETP") + remoteRecord("SHWA", QByteArray(8, '\0')) + remoteRecord("GOTO", QByteArray(8, '\1')) +
             remoteRecord("PAGE") + remoteRecord("SETB"),
         {1, 3, 13, 20, 21},
         [](RegWind& w) {
             EXPECT_EQ(w.GetCurrentPageIndex(), 0);
             EXPECT_EQ(editOf(w, "NAME")->text(), QString());
         }},
        {"an unknown name is numbered past the table",
         remoteRecord("XXXX", "abcd"),
         {int(engine::kUnknownCommand)},
         [](RegWind&) {}},
        {"a SETF too short for its code is refused",
         remoteRecord("SETF", QByteArray("N\0A\0M", 5)),
         {0},
         [](RegWind& w) { EXPECT_EQ(editOf(w, "NAME")->text(), QString()); }},
        {"a HIDF too short for its code is refused",
         remoteRecord("HIDF", QByteArray("C\0I\0T\0", 6)),
         {2},
         [](RegWind& w) { EXPECT_FALSE(editOf(w, "CITY")->isHidden()); }},
        {"a TCMD too short for its text does nothing",
         remoteRecord("TCMD", "ab"),
         {22},
         [](RegWind& w) { EXPECT_EQ(w.GetCurrentPageIndex(), 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto reader = regwindtest::runScript(kScript);
        RegWind& window = *reader->GetWindow();
        ASSERT_EQ(window.GetCurrentPageIndex(), 0);
        EXPECT_EQ(execute(window, c.records), c.numbers);
        c.check(window);
    }
}

// The service may build controls and fields, never make the launcher read, write or run
// anything: those keywords are skipped while the rest of the text still runs.
TEST(RemoteCommands, ScriptTextFromTheServiceCannotReachFilesRegistryOrShell)
{
    const QString folder = testsupport::sandboxRoot() + QStringLiteral("/program");
    QDir().mkpath(folder);
    testsupport::writeFile(folder + QStringLiteral("/part.scr"), ">SETFIELD INCL included\n");
    auto reader = regwindtest::runScript(kScript);
    reader->SetProgramFolder(folder);
    RegWind& window = *reader->GetWindow();
    const engine::RegFile* prefsBefore = window.GetPrefsFile();
    const QString nameBefore = window.GetSettings().prefsFileName;
    const QString text = QStringLiteral(
        ">INCLUDE part.scr\n"
        ">SETHEADER PRNM ../../elsewhere\n"
        ">PREFFILE Taken.dat\n"
        ">GETREGISTRY REGV U U 0 Software\\Ovex\\Ovex Kelvo\\LauncherHasRun\n"
        ">FIELDFROMINI INIF /etc/os-release x ID none\n"
        ">WEBREGSITE file:///etc/passwd\n"
        ">PAGE PG09 0 0 100 100 0 Added\n"
        ">SETFIELD KEPT yes\n");
    EXPECT_EQ(execute(window, remoteRecord("TCMD", utf16Arg(text))), QList<int>{22});
    EXPECT_EQ(window.FieldValue(engine::FourCC("KEPT")), QStringLiteral("yes")) << "the allowed line ran";
    EXPECT_EQ(window.FieldValue(engine::FourCC("INCL")), QString());
    EXPECT_EQ(window.FieldValue(engine::FourCC("PRNM")), QStringLiteral("Kelvo"));
    EXPECT_EQ(window.FieldValue(engine::FourCC("REGV")), QString());
    EXPECT_EQ(window.FieldValue(engine::FourCC("INIF")), QString());
    EXPECT_EQ(window.GetSettings().webRegSite, QString());
    EXPECT_EQ(window.GetPageCount(), 3);
    EXPECT_EQ(window.GetPrefsFile(), prefsBefore);
    EXPECT_EQ(window.GetSettings().prefsFileName, nameBefore);
    // The script's own run is not confined afterwards.
    engine::QmStrStream own(QStringLiteral(">INCLUDE part.scr\n"));
    reader->Run(&own);
    EXPECT_EQ(window.FieldValue(engine::FourCC("INCL")), QStringLiteral("included"));
}

TEST(RemoteCommands, EveryKeywordThatReachesOutsideIsRefused)
{
    using K = ScriptReader;
    for (const int keyword : {K::WIND,
                              K::PAGE,
                              K::METHODPAGE,
                              K::MODEMPAGE,
                              K::INCLUDE,
                              K::PREFFILE,
                              K::GETREGISTRY,
                              K::GETEXTERNALFIELDS,
                              K::LISTFROMINI,
                              K::FIELDFROMINI,
                              K::WMIQUERY,
                              K::SYSPARAMETER,
                              K::SYSTEMINFO,
                              K::SERNUMCREATE,
                              K::ATTACHMENT,
                              K::ATTACH,
                              K::WEBREGSITE,
                              K::FTPREDIRECTLOC,
                              K::IPREDIRECTLOC,
                              K::RPCREDIRECTLOC,
                              K::SETMAIL,
                              K::RESUPDATE,
                              K::APPCLEANUP,
                              K::REGKEY,
                              K::REMINDLINK,
                              K::GENUNIQUEREGID,
                              K::GENUNIQUEREGKEY,
                              K::HYPERLINK,
                              K::PUSHBUTTON,
                              K::GRAPHIC,
                              K::GRAPHICBUTTON,
                              K::SETPAGEBACKGROUND,
                              K::SETHEADER,
                              K::GETCOMMANDLINEHEADERS,
                              K::AUTOLANGUAGE,
                              K::BACKUPREGMETHOD})
        EXPECT_FALSE(RemoteScriptMayRun(keyword)) << qPrintable(ScriptReader::KeywordText(keyword).toString());
    for (const int keyword : {K::EDIT, K::CAPTION, K::SETFIELD, K::COMBO, K::COUNTRYDIALER, K::END})
        EXPECT_TRUE(RemoteScriptMayRun(keyword)) << qPrintable(ScriptReader::KeywordText(keyword).toString());
}

}  // namespace
