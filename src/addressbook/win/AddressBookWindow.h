#pragma once
// The Win32 address-book dialog: a top-level window without owner, built in
// code from the stored layout, with its own modal loop. The control IDs are
// public so that a test or the Office emulator can answer the dialog.

#include <windows.h>

#include <cwchar>

#include "addressbook/AddressBookView.h"

namespace torva::win {

// The dialog's window class, by which the emulator knows the dialog.
inline constexpr wchar_t kAddressBookClass[] = L"TorvaAddressBook";

// Neither is IDOK (1) nor IDCANCEL (2): Enter on another control and Escape
// press no button.
inline constexpr int kIdLabel = 101;
inline constexpr int kIdList = 102;
inline constexpr int kIdPrivate = 103;
inline constexpr int kIdBusiness = 104;
inline constexpr int kIdOK = 105;
inline constexpr int kIdCancel = 106;

// The dialog window the calling thread shows, or null: looked up by thread,
// not with FindWindow, since another program in the same window station (the
// tests run side by side under one Wine server) may show one at the same time.
inline BOOL CALLBACK takeAddressBookWindow(HWND h, LPARAM out) noexcept {
    wchar_t name[64] = {};
    GetClassNameW(h, name, 64);
    if (std::wcscmp(name, kAddressBookClass) != 0) return TRUE;
    *reinterpret_cast<HWND*>(out) = h;
    return FALSE;
}
inline HWND shownAddressBookWindow() noexcept {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), takeAddressBookWindow,
                      reinterpret_cast<LPARAM>(&found));
    return found;
}

int controlId(Ctl ctl);
// Twips to pixels at the given DPI (1440 twips an inch).
int twipsToPixels(int twips, int dpi);

}  // namespace torva::win
