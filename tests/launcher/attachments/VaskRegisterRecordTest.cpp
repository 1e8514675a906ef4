// The hand-off: the registration file written from the template into the data folder, and
// the client named by the machine's "InstallPath" started without waiting, here a stub
// that records how it was started.
#include "launcher/attachments/VaskRegisterRecord.h"
#include "tests/launcher/LauncherTestSupport.h"
#include "tests/launcher/attachments/AttachmentTestSupport.h"
#include "tests/support/StubClient.h"
#include "tests/support/TestEnvironment.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/LangCode.h"

#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QThread>

#include <string>

using namespace engine;
using namespace launcher;

namespace {

using attachmenttest::ScriptWindow;
using platform::Registry;
using platform::RegValue;
using platform::RootKey;
using testsupport::StubClient;

const QString kProductKey = QStringLiteral("SOFTWARE\\Ovex\\Ovex Kelvo");
const QString kUsid = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");

// What a window holds when the start event runs on a first run.
QString firstRunFields(const char* runCount = "1")
{
    return QStringLiteral(
               ">SETHEADER -RGC %1\n"
               ">SETHEADER CTRY CAN\n"
               ">SETHEADER MODL Kelvo Book 14\n"
               ">SETFIELD USID %2\n"
               ">SETFIELD ;MTH ;WEB\n"
               ">SETFIELD _tmp private\n")
        .arg(QString::fromLatin1(runCount), kUsid);
}

QString dataFolder()
{
    return platform::folderPath(platform::Folder::AppData, QStringLiteral("Ovex/Ovex Kelvo"));
}

// Every .tova file under the sandbox, wherever it landed.
QStringList tovaFiles()
{
    QStringList found;
    QDirIterator it(testsupport::sandboxRoot(), {QStringLiteral("*.tova"), QStringLiteral(".tova")},
                    QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

void setInstallPath(const QString& path)
{
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, kProductKey, QStringLiteral("InstallPath"),
                                   RegValue::fromString(path)));
}

QString startVask(int hours)
{
    return QStringLiteral(
               ">ATTACHMENT StartVask VaskRegisterRecord -RGC EQ 1 \"Ovex\\\\Ovex Kelvo\" %1\n"
               ">ATTACH !REG StartVask 0x00000004\n")
        .arg(hours);
}

// The record's lines as the marker gives them.
TEST(VaskTemplate, TheMarkerLineInAnyCaseWithBlanksGivesTheRecordWithoutPrivateCodes)
{
    ScriptWindow script(firstRunFields());
    const QByteArray record = VaskRegisterRecord::RenderTemplate(script.window(), QStringLiteral("<<FIELDS>>"));
    const QList<QByteArray> lines = record.split('\n');
    EXPECT_TRUE(lines.contains("MFGR:OVEX")) << record.toStdString();
    EXPECT_TRUE(lines.contains("CTRY:CAN"));
    EXPECT_TRUE(lines.contains("MODL:Kelvo Book 14"));
    EXPECT_TRUE(lines.contains("USID:" + kUsid.toUtf8()));
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        const char first = line.at(0);
        EXPECT_FALSE(first == '-' || first == ';' || first == '_' || (first >= 'a' && first <= 'z'))
            << "private code written: " << line.toStdString();
    }
    for (const char16_t* marker : {u"<<fields>>", u"  <<Fields>>\t", u"\t<<FIELDS>>  \r"}) {
        EXPECT_EQ(VaskRegisterRecord::RenderTemplate(script.window(), QString::fromUtf16(marker)), record)
            << QString::fromUtf16(marker).toStdString();
    }
}

struct LineCase {
    const char* name;
    const char16_t* templateText;
    const char* written;
};

void PrintTo(const LineCase& c, std::ostream* os)
{
    *os << c.name;
}

class VaskTemplateLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(VaskTemplateLines, AreWrittenSubstitutedAsUtf8)
{
    const LineCase& c = GetParam();
    ScriptWindow script(firstRunFields());
    EXPECT_EQ(VaskRegisterRecord::RenderTemplate(script.window(), QString::fromUtf16(c.templateText)),
              QByteArray(c.written));
}

