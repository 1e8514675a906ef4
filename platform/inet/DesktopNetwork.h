// What the desktop's own network service says of the network, for the connected state.
#pragma once

namespace ovexinet {

enum class DesktopNetwork {
    Up,       // a connection, if only to the local network
    Down,     // none: asleep, disconnected, or still connecting
    Unknown,  // no system bus, no NetworkManager on it, or no answer in time
};

// NetworkManager's "State" on the system bus (DBUS_SYSTEM_BUS_ADDRESS, else the standard
// socket), read afresh on every call and never waited for longer than a short time-out.
// Any thread.
DesktopNetwork desktopNetwork();

}  // namespace ovexinet
