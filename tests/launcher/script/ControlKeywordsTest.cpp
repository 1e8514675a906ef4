#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"
#include "tests/regengine/core/TestHelpers.h"

#include "regengine/core/Constraint.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/element/QmWind.h"
#include "regengine/ui/graphics/QmFont.h"

#include <gtest/gtest.h>

#include <memory>

using namespace engine;
using namespace launcher;

namespace {

using coretest::RecordingSink;

std::unique_ptr<ScriptReader> run(const QString& script)
{
    auto reader =
        std::make_unique<ScriptReader>(std::make_unique<QmStrStream>(script), QString(), LangCode("EN"));
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
    auto reader = run(QStringLiteral(">WIND HOLD 0 0 200 100 0x00020000 Test\n"
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
    auto reader = run(QStringLiteral(">WIND HOLD 0 0 200 100 0x00020000 Test\n"
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

}  // namespace
