#pragma once
// The Access connect object's start-up timer: Access installs only once a
// database is open, and a timer polls for that.

#include <cstdint>
#include <memory>

namespace torva {

// Both values belong to the host's user-interface thread, which alone runs the
// timer and the add-in's handlers.

// What the timer waits on: the Access connect object, which answers true
// once it has installed.
class AddInTimerTarget {
  public:
    virtual ~AddInTimerTarget() = default;
    virtual bool AddInTimer_Timer() = 0;
};

// The Access connect object waiting for its installation; keeps it alive
// even after the host released it.
extern std::shared_ptr<AddInTimerTarget> pendingConnectObject;
// The running timer's id as the system gave it; 0 while none runs.
extern uintptr_t addInTimerId;

inline constexpr uintptr_t kAddInTimerEventId = 23;
inline constexpr uint32_t kAddInTimerIntervalMs = 50;

// Remembers the object (replacing the one that waited) and starts the timer
// unless one runs. A timer the system refuses leaves addInTimerId 0, so the
// next call tries again.
void startAddInTimer(std::shared_ptr<AddInTimerTarget> connectObject);
// Each tick: asks the waiting object to install; once it has, the timer
// stops and the object is let go. A tick that fails stops the timer and lets
// go of the object too, and logs the failure once; nothing leaves the
// callback. Its parameters are not used.
void addInTimerProc(void* window, uint32_t message, uintptr_t timerId, uint32_t timeMs) noexcept;

}  // namespace torva