const LineCase kLines[] = {
    {"field_tags_are_replaced", u"mfgr:<MFGR>\nfullname:<mFNM>\n", "mfgr:OVEX\nfullname:Ovex Inc.\n"},
    {"unknown_tags_are_kept", u"<b>bold</b> <Unknown> <$app.LangCode>\n", "<b>bold</b> <Unknown> <$app.LangCode>\n"},
    {"marker_with_more_on_its_line_is_text", u"<<FIELDS>> more\n", "<<FIELDS>> more\n"},
    {"mark_and_carriage_returns_dropped", u"\uFEFF>BeginMfgrInfo\r\n>EndMfgrInfo\r\n",
     ">BeginMfgrInfo\n>EndMfgrInfo\n"},
    {"empty_lines_stay", u"a\n\nb", "a\n\nb\n"},
    {"non_ascii_as_utf8", u"offer:Caf\u00e9 \u20ac\n", "offer:Caf\xc3\xa9 \xe2\x82\xac\n"},
};

INSTANTIATE_TEST_SUITE_P(Table, VaskTemplateLines, ::testing::ValuesIn(kLines),
                         [](const auto& info) { return std::string(info.param.name); });

// A value holding line breaks, in the record and in a line of the template, never starts a
// line of its own, so it cannot forge a section or a key of the file.
TEST(VaskTemplate, ALineBreakInAValueStaysOnItsLine)
{
    ScriptWindow script(firstRunFields());
    script.window().SetFieldValue(FourCC("NOTE"), QStringLiteral("one\n>EndRecord\r\nurl:x\rend"));
    script.window().BuildPacket();
    EXPECT_EQ(VaskRegisterRecord::RenderTemplate(script.window(), QStringLiteral("note:<NOTE>\n")),
              QByteArray("note:one >EndRecord url:x end\n"));
    const QList<QByteArray> record =
        VaskRegisterRecord::RenderTemplate(script.window(), QStringLiteral("<<FIELDS>>")).split('\n');
    EXPECT_TRUE(record.contains("NOTE:one >EndRecord url:x end"));
    EXPECT_FALSE(record.contains(">EndRecord"));
}

class VaskHandOff : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { LangCode::SetCurrent(LangCode("XT")); }
    void TearDown() override { LangCode::SetCurrent(LangCode("EN")); }
};

