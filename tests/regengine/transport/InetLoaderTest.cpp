#include "regengine/transport/InetLoader.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

const QString kBuilt = QStringLiteral(OVEX_INET_LIBRARY_DIR "/" OVEX_INET_LIBRARY_NAME);

TEST(InetLoader, BindsEveryEntryPointOfTheLibrary)
{
    InetLoader loader({kBuilt});
    EXPECT_FALSE(loader.IsLoaded());
    ASSERT_TRUE(loader.Load());
    const InetLoader::Api& api = loader.Functions();
    for (const void* entry :
         {reinterpret_cast<const void*>(api.apiVersion), reinterpret_cast<const void*>(api.lastError),
          reinterpret_cast<const void*>(api.attemptConnect), reinterpret_cast<const void*>(api.queryConnectedState),
          reinterpret_cast<const void*>(api.setConnectedState), reinterpret_cast<const void*>(api.setDefaultTimeouts),
          reinterpret_cast<const void*>(api.openSession), reinterpret_cast<const void*>(api.splitUrl),
          reinterpret_cast<const void*>(api.setStatusCallback), reinterpret_cast<const void*>(api.connect),
          reinterpret_cast<const void*>(api.openRequest), reinterpret_cast<const void*>(api.sendRequest),
          reinterpret_cast<const void*>(api.queryStatusCode), reinterpret_cast<const void*>(api.queryContentLength),
          reinterpret_cast<const void*>(api.read), reinterpret_cast<const void*>(api.closeHandle)})
        EXPECT_NE(entry, nullptr);
    EXPECT_EQ(api.apiVersion(), OVEX_INET_API_VERSION);
    EXPECT_EQ(loader.IsConnected(), std::optional<bool>(true));
}

TEST(InetLoader, AMissingOrForeignLibraryBindsNothingAndTheNextCandidateIsTried)
{
    InetLoader missing(
        {testsupport::sandboxRoot() + QStringLiteral("/none/") + QStringLiteral(OVEX_INET_LIBRARY_NAME)});
    EXPECT_FALSE(missing.Load());
    EXPECT_FALSE(missing.IsConnected().has_value());
    EXPECT_FALSE(missing.IsWorkingOffline());

    // A library that loads but is not the internet library: none of it may be called.
    InetLoader foreign({QStringLiteral("libuuid.so.1")});
    EXPECT_FALSE(foreign.Load());
    EXPECT_EQ(foreign.Functions().queryConnectedState, nullptr);

    InetLoader fallback({QStringLiteral("libuuid.so.1"), kBuilt});
    EXPECT_TRUE(fallback.Load());
    EXPECT_TRUE(fallback.IsLoaded());
}

}  // namespace
