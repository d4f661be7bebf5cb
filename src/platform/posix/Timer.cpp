#include "platform/Platform.h"
#include "platform/posix/Recorder.h"

namespace torva::platform {

namespace {
// Across Recorder::clear too, so that an id from an earlier test never
// matches a later timer by chance.
uintptr_t nextTimerId = 0x1000;
constexpr uint32_t kWmTimer = 0x0113;
uint32_t tickTime = 0;
}  // namespace

uintptr_t setTimer(uintptr_t eventId, uint32_t intervalMs, TimerProc proc) noexcept {
    auto& rec = posix::recorder();
    if (rec.failSetTimer || !proc) return 0;
    const uintptr_t id = ++nextTimerId;
    rec.timers.push_back({id, eventId, intervalMs, proc});
    return id;
}

bool killTimer(uintptr_t timerId) noexcept {
    auto& rec = posix::recorder();
    rec.killedTimers.push_back(timerId);
    for (auto& t : rec.timers)
        if (t.id == timerId && !t.killed) {
            t.killed = true;
            return true;
        }
    return false;
}

}  // namespace torva::platform

namespace torva::platform::posix {

int fireTimers() {
    int fired = 0;
    // By index: a callback may start or end timers while we go.
    const size_t count = recorder().timers.size();
    for (size_t i = 0; i < count; ++i) {
        const TimerCall t = recorder().timers[i];
        if (t.killed) continue;
        // As the system's callback: nothing thrown by the procedure leaves it.
        try {
            t.proc(nullptr, kWmTimer, t.id, ++tickTime);
        } catch (...) {
        }
        ++fired;
    }
    return fired;
}

}  // namespace torva::platform::posix
