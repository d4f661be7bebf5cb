#pragma once
// The emulator's own top-level windows (the host's main window, Outlook's
// further explorers): one window class each, registered once a process.

#include <windows.h>

#include "platform/win/Com.h"

namespace torva::emulator {

// Registers the class at its first use; throws where the system refuses it.
inline void ensureWindowClass(const wchar_t* name, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc)) return;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    if (!RegisterClassExW(&wc))
        win::throwIfFailed(HRESULT_FROM_WIN32(GetLastError()), u"RegisterClassEx");
}

}  // namespace torva::emulator
