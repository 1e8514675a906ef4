#include "launcher/window/OvexVaskStubRegWind.h"
#include "launcher/window/RegWind.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/app/TextResource.h"
#include "tests/launcher/LauncherTestSupport.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/TestEnvironment.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/dialogs/ReminderKeeper.h"
#include "regengine/ui/element/QmBasicDialog.h"
#include "regengine/ui/element/QmBasicWindow.h"
#include "regengine/ui/pages/QmRegPage.h"

#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"

#include <gtest/gtest.h>

#include <QDir>

#include <memory>
#include <string>
#include <vector>

using namespace engine;
using namespace launcher;

namespace {

using launchertest::TraceRecorder;
using testsupport::RecordingSink;

std::vector<std::string> g_events;

// Stands in for an attachment type: notes each event with its name and keeps the rest of
// its script line as tokens.
class Spy : public AttachmentType<Spy> {
public:
    bool ExecuteSelf(Attachable* attachable, quint32 event) override
    {
        const auto* element = dynamic_cast<QmWind*>(attachable);
        g_events.push_back(GetName().toStdString() + "@" +
                           (element ? FieldCodeToString(element->GetCode()).toStdString() : "?") + ":" +
                           std::to_string(event));
        return true;
    }
    void ReadParameters(QmStrStream& stream) override
    {
        QString line;
        if (stream.previous() != u'\n')
            ReadScriptLine(stream, line, 1024);
        QmStrStream rest(line);
        for (SkipScriptBlanks(rest); !rest.atEnd(); SkipScriptBlanks(rest))
            parameters << ReadScriptToken(rest);
    }
    QStringList parameters;
};

const AttachmentTypeRegistrar<Spy> g_spyType(QStringLiteral("Spy"));

// A window whose first-page calls are counted.
class CountingWind : public RegWind {
public:
    explicit CountingWind(QmStrStream& script) : RegWind(script) {}
    void ShowFirstPage() override
    {
        ++firstPageCalls;
        RegWind::ShowFirstPage();
    }
    int firstPageCalls = 0;
};

std::unique_ptr<RegWind> makeCountingWind(QmStrStream& script)
{
    return std::make_unique<CountingWind>(script);
}

std::unique_ptr<ScriptReader> run(const QString& script, ScriptReader::WindowFactory factory = nullptr,
                                  const QString& folder = {})
{
    auto reader =
        std::make_unique<ScriptReader>(std::make_unique<QmStrStream>(script), QStringLiteral("flg"), LangCode("EN"));
    reader->SetWindowFactory(factory);
    if (!folder.isEmpty())
        reader->SetProgramFolder(folder);
    reader->Run();
    return reader;
}

QString field(const ScriptReader& reader, int kind, const char* code)
{
    return reader.GetWindow()->GetList(kind)->GetField(FourCC(code));
}

bool hasField(const ScriptReader& reader, int kind, const char* code)
{
    return reader.GetWindow()->GetList(kind)->Find(FourCC(code)) != nullptr;
}

const QString kWind = QStringLiteral(">WIND HOLD 0 0 200 100 0x00020000 Window caption\n");

TEST(ScriptKeywords, TableIsExactAndInOrder)
{
    EXPECT_EQ(ScriptReader::KeywordCount, 92);
    for (int i = 0; i < ScriptReader::KeywordCount; ++i)
        EXPECT_EQ(ScriptReader::FindScriptKeyword(ScriptReader::KeywordText(i)), i);
    EXPECT_EQ(ScriptReader::FindScriptKeyword(u"PAGE"), ScriptReader::PAGE);
    EXPECT_EQ(ScriptReader::FindScriptKeyword(u"page"), -1);
    EXPECT_EQ(ScriptReader::FindScriptKeyword(u"FIELDFROMINI"), 90);
    EXPECT_EQ(ScriptReader::FindScriptKeyword(u"END"), 91);
}

TEST(ScriptRun, SkipInsideSkipNeedsBothEndSkips)
{
    auto reader = run(kWind + QStringLiteral(">SETFIELD AAAA one\n"
                                             ">SKIP\n>SETFIELD BBBB two\n"
                                             ">SKIP\n>SETFIELD CCCC three\n>ENDSKIP\n"
                                             ">SETFIELD DDDD four\n>ENDSKIP\n"
                                             ">ENDSKIP\n>SETFIELD EEEE five\n"));
    EXPECT_TRUE(hasField(*reader, RegWind::PageFields, "AAAA"));
    EXPECT_FALSE(hasField(*reader, RegWind::PageFields, "BBBB"));
    EXPECT_FALSE(hasField(*reader, RegWind::PageFields, "CCCC"));
    EXPECT_FALSE(hasField(*reader, RegWind::PageFields, "DDDD"));
    EXPECT_EQ(field(*reader, RegWind::PageFields, "EEEE"), QStringLiteral("five"));
}

TEST(ScriptRun, KeywordsMatchExactlyAfterLeadingMarks)
{
    auto reader = run(kWind + QStringLiteral(">page PAG1 0 0 10 10 0 lower case is no keyword\n"
                                             ">>>PAGE PAG2 0 0 10 10 0 marks are dropped\n"
                                             "text between lines is ignored >SETFIELD TEXT set\n"
                                             ">END\n>SETFIELD GONE after the end\n"));
    RegWind* window = reader->GetWindow();
    ASSERT_EQ(window->GetPageCount(), 1);
    EXPECT_EQ(FieldCodeToString(window->GetPage(0)->GetCode()), QStringLiteral("PAG2"));
    EXPECT_EQ(field(*reader, RegWind::PageFields, "TEXT"), QStringLiteral("set"));
    EXPECT_FALSE(hasField(*reader, RegWind::PageFields, "GONE"));
}

TEST(ScriptRun, ASecondWindDoesNothing)
{
    auto reader = run(kWind + QStringLiteral(">WIND SCND 5 5 50 50 0 Second\n>SETFIELD AFTR yes\n"));
    RegWind* window = reader->GetWindow();
    EXPECT_EQ(FieldCodeToString(window->GetCode()), QStringLiteral("HOLD"));
    EXPECT_EQ(window->GetText(), QStringLiteral("Window caption"));
    EXPECT_EQ(window->GetFlags(), 0x20000u);
    EXPECT_EQ(window->GetFlagsText(), QStringLiteral("flg"));
    EXPECT_EQ(window->GetScriptReader(), reader.get());
    EXPECT_EQ(field(*reader, RegWind::PageFields, "AFTR"), QStringLiteral("yes"));
}

TEST(ScriptRun, ValueKeywordsTrimAndStoreNothingForEmptyText)
{
    struct Case {
        const char* line;
        bool stored;
        const char* value;
    };
    const Case cases[] = {
        {">SETFIELD CODE _\n", false, ""},
        {">SETFIELD CODE     \n", false, ""},
        {">SETFIELD CODE\n", false, ""},
        {">SETFIELD CODE   _   \n", false, ""},
        {">SETFIELD CODE   padded value   \n", true, "padded value"},
        {">SETFIELD CODE __\n", true, "__"},
        {">SETFIELD CODE =CAPT:2\n", true, "Second entry"},
        {">SETFIELD CODE tab\\x09inside\n", true, "tab\tinside"},
    };
    for (const Case& c : cases) {
        auto reader = run(QStringLiteral(">STRINGTABLE CAPT ENGL\n1 First entry\n2 Second entry\n") + kWind +
                          QString::fromLatin1(c.line));
        EXPECT_EQ(hasField(*reader, RegWind::PageFields, "CODE"), c.stored) << c.line;
        EXPECT_EQ(field(*reader, RegWind::PageFields, "CODE"), QString::fromLatin1(c.value)) << c.line;
        StringTableMgr::Instance().RemoveAll();
    }
}

TEST(ScriptRun, EachValueKeywordFillsItsList)
{
    auto reader = run(kWind + QStringLiteral(">SETFIELD UUUU page\n>SETHEADER HHHH header\n"
                                             ">SETINITIALVALUE PPPP initial\n>SETBLANKVALUE BBBB blank\n"));
    EXPECT_EQ(field(*reader, RegWind::PageFields, "UUUU"), QStringLiteral("page"));
    EXPECT_EQ(field(*reader, RegWind::HeaderRecord, "HHHH"), QStringLiteral("header"));
    EXPECT_EQ(field(*reader, RegWind::InitialValues, "PPPP"), QStringLiteral("initial"));
    EXPECT_EQ(field(*reader, RegWind::BlankValues, "BBBB"), QStringLiteral("blank"));
    EXPECT_FALSE(hasField(*reader, RegWind::PageFields, "HHHH"));
}

TEST(ScriptRun, TheEndOfARunFixesTheHeaderRecordAndShowsTheFirstPageOnce)
{
    auto reader = run(kWind + QStringLiteral(">SETHEADER MFGR 0000\n>SETHEADER PROD 0000\n>SETHEADER VRST 0000\n"
                                             ">PAGE ONE_ 0 0 10 10 0 t\n>PAGE TWO_ 0 0 10 10 0 t\n"),
                      &makeCountingWind);
    RegWind* window = reader->GetWindow();
    struct Header {
        const char* code;
        const char* value;
    };
    for (const Header& h :
         {Header{"MFGR", "OVEX"}, Header{"PROD", "OVX1"}, Header{"RgVr", "W61017"}, Header{"VERS", "0102"},
          Header{"VRST", "0102 (EN)"}, Header{"BlVr", "W61030"}, Header{"RCVR", "WS0089A"}})
        EXPECT_EQ(field(*reader, RegWind::HeaderRecord, h.code), QString::fromLatin1(h.value)) << h.code;
    EXPECT_EQ(static_cast<CountingWind*>(window)->firstPageCalls, 1);
    EXPECT_EQ(window->GetCurrentPageIndex(), 0);
    EXPECT_TRUE(window->GetPage(0)->isVisibleTo(window));
    EXPECT_FALSE(window->GetPage(1)->isVisibleTo(window));
}

// A group that notes when it is closed.
std::vector<std::string> g_closed;

class TestGroup : public QmBasicWindow {
public:
    explicit TestGroup(QmWind* parent) : QmBasicWindow(parent) {}
    void CloseGroup() override { g_closed.push_back(FieldCodeToString(GetCode()).toStdString()); }
};

// Group and element handlers the way their classes will plug in: each reads its code and
// is made in the current parent.
void installTestElements(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::BASICGROUP, [](ScriptReader& r) {
        auto* group = new TestGroup(r.CurrentParent());
        group->SetCode(FourCC(r.Stream()));
        r.OpenGroup(group);
    });
    reader.SetKeywordHandler(ScriptReader::CAPTION, [](ScriptReader& r) {
        auto* caption = new QmBasicWindow(r.CurrentParent());
        caption->SetCode(FourCC(r.Stream()));
    });
}

