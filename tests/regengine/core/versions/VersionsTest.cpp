#include "regengine/core/Versions.h"

#include "platform/version/VersionBlock.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

struct OsCase {
    const char* name;
    OsVersionRecord system;
    quint32 major9x, minor9x, majorNT, minorNT, servicePackNT;
    bool expected;
};

void PrintTo(const OsCase& c, std::ostream* os)
{
    *os << c.name;
}

const OsVersionRecord kXpSp2{5, 1, 2600, 2, QStringLiteral("Service Pack 2")};
const OsVersionRecord kServer2003{5, 2, 3790, 2, QString()};
const OsVersionRecord kXpNoPack{5, 1, 2600, 2, QString()};
const OsVersionRecord kXpOddText{5, 1, 2600, 2, QStringLiteral("Update Rollup 1")};
const OsVersionRecord kWin98{4, 10, 1998, 1, QStringLiteral(" A ")};
const OsVersionRecord kWin95{4, 0, 950, 1, QString()};
const OsVersionRecord kWin32s{3, 10, 0, 0, QString()};
// What this system reports: NT 6.1 without a service pack.
const OsVersionRecord kHere{6, 1, 601, 2, QString()};

class OsAtLeast : public ::testing::TestWithParam<OsCase> {};

TEST_P(OsAtLeast, FollowsTheFamilyRules)
{
    const OsCase& c = GetParam();
    SetOsVersionRecord(c.system);
    EXPECT_EQ(IsOsAtLeast(c.major9x, c.minor9x, c.majorNT, c.minorNT, c.servicePackNT), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, OsAtLeast,
                         ::testing::Values(OsCase{"XpSp2AtLeastSp2", kXpSp2, 4, 10, 5, 1, 2, true},
                                           OsCase{"XpSp2NotSp3", kXpSp2, 4, 10, 5, 1, 3, false},
                                           OsCase{"Server2003AtLeastXpSp2", kServer2003, 4, 10, 5, 1, 2, true},
                                           OsCase{"Server2003AtLeastXpSp3", kServer2003, 4, 10, 5, 1, 3, true},
                                           OsCase{"XpNotServer2003", kXpSp2, 4, 10, 5, 2, 0, false},
                                           OsCase{"XpNotNt6", kXpSp2, 4, 10, 6, 0, 0, false},
                                           OsCase{"EmptyPackTextIsPack0", kXpNoPack, 0, 0, 5, 1, 0, true},
                                           OsCase{"EmptyPackTextIsNotPack1", kXpNoPack, 0, 0, 5, 1, 1, false},
                                           OsCase{"OtherPackTextIsPack0", kXpOddText, 0, 0, 5, 1, 1, false},
                                           // The pack is compared in 16 bits, as the service-pack field holds it.
                                           OsCase{"PackComparedIn16Bits", kXpSp2, 0, 0, 5, 1, 0x10002, true},
                                           OsCase{"NtIgnores9xNumbers", kXpNoPack, 9, 99, 5, 0, 0, true},
                                           OsCase{"Win98AtLeast98", kWin98, 4, 10, 9, 9, 9, true},
                                           OsCase{"Win98AtLeast95", kWin98, 4, 0, 9, 9, 9, true},
                                           OsCase{"Win95Not98", kWin95, 4, 10, 0, 0, 0, false},
                                           OsCase{"Win9xMajorAboveWins", kWin98, 3, 95, 0, 0, 0, true},
                                           OsCase{"Win9xIgnoresNtNumbers", kWin95, 4, 0, 99, 0, 0, true},
                                           OsCase{"OtherPlatformNever", kWin32s, 0, 0, 0, 0, 0, false},
                                           OsCase{"HereAtLeastXpSp2", kHere, 4, 10, 5, 1, 2, true},
                                           OsCase{"HereIsNt61Pack0", kHere, 4, 10, 6, 1, 0, true},
                                           OsCase{"HereHasNoPack1", kHere, 4, 10, 6, 1, 1, false},
                                           OsCase{"HereNotNt62", kHere, 4, 10, 6, 2, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each test runs in a process of its own, so the record starts unfilled here.
TEST(OsVersion, ThisSystemAnswersAsNt61WithoutPack)
{
    EXPECT_TRUE(IsWinNT());  // fills the record on first use
    EXPECT_FALSE(IsWin9x());
    InitOsVersion();
    const OsVersionRecord& v = GetOsVersionRecord();
    EXPECT_EQ(v.majorVersion, 6u);
    EXPECT_EQ(v.minorVersion, 1u);
    EXPECT_EQ(v.platformId, 2u);
    EXPECT_TRUE(v.csdVersion.isEmpty());
    EXPECT_EQ(GetPlatformId(), 2u);

    // Filled once: a later InitOsVersion keeps the record it has.
    SetOsVersionRecord(kWin98);
    InitOsVersion();
    EXPECT_TRUE(IsWin9x());
    EXPECT_EQ(GetPlatformId(), 2u);  // a fresh reading, not the record
}

TEST(DllVersion, ShellLibraryPassesThePrefsFolderTestAndOthersAreZero)
{
    struct Case {
        const char* library;
        quint32 expected;
    };
    for (const Case& c : {Case{"shell32.dll", 0x00060001}, Case{"SHELL32.DLL", 0x00060001}, Case{"Shell32", 0x00060001},
                          Case{"C:\\Windows\\System32\\shell32.dll", 0x00060001},
                          // Present on Windows but without a version export.
                          Case{"kernel32.dll", 0}, Case{"nosuch.dll", 0}, Case{"shell32.dll.bak", 0}, Case{"", 0}}) {
        EXPECT_EQ(GetDllVersion(QString::fromUtf8(c.library)), c.expected) << c.library;
    }
    // The prefs folder uses the user's application-data folder from shell 4.71 on.
    EXPECT_GE(GetDllVersion(QStringLiteral("shell32.dll")), 0x40047u);
}

TEST(FileVersionString, TranslationsInTheirOrder)
{
    platform::VersionBlock block;
    block.setString(QStringLiteral("040904e4"), QStringLiteral("OnlyLast"), QStringLiteral("e4"));
    block.setString(QStringLiteral("040904b0"), QStringLiteral("Both"), QStringLiteral("us"));
    block.setString(QStringLiteral("000004b0"), QStringLiteral("Both"), QStringLiteral("neutral"));
    block.setString(QStringLiteral("000004e4"), QStringLiteral("ThirdAndLast"), QStringLiteral("third"));
    block.setString(QStringLiteral("040904e4"), QStringLiteral("ThirdAndLast"), QStringLiteral("last"));
    block.setString(QStringLiteral("040704b0"), QStringLiteral("German"), QStringLiteral("de"));
    const QString longName(76, u'N');
    block.setString(QStringLiteral("000004b0"), longName, QStringLiteral("too long"));
    block.setString(QStringLiteral("000004b0"), longName.left(75), QStringLiteral("fits"));

    struct Case {
        QString name;
        std::optional<QString> expected;
    };
    for (const Case& c : {Case{QStringLiteral("OnlyLast"), QStringLiteral("e4")},
                          Case{QStringLiteral("Both"), QStringLiteral("neutral")},
                          Case{QStringLiteral("ThirdAndLast"), QStringLiteral("third")},
                          Case{QStringLiteral("both"), QStringLiteral("neutral")},
                          Case{QStringLiteral("German"), std::nullopt}, Case{QStringLiteral("Missing"), std::nullopt},
                          // The lookup path holds at most 100 characters.
                          Case{longName.left(75), QStringLiteral("fits")}, Case{longName, std::nullopt}}) {
        EXPECT_EQ(GetFileVersionString(block, c.name), c.expected) << c.name.toStdString();
    }
}

struct ResourceCase {
    const char* name;
    const char* language;
    const char* found;  // nullptr: none
};

void PrintTo(const ResourceCase& c, std::ostream* os)
{
    *os << c.name << " " << c.language;
}

class LocalizedResource : public ::testing::TestWithParam<ResourceCase> {};

TEST_P(LocalizedResource, WholeCodeThenTwoLettersThenEnglish)
{
    const ResourceCase& c = GetParam();
    QString found;
    const auto data =
        FindLocalizedResource(QLatin1String(c.name), QStringLiteral("TEXT"), QLatin1String(c.language), &found);
    if (!c.found) {
        EXPECT_FALSE(data);
        return;
    }
    ASSERT_TRUE(data);
    EXPECT_EQ(found, QLatin1String(c.found));
    EXPECT_EQ(*data, QByteArray(c.found));
}

INSTANTIATE_TEST_SUITE_P(Cases, LocalizedResource,
                         ::testing::Values(ResourceCase{"ALL", "PTG", "ALLPTG"}, ResourceCase{"TWO", "PTG", "TWOPT"},
                                           ResourceCase{"ONE", "PTG", "ONEEN"}, ResourceCase{"TWO", "PT", "TWOPT"},
                                           ResourceCase{"ALL", "FRA", "ALLEN"}, ResourceCase{"NONE", "PTG", nullptr},
                                           ResourceCase{"ONE", "", "ONEEN"}));

}  // namespace
