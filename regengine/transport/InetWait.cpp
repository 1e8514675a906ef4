#include "regengine/transport/InetWait.h"

#include "regengine/core/Clock.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/ModalWait.h"

#include "platform/text/Format.h"

#include <cstring>

namespace engine {

void WinInetStatusCallback(OvexInetHandle handle, uintptr_t context, uint32_t status, const void* info,
                           uint32_t infoLength)
{
    EngineTrace(platform::formatText(QStringLiteral("Got status code %d from WININET for handle %#x"), status,
                                     quintptr(handle)));
    auto* wait = reinterpret_cast<WinInetContext*>(context);
    if (wait == nullptr)
        return;
    if (status == OVEX_INET_STATUS_HANDLE_CREATED) {
        if (wait->handleSlot != nullptr && info != nullptr && infoLength >= sizeof(OvexInetHandle))
            std::memcpy(wait->handleSlot, info, sizeof(OvexInetHandle));
        wait->handleCreated = 1;
        EngineTrace(platform::formatText(QStringLiteral("Internet handle created as %#x"),
                                         wait->handleSlot ? quintptr(*wait->handleSlot) : quintptr(0)));
    } else if (status == OVEX_INET_STATUS_REQUEST_COMPLETE) {
        if (info != nullptr && infoLength >= sizeof(OvexInetAsyncResult)) {
            OvexInetAsyncResult outcome;
            std::memcpy(&outcome, info, sizeof outcome);
            wait->result = outcome.result;
            wait->error = outcome.error;
        }
        wait->requestComplete = 1;
    }
}

bool WaitForFlag(const unsigned char& flag, int timeoutSeconds, bool pump, const Clock* clock)
{
    const Clock& time = clock != nullptr ? *clock : Clock::System();
    const qint64 start = timeoutSeconds >= 1 ? time.MonotonicMs() : 0;
    while (flag == 0) {
        // One pass: the idle callback, the cancel flag, then the events already waiting
        // (blocking a few milliseconds when there are none, so the loop does not spin).
        if (pump) {
            if (PumpWhileBusy())
                return false;
        } else {
            if (CancelFlag() != 0)
                return false;
            time.SleepMs(1);
        }
        if (flag != 0)
            break;
        if (timeoutSeconds >= 1 && time.MonotonicMs() - start > qint64(timeoutSeconds) * 1000)
            return false;
    }
    return true;
}

}  // namespace engine