TEST(ScriptGroups, EndGroupClosesTheInnermostOpenGroup)
{
    g_closed.clear();
    TraceRecorder traces;
    auto reader = std::make_unique<ScriptReader>(
        std::make_unique<QmStrStream>(kWind + QStringLiteral(">PAGE PAG1 0 0 100 100 0 t\n"
                                                             ">BASICGROUP OUTR\n"
                                                             ">BASICGROUP INNR\n"
                                                             ">CAPTION LEF1\n"
                                                             ">ENDGROUP\n"
                                                             ">CAPTION LEF2\n"
                                                             ">ENDGROUP\n"
                                                             ">CAPTION LEF3\n"
                                                             ">ENDGROUP\n"
                                                             ">CAPTION LEF4\n")),
        QString(), LangCode("EN"));
    installTestElements(*reader);
    reader->Run();
    RegWind* window = reader->GetWindow();
    EXPECT_EQ(g_closed, (std::vector<std::string>{"INNR", "OUTR"}));
    struct Parent {
        const char* element;
        const char* parent;
    };
    for (const Parent& p : {Parent{"OUTR", "PAG1"}, Parent{"INNR", "OUTR"}, Parent{"LEF1", "INNR"},
                            Parent{"LEF2", "OUTR"}, Parent{"LEF3", "PAG1"}, Parent{"LEF4", "PAG1"}}) {
        QmWind* element = window->FindByCode(FourCC(p.element));
        ASSERT_NE(element, nullptr) << p.element;
        EXPECT_EQ(FieldCodeToString(element->GetParent()->GetCode()).toStdString(), p.parent) << p.element;
    }
    EXPECT_TRUE(traces.Contains(QStringLiteral("ENDGROUP without an open group")));
    EXPECT_EQ(reader->CurrentGroup(), nullptr);
}

