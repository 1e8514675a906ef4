#include "platform/version/Version.h"

#include <gtest/gtest.h>

namespace {

TEST(Version, LinuxAnswersAsTheNt6Family)
{
    const platform::OsVersion v = platform::systemOsVersion();
    EXPECT_EQ(v.major, 6u);
    EXPECT_FALSE(v.name.isEmpty());
    EXPECT_FALSE(v.kernel.isEmpty());
}

}  // namespace
