// The address-book dialog as a real window: layout at the system DPI,
// captions, fonts, tooltips, tab order, enabled states, which keys press
// which button, the close box, right to left.

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "addressbook/AddressBookView.h"
#include "addressbook/win/AddressBookWindow.h"
#include "platform/win/Handle.h"

using namespace torva;

namespace {

std::function<void(HWND)> whileShown;

void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (whileShown) whileShown(win::shownAddressBookWindow());
}

// What one showing of the dialog came to.
struct Showing {
    int oks = 0;
    int cancels = 0;
    bool checked = false;  // the check ran on a dialog that was on screen
};

// Shows the dialog and runs `check` on its window once it is on screen.
Showing showAndCheck(AddressBookView& view, std::function<void(HWND)> check) {
    Showing shown;
    whileShown = [&shown, &check](HWND dialog) {
        if (!dialog) return;  // `checked` stays false and the test fails on it
        shown.checked = true;
        check(dialog);
    };
    SetTimer(nullptr, 0, 200, onTimer);
    view.showModal([&] { ++shown.oks, view.hide(); }, [&] { ++shown.cancels, view.hide(); });
    whileShown = nullptr;
    return shown;
}

std::wstring textOf(HWND h) {
    wchar_t buffer[256] = {};
    GetWindowTextW(h, buffer, 256);
    return buffer;
}

RECT clientRectOf(HWND dialog, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    if (r.left > r.right) std::swap(r.left, r.right);  // mirrored
    return r;
}

struct TooltipSearch {
    HWND dialog, found;
};

