#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"
#include "tests/support/RecordingSink.h"

#include "regengine/core/Constraint.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/element/QmWind.h"
#include "regengine/ui/controls/QmCaption.h"
#include "regengine/ui/controls/QmEdit.h"
#include "regengine/ui/controls/QmGroupWindow.h"
#include "regengine/ui/controls/QmMaskEdit.h"
#include "regengine/ui/graphics/QmFont.h"

#include "tests/launcher/LauncherTestSupport.h"

#include <cxxabi.h>
#include <cstdlib>
#include <typeinfo>

#include <gtest/gtest.h>

#include <memory>

using namespace engine;
using namespace launcher;

namespace {

using testsupport::RecordingSink;

std::unique_ptr<ScriptReader> run(const QString& script)
{
    auto reader = std::make_unique<ScriptReader>(std::make_unique<QmStrStream>(script), QString(), LangCode("EN"));
    reader->Run();
    return reader;
}

// A windowless element that keeps the constraint it is given, so the test needs no edit.
class Holder : public QmWind {
public:
    Holder(QmWind* parent, const char* code) : QmWind(parent) { SetCode(FourCC(code)); }
};

TEST(ConstraintKeywords, DeclareAttachAndLimit)
{
    auto reader =
        run(QStringLiteral(">WIND HOLD 0 0 200 100 0x00020000 Test\n"
                           ">CONSTRAINT Name 1 2 30\n"
                           ">CONSTRAINT City 0x41 0 0\n"
                           "a-z A-Z \\\n"
                           ">MASK Phone 1 000-000-0000 SSS-SSS-SSSS\n"
                           ">MFGRCONSTRAINT\n"
                           ">SETCONSTRAINTTRIES Name 2 ERRS 4\n"
                           ">END\n"));
    Constraint* name = Constraint::Find(QStringLiteral("Name"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->GetFlags(), 0x1u);
    EXPECT_EQ(name->GetMinLength(), 2);
    EXPECT_EQ(name->GetMaxLength(), 30);
    EXPECT_EQ(name->GetErrorLimit(), 2);
    Constraint* city = Constraint::Find(QStringLiteral("City"));
    ASSERT_NE(city, nullptr);
    EXPECT_TRUE(city->IsCharAllowed(u'Q'));
    EXPECT_TRUE(city->IsCharAllowed(u' '));
    EXPECT_FALSE(city->IsCharAllowed(u'1'));
    auto* phone = dynamic_cast<MaskConstraint*>(Constraint::Find(QStringLiteral("Phone")));
    ASSERT_NE(phone, nullptr);
    EXPECT_EQ(phone->Picture(), QStringLiteral("   -   -    "));
    // The manufacturer constraint reads no name.
    auto* mfgr = dynamic_cast<MFGRConstraint*>(Constraint::Find(QString()));
    ASSERT_NE(mfgr, nullptr);
    EXPECT_EQ(mfgr->GetWindow(), reader->GetWindow());

    // SETCONSTRAINT finds the element by code; an unknown name changes nothing.
    auto* holder = new Holder(reader->GetWindow(), "NAME");
    QmStrStream more(QStringLiteral(">SETCONSTRAINT NAME  Name  \n>SETCONSTRAINT NAME Nobody\n"));
    reader->Run(&more);
    EXPECT_EQ(holder->GetConstraint(), name);
    RecordingSink sink;
    EXPECT_FALSE(holder->Validate());
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, QStringLiteral("The selected field must be filled in."));
}

TEST(FontKeywords, DeclareChooseColourAndWeight)
{
    auto reader =
        run(QStringLiteral(">WIND HOLD 0 0 200 100 0x00020000 Test\n"
                           ">FONT plain Arial 10 LT\n"
                           ">SETFONTCOLOR 0 128 255\n"
                           ">SETFONTWEIGHT 700 the rest is dropped\n"
                           ">FONT bold Arial 10 CT\n"
                           ">END\n"));
    const QmFont* bold = reader->CurrentFont();
    ASSERT_NE(bold, nullptr);
    EXPECT_EQ(bold->GetName(), QStringLiteral("bold"));
    EXPECT_EQ(bold->GetFont().weight(), QFont::Bold);
    EXPECT_EQ(bold->GetBlue(), 255);
    const QmFont* plain = QmFontMgr::Instance().FindFont(QStringLiteral("plain"));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->GetGreen(), 0);

    QmStrStream choose(QStringLiteral(">USEFONT plain\n"));
    reader->Run(&choose);
    EXPECT_EQ(reader->CurrentFont(), plain);
    QmStrStream wrongCase(QStringLiteral(">USEFONT Plain\n"));
    reader->Run(&wrongCase);
    EXPECT_EQ(reader->CurrentFont(), nullptr);
}

