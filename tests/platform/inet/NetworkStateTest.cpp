// The connected state as the desktop's NetworkManager tells it, from the peer of
// tests/peers on a private bus named by DBUS_SYSTEM_BUS_ADDRESS; no bus, no service and no
// answer all leave it connected, and the user's "work offline" stands whatever it says.
#include "platform/inet/Inet.h"

#include "tests/peers/Peers.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <ostream>
#include <thread>

namespace {

using namespace testpeers;

uint32_t connectedState()
{
    uint32_t state = 0;
    EXPECT_TRUE(ovex_inet_query_connected_state(&state));
    return state;
}

class NetworkStateTest : public ::testing::Test {
protected:
    void SetUp() override { ovex_inet_set_connected_state(OVEX_INET_STATE_CONNECTED); }
    void TearDown() override { ovex_inet_set_connected_state(OVEX_INET_STATE_CONNECTED); }

    void useBus(const QString& address) { qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8()); }
};

struct StateRow {
    const char* name;
    uint nmState;
    uint32_t state;
};

void PrintTo(const StateRow& row, std::ostream* os)
{
    *os << row.name;
}

class NetworkManagerSaysTest : public NetworkStateTest, public ::testing::WithParamInterface<StateRow> {};

TEST_P(NetworkManagerSaysTest, GivesTheConnectedState)
{
    NetworkManager manager(QStringLiteral(OVEX_NETWORK_MANAGER_PEER), GetParam().nmState);
    ASSERT_TRUE(manager.started());
    useBus(manager.busAddress());
    EXPECT_EQ(connectedState(), GetParam().state);
    const bool down = GetParam().state == OVEX_INET_STATE_DISCONNECTED;
    EXPECT_EQ(ovex_inet_attempt_connect(), down ? OVEX_INET_ERROR_DISCONNECTED : OVEX_INET_ERROR_SUCCESS);
}

// Connected to the local network or a site only, a service there may still answer.
INSTANTIATE_TEST_SUITE_P(States, NetworkManagerSaysTest,
                         ::testing::Values(StateRow{"Unknown", kNmUnknown, OVEX_INET_STATE_CONNECTED},
                                           StateRow{"Asleep", kNmAsleep, OVEX_INET_STATE_DISCONNECTED},
                                           StateRow{"Disconnected", kNmDisconnected, OVEX_INET_STATE_DISCONNECTED},
                                           StateRow{"Disconnecting", kNmDisconnecting, OVEX_INET_STATE_DISCONNECTED},
                                           StateRow{"Connecting", kNmConnecting, OVEX_INET_STATE_DISCONNECTED},
                                           StateRow{"ConnectedLocal", kNmConnectedLocal, OVEX_INET_STATE_CONNECTED},
                                           StateRow{"ConnectedSite", kNmConnectedSite, OVEX_INET_STATE_CONNECTED},
                                           StateRow{"ConnectedGlobal", kNmConnectedGlobal, OVEX_INET_STATE_CONNECTED}),
                         [](const ::testing::TestParamInfo<StateRow>& info) { return std::string(info.param.name); });

TEST_F(NetworkStateTest, NoSystemBusIsConnected)
{
    useBus("unix:path=" + testsupport::sandboxRoot() + "/no-such-bus");
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_CONNECTED);
    EXPECT_EQ(ovex_inet_attempt_connect(), OVEX_INET_ERROR_SUCCESS);
    useBus("not an address");
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_CONNECTED);
}

TEST_F(NetworkStateTest, BusWithoutNetworkManagerIsConnected)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.up());
    useBus(bus.address());
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_CONNECTED);
}

// Read afresh each time, from any thread, and from a bus that came or went since.
TEST_F(NetworkStateTest, FollowsTheNetworkAsItChanges)
{
    NetworkManager manager(QStringLiteral(OVEX_NETWORK_MANAGER_PEER), kNmConnectedGlobal);
    ASSERT_TRUE(manager.started());
    useBus("unix:path=" + testsupport::sandboxRoot() + "/no-such-bus");
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_CONNECTED);
    useBus(manager.busAddress());
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_CONNECTED);
    ASSERT_TRUE(manager.setState(kNmDisconnected));
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_DISCONNECTED);
    uint32_t fromThread = 0;
    std::thread([&] { ovex_inet_query_connected_state(&fromThread); }).join();
    EXPECT_EQ(fromThread, OVEX_INET_STATE_DISCONNECTED);
    ASSERT_TRUE(manager.setState(kNmConnectedSite));
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_CONNECTED);
    ASSERT_TRUE(manager.setState(kNmAsleep));
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_DISCONNECTED);
    manager.stopBus();
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_CONNECTED);
}

TEST_F(NetworkStateTest, WorkingOfflineStandsWhateverTheNetwork)
{
    NetworkManager manager(QStringLiteral(OVEX_NETWORK_MANAGER_PEER), kNmConnectedGlobal);
    ASSERT_TRUE(manager.started());
    useBus(manager.busAddress());
    ASSERT_TRUE(ovex_inet_set_connected_state(OVEX_INET_STATE_DISCONNECTED_BY_USER));
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_DISCONNECTED_BY_USER);
    ASSERT_TRUE(manager.setState(kNmDisconnected));
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_DISCONNECTED_BY_USER);
    ASSERT_TRUE(ovex_inet_set_connected_state(OVEX_INET_STATE_CONNECTED));
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_DISCONNECTED);
}

// A NetworkManager that takes the question and never answers holds the caller for the
// layer's short time-out, not for D-Bus's default of 25 seconds.
TEST_F(NetworkStateTest, NoAnswerIsNotWaitedForLong)
{
    NetworkManager manager(QStringLiteral(OVEX_NETWORK_MANAGER_PEER), kNmDisconnected);
    ASSERT_TRUE(manager.started());
    useBus(manager.busAddress());
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_DISCONNECTED);
    ASSERT_TRUE(manager.silence());
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(connectedState(), OVEX_INET_STATE_CONNECTED);
    EXPECT_LT(clock.elapsed(), 10000);
}

}  // namespace