TEST(ScriptGroups, APageEndsGroupsLeftOpen)
{
    g_closed.clear();
    auto reader = std::make_unique<ScriptReader>(
        std::make_unique<QmStrStream>(kWind + QStringLiteral(">PAGE PAG1 0 0 100 100 0 t\n>BASICGROUP OPEN\n"
                                                             ">PAGE PAG2 0 0 100 100 0 t\n>ENDGROUP\n"
                                                             ">CAPTION LEAF\n")),
        QString(), LangCode("EN"));
    installTestElements(*reader);
    reader->Run();
    EXPECT_TRUE(g_closed.empty());
    QmWind* leaf = reader->GetWindow()->FindByCode(FourCC("LEAF"));
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(FieldCodeToString(leaf->GetParent()->GetCode()), QStringLiteral("PAG2"));
}

TEST(ScriptRun, KeywordsBeforeTheWindowAreTracedAndSkipped)
{
    TraceRecorder traces;
    auto reader = run(QStringLiteral(">SETFIELD AAAA early\n"
                                     ">PAGE PAG1 0 0 10 10 0 t\n"
                                     ">ATTACH !REG anything 0x1\n"
                                     ">GETCOMMANDLINEHEADERS\n"
                                     ">REMINDDAYS 3\n"
                                     ">GETREGISTRY CODE L H 0 SOFTWARE\\Key\\Value\n"
                                     ">GETEXTERNALFIELDS a b c 1\n"
                                     ">FIELDFROMINI CODE f.ini s k d\n"
                                     ">SERNUMCREATE SRNM A\n"
                                     ">SETMAIL NOMP early@ovex.example\n"
                                     ">PREFFILE Early.dat\n") +
                      kWind + QStringLiteral(">SETFIELD BBBB late\n"));
    for (const char* keyword : {"SETFIELD", "PAGE", "ATTACH", "GETCOMMANDLINEHEADERS", "REMINDDAYS", "GETREGISTRY",
                                "GETEXTERNALFIELDS", "FIELDFROMINI", "SERNUMCREATE", "SETMAIL", "PREFFILE"})
        EXPECT_TRUE(traces.Contains(QString::fromLatin1(keyword) + QStringLiteral(" before WIND: skipped"))) << keyword;
    ASSERT_NE(reader->GetWindow(), nullptr);
    EXPECT_EQ(reader->GetWindow()->GetPageCount(), 0);
    EXPECT_FALSE(hasField(*reader, RegWind::PageFields, "AAAA"));
    EXPECT_EQ(field(*reader, RegWind::PageFields, "BBBB"), QStringLiteral("late"));
    EXPECT_EQ(reader->GetWindow()->GetSettings().reminderDays, 14);
    EXPECT_TRUE(reader->GetWindow()->GetSettings().useMapi);
    EXPECT_TRUE(reader->GetWindow()->GetSettings().mailAddress.isEmpty());
    EXPECT_EQ(reader->GetWindow()->GetSettings().prefsFileName, QStringLiteral("Veldo.dat"));
    EXPECT_FALSE(reader->GetWindow()->IsSerialNumberPending());
}

TEST(ScriptAttach, UnknownTargetsAndNamesAreTracedAndAttachNothing)
{
    g_events.clear();
    TraceRecorder traces;
    auto reader = run(kWind + QStringLiteral(">ATTACHMENT probe Spy\n"
                                             ">ATTACHMENT other NoSuchType a b\n"
                                             ">PAGE PAG1 0 0 10 10 0 t\n"
                                             ">ATTACH NONE probe 0x1\n"
                                             ">ATTACH !REG nothing 0x1\n"
                                             ">ATTACH !REG other 0x1\n"
                                             ">ATTACH !REG probe 0x5\n"
                                             ">ATTACH PAG1 probe 0x4\n"));
    RegWind* window = reader->GetWindow();
    EXPECT_TRUE(traces.Contains(QStringLiteral("Attachment other: no attachment type NoSuchType")));
    EXPECT_TRUE(traces.Contains(QStringLiteral("ATTACH probe: no element NONE")));
    EXPECT_TRUE(traces.Contains(QStringLiteral("ATTACH nothing: no attachment of that name")));
    EXPECT_EQ(window->GetHookCount(), 1);
    EXPECT_EQ(window->GetPage(0)->GetHookCount(), 1);
    // Bit 0x1 runs the attachment as it is attached; the first page is shown as the run ends.
    EXPECT_EQ(g_events, (std::vector<std::string>{"probe@HOLD:1", "probe@PAG1:4"}));
    g_events.clear();
    window->ShowStartPage(-1);
    EXPECT_EQ(g_events, std::vector<std::string>{"probe@HOLD:4"});
}

// A folder of the test's own for script and INI files.
QString scratchFolder()
{
    const QString folder = testsupport::sandboxRoot() + QStringLiteral("/program");
    QDir().mkpath(folder);
    return folder;
}