// One line per element, indented by depth: class, code, rectangle and flags.
void describe(const QmWind& element, int depth, QStringList& out)
{
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(element).name(), nullptr, nullptr, &status);
    QString cls = QString::fromLatin1(name != nullptr ? name : typeid(element).name());
    std::free(name);
    cls = cls.mid(cls.lastIndexOf(u':') + 1);
    const QmRect r = element.GetRect();
    out << QString(depth * 2, u' ') + QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                                          .arg(cls, FieldCodeToString(element.GetCode()))
                                          .arg(r.left)
                                          .arg(r.top)
                                          .arg(r.right - r.left)
                                          .arg(r.bottom - r.top)
                                          .arg(element.GetFlags(), 0, 16);
    for (const QmWind* child : element.GetChildren())
        describe(*child, depth + 1, out);
}

// Every keyword of the text controls, groups, constraints and fonts once, read into the
// tree it describes; nested groups close innermost first.
TEST(ControlKeywords, EveryKeywordOnceMakesTheExpectedTree)
{
    launchertest::TraceRecorder traces;
    auto reader =
        run(QStringLiteral(">WIND HOLD 0 0 400 300 0x00020000 Test\n"
                           ">SETFONTCOLOR 0 0 128\n"
                           ">SETFONTWEIGHT 700\n"
                           ">FONT head Arial 12 CT\n"
                           ">PAGE PAG1 0 0 400 300 0 Page\n"
                           ">USEFONT head\n"
                           ">CAPTION CAPT 10 10 380 20 Title\n"
                           ">SUBCAPTION SUBC 10 +24 380 18 Hint text\n"
                           ">HORIZRULE RULE 10 +20 380 2 0\n"
                           ">EDIT NAME 10 60 200 20 _\n"
                           ">MASK Zip 0 00000 SSSSS\n"
                           ">MASKEDIT ZIPC 10 +24 80 20 _\n"
                           ">BOX BOX1 220 60 170 100 0x10 Box text\n"
                           ">BASICGROUP OUTR 230 80 150 70 0 0\n"
                           ">CHECKGROUP INNR 0 0 150 40 0 0x1 \"Choices\" 0 2\n"
                           ">GROUP RADI 0 0 150 20 0 0x800000\n"
                           ">ENDGROUP\n"
                           ">ENDGROUP\n"
                           ">DATAHOLDER KEEP value\n"
                           ">ENDGROUP\n"
                           ">MULTIGROUP MULT 10 170 200 24 0 0\n"
                           ">EDIT PRT1 0 0 90 20 _\n"
                           ">ENDGROUP\n"
                           ">HYPERLINK LINK 10 200 200 18 Site^https://example.org\n"
                           ">CONSTRAINT Req 1 0 0\n"
                           ">SETCONSTRAINT NAME Req\n"
                           ">SETCONSTRAINT ZIPC Zip\n"
                           ">SETCONSTRAINTTRIES Req 2 CNST 1\n"
                           ">MFGRCONSTRAINT\n"
                           ">END\n"));
    RegWind* window = reader->GetWindow();
    ASSERT_NE(window, nullptr);
    QmWind* page = window->FindByCode(FourCC("PAG1"));
    ASSERT_NE(page, nullptr);
    QStringList tree;
    describe(*page, 0, tree);
    EXPECT_EQ(tree, (QStringList{
                        QStringLiteral("QmRegPage PAG1 0 0 400 300 0"),
                        QStringLiteral("  QmCaption CAPT 10 10 380 20 0"),
                        QStringLiteral("  QmCaption SUBC 10 34 380 18 80000"),
                        QStringLiteral("  QmHorizRule RULE 10 54 380 2 0"),
                        QStringLiteral("  QmEdit NAME 10 60 200 20 0"),
                        QStringLiteral("  QmMaskEdit ZIPC 10 84 80 20 0"),
                        QStringLiteral("  QmBox BOX1 220 60 170 100 10"),
                        QStringLiteral("  QmBasicGroup OUTR 230 80 150 70 0"),
                        QStringLiteral("    QmChkGroupWindow INNR 0 0 150 40 1"),
                        QStringLiteral("      QmGroupWindow RADI 0 0 150 20 800000"),
                        QStringLiteral("    QmDataHolder KEEP 0 0 0 0 0"),
                        QStringLiteral("  QmMultiGroup MULT 10 170 200 24 0"),
                        QStringLiteral("    QmEdit PRT1 0 0 90 20 0"),
                        QStringLiteral("  QmHyperLink LINK 10 200 200 18 200000"),
                    }));
    EXPECT_EQ(reader->OpenGroupCount(), 0);

    auto* caption = dynamic_cast<QmCaption*>(window->FindByCode(FourCC("CAPT")));
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->font().weight(), QFont::Bold);
    EXPECT_TRUE(caption->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(caption->GetTextColor(), 0x800000u);
    EXPECT_TRUE(window->FindByCode(FourCC("LINK"))->GetWindow()->font().underline());
    EXPECT_EQ(window->FindByCode(FourCC("SUBC"))->GetHint(), QStringLiteral("Hint text"));
    auto* name = dynamic_cast<QmEdit*>(window->FindByCode(FourCC("NAME")));
    auto* zip = dynamic_cast<QmMaskEdit*>(window->FindByCode(FourCC("ZIPC")));
    ASSERT_TRUE(name != nullptr && zip != nullptr);
    EXPECT_TRUE(name->IsGroupStart());
    EXPECT_FALSE(zip->IsGroupStart());
    EXPECT_EQ(name->GetConstraint(), Constraint::Find(QStringLiteral("Req")));
    EXPECT_NE(zip->GetKeyFilter(), nullptr);
    EXPECT_EQ(Constraint::Find(QStringLiteral("Req"))->GetErrorLimit(), 2);
    EXPECT_NE(dynamic_cast<MFGRConstraint*>(Constraint::Find(QString())), nullptr);
    EXPECT_EQ(window->FindByCode(FourCC("KEEP"))->GetValue(), QStringLiteral("value"));
    EXPECT_EQ(window->FindByCode(FourCC("RADI"))->GetText(), QString());
    EXPECT_EQ(dynamic_cast<QmChkGroupWindow*>(window->FindByCode(FourCC("INNR")))->GetLabel(),
              QStringLiteral("Choices"));
    EXPECT_FALSE(traces.Contains(QStringLiteral("ENDGROUP without an open group")));
}

