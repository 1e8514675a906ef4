#pragma once

#include "platform/inet/Inet.h"

#include <cstdint>

namespace engine {

class Clock;

// What the status callback records for one pending operation of the internet library. Its
// address is the operation's context, so it must outlive the operation: callers close the
// handle, after which the library reports nothing more, before the record goes.
struct WinInetContext {
    OvexInetHandle* handleSlot = nullptr;  // where a created handle is stored; may be null
    unsigned char handleCreated = 0;
    unsigned char requestComplete = 0;
    uintptr_t result = 0;
    uint32_t error = 0;
};

// The callback installed on the engine's sessions and connections; it only writes the
// context's fields and traces.
void WinInetStatusCallback(OvexInetHandle handle, uintptr_t context, uint32_t status, const void* info,
                           uint32_t infoLength);

// Waits until `flag` is set. With `pump` the events are handled meanwhile (a quit met is
// posted again after the wait) and the engine's idle callback runs; the transfers of an
// asynchronous session only advance so. Ends with false when the global cancel flag is set or,
// with a time-out of 1 or more, once more seconds than that have passed on `clock` (null: the
// system clock).
bool WaitForFlag(const unsigned char& flag, int timeoutSeconds, bool pump, const Clock* clock = nullptr);

}  // namespace engine
