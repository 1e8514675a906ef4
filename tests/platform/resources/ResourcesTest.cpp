#include "platform/resources/Resources.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* language;
    const char* found;
};

// Full code, then its first two letters, then English.
const Case kCases[] = {{"FRC", "PAGESFRC"}, {"DEU", "PAGESDE"}, {"DE", "PAGESDE"},
                       {"ENU", "PAGESEN"},  {"JPN", "PAGESEN"}, {"", "PAGESEN"}};

class Localized : public ::testing::TestWithParam<Case> {};

TEST_P(Localized, FallsBackToTwoLettersThenEnglish)
{
    QString found;
    const auto data =
        platform::findLocalizedResource(QStringLiteral("testmod"), QStringLiteral("TEXT"), QStringLiteral("PAGES"),
                                        QString::fromLatin1(GetParam().language), &found);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(found, QString::fromLatin1(GetParam().found));
}

INSTANTIATE_TEST_SUITE_P(Table, Localized, ::testing::ValuesIn(kCases));

TEST(Resources, MissingResource)
{
    EXPECT_FALSE(platform::findResource(QStringLiteral("testmod"), QStringLiteral("TEXT"), QStringLiteral("NOPE")));
    EXPECT_FALSE(platform::findLocalizedResource(QStringLiteral("nomod"), QStringLiteral("TEXT"),
                                                 QStringLiteral("PAGES"), QStringLiteral("EN")));
}

TEST(Resources, StringTable)
{
    EXPECT_EQ(platform::loadString(QStringLiteral("testmod"), 1), QStringLiteral("plain"));
    EXPECT_EQ(platform::loadString(QStringLiteral("testmod"), 2), QStringLiteral("two\nlines\tand a tab \\ slash"));
    EXPECT_EQ(platform::loadString(QStringLiteral("testmod"), 3), QStringLiteral("fill %s and %d"));
    EXPECT_FALSE(platform::hasString(QStringLiteral("testmod"), 4));
    EXPECT_EQ(platform::loadString(QStringLiteral("testmod"), 99), QString());
}

}  // namespace