TEST(ScriptInclude, IncludedFileRunsInTheSameStateAndTheRestOfItsLineIsDropped)
{
    const QString folder = scratchFolder();
    testsupport::writeFile(folder + QStringLiteral("/part.scr"),
                           ">SETFIELD INCL included\n>PAGE PAG2 0 0 10 10 0 t\n>END\n>SETFIELD NOPE after end\n");
    TraceRecorder traces;
    auto reader = run(kWind + QStringLiteral(">PAGE PAG1 0 0 10 10 0 t\n"
                                             ">INCLUDE part.scr >SETFIELD DROP same line\n"
                                             ">INCLUDE missing.scr\n"
                                             ">INCLUDE ../part.scr\n"
                                             ">INCLUDE sub/part.scr\n"
                                             ">INCLUDE /etc/passwd\n"
                                             ">SETFIELD AFTR outer goes on\n"),
                      &makeCountingWind, folder);
    EXPECT_EQ(field(*reader, RegWind::PageFields, "INCL"), QStringLiteral("included"));
    EXPECT_FALSE(hasField(*reader, RegWind::PageFields, "NOPE"));
    EXPECT_FALSE(hasField(*reader, RegWind::PageFields, "DROP"));
    EXPECT_EQ(field(*reader, RegWind::PageFields, "AFTR"), QStringLiteral("outer goes on"));
    EXPECT_EQ(reader->GetWindow()->GetPageCount(), 2);
    // Only the outer run shows the first page.
    EXPECT_EQ(static_cast<CountingWind*>(reader->GetWindow())->firstPageCalls, 1);
    EXPECT_TRUE(traces.Contains(QStringLiteral("missing.scr skipped")));
    for (const char* refused : {"../part.scr", "sub/part.scr", "/etc/passwd"})
        EXPECT_TRUE(traces.Contains(QStringLiteral("INCLUDE %1 refused").arg(QLatin1String(refused)))) << refused;
}

// A file that includes itself stops at a depth limit instead of overflowing the stack.
TEST(ScriptInclude, FileThatIncludesItselfEnds)
{
    const QString folder = scratchFolder();
    testsupport::writeFile(folder + QStringLiteral("/loop.scr"), ">SETFIELD LOOP ran\n>INCLUDE loop.scr\n");
    TraceRecorder traces;
    auto reader =
        run(kWind + QStringLiteral(">INCLUDE loop.scr\n>SETFIELD AFTR outer goes on\n"), &makeCountingWind, folder);
    EXPECT_EQ(field(*reader, RegWind::PageFields, "LOOP"), QStringLiteral("ran"));
    EXPECT_EQ(field(*reader, RegWind::PageFields, "AFTR"), QStringLiteral("outer goes on"));
    EXPECT_TRUE(traces.Contains(QStringLiteral("INCLUDE loop.scr refused: includes nested too deep")));
}

TEST(ScriptIni, ListFromIniFillsAroundTheMarkerUntilTheFirstMissingKey)
{
    const QString ini = scratchFolder() + QStringLiteral("/models.ini");
    testsupport::writeFile(ini,
                           "; models of this maker\n[Other]\n0=Wrong\n"
                           "[MODELS]\n0 = Alpha\n1=\"Beta Two\"\n3=Delta\n");
    TraceRecorder traces;
    auto reader = run(kWind + QStringLiteral(">LIST models\nFirst\n<LoadedItems>\nLast\n"
                                             ">LISTFROMINI models %1 models\n"
                                             ">LISTFROMINI fresh %1 Models\n"
                                             ">LISTFROMINI nofile %2 Models\n")
                                  .arg(ini, scratchFolder() + QStringLiteral("/none.ini")));
    const auto items = [&](const char* name) {
        QStringList out;
        if (const QmStringList* list = reader->FindList(QString::fromLatin1(name)))
            for (const QString& item : *list)
                out << item;
        return out;
    };
    EXPECT_EQ(items("models"), (QStringList{"First", "Alpha", "Beta Two", "Last"}));
    EXPECT_EQ(items("fresh"), (QStringList{"Alpha", "Beta Two"}));
    EXPECT_NE(reader->FindList(QStringLiteral("nofile")), nullptr);
    EXPECT_TRUE(items("nofile").isEmpty());
    EXPECT_TRUE(traces.Contains("LISTFROMINI nofile: Unable to read the INI file " + scratchFolder() +
                                "/none.ini: No such file or directory"))
        << traces.Text().toStdString();
}

TEST(ScriptIni, FieldFromIniTakesTheValueOrTheDefault)
{
    const QString ini = scratchFolder() + QStringLiteral("/oem.ini");
    testsupport::writeFile(ini, "[OEM]\nModel=Probook 450\n");
    auto reader = run(kWind + QStringLiteral(">FIELDFROMINI MODL %1 oem model unknown\n"
                                             ">FIELDFROMINI SRNM %1 OEM Serial \"no serial\"\n"
                                             ">FIELDFROMINI RELA oem.ini OEM Model none\n")
                                  .arg(ini),
                      nullptr, scratchFolder());
    EXPECT_EQ(field(*reader, RegWind::PageFields, "MODL"), QStringLiteral("Probook 450"));
    EXPECT_EQ(field(*reader, RegWind::PageFields, "SRNM"), QStringLiteral("no serial"));
    EXPECT_EQ(field(*reader, RegWind::PageFields, "RELA"), QStringLiteral("Probook 450"));
}

