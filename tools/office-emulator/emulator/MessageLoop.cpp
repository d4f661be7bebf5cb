#include "MessageLoop.h"

namespace torva::emulator {

namespace {
long timerTicks = 0;

// Code whose module is not the emulator's (an unknown window procedure
// handle counts as outside too).
bool outsideEmulator(const void* code) {
    HMODULE m = nullptr;
    return !code ||
           !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<LPCWSTR>(code), &m) ||
           m != GetModuleHandleW(nullptr);
}

void countTimer(const MSG& msg) {
    const void* code =
        msg.lParam ? reinterpret_cast<const void*>(msg.lParam)
        : msg.hwnd ? reinterpret_cast<const void*>(GetWindowLongPtrW(msg.hwnd, GWLP_WNDPROC))
                   : nullptr;
    if (outsideEmulator(code)) ++timerTicks;
}
}  // namespace

void pumpFor(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER) countTimer(msg);
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const LONG left = static_cast<LONG>(end - GetTickCount());
        if (left <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    }
}

long foreignTimerTicks() { return timerTicks; }

}  // namespace torva::emulator
