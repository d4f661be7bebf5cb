// clang-format off
#include <windows.h>
// clang-format on

#include <vector>

#include "addressbook/win/AddressBookWindowView.h"

namespace torva::win {

namespace {

struct OtherWindowsSearch {
    HWND dialog;
    std::vector<HWND>* found;
};

BOOL CALLBACK collectOtherWindow(HWND h, LPARAM lp) noexcept {
    auto* s = reinterpret_cast<OtherWindowsSearch*>(lp);
    try {
        if (h != s->dialog && GetWindow(h, GW_OWNER) != s->dialog && IsWindowVisible(h) &&
            IsWindowEnabled(h))
            s->found->push_back(h);
    } catch (...) {  // no memory: that window stays enabled
    }
    return TRUE;
}

}  // namespace

// Modal as a form is modal: every other enabled window of the thread (the
// host's windows among them) takes no input while the dialog is shown.
void AddressBookWindow::disableOtherWindows() {
    OtherWindowsSearch search{window_.get(), &disabled_};
    EnumThreadWindows(GetCurrentThreadId(), collectOtherWindow, reinterpret_cast<LPARAM>(&search));
    for (HWND h : disabled_) EnableWindow(h, FALSE);
}

void AddressBookWindow::enableOtherWindows() noexcept {
    for (HWND h : disabled_)
        if (IsWindow(h)) EnableWindow(h, TRUE);
    disabled_.clear();
}

void AddressBookWindow::showModal(const std::function<void()>& onOK,
                                  const std::function<void()>& onCancel) {
    onOK_ = onOK;
    onCancel_ = onCancel;
    shown_ = true;
    lastFocus_ = item(Ctl::lbBooks);
    disableOtherWindows();
    ShowWindow(window_.get(), SW_SHOW);
    SetForegroundWindow(window_.get());
    SetFocus(lastFocus_);
    MSG msg;
    while (shown_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the host's loop
            break;
        }
        if (!IsDialogMessageW(window_.get(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    hide();
    onOK_ = nullptr;
    onCancel_ = nullptr;
}

void AddressBookWindow::hide() {
    // The host's windows first: Windows then activates one of them when
    // the dialog goes, as it does for any modal form.
    enableOtherWindows();
    ShowWindow(window_.get(), SW_HIDE);
    shown_ = false;
}

LRESULT CALLBACK AddressBookWindow::procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    try {
        if (msg == WM_NCCREATE) {
            // The object comes with the creation; window_ is set once CreateWindowEx returns.
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            return DefWindowProcW(hwnd, msg, wp, lp);
        }
        auto* self = reinterpret_cast<AddressBookWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && self->window_.get() == hwnd) return self->handle(msg, wp, lp);
    } catch (...) {
        // Nothing may leave a window procedure; a failed handler leaves the dialog as it is.
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT AddressBookWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = window_.get();
    switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wp) == BN_CLICKED) {
                // IDOK and IDCANCEL (Enter elsewhere, Escape) are no buttons here.
                if (LOWORD(wp) == kIdOK && onOK_) onOK_();
                if (LOWORD(wp) == kIdCancel && onCancel_) onCancel_();
            }
            return 0;
        case DM_GETDEFID:
            // IsDialogMessage presses the default button on Enter. Neither
            // button is the default; a button with the focus stands in, as
            // it does in any Windows dialog, so Enter on the list does nothing.
            for (const Ctl button : {Ctl::cmdOK, Ctl::cmdCancel})
                if (GetFocus() == item(button)) return MAKELRESULT(controlId(button), DC_HASDEFID);
            return 0;
        case WM_CTLCOLORSTATIC:
            if (transparentLabel_ && reinterpret_cast<HWND>(lp) == item(Ctl::lblAdressbooks)) {
                SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        case WM_ACTIVATE:
            // The focus goes back to the control that had it, not to the
            // dialog itself, when the user comes back from another window.
            if (LOWORD(wp) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd, focus)) lastFocus_ = focus;
            } else if (lastFocus_ && IsChild(hwnd, lastFocus_)) {
                SetFocus(lastFocus_);
                return 0;
            }
            break;
        case WM_CLOSE:
            // The close box runs no handler: FileName keeps what init left.
            hide();
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace torva::win