TEST(ScriptExternalFields, ReadFromTheUserTempFolderWithAnyLineEnds)
{
    testsupport::writeFile(platform::tempFolder() + QStringLiteral("/ext.reg"),
                           "MODL:Probook\n=SRM:1\r\nCTRY:USA\rnot a field\n=XYZ:mark\n\nFNAM:Ann\n");
    auto reader = run(kWind + QStringLiteral(">SETHEADER PRNM Ovex Kelvo\n>SETINITIALVALUE KEEP kept\n"
                                             ">GETEXTERNALFIELDS one ext.reg three 4\n"));
    RegWind* window = reader->GetWindow();
    const FieldList* header = window->GetList(RegWind::HeaderRecord);
    EXPECT_EQ(header->GetField(FourCC("MODL")), QStringLiteral("Probook"));
    EXPECT_EQ(header->GetField(FourCC("CTRY")), QStringLiteral("USA"));
    EXPECT_EQ(header->GetField(FourCC("FNAM")), QStringLiteral("Ann"));
    EXPECT_EQ(header->Find(FourCC("PRNM")), nullptr);
    EXPECT_EQ(field(*reader, RegWind::InitialValues, "CTRY"), QStringLiteral("USA"));
    EXPECT_EQ(field(*reader, RegWind::InitialValues, "KEEP"), QStringLiteral("kept"));
    EXPECT_EQ(field(*reader, RegWind::ExternalFields, "=SRM"), QStringLiteral("1"));
    EXPECT_EQ(field(*reader, RegWind::ExternalFields, "=XYZ"), QStringLiteral("mark"));
    EXPECT_TRUE(window->GetSettings().externalStart);
}

TEST(ScriptExternalFields, AMissingOrOutsideFileShowsTheBoxAndChangesNothing)
{
    testsupport::writeFile(testsupport::sandboxRoot() + QStringLiteral("/outside.reg"), "MODL:Outside\n");
    for (const char* name : {"absent.reg", "../outside.reg"}) {
        RecordingSink sink;
        auto reader =
            run(kWind +
                QStringLiteral(">SETHEADER PRNM Ovex Kelvo\n>GETEXTERNALFIELDS a %1 c 1\n").arg(QLatin1String(name)));
        ASSERT_EQ(sink.boxes.size(), 1u) << name;
        EXPECT_EQ(sink.boxes[0].text, QStringLiteral("An external reg file is missing.")) << name;
        EXPECT_EQ(field(*reader, RegWind::HeaderRecord, "PRNM"), QStringLiteral("Ovex Kelvo")) << name;
        EXPECT_FALSE(reader->GetWindow()->GetSettings().externalStart);
    }

    // Without a temp folder nothing is read from the root folder instead, and the trace says why.
    testsupport::writeFile(testsupport::sandboxRoot() + QStringLiteral("/blocked"), "a file, not a folder");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(testsupport::sandboxRoot() + QStringLiteral("/blocked/cache")));
    qunsetenv("XDG_RUNTIME_DIR");
    RecordingSink sink;
    TraceRecorder traces;
    run(kWind + QStringLiteral(">GETEXTERNALFIELDS a ext.reg c 1\n"));
    EXPECT_EQ(sink.boxes.size(), 1u);
    EXPECT_TRUE(traces.Contains(QStringLiteral("GETEXTERNALFIELDS: Unable to make the folder ")))
        << traces.Text().toStdString();
}

TEST(ScriptRegistry, GetRegistryReadsTheRootAndStoresByKind)
{
    using platform::Registry;
    using platform::RegValue;
    using platform::RootKey;
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, QStringLiteral("SOFTWARE\\Ovex\\Ovex Kelvo"),
                                   QStringLiteral("InstallPath"), RegValue::fromString("/opt/ovex-kelvo/OvexKelvo")));
    ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, QStringLiteral("Software\\Test"), QStringLiteral("Count"),
                                   RegValue::fromDWord(255)));
    ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, QStringLiteral("Software\\Test"), QStringLiteral("Empty"),
                                   RegValue::fromString(QString())));
    auto reader = run(kWind + QStringLiteral(">GETREGISTRY INST L H 0 SOFTWARE\\Ovex\\Ovex Kelvo\\InstallPath\n"
                                             ">GETREGISTRY CNTU U U 0 Software\\Test\\Count\n"
                                             ">GETREGISTRY CNTX U X 1 Software\\Test\\Count\n"
                                             ">GETREGISTRY EMPT U H 0 Software\\Test\\Empty\n"
                                             ">GETREGISTRY MISS U H 0 Software\\Test\\Missing\n"
                                             ">GETREGISTRY ROOT Z H 0 Software\\Test\\Count\n"));
    EXPECT_EQ(field(*reader, RegWind::HeaderRecord, "INST"), QStringLiteral("/opt/ovex-kelvo/OvexKelvo"));
    EXPECT_EQ(field(*reader, RegWind::PageFields, "CNTU"), QStringLiteral("255"));
    EXPECT_EQ(field(*reader, RegWind::PageFields, "CNTX"), QStringLiteral("0x000000FF"));
    for (const char* code : {"EMPT", "MISS", "ROOT"}) {
        EXPECT_FALSE(hasField(*reader, RegWind::HeaderRecord, code)) << code;
        EXPECT_FALSE(hasField(*reader, RegWind::PageFields, code)) << code;
    }
}

TEST(ScriptRegistry, TheWindowsOwnKeyIsOpenedFromTheFixedHeaders)
{
    using platform::Registry;
    using platform::RegValue;
    using platform::RootKey;
    const QString key = QStringLiteral("Software\\Quenmark\\Veldora\\OVEX\\OVX1\\Ovex Kelvo\\0102");
    ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, key, QStringLiteral("RegStatus"),
                                   RegValue::fromString(QStringLiteral("I 2601011200"))));
    auto reader = run(kWind + QStringLiteral(">SETHEADER PRNM Ovex Kelvo\n>GETREGISTRY STAT A U 0 RegStatus\n"));
    EXPECT_EQ(field(*reader, RegWind::PageFields, "STAT"), QStringLiteral("I 2601011200"));
}