// A named callback: a lambda is no stdcall function in the 32-bit build.
BOOL CALLBACK findOwnedTooltip(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<TooltipSearch*>(lp);
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    if (std::wstring(cls) == TOOLTIPS_CLASSW && GetWindow(h, GW_OWNER) == s->dialog) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

// The dialog's tooltip window: a top-level window of our thread that it owns.
HWND tooltipOf(HWND dialog) {
    TooltipSearch search{dialog, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), findOwnedTooltip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring tooltipText(HWND tooltip, HWND dialog, HWND control) {
    wchar_t buffer[256] = {};
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = dialog;
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = buffer;
    SendMessageW(tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    return buffer;
}

// A key pressed on a control, as the dialog's own message loop receives it.
void pressKey(HWND control, WPARAM key) {
    SetFocus(control);
    PostMessageW(control, WM_KEYDOWN, key, 1);
    PostMessageW(control, WM_KEYUP, key, 0xC0000001);
}

// What the load handler does, with fixed texts.
void localise(AddressBookView& view, bool rtl) {
    view.setDialogRightToLeft(rtl);
    for (const auto& c : kAddressBookLayout) view.setRightToLeft(c.id, rtl);
    view.setLabelStyle(Ctl::lblAdressbooks);
    for (const auto& c : kAddressBookLayout) {
        view.setFontName(c.id, c.kind == CtlKind::ListBox ? u"Arial" : u"Tahoma");
        view.setFontSize(c.id, c.kind == CtlKind::ListBox ? 10 : 8);
        if (c.kind != CtlKind::ListBox) view.setCaption(c.id, std::u16string(c.name));
        if (!c.tag.empty()) view.setTooltip(c.id, u"tip " + std::u16string(c.tag));
    }
    view.selectOption(Ctl::rbBusiness);
    view.addEntry(u"Kontakte");
    view.addEntry(u"Ausgewählte Kontakte");
    view.setItemData(1, -1);
    view.setEntryMarked(0, true);
}

// Timer procedures take no context: what they need lives here.
int enterTarget = 0;
bool shownAtEnter = false;
UINT_PTR closeFallback = 0;

void CALLBACK closeShownDialog(HWND, UINT, UINT_PTR, DWORD) {
    PostMessageW(win::shownAddressBookWindow(), WM_CLOSE, 0, 0);
}

void CALLBACK pressEnterOnTarget(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND d = win::shownAddressBookWindow();
    shownAtEnter = d && IsWindowVisible(d);
    if (enterTarget) pressKey(GetDlgItem(d, enterTarget), VK_RETURN);
    // Should Enter fail to end the dialog, the close box does, so the test
    // fails instead of waiting forever.
    closeFallback = SetTimer(nullptr, 0, 1000, closeShownDialog);
}

// A window of the dialog's thread, as the host's main window is.
win::UniqueWindow makeTopLevelWindow(const wchar_t* title) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TorvaTestHost";
    RegisterClassW(&wc);  // already there after the first call
    return win::UniqueWindow(CreateWindowExW(0, L"TorvaTestHost", title,
                                             WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
}

}  // namespace

TEST(AddressBookWindow, LayoutTextsFontsTooltipsAndTabOrder) {
    auto view = createAddressBookView();
    localise(*view, false);
    view->setEnabled(Ctl::cmdOK, false);
    const Showing shown = showAndCheck(*view, [&](HWND dialog) {
        const int dpi = GetDeviceCaps(win::UniqueScreenDc(GetDC(nullptr)).get(), LOGPIXELSY);
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, win::twipsToPixels(kAddressBookClientWidth, dpi));
        EXPECT_EQ(client.bottom, win::twipsToPixels(kAddressBookClientHeight, dpi));
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
        for (const auto& c : kAddressBookLayout) {
            SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
            HWND h = GetDlgItem(dialog, win::controlId(c.id));
            ASSERT_NE(h, nullptr);
            const RECT r = clientRectOf(dialog, h);
            EXPECT_EQ(r.left, win::twipsToPixels(c.left, dpi));
            EXPECT_EQ(r.top, win::twipsToPixels(c.top, dpi));
            EXPECT_EQ(r.right - r.left, win::twipsToPixels(c.width, dpi));
            EXPECT_EQ(r.bottom - r.top, win::twipsToPixels(c.height, dpi));
            LOGFONTW lf{};
            GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof lf, &lf);
            EXPECT_STREQ(lf.lfFaceName, c.kind == CtlKind::ListBox ? L"Arial" : L"Tahoma");
            EXPECT_EQ(lf.lfHeight, -MulDiv(c.kind == CtlKind::ListBox ? 10 : 8, dpi, 72));
            if (c.kind != CtlKind::ListBox) {
                EXPECT_EQ(textOf(h), std::wstring(c.name.begin(), c.name.end()));
            }
            if (!c.tag.empty()) {
                EXPECT_EQ(tooltipText(tooltipOf(dialog), dialog, h),
                          L"tip " + std::wstring(c.tag.begin(), c.tag.end()));
            }
        }
        // Tab order: the children in z-order are the layout's tab indices.
        std::vector<int> order;
        for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
            order.push_back(GetDlgCtrlID(h));
        EXPECT_EQ(order, (std::vector<int>{win::kIdList, win::kIdLabel, win::kIdOK, win::kIdCancel,
                                           win::kIdPrivate, win::kIdBusiness}));
        // The arrow keys move between the two options only.
        HWND business = GetDlgItem(dialog, win::kIdBusiness);
        HWND privat = GetDlgItem(dialog, win::kIdPrivate);
        EXPECT_EQ(GetNextDlgGroupItem(dialog, business, FALSE), privat);
        EXPECT_EQ(GetNextDlgGroupItem(dialog, privat, TRUE), business);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, win::kIdOK)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, win::kIdCancel)));
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, win::kIdBusiness), BM_GETCHECK, 0, 0),
                  BST_CHECKED);
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, win::kIdList), LB_GETSEL, 0, 0), 1);
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, win::kIdList), LB_GETITEMDATA, 1, 0), -1);
        // The option buttons exclude each other when clicked.
        SendMessageW(GetDlgItem(dialog, win::kIdPrivate), BM_CLICK, 0, 0);
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, win::kIdBusiness), BM_GETCHECK, 0, 0),
                  BST_UNCHECKED);
        // Escape and IDOK press no button.
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(IsWindowVisible(dialog));
        SendMessageW(GetDlgItem(dialog, win::kIdCancel), BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(shown.checked);
    EXPECT_EQ(shown.cancels, 1);
    EXPECT_EQ(shown.oks, 0);
    EXPECT_TRUE(view->optionSelected(Ctl::rbPrivate));
}

