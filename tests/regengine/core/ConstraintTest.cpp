#include "tests/support/RecordingSink.h"

#include "regengine/core/Constraint.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/QmStringTable.h"
#include "regengine/core/StringTableMgr.h"

#include <gtest/gtest.h>

#include <memory>

using namespace engine;
using testsupport::RecordingSink;

namespace {

std::unique_ptr<Constraint> fromLine(const QString& line)
{
    QmStrStream s(line);
    return std::make_unique<Constraint>(s);
}

// Every case: a CONSTRAINT line, a value and a label, and what the one box (if any) says.
struct ValidateCase {
    const char* name;
    const char* line;
    const char16_t* text;
    const char* label;  // null: no display name
    bool passes;
    const char16_t* message;
    const char* caption;
};

const ValidateCase kValidateCases[] = {
    {"three blanks are empty when trimmed", "R 1 0 0", u"   ", "name", false, u"Please enter your name.", "Required"},
    {"without a label the generic text", "R 1 0 0", u"", nullptr, false, u"The selected field must be filled in.",
     "Required"},
    {"no trimming keeps the blanks", "R 0x40001 0 0", u"   ", "name", true, nullptr, nullptr},
    {"shorter than the minimum", "M 0 3 0", u"ab", nullptr, false,
     u"The selected field must have a length of at least 3.", "Minimum Length"},
    {"an empty text is not measured", "M 0 3 0", u"", nullptr, true, nullptr, nullptr},
    {"trailing blanks count toward the maximum", "X 0 0 5", u"abcde  ", nullptr, false,
     u"The selected field can only hold 5 characters.", "Maximum Length"},
    {"a maximum of 0 keeps 32767", "X 0 0 0", u"abcdefghij", nullptr, true, nullptr, nullptr},
    {"letters refuse a digit", "L 2 0 0", u"ab1", nullptr, false, u"The selected field must contain only letters.",
     "Required"},
    {"letters take accented letters", "L 2 0 0", u"Jos\u00e9", nullptr, true, nullptr, nullptr},
    {"digits refuse a letter", "D 4 0 0", u"12a", nullptr, false, u"The selected field must contain only numbers.",
     "Required"},
    {"letters and digits together", "B 6 0 0", u"a1-", nullptr, false,
     u"The selected field must contain only numbers and letters.", "Required"},
    {"ascii digits refuse an Arabic-Indic digit", "N 0x10 0 0", u"1\u0662", nullptr, false,
     u"The selected field must contain only numbers.", "Required"},
    {"an empty text passes the classes", "L 2 0 0", u"", nullptr, true, nullptr, nullptr},
    {"a bad address", "E 8 0 0", u"a@b.", nullptr, false, u"A valid E-Mail address is required.", "Required"},
    {"a good address skips the class tests", "E 0xA 0 0", u"a1@b.c", nullptr, true, nullptr, nullptr},
    {"required comes before the address", "E 9 0 0", u"", "mail", false, u"Please enter your mail.", "Required"},
};

TEST(ConstraintValidate, FlagCombinations)
{
    for (const ValidateCase& c : kValidateCases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        auto rule = fromLine(QString::fromLatin1(c.line));
        const QString label = c.label != nullptr ? QString::fromLatin1(c.label) : QString();
        EXPECT_EQ(rule->Validate(QString::fromUtf16(c.text), c.label != nullptr ? &label : nullptr), c.passes);
        if (c.message == nullptr) {
            EXPECT_TRUE(sink.boxes.empty());
        } else {
            ASSERT_EQ(sink.boxes.size(), 1u);
            EXPECT_EQ(sink.boxes[0].text, QString::fromUtf16(c.message));
            EXPECT_EQ(sink.boxes[0].caption, QString::fromLatin1(c.caption));
        }
    }
}

TEST(ConstraintValidate, EmailCases)
{
    struct Case {
        const char* text;
        bool valid;
    } const cases[] = {
        {"a@b.c", true},    {"x.y@mail.example.org", true},
        {"@b.c", false},    {"a@.c", false},
        {"a@b.", false},    {"a..b@c.d", false},
        {"a b@c.d", false}, {"a@b@c.d", false},
        {"ab.c@d", false},  {".a@b.c", false},
        {"a@b", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Constraint::IsEmailAddress(QString::fromLatin1(c.text)), c.valid) << c.text;
}

TEST(ConstraintValidate, QuietSwitchShowsAndCountsNothing)
{
    RecordingSink sink;
    auto rule = fromLine(QStringLiteral("R 1 0 0"));
    SetConstraintQuietFlags(1);
    EXPECT_FALSE(rule->Validate(QString(), nullptr));
    SetConstraintQuietFlags(0);
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_EQ(rule->GetErrorCount(), 0);
}

TEST(ConstraintValidate, ErrorLimitTurnsEveryLaterMessageIntoTheLimitText)
{
    RecordingSink sink;
    auto rule = fromLine(QStringLiteral("R 1 0 0"));
    rule->SetErrorLimit(2, FourCC("????"), 1);
    for (int i = 0; i < 3; ++i)
        rule->Validate(QString(), nullptr);
    ASSERT_EQ(sink.boxes.size(), 3u);
    EXPECT_EQ(sink.boxes[1].text, QStringLiteral("The selected field must be filled in."));
    EXPECT_EQ(sink.boxes[2].text, QStringLiteral("Too many errors validating constraints."));
    EXPECT_EQ(sink.boxes[2].caption, QStringLiteral("Required"));
}

// A downloaded script's table text goes through the typed formatter: a "%s" too many or
// a "%n" writes nothing and reads no memory.
TEST(ConstraintValidate, TableTextsAreNeverRawFormats)
{
    QmStrStream table(QStringLiteral("CNST ENGL\r\n18 Give %s %s %n %d now\r\n>CMNT End Table\r\n"));
    QmStringTable::CreateFromScript(table);
    RecordingSink sink;
    auto rule = fromLine(QStringLiteral("R 1 0 0"));
    const QString label = QStringLiteral("%s name");
    EXPECT_FALSE(rule->Validate(QString(), &label));
    StringTableMgr::Instance().RemoveAll();
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_TRUE(sink.boxes[0].text.startsWith(QStringLiteral("Give %s name "))) << sink.boxes[0].text.toStdString();
}

TEST(ConstraintCharSet, TokensRangesAndTheBlank)
{
    QmStrStream s(QStringLiteral("SET 0x40 0 0\n   a-z \\ 0\n>NEXT"));
    Constraint rule(s);
    for (char16_t c = u'a'; c <= u'z'; ++c)
        EXPECT_TRUE(rule.IsCharAllowed(QChar(c)));
    EXPECT_TRUE(rule.IsCharAllowed(QChar(u' ')));
    EXPECT_TRUE(rule.IsCharAllowed(QChar(u'0')));
    EXPECT_FALSE(rule.IsCharAllowed(QChar(u'1')));
    EXPECT_FALSE(rule.IsCharAllowed(QChar(u'A')));
    // The set line is consumed; the next keyword is still there.
    QString rest;
    s.readWord(rest);
    EXPECT_EQ(rest, QStringLiteral(">NEXT"));

    RecordingSink sink;
    const QString label = QStringLiteral("City");
    EXPECT_FALSE(rule.Validate(QStringLiteral("abXd"), &label));
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, QStringLiteral("The character 'X' is not allowable in City"));
    // Control characters are not tested.
    EXPECT_TRUE(rule.Validate(QStringLiteral("ab\tc"), &label));
}

TEST(ConstraintCharSet, WordsMarkEachCharacterAndLongRangesStayInTheTable)
{
    Constraint rule;
    rule.SetCharSet(QStringLiteral("xyz"));
    EXPECT_TRUE(rule.IsCharAllowed(QChar(u'y')));
    rule.SetCharRange(5, 3);
    EXPECT_FALSE(rule.IsCharAllowed(QChar(4)));
    rule.SetCharRange(-100000, 100000);
    EXPECT_TRUE(rule.IsCharAllowed(QChar(u'!')));
    // Only the low 8 bits count.
    Constraint low;
    low.SetCharRange(u'a', u'a');
    EXPECT_TRUE(low.IsCharAllowed(QChar(0x161)));
}

TEST(ConstraintList, RegisterFindUnregisterDeleteAll)
{
    auto* first = new Constraint;
    first->SetName(QStringLiteral("Name"));
    auto* second = new Constraint;
    second->SetName(QStringLiteral("Name"));
    Constraint::Register(first);
    Constraint::Register(second);
    EXPECT_EQ(Constraint::Find(QStringLiteral("Name")), first);
    EXPECT_EQ(Constraint::Find(QStringLiteral("name")), nullptr);
    EXPECT_TRUE(first->Unregister());
    EXPECT_FALSE(first->Unregister());
    EXPECT_EQ(Constraint::Find(QStringLiteral("Name")), second);
    delete first;
    Constraint::DeleteAll();
    EXPECT_EQ(Constraint::Find(QStringLiteral("Name")), nullptr);
}

TEST(ConstraintLine, ResetSetFlagsAndFailures)
{
    auto rule = fromLine(QStringLiteral("Zip 0x11 2 9"));
    EXPECT_EQ(rule->GetName(), QStringLiteral("Zip"));
    EXPECT_EQ(rule->GetFlags(), 0x11u);
    EXPECT_EQ(rule->GetMinLength(), 2);
    EXPECT_EQ(rule->GetMaxLength(), 9);
    rule->SetFlags(0x40000, 0x1);
    EXPECT_EQ(rule->GetFlags(), 0x40010u);
    rule->Reset();
    EXPECT_EQ(rule->GetFlags(), 0u);
    EXPECT_EQ(rule->GetMaxLength(), Constraint::kDefaultMaxLength);

    RecordingSink sink;
    rule->ReportFailure(32, QChar(), QStringLiteral("Birthday"));
    rule->ReportFailure(64, QChar(u'#'), QStringLiteral("Zip"));
    rule->ReportFailure(1, QChar(), QStringLiteral("Zip"));
    ASSERT_EQ(sink.boxes.size(), 2u);
    EXPECT_EQ(sink.boxes[0].text, QStringLiteral("You may not use a future date for Birthday."));
    EXPECT_EQ(sink.boxes[1].text, QStringLiteral("The character '#' is not allowable in Zip"));
}

TEST(MaskConstraint, LineAndValidation)
{
    QmStrStream s(QStringLiteral("Phone 1 000-000-0000 SSS-SSS-SSSS"));
    MaskConstraint required(s);
    EXPECT_EQ(required.GetFlags(), 0x10001u);
    QString mask, picture;
    required.GetMask(mask, picture);
    EXPECT_EQ(mask, QStringLiteral("000-000-0000"));
    EXPECT_EQ(picture, QStringLiteral("   -   -    "));

    QmStrStream t(QStringLiteral("Phone 0 000-000-0000 SSS-SSS-SSSS"));
    MaskConstraint optional(t);
    struct Case {
        const char* name;
        MaskConstraint* rule;
        const char* text;
        bool passes;
        const char* message;
    } const cases[] = {
        {"required and complete", &required, "555-123-4567", true, nullptr},
        {"required and untouched", &required, "   -   -    ", false,
         "The selected field should look like 000-000-0000."},
        {"required and empty", &required, "", false, "The selected field should look like 000-000-0000."},
        {"optional and untouched", &optional, "   -   -    ", true, nullptr},
        {"optional and half done", &optional, "555-1  -    ", false,
         "The selected field must be completely filled out or not filled out at all."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        EXPECT_EQ(c.rule->Validate(QString::fromLatin1(c.text), nullptr), c.passes);
        ASSERT_EQ(sink.boxes.size(), c.message != nullptr ? 1u : 0u);
        if (c.message != nullptr) {
            EXPECT_EQ(sink.boxes[0].text, QString::fromLatin1(c.message));
        }
    }
}

}  // namespace