TEST(ScriptWindowSettings, EachKeywordReadsItsArgumentsAndDropsTheRest)
{
    struct Case {
        const char* line;
        bool (*check)(const RegWind::Settings&, const RegWind&);
    };
    const Case cases[] = {
        {">WEBREGSITE http://www.ovex.example/reg more\n",
         [](const RegWind::Settings& s, const RegWind&) { return s.webRegSite == u"http://www.ovex.example/reg"; }},
        {">SETPHONES 555-0100 555-0199\n",
         [](const RegWind::Settings& s, const RegWind&) {
             return s.phones[0] == u"555-0100" && s.phones[1] == u"555-0199";
         }},
        {">REMINDID 2101 >SETFIELD DROP dropped\n",
         [](const RegWind::Settings& s, const RegWind& w) {
             return s.reminderDialogId == 2101 && w.GetList(RegWind::PageFields)->Find(FourCC("DROP")) == nullptr;
         }},
        {">REGSUCCESSPAGE   QUIT\n",
         [](const RegWind::Settings& s, const RegWind&) { return s.successPage == FourCC("QUIT"); }},
        {">FTPREDIRECTLOC ftp://files.ovex.example/up load\n",
         [](const RegWind::Settings& s, const RegWind&) {
             return s.ftpRedirect == u"ftp://files.ovex.example/up load";
         }},
        {">DEFAULTCANCELCMD 2999 cancel >SETFIELD DROP dropped\n",
         [](const RegWind::Settings& s, const RegWind& w) {
             return s.cancelCommand == 2999 && w.GetList(RegWind::PageFields)->Find(FourCC("DROP")) == nullptr;
         }},
        {">APPCLEANUP SNRPQ\n", [](const RegWind::Settings& s, const RegWind&) { return s.cleanupFlags == 15u; }},
        {">SETSTARTPAGES 1 2 3\n",
         [](const RegWind::Settings& s, const RegWind&) {
             return s.startPages[0] == 1 && s.startPages[1] == 2 && s.startPages[2] == 3;
         }},
        {">GENUNIQUEREGID 8 MODL SRNM\n",
         [](const RegWind::Settings& s, const RegWind&) {
             return s.uniqueIdCount == 8 && s.uniqueIdCodes == u"MODL SRNM";
         }},
        {">GENUNIQUEREGKEY abcdefgh\n",
         [](const RegWind::Settings& s, const RegWind&) { return s.keyText == u"abcdefgh"; }},
        {">GENUNIQUEREGKEY\n",
         [](const RegWind::Settings& s, const RegWind&) { return s.keyText == u"qmvotrazelpinkuwsb"; }},
        {">DERIVE FULL <FNAM> <LNAM>\n",
         [](const RegWind::Settings&, const RegWind& w) {
             return w.GetList(RegWind::DerivedFields)->GetField(FourCC("FULL")) == u"<FNAM> <LNAM>";
         }},
        {">REMINDLINK X Register <PRNM> later\n",
         [](const RegWind::Settings& s, const RegWind&) { return s.reminderLink == u"Register <PRNM> later"; }},
        {">REMINDDAYS 30\n", [](const RegWind::Settings& s, const RegWind&) { return s.reminderDays == 30; }},
        {">REGKEY LNAM\n", [](const RegWind::Settings& s, const RegWind&) { return s.regKey == FourCC("LNAM"); }},
        {">RESUPDATE F\n", [](const RegWind::Settings& s, const RegWind&) { return s.resourceUpdate == 2; }},
        {">RESUPDATE Q\n", [](const RegWind::Settings& s, const RegWind&) { return s.resourceUpdate == 0; }},
        {">REMINDFLAGS 0x3 both >SETFIELD DROP dropped\n",
         [](const RegWind::Settings&, const RegWind& w) {
             return ReminderKeeper::ReminderFlags() == 3u &&
                    w.GetList(RegWind::PageFields)->Find(FourCC("DROP")) == nullptr;
         }},
        {">LIST order\nLNAM\nFNAM\n>OUTPUTORDER order\n",
         [](const RegWind::Settings& s, const RegWind&) {
             return s.outputOrder.GetCount() == 2 && s.outputOrder.GetAtNode(0)->GetCode() == FourCC("LNAM");
         }},
        {">BACKUPREGMETHOD ;EMR\n",
         [](const RegWind::Settings& s, const RegWind&) { return s.backupMethod == u";EMR"; }},
        {">SETMAIL MAPI register@ovex.example \t \n",
         [](const RegWind::Settings& s, const RegWind&) {
             return s.mailCode == FourCC("MAPI") && s.mailAddress == u"register@ovex.example" && s.useMapi;
         }},
        {">SETMAIL NOMP Ovex Registration <reg@ovex.example>\n",
         [](const RegWind::Settings& s, const RegWind&) {
             return s.mailCode == FourCC("NOMP") && s.mailAddress == u"Ovex Registration <reg@ovex.example>" &&
                    !s.useMapi;
         }},
        {">SETMAIL NOMP first@ovex.example\n>SETMAIL MAPI second@ovex.example\n",
         [](const RegWind::Settings& s, const RegWind&) {
             return s.mailCode == FourCC("MAPI") && s.mailAddress == u"second@ovex.example" && !s.useMapi;
         }},
    };
    for (const Case& c : cases) {
        TraceRecorder traces;
        auto reader = run(kWind + QString::fromLatin1(c.line));
        const RegWind& window = *reader->GetWindow();
        EXPECT_TRUE(c.check(window.GetSettings(), window)) << c.line;
    }
}

TEST(ScriptWindowSettings, UnknownLettersAreTraced)
{
    TraceRecorder traces;
    run(kWind + QStringLiteral(">APPCLEANUP SQ\n>RESUPDATE Z\n"));
    EXPECT_TRUE(traces.Contains(QStringLiteral("CleanupFlags:  Unknown flag Q")));
    EXPECT_TRUE(traces.Contains(QStringLiteral("Unknown RESUPDATE type Z")));
}

