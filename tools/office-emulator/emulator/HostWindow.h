#pragma once
// The host's main window: a real top-level window on the UI thread, as
// Office's, for modal add-in windows must disable it and input to a disabled
// window is lost. One per process, shown anew for each run: Wine takes seconds
// to destroy a shown top-level window, which a sweep of many runs cannot afford.

#include <windows.h>

#include <functional>
#include <string>

#include "Scenario.h"
#include "platform/win/Handle.h"

namespace torva::emulator {

class HostWindow {
  public:
    // Told whether a second press, tried while a dialog was shown, reached the window.
    using SecondPress = std::function<void(bool delivered)>;
    // The window, titled, placed, enabled and active for a run.
    static HostWindow& forRun(const std::u16string& title, const WindowRect& place,
                              SecondPress onSecondPress);
    void endRun() { onSecondPress_ = {}; }

    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND get() const { return window_.get(); }
    bool enabled() const { return IsWindowEnabled(window_.get()) != FALSE; }
    bool active() const { return GetActiveWindow() == window_.get(); }
    RECT rect() const;

  private:
    HostWindow();
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp);

    SecondPress onSecondPress_;
    win::UniqueWindow window_;
};

}  // namespace torva::emulator
