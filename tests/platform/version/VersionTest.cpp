#include "platform/version/Version.h"

#include <gtest/gtest.h>

namespace {

TEST(Version, LinuxAnswersAsTheNt6Family)
{
    const platform::OsVersion v = platform::systemOsVersion();
    EXPECT_EQ(v.major, 6u);
    EXPECT_FALSE(v.name.isEmpty());
    EXPECT_FALSE(v.kernel.isEmpty());
    EXPECT_EQ(v.build, platform::kernelBuildNumber(v.kernel.toLatin1().constData()));
    EXPECT_GT(v.build, 0u);
}

TEST(Version, KernelReleaseGivesItsMajorAndMinor)
{
    const struct {
        const char* release;
        unsigned build;
    } cases[] = {
        {"6.1.0-18-amd64", 601},
        {"5.15.0", 515},
        {"10.12rc1", 1012},
        {"4.9", 409},
        {"6", 0},
        {"6.", 0},
        {".1", 0},
        {"v6.1", 0},
        {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::kernelBuildNumber(c.release), c.build) << c.release;
}

}  // namespace
