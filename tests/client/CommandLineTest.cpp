#include "client/VaskCommandLineInfo.h"

#include <gtest/gtest.h>

using namespace client;

namespace {

struct Case {
    const char* name;
    QStringList args;
    bool autoRun, reset, import, schedule, test;
    const char* importPath;
    const char* scheduleText;
    QStringList others;
};

const Case kCases[] = {
    {"Empty", {}, false, false, false, false, false, "", "", {}},
    {"EverySwitchLowerCase", {"/auto", "/reset", "/test"}, true, true, false, false, true, "", "", {}},
    {"SwitchCaseIgnoredPathCaseKept",
     {"/IMPORT", "/Home/U/Reg.TOVA"},
     false,
     false,
     true,
     false,
     false,
     "/Home/U/Reg.TOVA",
     "",
     {}},
    {"DashPrefix",
     {"-Schedule", "2026-12-24T08:00:00"},
     false,
     false,
     false,
     true,
     false,
     "",
     "2026-12-24T08:00:00",
     {}},
    {"LinuxPathIsPlainNotSwitch",
     {"/import", "/home/u/x.tova"},
     false,
     false,
     true,
     false,
     false,
     "/home/u/x.tova",
     "",
     {}},
    {"ImportWithoutFile", {"/import"}, false, false, true, false, false, "", "", {}},
    {"ImportTwoFilesSecondIsOther",
     {"/import", "a.tova", "b.tova"},
     false,
     false,
     true,
     false,
     false,
     "a.tova",
     "",
     {"b.tova"}},
    {"PlainBeforeImportIsOther", {"a.tova", "/import"}, false, false, true, false, false, "", "", {"a.tova"}},
    {"ScheduleTakesFirstPlainThenImport",
     {"/schedule", "/import", "T1", "f.tova"},
     false,
     false,
     true,
     true,
     false,
     "f.tova",
     "T1",
     {}},
    {"ScheduleWithReset", {"/reset", "/schedule"}, false, true, false, true, false, "", "", {}},
    {"SwitchTwiceNoFurtherEffect", {"/auto", "/AUTO"}, true, false, false, false, false, "", "", {}},
    {"UnknownSwitchIsPlain", {"/pt", "-Embedding"}, false, false, false, false, false, "", "", {"/pt", "-Embedding"}},
    {"LonePrefixIsPlain", {"/", "-"}, false, false, false, false, false, "", "", {"/", "-"}},
    {"SwitchWithSuffixIsPlain", {"/autox", "/test/"}, false, false, false, false, false, "", "", {"/autox", "/test/"}},
};

class CommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLine, Parses)
{
    const Case& c = GetParam();
    VaskCommandLineInfo info;
    info.Parse(c.args);
    EXPECT_EQ(info.autoRun, c.autoRun);
    EXPECT_EQ(info.reset, c.reset);
    EXPECT_EQ(info.import, c.import);
    EXPECT_EQ(info.schedule, c.schedule);
    EXPECT_EQ(info.test, c.test);
    EXPECT_EQ(info.importPath, QString::fromUtf8(c.importPath));
    EXPECT_EQ(info.scheduleText, QString::fromUtf8(c.scheduleText));
    EXPECT_EQ(info.otherArguments, c.others);
}

INSTANTIATE_TEST_SUITE_P(Table, CommandLine, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