TEST(ScriptReaderState, DefaultFlagPageColourAndBackground)
{
    auto reader = run(kWind + QStringLiteral(">DEFAULTFLAG 0x2000 rest\n>SETPAGECOLOR 255 128 0\n"
                                             ">SETPAGEBACKGROUND BACKDROP 0x3\n"));
    EXPECT_EQ(QmWind::GetDefaultFlags(), 0x2000u);
    EXPECT_EQ(reader->GetPageColor(), 0x0080FFu);
    EXPECT_EQ(ScriptReader::PageBackgroundName(), QStringLiteral("BACKDROP"));
    EXPECT_EQ(ScriptReader::PageBackgroundMode(), 3u);
    auto cleared = run(kWind + QStringLiteral(">SETPAGECOLOR 10 10 10\n>SETPAGECOLOR -1 -1 -1\n"));
    EXPECT_FALSE(cleared->GetPageColor().has_value());
    // The background is process-wide and outlives the reader that set it.
    EXPECT_EQ(ScriptReader::PageBackgroundName(), QStringLiteral("BACKDROP"));
}

TEST(ScriptReaderState, CommandLineFieldsJoinTheHeaderOnRequest)
{
    FieldList commandLine;
    commandLine.SetField(FourCC("MODL"), QStringLiteral("Probook"));
    auto reader = std::make_unique<ScriptReader>(
        std::make_unique<QmStrStream>(kWind + QStringLiteral(">SETHEADER MODL script\n>GETCOMMANDLINEHEADERS\n")),
        QString(), LangCode("EN"));
    reader->SetCommandLineFields(&commandLine);
    reader->Run();
    EXPECT_EQ(field(*reader, RegWind::HeaderRecord, "MODL"), QStringLiteral("Probook"));
}

TEST(ScriptReaderState, SetCurrentPageChoosesWhereElementsGo)
{
    auto reader = std::make_unique<ScriptReader>(
        std::make_unique<QmStrStream>(kWind + QStringLiteral(">PAGE PAG1 0 0 10 10 0 t\n>PAGE PAG2 0 0 10 10 0 t\n")),
        QString(), LangCode("EN"));
    installTestElements(*reader);
    reader->Run();
    RegWind* window = reader->GetWindow();
    QmBasicDialog* first = window->GetPage(0);
    EXPECT_EQ(reader->SetCurrentPage(first), window->GetPage(1));
    QmStrStream more(QStringLiteral(">CAPTION ONP1\n"));
    reader->Run(&more);
    EXPECT_EQ(window->FindByCode(FourCC("ONP1"))->GetParent(), first);
    EXPECT_EQ(reader->SetCurrentPage(nullptr), first);
    QmStrStream top(QStringLiteral(">CAPTION ONWN\n"));
    reader->Run(&top);
    EXPECT_EQ(window->FindByCode(FourCC("ONWN"))->GetParent(), window);
}

TEST(ScriptResource, RunResourceResetsListsAndTablesAndReportsAMissingScript)
{
    auto reader = run(QStringLiteral(">STRINGTABLE TEST ENGL\n1 one\n>LIST keep\nitem\n") + kWind);
    ASSERT_NE(reader->FindList(QStringLiteral("keep")), nullptr);
    RegWind* window = reader->GetWindow();

    reader->SetResourceModule(QStringLiteral("launcher_test"));
    EXPECT_TRUE(reader->RunResource(LangCode("ENU")));
    EXPECT_EQ(reader->FindList(QStringLiteral("keep")), nullptr);
    EXPECT_EQ(StringTableMgr::Instance().FindTable(FourCC("TEST"), FourCC("ENGL")), nullptr);
    // The same window is filled again.
    EXPECT_EQ(reader->GetWindow(), window);
    EXPECT_EQ(field(*reader, RegWind::HeaderRecord, "SRC1"), QStringLiteral("ENU"));

    RecordingSink sink;
    reader->SetResourceModule(QStringLiteral("no_such_module"));
    EXPECT_FALSE(reader->RunResource(LangCode("EN")));
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, QStringLiteral("Error Starting No Data File"));
    EXPECT_EQ(sink.boxes[0].caption, QStringLiteral("Error"));
    EXPECT_TRUE(platform::quitPending());
}

TEST(ScriptResource, PageScriptLookupByLanguage)
{
    LangCode::SetMapping(LangCode("CHS"), LangCode("ZH"));
    struct Case {
        const char* language;
        const char* found;
    };
    for (const Case& c : {Case{"ENU", "PAGESENU"}, Case{"ENG", "PAGESEN"}, Case{"CHS", "PAGESZH"},
                          Case{"zh", "PAGESZH"}, Case{"DEU", "PAGESEN"}, Case{"", "PAGESEN"}}) {
        QString found;
        EXPECT_TRUE(
            LoadTextResource(QStringLiteral("launcher_test"), QStringLiteral("PAGES"), LangCode(c.language), &found))
            << c.language;
        EXPECT_EQ(found, QString::fromLatin1(c.found)) << c.language;
    }
    EXPECT_FALSE(ScriptReader::LoadPageScript(LangCode("EN"), QStringLiteral("no_such_module")));
}

TEST(ScriptResource, TextResourcesDecodeUtf8AndUtf16WithTheirMark)
{
    EXPECT_EQ(DecodeTextResource(QByteArray("\xFF\xFE>\0E\0", 6)), QString(QChar(0xFEFF)) + QStringLiteral(">E"));
    EXPECT_EQ(DecodeTextResource(QByteArray("\xFE\xFF\0>\0E", 6)), QString(QChar(0xFEFF)) + QStringLiteral(">E"));
    EXPECT_EQ(DecodeTextResource("\xC3\xA9t\xC3\xA9"), QStringLiteral("\u00e9t\u00e9"));
    const std::optional<QString> tova =
        LoadTextResource(QStringLiteral("launcher"), QStringLiteral("Vask"), LangCode("EN"));
    ASSERT_TRUE(tova);
    EXPECT_TRUE(tova->startsWith(QChar(0xFEFF)));
    EXPECT_TRUE(tova->contains(QStringLiteral("url:file://<$APP.ExeDirectory>/messages/welcome.htm\n")));
    EXPECT_TRUE(tova->contains(QStringLiteral("\n<<FIELDS>>\n")));
}

