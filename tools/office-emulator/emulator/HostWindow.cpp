#include "HostWindow.h"

#include "MessageBoxes.h"
#include "MessageLoop.h"
#include "WideText.h"
#include "WindowClass.h"
#include "platform/win/Com.h"

namespace torva::emulator {

HostWindow& HostWindow::forRun(const std::u16string& title, const WindowRect& place,
                               SecondPress onSecondPress) {
    static HostWindow window;
    window.onSecondPress_ = std::move(onSecondPress);
    HWND w = window.window_.get();
    SetWindowTextW(w, wide(title).c_str());
    MoveWindow(w, place.x, place.y, place.width, place.height, TRUE);
    EnableWindow(w, TRUE);
    ShowWindow(w, SW_SHOWNORMAL);
    SetForegroundWindow(w);
    SetActiveWindow(w);
    pumpFor(0);
    return window;
}

HostWindow::HostWindow() {
    ensureWindowClass(L"TorvaOfficeEmulatorHost", proc);
    window_.reset(CreateWindowExW(0, L"TorvaOfficeEmulatorHost", L"", WS_OVERLAPPEDWINDOW, 40, 40,
                                  800, 600, nullptr, nullptr, GetModuleHandleW(nullptr), this));
    if (!window_) win::throwIfFailed(HRESULT_FROM_WIN32(GetLastError()), u"CreateWindowEx");
}

RECT HostWindow::rect() const {
    RECT r{};
    GetWindowRect(window_.get(), &r);
    return r;
}

LRESULT CALLBACK HostWindow::proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (msg == ModalWatch::kSecondPress && self) {
        // Stands for a mouse click on the toolbar: a disabled window takes no input.
        const bool delivered = IsWindowEnabled(w) != FALSE;
        if (self->onSecondPress_) self->onSecondPress_(delivered);
        return 0;
    }
    if (msg == WM_CLOSE) return 0;  // the run ends the host, not the user
    return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace torva::emulator
