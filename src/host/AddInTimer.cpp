#include "host/AddInTimer.h"

#include <exception>
#include <string>

#include "base/Error.h"
#include "platform/Platform.h"
#include "support/modLog.h"

namespace torva {

std::shared_ptr<AddInTimerTarget> pendingConnectObject;
uintptr_t addInTimerId = 0;

void startAddInTimer(std::shared_ptr<AddInTimerTarget> connectObject) {
    pendingConnectObject = std::move(connectObject);
    if (addInTimerId == 0)
        addInTimerId =
            platform::setTimer(kAddInTimerEventId, kAddInTimerIntervalMs, addInTimerProc);
}

namespace {

// Back to Idle: the timer stops and the waiting object is let go.
void stopAddInTimer() noexcept {
    (void)platform::killTimer(addInTimerId);
    addInTimerId = 0;
    pendingConnectObject.reset();
}

// A tick that fails (no Access application after a failed connection,
// CurrentDb refused) would fail again 20 times a second for the life of
// Access: the wait ends at the first, with one log entry.
void endFailedWait(const std::exception* failure) noexcept {
    stopAddInTimer();
    try {
        WriteLog(u"Could not add Commandbars to Access: " +
                     (failure ? describeFailure(*failure) : u"Unexpected failure"),
                 LogError);
    } catch (...) {  // no memory left for the text; the timer is stopped all the same
    }
}

}  // namespace

void addInTimerProc(void* window, uint32_t message, uintptr_t timerId, uint32_t timeMs) noexcept {
    (void)window;
    (void)message;
    (void)timerId;
    (void)timeMs;
    if (!pendingConnectObject) return;
    // Held here: the installation may start the timer again and replace the
    // waiting object while it runs.
    const std::shared_ptr<AddInTimerTarget> waiting = pendingConnectObject;
    try {
        if (waiting->AddInTimer_Timer()) stopAddInTimer();
    } catch (const std::exception& e) {
        endFailedWait(&e);
    } catch (...) {
        endFailedWait(nullptr);
    }
}

}  // namespace torva
