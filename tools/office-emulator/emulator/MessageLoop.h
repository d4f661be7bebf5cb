#pragma once
// The host's message loop, run between the calls into the add-in as Office
// runs it between events: the add-in's windows, timers and posted work get
// their turn.

#include <windows.h>

namespace torva::emulator {

// Dispatches messages for MS milliseconds (0: what is queued now).
void pumpFor(DWORD ms);

// Timer messages that went to code outside the emulator (the add-in's
// timers) in this process so far, so that a run can tell a timer that still
// ticks from one that stopped.
long foreignTimerTicks();

}  // namespace torva::emulator
