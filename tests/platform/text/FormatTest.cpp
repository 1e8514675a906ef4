#include "platform/text/Ascii.h"
#include "platform/text/Format.h"

#include <gtest/gtest.h>

using platform::FormatArg;

namespace {

struct Case {
    const char* name;
    QString pattern;
    std::vector<FormatArg> args;
    QString expected;
};

QString run(const Case& c)
{
    return platform::format(c.pattern, std::span<const FormatArg>(c.args));
}

const Case kCases[] = {
    {"Text",
     "Unable to lock database file: %s",
     {QStringLiteral("database is locked")},
     "Unable to lock database file: database is locked"},
    {"WideAndLongForms",
     "%S|%ls|%ld|%lld|%I64d",
     {QStringLiteral("a"), QStringLiteral("b"), 42L, -7LL, 5LL},
     "a|b|42|-7|5"},
    {"StatusStamp", "%c %02.2d%02.2d%02.2d%02.2d%02.2d", {QChar(u'R'), 8, 3, 5, 14, 7}, "R 0803051407"},
    {"WidthAndAlign",
     "[%5s][%-5s][%05d][%-4d]",
     {QStringLiteral("ab"), QStringLiteral("cd"), -42, 7},
     "[   ab][cd   ][-0042][7   ]"},
    {"Hex", "%x %X %08lX %#x", {255, 255, 0x80000000u, 16}, "ff FF 80000000 0x10"},
    {"NegativeAsUnsigned", "%u %x", {-1, -1}, "4294967295 ffffffff"},
    {"Percent", "100%% sure", {}, "100% sure"},
    // A server text asking for more arguments than there are gets nothing, never memory.
    {"MissingArgumentsWriteNothing", "%s and %d and %s", {QStringLiteral("one")}, "one and  and "},
    {"MismatchedTypesStaySafe", "%d %s %c", {QStringLiteral("12abc"), 34, QStringLiteral("xyz")}, "12 34 x"},
    {"UnknownConversionCopied", "%n %p %q", {1}, "%n %p %q"},
    {"TrailingPercent", "50%", {}, "50%"},
    {"StarWidth", "[%*d]", {4, 7}, "[   7]"},
    {"PrecisionCutsText", "%.3s", {QStringLiteral("abcdef")}, "abc"},
    {"Unicode", "%s \u2014 %c", {QStringLiteral("Gr\u00fc\u00dfe"), QChar(0x20AC)}, "Gr\u00fc\u00dfe \u2014 \u20ac"},
    {"Real", "%.2f", {3.14159}, "3.14"},
};

class SafeFormat : public ::testing::TestWithParam<Case> {};

TEST_P(SafeFormat, Formats)
{
    EXPECT_EQ(run(GetParam()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, SafeFormat, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Ascii, FoldsOnlyAToZ)
{
    EXPECT_EQ(platform::asciiLower(QStringLiteral("UserOptIn \u0130\u00c9")), QStringLiteral("useroptin \u0130\u00c9"));
    EXPECT_EQ(platform::asciiUpper(QStringLiteral("enu \u0131")), QStringLiteral("ENU \u0131"));
    EXPECT_TRUE(platform::asciiEqualsIgnoreCase(QStringLiteral("MFGR"), QStringLiteral("mfgr")));
    EXPECT_FALSE(platform::asciiEqualsIgnoreCase(QStringLiteral("I"), QStringLiteral("\u0131")));
    EXPECT_LT(platform::asciiCompareIgnoreCase(QStringLiteral("abc"), QStringLiteral("ABD")), 0);
    EXPECT_LT(platform::asciiCompareIgnoreCase(QStringLiteral("ab"), QStringLiteral("ABC")), 0);
}

}  // namespace
