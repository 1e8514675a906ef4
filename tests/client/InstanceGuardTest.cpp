#include "client/Globals.h"
#include "client/InstanceGuard.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace client;

namespace {

// A first process whose shared block could not be made is still first, and never
// writes through a block it does not have.
TEST(InstanceGuard, FirstWithoutBlockWritesNothing)
{
    const QString block = platform::kernelObjectPath(
        QStringLiteral("Local\\") + client::kInstanceId + QStringLiteral("_shmem"), QStringLiteral(".shm"));
    ASSERT_TRUE(QDir().mkpath(block));  // a folder where the block file would go
    InstanceGuard guard;
    guard.Open(client::kInstanceId);
    EXPECT_TRUE(guard.IsFirst());
    EXPECT_FALSE(guard.HasView());
    guard.SetWindowHandle(0x1234);
    EXPECT_EQ(guard.WindowHandle(), 0u);
}

// The block a later process reads holds the size, the layout and the token.
TEST(InstanceGuard, LaterGuardReadsTheFirstOnesToken)
{
    InstanceGuard first;
    first.Open(client::kInstanceId);
    ASSERT_TRUE(first.IsFirst());
    first.SetWindowHandle(0xA1B2C3D4u);

    InstanceGuard second;  // the lock is per open file, so a second guard in-process stands in for a process
    second.Open(client::kInstanceId);
    EXPECT_FALSE(second.IsFirst());
    ASSERT_TRUE(second.HasView());
    EXPECT_EQ(second.WindowHandle(), 0xA1B2C3D4u);
    second.SetWindowHandle(1);  // only the first writes
    EXPECT_EQ(first.WindowHandle(), 0xA1B2C3D4u);
}

}  // namespace
