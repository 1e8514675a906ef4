// The condition of every launcher attachment, read from its script form and evaluated
// against a real registration window's fields.
#include "launcher/attachments/FieldTest.h"
#include "tests/launcher/LauncherTestSupport.h"
#include "tests/launcher/attachments/AttachmentTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace engine;
using namespace launcher;

namespace {

using attachmenttest::ScriptWindow;

const QString kFields = QStringLiteral(
    ">SETHEADER -RGC 1\n"
    ">SETHEADER CTRY CAN\n"
    ">SETHEADER NUMB 9\n"
    ">SETHEADER TITL Ovex Kelvo Setup\n"
    ">SETFIELD MODL Kelvo Book 14\n");

struct Case {
    const char* name;
    const char16_t* test;
    bool expected;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class FieldTestCases : public ::testing::TestWithParam<Case> {};

TEST_P(FieldTestCases, Evaluate)
{
    const Case& c = GetParam();
    ScriptWindow script(kFields);
    QmStrStream stream{QString::fromUtf16(c.test)};
    FieldTest test;
    test.ReadFromScript(stream);
    EXPECT_EQ(test.Evaluate(script.window()), c.expected) << QString::fromUtf16(c.test).toStdString();
}

const Case kCases[] = {
    {"first_run_count_is_one", u"-RGC EQ 1", true},
    {"second_run_count_differs", u"-RGC EQ 2", false},
    {"short_left_operand_is_a_text", u"1 EQ 1", true},
    {"equal_is_case_sensitive", u"CTRY eq can", false},
    {"two_item_list_matches_either", u"CTRY EQ ( USA , CAN )", true},
    {"two_item_list_matches_neither", u"CTRY EQ ( USA , MEX )", false},
    {"ne_true_when_equal_to_none", u"CTRY NE ( USA , MEX )", true},
    {"ne_false_when_equal_to_one", u"CTRY ne ( USA CAN )", false},
    {"contains", u"MODL contains Book", true},
    {"ncontains_false_when_it_occurs", u"MODL NCONTAINS Book", false},
    {"ncontains_true_when_none_occurs", u"MODL ncontains ( Desk , Tower )", true},
    {"less_compares_numbers_not_texts", u"NUMB < 10", true},
    {"greater_compares_numbers", u"NUMB > 10", false},
    {"less_or_equal_needs_every_value", u"NUMB <= ( 9 , 8 )", false},
    {"less_or_equal_at_the_value", u"NUMB <= 9", true},
    {"greater_or_equal_every_value", u"NUMB >= ( 3 , 9 )", true},
    {"greater_or_equal_fails_on_one", u"NUMB >= ( 3 , 10 )", false},
    {"tags_in_a_longer_left_operand", u"<CTRY>-x EQ CAN-x", true},
    {"tags_in_the_right_operands", u"CTRY EQ \"<CTRY>\"", true},
    {"right_operand_from_the_string_table", u"TITL EQ =CAPT:1", true},
    {"unknown_operation_keeps_equal", u"CTRY like CAN", true},
    {"unknown_operation_is_not_inverted", u"CTRY like USA", false},
};

INSTANTIATE_TEST_SUITE_P(Table, FieldTestCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(FieldTestReading, UnknownOperationIsTracedAndTheStreamGoesOn)
{
    launchertest::TraceRecorder traces;
    QmStrStream stream(QStringLiteral("CTRY like ( USA , CAN ) after"));
    FieldTest test;
    test.ReadFromScript(stream);
    EXPECT_TRUE(traces.Contains(QStringLiteral("like")));
    EXPECT_EQ(test.GetOperation(), FieldTest::Equal);
    EXPECT_FALSE(test.IsInverted());
    EXPECT_EQ(test.GetRight().GetCount(), 2);
    EXPECT_EQ(stream.text().mid(stream.pos()).trimmed(), QStringLiteral("after"));
}

}  // namespace