// The file from the language's template, then the client: "/schedule" and the time the
// hours ahead, or "/import" and the file (one argument, spaces and all), in the data folder.
TEST_P(VaskHandOff, WritesTheFileAndStartsTheClient)
{
    const int hours = GetParam();
    StubClient client(QStringLiteral("opt/ovex kelvo"));  // a blank in the path
    setInstallPath(client.path());
    ScriptWindow script(firstRunFields() + startVask(hours));
    const QDateTime before = QDateTime::currentDateTime();
    script.window().PerformEvent(AttachEvent::PageShown);

    const QString file = dataFolder() + QStringLiteral("/Ovex Kelvo.tova");
    EXPECT_EQ(tovaFiles(), QStringList{file});
    const QByteArray written = testsupport::readFile(file);
    const QByteArray record = VaskRegisterRecord::RenderTemplate(script.window(), QStringLiteral("<<FIELDS>>"));
    EXPECT_EQ(written, ">BeginMfgrInfo\nmfgr:OVEX\nfullname:Ovex Inc.\n>EndMfgrInfo\n\n>BeginRecord\n" + record +
                           ">EndRecord\nnote:<b>kept</b> <Unknown> caf\xc3\xa9\n");

    const QStringList started = client.waitForStart();
    ASSERT_EQ(started.size(), 3) << started.join(u'|').toStdString();
    EXPECT_EQ(started[0], dataFolder());
    if (hours == 0) {
        EXPECT_EQ(started.mid(1), (QStringList{QStringLiteral("/import"), file}));
        return;
    }
    EXPECT_EQ(started[1], QStringLiteral("/schedule"));
    const QDateTime at = QDateTime::fromString(started[2], QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    ASSERT_TRUE(at.isValid()) << started[2].toStdString();
    EXPECT_LE(qAbs(before.addSecs(qint64(hours) * 3600).secsTo(at)), 60) << started[2].toStdString();
}

INSTANTIATE_TEST_SUITE_P(Hours, VaskHandOff, ::testing::Values(0, 336), [](const auto& info) {
    return info.param == 0 ? std::string("import") : std::string("schedule");
});

TEST(VaskClientArguments, ScheduleTextIsTheLocalTimeHoursAhead)
{
    const QDateTime now(QDate(2024, 6, 1), QTime(9, 5, 7));
    EXPECT_EQ(VaskRegisterRecord::ClientArguments(336, QStringLiteral("/d/f.tova"), now),
              (QStringList{QStringLiteral("/schedule"), QStringLiteral("2024-06-15T09:05:07")}));
    EXPECT_EQ(VaskRegisterRecord::ClientArguments(1, QStringLiteral("/d/f.tova"),
                                                  QDateTime(QDate(2024, 12, 31), QTime(23, 30))),
              (QStringList{QStringLiteral("/schedule"), QStringLiteral("2025-01-01T00:30:00")}));
    EXPECT_EQ(VaskRegisterRecord::ClientArguments(0, QStringLiteral("/d/a b.tova"), now),
              (QStringList{QStringLiteral("/import"), QStringLiteral("/d/a b.tova")}));
}

// The file stays for a later import when the client cannot be found or started; the
// failure is traced.
struct ClientFailure {
    const char* name;
    const char* installPath;  // null: no value; relative: under the sandbox
    const char* traced;
};

void PrintTo(const ClientFailure& c, std::ostream* os)
{
    *os << c.name;
}

class VaskClientFailure : public ::testing::TestWithParam<ClientFailure> {};

TEST_P(VaskClientFailure, LeavesTheFileAndTracesWhy)
{
    const ClientFailure& c = GetParam();
    if (c.installPath != nullptr)
        setInstallPath(QString::fromLatin1(c.installPath).isEmpty()
                           ? QString()
                           : testsupport::sandboxRoot() + u'/' + QString::fromLatin1(c.installPath));
    launchertest::TraceRecorder traces;
    ScriptWindow script(firstRunFields() + startVask(336));
    script.window().PerformEvent(AttachEvent::PageShown);
    EXPECT_EQ(tovaFiles(), QStringList{dataFolder() + QStringLiteral("/Ovex Kelvo.tova")});
    EXPECT_TRUE(traces.Contains(QString::fromLatin1(c.traced))) << traces.Text().toStdString();
}

const ClientFailure kClientFailures[] = {
    {"no_install_path", nullptr, "InstallPath"},
    {"empty_install_path", "", "InstallPath"},
    {"install_path_names_no_program", "opt/none/OvexKelvo", "Unable to start"},
};

INSTANTIATE_TEST_SUITE_P(Table, VaskClientFailure, ::testing::ValuesIn(kClientFailures),
                         [](const auto& info) { return std::string(info.param.name); });

// A product name that would leave the data folder, hide the file from the client's scan or
// be empty (".tova") writes nothing and starts nothing; so does a later run.
struct NoHandOff {
    const char* name;
    const char* runCount;
    const char* productName;  // null: none in the header
};

void PrintTo(const NoHandOff& c, std::ostream* os)
{
    *os << c.name;
}

class VaskNoHandOff : public ::testing::TestWithParam<NoHandOff> {};

TEST_P(VaskNoHandOff, WritesNothingAndStartsNothing)
{
    const NoHandOff& c = GetParam();
    StubClient client(QStringLiteral("opt/ovex kelvo"));  // a blank in the path
    setInstallPath(client.path());
    launchertest::TraceRecorder traces;
    ScriptWindow script(firstRunFields(c.runCount) + startVask(0));
    FieldList* header = script.window().GetList(RegWind::HeaderRecord);
    if (c.productName == nullptr)
        header->Remove(FourCC("PRNM"));
    else
        header->SetField(FourCC("PRNM"), QString::fromUtf8(c.productName));
    script.window().PerformEvent(AttachEvent::PageShown);
    EXPECT_EQ(tovaFiles(), QStringList{});
    EXPECT_FALSE(client.started());
    if (QByteArray(c.runCount) == "1") {
        EXPECT_TRUE(traces.Contains(QStringLiteral("is not a file name"))) << traces.Text().toStdString();
    }
}

const NoHandOff kNoHandOffs[] = {
    {"second_run", "2", "Ovex Kelvo"},
    {"no_product_name", "1", nullptr},
    {"slash_leaves_the_folder", "1", "../../../escaped"},
    {"slash_inside", "1", "Ovex/Kelvo"},
    {"dot_dot", "1", ".."},
    {"hidden_file", "1", ".hidden"},
    {"line_break", "1", "Ovex\nKelvo"},
};

INSTANTIATE_TEST_SUITE_P(Table, VaskNoHandOff, ::testing::ValuesIn(kNoHandOffs),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
