#include <windows.h>

#include <map>

#include "platform/Platform.h"

namespace torva::platform {

namespace {

// The portable procedure of each running timer, by the id the system gave.
// Timers without a window belong to the thread that made them, and so does
// this table: only the host's user-interface thread touches it.
std::map<UINT_PTR, TimerProc>& procs() {
    static std::map<UINT_PTR, TimerProc> table;
    return table;
}

// The system's callback; it runs from the message loop, where nothing may
// be thrown.
void CALLBACK timerTrampoline(HWND window, UINT message, UINT_PTR id, DWORD time) noexcept {
    try {
        const auto found = procs().find(id);
        if (found != procs().end()) found->second(window, message, id, time);
    } catch (...) {
    }
}

}  // namespace

uintptr_t setTimer(uintptr_t eventId, uint32_t intervalMs, TimerProc proc) noexcept {
    if (!proc) return 0;
    const UINT_PTR id = SetTimer(nullptr, eventId, intervalMs, timerTrampoline);
    if (id == 0) return 0;
    try {
        procs()[id] = proc;
    } catch (...) {
        // A timer nobody can answer would only wake the loop for nothing.
        KillTimer(nullptr, id);
        return 0;
    }
    return id;
}

bool killTimer(uintptr_t timerId) noexcept {
    procs().erase(timerId);
    return KillTimer(nullptr, timerId) != FALSE;
}

}  // namespace torva::platform