// The product's own script, with stand-ins registered under the launcher's attachment
// types so the wiring can be seen.
const AttachmentTypeRegistrar<Spy> g_fieldType(QStringLiteral("SetFieldWithTest"));
const AttachmentTypeRegistrar<Spy> g_recordType(QStringLiteral("VaskRegisterRecord"));
const AttachmentTypeRegistrar<Spy> g_exitType(QStringLiteral("SetExitCode"));

// A machine whose DMI files say who it is, as sysfs gives them.
void useDmiFixture()
{
    const QString dmi = testsupport::sandboxRoot() + QStringLiteral("/dmi");
    testsupport::writeFile(dmi + QStringLiteral("/product_name"), "  Probook 450 G8 \n");
    testsupport::writeFile(dmi + QStringLiteral("/product_serial"), "CZC1234XYZ\n");
    testsupport::writeFile(dmi + QStringLiteral("/sys_vendor"), "Ovex\n");
    qputenv("OVEX_DMI_DIR", dmi.toLocal8Bit());
}

TEST(ScriptWmi, QueriesFillTheHeaderTrimmedOnRequestAndEmptyOnFailure)
{
    useDmiFixture();
    auto reader = run(kWind + QStringLiteral(">WMIQUERY MODL \"select * from Win32_ComputerSystem\" \"Model\" 0x1\n"
                                             ">WMIQUERY RAWM \"select * from Win32_ComputerSystem\" \"Model\" 0x0\n"
                                             ">WMIQUERY NONE \"select * from Win32_NoSuchClass\" \"Model\" 0x1\n"));
    EXPECT_EQ(field(*reader, RegWind::HeaderRecord, "MODL"), QStringLiteral("Probook 450 G8"));
    EXPECT_EQ(field(*reader, RegWind::HeaderRecord, "RAWM"), QStringLiteral("  Probook 450 G8 "));
    EXPECT_TRUE(hasField(*reader, RegWind::HeaderRecord, "NONE"));
    EXPECT_TRUE(field(*reader, RegWind::HeaderRecord, "NONE").isEmpty());
}

TEST(BuiltInScript, BuildsTheHiddenWindowAndWiresTheStartEvent)
{
    g_events.clear();
    useDmiFixture();
    TraceRecorder traces;
    const std::optional<QString> script = ScriptReader::LoadPageScript(LangCode("ENU"), QStringLiteral("launcher"));
    ASSERT_TRUE(script);
    ScriptReader reader(std::make_unique<QmStrStream>(*script), QString(), LangCode("ENU"));
    reader.SetWindowFactory(&CreateStubRegWind);
    reader.Run();
    RegWind* window = reader.GetWindow();
    ASSERT_NE(dynamic_cast<OvexVaskStubRegWind*>(window), nullptr);
    EXPECT_EQ(FieldCodeToString(window->GetCode()), QStringLiteral("HOLD"));
    EXPECT_EQ(window->GetText(), QStringLiteral("Ovex Kelvo Setup"));
    EXPECT_EQ(window->GetFlags(), 0x00420000u);
    ASSERT_EQ(window->GetPageCount(), 1);
    EXPECT_EQ(FieldCodeToString(window->GetPage(0)->GetCode()), QStringLiteral("-PUL"));
    EXPECT_EQ(window->GetPage(0)->GetRect(), QmRect(0, 0, 580, 480));
    // The stub window shows nothing when the script ends.
    EXPECT_EQ(window->GetCurrentPageIndex(), -1);
    struct Header {
        const char* code;
        const char* value;
    };
    for (const Header& h :
         {Header{"mFNM", "Ovex Inc."}, Header{"PRNM", "Ovex Kelvo"}, Header{"LANG", "EN"}, Header{"MFGR", "OVEX"},
          Header{"PROD", "OVX1"}, Header{"VERS", "0102"}, Header{"VRST", "0102 (EN)"}, Header{"RCVR", "WS0089A"},
          Header{"MODL", "Probook 450 G8"}, Header{"SRNM", "CZC1234XYZ"}})
        EXPECT_EQ(field(reader, RegWind::HeaderRecord, h.code), QString::fromLatin1(h.value)) << h.code;

    const auto* startVask = static_cast<const Spy*>(Attachment::Find(QStringLiteral("StartVask")));
    ASSERT_NE(startVask, nullptr);
    EXPECT_EQ(startVask->parameters, (QStringList{"-RGC", "EQ", "1", "Ovex\\Ovex Kelvo", "336"}));
    const auto* getCtry = static_cast<const Spy*>(Attachment::Find(QStringLiteral("GetCtry")));
    ASSERT_NE(getCtry, nullptr);
    EXPECT_EQ(getCtry->parameters, (QStringList{"CTRY", "1", "EQ", "1", "<$APP.CountryCode>", ""}));

    // The country and language run while the script is read; the start event runs the
    // hand-off, then the exit.
    EXPECT_EQ(g_events, (std::vector<std::string>{"GetCtry@HOLD:1", "GetLang@HOLD:1"}));
    g_events.clear();
    static_cast<OvexVaskStubRegWind*>(window)->SetUuidMaker([] { return QStringLiteral("fixed-id"); });
    window->ShowStartPage(-1);
    EXPECT_EQ(g_events, (std::vector<std::string>{"StartVask@HOLD:4", "ExitApp@HOLD:4"}));
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(traces.Contains(QStringLiteral("no attachment")));
}

}  // namespace
