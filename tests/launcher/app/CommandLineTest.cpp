#include "launcher/app/QmCommandLineInfo.h"

#include "regengine/core/FieldList.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

using namespace engine;
using namespace launcher;

namespace {

struct Case {
    const char* name;
    std::vector<const char*> argv = {};
    const char* language = "???";
    const char* flags = "";
    const char* location = "";
    int mode = -1;
    std::map<std::string, std::string> fields = {};
    const char* passThrough = "";
    CommandLineInfo::ShellCommand shell = CommandLineInfo::ShellCommand::FileNew;
    const char* fileName = "";
};

// Cases print as their names.
void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

QStringList toArguments(const std::vector<const char*>& argv)
{
    QStringList args;
    for (const char* a : argv)
        args << QString::fromUtf8(a);
    return args;
}

using Shell = CommandLineInfo::ShellCommand;

class LauncherCommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(LauncherCommandLine, Parses)
{
    const Case& c = GetParam();
    FieldList fields;
    QmCommandLineInfo info(&fields);
    info.ParseCommandLine(toArguments(c.argv));

    EXPECT_EQ(info.GetLanguage().GetString(), QString::fromLatin1(c.language));
    EXPECT_EQ(info.GetFlags(), QString::fromUtf8(c.flags));
    EXPECT_EQ(info.GetSerialNumberLocation(), QString::fromUtf8(c.location));
    EXPECT_EQ(info.GetMode(), c.mode);
    std::map<std::string, std::string> got;
    for (const auto& field : fields)
        got[FieldCodeToString(field->GetCode()).toStdString()] = field->GetValue().toStdString();
    EXPECT_EQ(got, c.fields);
    EXPECT_EQ(info.GetPassThrough(), QString::fromUtf8(c.passThrough));
    EXPECT_EQ(info.GetShellCommand(), c.shell);
    EXPECT_EQ(info.GetFileName(), QString::fromUtf8(c.fileName));
}

const Case kCases[] = {
    {.name = "nothing", .argv = {}},
    {.name = "language_letters_only", .argv = {"language=fr1"}, .language = "fr"},
    {.name = "language_switch_three_letters", .argv = {"/language=DEU"}, .language = "DEU"},
    {.name = "field", .argv = {"MODL=abc"}, .fields = {{"MODL", "abc"}}, .passThrough = "/MODL=\"abc\""},
    {.name = "quote_in_value_escaped_in_pass_through",
     .argv = {"/MODL=say \"hi\""},
     .fields = {{"MODL", "say \"hi\""}},
     .passThrough = "/MODL=\"say \\\"hi\\\"\""},
    {.name = "backslash_in_value_escaped_in_pass_through",
     .argv = {"-PATH=C:\\dir\\"},
     .fields = {{"PATH", "C:\\dir\\"}},
     .passThrough = "/PATH=\"C:\\\\dir\\\\\""},
    {.name = "two_fields_joined_by_a_blank",
     .argv = {"AAAA=1", "BBBB=2"},
     .fields = {{"AAAA", "1"}, {"BBBB", "2"}},
     .passThrough = "/AAAA=\"1\" /BBBB=\"2\""},
    {.name = "product_code_refused", .argv = {"PROD=1234"}},
    {.name = "any_field_holding_prod_refused", .argv = {"NAME=PRODUCT"}},
    // A code is four bytes: these would narrow to "PROD" past the guard.
    {.name = "code_with_u0150_narrowing_to_prod_refused", .argv = {"\u0150ROD=x"}},
    {.name = "fullwidth_code_narrowing_to_prod_refused", .argv = {"\uff50\uff52\uff4f\uff44=x"}},
    {.name = "code_above_u00ff_refused",
     .argv = {"MOD\u0141=x", "MODL=y"},
     .fields = {{"MODL", "y"}},
     .passThrough = "/MODL=\"y\""},
    {.name = "latin1_code_kept",
     .argv = {"\u00c4BCD=1"},
     .fields = {{"\u00c4BCD", "1"}},
     .passThrough = "/\u00c4BCD=\"1\""},
    {.name = "remind_lower", .argv = {"remind"}, .mode = 0},
    {.name = "remind_upper_switch", .argv = {"/REMIND"}, .mode = 0},
    {.name = "remind_mixed", .argv = {"-Remind"}, .mode = 0},
    {.name = "last_command_word_wins", .argv = {"/remind", "/uninstall"}, .mode = 1},
    {.name = "regstatus", .argv = {"regstatus"}, .mode = 2},
    {.name = "flags_then_field_in_one_argument",
     .argv = {"/FLAGS=abc/MODL=xyz"},
     .flags = "abc",
     .fields = {{"MODL", "xyz"}},
     .passThrough = "/MODL=\"xyz\""},
    {.name = "flags_only_from_the_first_item",
     .argv = {"/MODL=a/FLAGS=b"},
     .fields = {{"MODL", "a"}},
     .passThrough = "/MODL=\"a\""},
    {.name = "value_holding_a_slash_is_not_split",
     .argv = {"MODL=a/b"},
     .fields = {{"MODL", "a/b"}},
     .passThrough = "/MODL=\"a/b\""},
    {.name = "url_value_is_not_split",
     .argv = {"HOME=http://www.ovex.example/x"},
     .fields = {{"HOME", "http://www.ovex.example/x"}},
     .passThrough = "/HOME=\"http://www.ovex.example/x\""},
    {.name = "value_followed_by_a_command_word",
     .argv = {"MODL=a/remind"},
     .mode = 0,
     .fields = {{"MODL", "a"}},
     .passThrough = "/MODL=\"a\""},
    {.name = "serial_number_location_path_kept_whole",
     .argv = {"/SSI_SN_LOCATION=/var/lib/serial"},
     .location = "/var/lib/serial",
     .passThrough = " /SSI_SN_LOCATION=\"/var/lib/serial\""},
    {.name = "serial_number_location_from_its_own_item",
     .argv = {"MODL=m/SSI_SN_LOCATION=x"},
     .location = "x",
     .fields = {{"MODL", "m"}},
     .passThrough = "/MODL=\"m\" /SSI_SN_LOCATION=\"x\""},
    {.name = "document_for_the_framework", .argv = {"form.dat"}, .shell = Shell::FileOpen, .fileName = "form.dat"},
    {.name = "print_switch_for_the_framework",
     .argv = {"/p", "form.dat", "MODL=x"},
     .fields = {{"MODL", "x"}},
     .passThrough = "/MODL=\"x\"",
     .shell = Shell::FilePrint,
     .fileName = "form.dat"},
};

INSTANTIATE_TEST_SUITE_P(Table, LauncherCommandLine, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(LauncherCommandLineWords, AddedWordsMatchWithoutRegardToCase)
{
    QmCommandLineInfo info(nullptr);
    EXPECT_EQ(info.FindCommandWord(QStringLiteral("UnInstall")), 1);
    EXPECT_EQ(info.FindCommandWord(QStringLiteral("other")), -1);
    info.AddCommandWord(QStringLiteral("Other"), 7);
    EXPECT_EQ(info.FindCommandWord(QStringLiteral("OTHER")), 7);
}

TEST(LauncherCommandLineWords, WithoutAFieldsTargetFieldArgumentsGoToTheFramework)
{
    QmCommandLineInfo info(nullptr);
    info.ParseCommandLine({QStringLiteral("MODL=abc")});
    EXPECT_TRUE(info.GetPassThrough().isEmpty());
    EXPECT_EQ(info.GetFileName(), QStringLiteral("MODL=abc"));
}

}  // namespace