// Enter presses the button that has the focus and nothing else: neither
// button is the default, so Enter on the list, and Escape anywhere, press
// nothing; nor does the close box (no button to press: the fallback closes),
// here right to left.
TEST(AddressBookWindow, EnterPressesOnlyTheFocusedButtonAndTheCloseBoxNothing) {
    for (const auto& [button, rtl] :
         {std::pair{win::kIdOK, false}, std::pair{win::kIdCancel, false}, std::pair{0, true}}) {
        SCOPED_TRACE(button);
        auto view = createAddressBookView();
        localise(*view, rtl);
        enterTarget = button;
        shownAtEnter = false;
        const Showing shown = showAndCheck(*view, [&](HWND dialog) {
            EXPECT_EQ((GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0, rtl);
            EXPECT_EQ((GetWindowLongPtrW(GetDlgItem(dialog, win::kIdOK), GWL_EXSTYLE) &
                       WS_EX_RTLREADING) != 0,
                      rtl);
            pressKey(GetDlgItem(dialog, win::kIdList), VK_RETURN);
            pressKey(GetDlgItem(dialog, win::kIdList), VK_ESCAPE);
            // Once the loop has handled those keys, Enter on the button.
            SetTimer(nullptr, 0, 200, pressEnterOnTarget);
        });
        KillTimer(nullptr, closeFallback);
        EXPECT_TRUE(shown.checked);
        EXPECT_TRUE(shownAtEnter);  // the keys on the list closed nothing
        EXPECT_EQ(shown.oks, button == win::kIdOK ? 1 : 0);
        EXPECT_EQ(shown.cancels, button == win::kIdCancel ? 1 : 0);
    }
}

// Made for the host's window: owned by it, centred over it wherever it stands
// on the screen (here on the right of a wide one, where the primary screen's
// centre is far away), and without a taskbar button of its own. Modal as a
// form is: the thread's other windows take no input while the dialog is shown
// and are enabled again, before it hides, exactly those it disabled; coming
// back to the dialog gives the focus back to its control.
TEST(AddressBookWindow, OwnedByTheHostWindowCentredOverItModalAndKeepsItsFocus) {
    const auto hostWindow = makeTopLevelWindow(L"Host");
    const auto disabledWindow = makeTopLevelWindow(L"Disabled before");
    HWND host = hostWindow.get(), disabledBefore = disabledWindow.get();
    ASSERT_TRUE(host && disabledBefore);
    EnableWindow(disabledBefore, FALSE);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const RECT places[] = {{10, 10, 610, 410}, {screenWidth - 700, 150, screenWidth - 100, 650}};
    for (const RECT& place : places) {
        SCOPED_TRACE(place.left);
        MoveWindow(host, place.left, place.top, place.right - place.left, place.bottom - place.top,
                   TRUE);
        auto view = createAddressBookView(reinterpret_cast<intptr_t>(host));
        localise(*view, false);
        const Showing shown = showAndCheck(*view, [&](HWND dialog) {
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), host);
            EXPECT_FALSE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
            EXPECT_FALSE(IsWindowEnabled(host));
            EXPECT_TRUE(IsWindowEnabled(dialog));
            RECT d, h;
            GetWindowRect(dialog, &d);
            GetWindowRect(host, &h);
            EXPECT_LE(std::abs((d.left + d.right) - (h.left + h.right)), 4);
            EXPECT_LE(std::abs((d.top + d.bottom) - (h.top + h.bottom)), 4);
            HWND cancel = GetDlgItem(dialog, win::kIdCancel);
            SetFocus(cancel);
            // Away to a window opened meanwhile, and back.
            const auto other = makeTopLevelWindow(L"Other");
            SetActiveWindow(other.get());
            EXPECT_NE(GetActiveWindow(), dialog);
            SetActiveWindow(dialog);
            EXPECT_EQ(GetFocus(), cancel);
            SendMessageW(cancel, BM_CLICK, 0, 0);
        });
        EXPECT_TRUE(shown.checked);
        EXPECT_EQ(shown.cancels, 1);
        EXPECT_TRUE(IsWindowEnabled(host));
        EXPECT_EQ(GetActiveWindow(), host) << "enabled only after the dialog was hidden";
        EXPECT_FALSE(IsWindowEnabled(disabledBefore))
            << "enabled although the dialog did not disable it";
    }
}
