#include "platform/nls/Nls.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct Case {
    const char* locale;
    const char* abbrev;
    const char* iso3;
};

const Case kCases[] = {
    {"en_US.UTF-8", "ENU", "USA"}, {"en_GB.UTF-8", "ENG", "GBR"},
    {"de_DE.UTF-8", "DEU", "DEU"}, {"de_AT.UTF-8@euro", "DEA", "AUT"},
    {"fr_FR", "FRA", "FRA"},       {"fr_CA.UTF-8", "FRC", "CAN"},
    {"es_ES.UTF-8", "ESN", "ESP"}, {"es_MX", "ESM", "MEX"},
    {"pt_BR.UTF-8", "PTB", "BRA"}, {"pt_PT", "PTG", "PRT"},
    {"zh_CN.UTF-8", "CHS", "CHN"}, {"zh_TW", "CHT", "TWN"},
    {"ja_JP.UTF-8", "JPN", "JPN"}, {"tr_TR.UTF-8", "TRK", "TUR"},
    {"en_NL", "ENU", "NLD"},       {"C", "ENU", ""},
    {"POSIX", "ENU", ""},          {"C.UTF-8", "ENU", ""},
    {"fy_NL", "FYN", "NLD"},
};

class Languages : public ::testing::TestWithParam<Case> {};

TEST_P(Languages, FromPosixLocale)
{
    const Case& c = GetParam();
    const platform::UserLocale loc = platform::parseLocale(QString::fromLatin1(c.locale));
    EXPECT_EQ(platform::languageAbbreviation(loc), QString::fromLatin1(c.abbrev));
    EXPECT_EQ(platform::countryIso3(loc), QString::fromLatin1(c.iso3));
}

INSTANTIATE_TEST_SUITE_P(Table, Languages, ::testing::ValuesIn(kCases));

// LC_ALL wins over LC_MESSAGES, which wins over LANG.
TEST(UserLocale, EnvironmentOrder)
{
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "fr_CA.UTF-8", 1);
    EXPECT_EQ(platform::languageAbbreviation(), QStringLiteral("FRC"));
    ::setenv("LC_MESSAGES", "de_CH.UTF-8", 1);
    EXPECT_EQ(platform::languageAbbreviation(), QStringLiteral("DES"));
    ::setenv("LC_ALL", "en_GB.UTF-8", 1);
    EXPECT_EQ(platform::languageAbbreviation(), QStringLiteral("ENG"));
    EXPECT_EQ(platform::countryName(platform::userLocale()), QStringLiteral("United Kingdom"));
    EXPECT_FALSE(platform::userName().isEmpty());
}

}  // namespace