// A text past its line's limit keeps its first characters and the rest of that line is
// skipped, so a '>' in it starts no keyword and the next line is read as ever.
TEST(ControlKeywords, LinesPastTheirLimitKeepTheirFirstCharacters)
{
    const QString boxText = QString(511, u'b') + QStringLiteral("PAST >CAPTION BOXC 0 0 9 9 no");
    const QString toggleText = QString(99, u't') + QStringLiteral("PAST >CAPTION TOGC 0 0 9 9 no");
    // a, then blanks up to the 255th character b; the c after it is past the limit.
    const QString charSet = u'a' + QString(253, u' ') + QStringLiteral("bc >CAPTION SETC 0 0 9 9 no");
    const QString dataValue = QString(256, u'd') + QStringLiteral("PAST");
    const QString editText = QString(100, u'e') + QStringLiteral("PAST >CAPTION EDTC 0 0 9 9 no");
    auto reader = run(QStringLiteral(">WIND HOLD 0 0 400 300 0x00020000 Test\n"
                                     ">PAGE PAG1 0 0 400 300 0 Page\n"
                                     ">BOX BOX1 0 0 100 100 0 %1\n"
                                     ">TOGGLEBUTTON TOGL 0 0 24 24 1 0 0 STAR %2\n"
                                     ">CONSTRAINT Long 0x40 0 0\n%3\n"
                                     ">DATAHOLDER KEEP %4\n"
                                     ">EDIT NAME 0 0 100 20 %5\n"
                                     ">CAPTION NEXT 0 0 9 9 still read\n"
                                     ">END\n")
                          .arg(boxText, toggleText, charSet, dataValue, editText));
    RegWind* window = reader->GetWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->FindByCode(FourCC("BOX1"))->GetText(), QString(511, u'b'));
    EXPECT_EQ(window->FindByCode(FourCC("TOGL"))->GetText(), QString(99, u't'));
    EXPECT_EQ(window->FindByCode(FourCC("KEEP"))->GetValue(), QString(256, u'd'));
    EXPECT_EQ(window->FindByCode(FourCC("NAME"))->GetText(), QString(100, u'e'));
    Constraint* set = Constraint::Find(QStringLiteral("Long"));
    ASSERT_NE(set, nullptr);
    EXPECT_TRUE(set->IsCharAllowed(u'a'));
    EXPECT_TRUE(set->IsCharAllowed(u'b'));
    EXPECT_FALSE(set->IsCharAllowed(u'c'));
    for (const char* skipped : {"BOXC", "TOGC", "SETC", "EDTC"})
        EXPECT_EQ(window->FindByCode(FourCC(skipped)), nullptr) << skipped;
    EXPECT_NE(window->FindByCode(FourCC("NEXT")), nullptr);
}

TEST(ControlKeywords, GroupsNestOnlySoDeepAndControlsNeedAWindow)
{
    launchertest::TraceRecorder traces;
    QString script = QStringLiteral(
        ">CAPTION EARL 0 0 10 10 before the window\n"
        ">WIND HOLD 0 0 400 300 0x00020000 Test\n>PAGE PAG1 0 0 400 300 0 Page\n");
    for (int i = 0; i < 40; ++i)
        script += QStringLiteral(">BASICGROUP G%1 0 0 10 10 0 0\n").arg(i, 3, 10, QChar(u'0'));
    script += QStringLiteral(">CAPTION DEEP 0 0 10 10 deep\n>END\n");
    auto reader = run(script);
    EXPECT_EQ(reader->OpenGroupCount(), 32);
    QmWind* deep = reader->GetWindow()->FindByCode(FourCC("DEEP"));
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(FieldCodeToString(deep->GetParent()->GetCode()), QStringLiteral("G031"));
    EXPECT_TRUE(traces.Contains(QStringLiteral("BASICGROUP nested deeper than 32 groups: skipped")));
    EXPECT_TRUE(traces.Contains(QStringLiteral("CAPTION before WIND: skipped")));
    EXPECT_EQ(reader->GetWindow()->FindByCode(FourCC("EARL")), nullptr);
}

}  // namespace
