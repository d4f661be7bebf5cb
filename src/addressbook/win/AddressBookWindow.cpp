#include "addressbook/win/AddressBookWindow.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "addressbook/win/AddressBookWindowView.h"
#include "base/Error.h"
#include "platform/win/Com.h"

namespace torva::win {

namespace {

// The module this code lives in (the add-in DLL, or a test program): the
// window class belongs to it, so that it goes when the DLL goes.
const int kModuleAnchor = 0;
HINSTANCE codeModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&kModuleAnchor), &module);
    return module;
}

int systemDpi() {
    const UniqueScreenDc screen(GetDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

[[noreturn]] void lastErrorFailure(const char16_t* what) {
    const DWORD code = GetLastError();
    throw Error::fromHResult(
        static_cast<int32_t>(HRESULT_FROM_WIN32(code ? code : ERROR_INVALID_HANDLE)), what);
}

void registerClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = AddressBookWindow::procedure;
    wc.hInstance = codeModule();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kAddressBookClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        lastErrorFailure(u"The dialog's window class could not be registered");
}

// Where a window of this size goes: centred over its owner, kept on the
// owner's monitor; without an owner (or with one that is gone), centred on the
// primary screen.
POINT centredPosition(HWND owner, int width, int height) {
    RECT over{};
    RECT bounds{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner && IsWindow(owner) && GetWindowRect(owner, &over)) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor))
            bounds = monitor.rcWork;
    } else {
        over = bounds;
    }
    LONG x = over.left + (over.right - over.left - width) / 2;
    LONG y = over.top + (over.bottom - over.top - height) / 2;
    x = std::max(bounds.left, std::min(x, bounds.right - width));
    y = std::max(bounds.top, std::min(y, bounds.bottom - height));
    return {x, y};
}

// The controls of the stored layout, without position or font yet.
void createControls(HWND dialog) {
    // Created in tab order, so the z-order is the tab order.
    std::array<const ControlLayout*, kAddressBookLayout.size()> byTab{};
    for (const auto& c : kAddressBookLayout) byTab[static_cast<size_t>(c.tabIndex)] = &c;
    for (const ControlLayout* c : byTab) {
        const wchar_t* cls = L"BUTTON";
        DWORD s = WS_CHILD | WS_VISIBLE;
        switch (c->kind) {
            case CtlKind::Label:
                cls = L"STATIC";
                s |= SS_LEFT | SS_NOTIFY;
                break;
            case CtlKind::ListBox:
                // First in the tab order, so it closes the option group that
                // ends the order: arrow keys stay between the two options.
                cls = L"LISTBOX";
                s |= WS_GROUP | WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_EXTENDEDSEL | LBS_NOTIFY |
                     LBS_NOINTEGRALHEIGHT;
                break;
            case CtlKind::Option:
                s |= WS_TABSTOP | BS_AUTORADIOBUTTON | (c->id == Ctl::rbPrivate ? WS_GROUP : 0);
                break;
            case CtlKind::Button:
                s |= WS_TABSTOP | BS_PUSHBUTTON | (c->id == Ctl::cmdOK ? WS_GROUP : 0);
                break;
        }
        HWND child = CreateWindowExW(
            c->kind == CtlKind::ListBox ? WS_EX_CLIENTEDGE : 0, cls,
            wide(std::u16string(c->storedCaption)), s, 0, 0, 0, 0, dialog,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(c->id))), codeModule(), nullptr);
        if (!child) lastErrorFailure(u"A control of the dialog could not be created");
    }
}

}  // namespace

AddressBookWindow::AddressBookWindow(HWND owner) : dpi_(systemDpi()) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    registerClass();
    if (owner && !IsWindow(owner)) owner = nullptr;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    // Owned and without WS_EX_APPWINDOW: no taskbar button of its own.
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, twipsToPixels(kAddressBookClientWidth, dpi_),
               twipsToPixels(kAddressBookClientHeight, dpi_)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const POINT at = centredPosition(owner, width, height);
    window_.reset(CreateWindowExW(exStyle, kAddressBookClass,
                                  wide(std::u16string(kAddressBookTitle)), style, at.x, at.y, width,
                                  height, owner, nullptr, codeModule(), this));
    if (!window_) lastErrorFailure(u"The dialog window could not be created");

    createControls(window_.get());
    placeControls();
    for (const auto& c : kAddressBookLayout) applyFont(c.id);

    tooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_.get(),
                                   nullptr, codeModule(), nullptr));
}

// Windows keeps a DLL's window classes after the DLL is unloaded, with a
// window procedure that no longer exists: the class goes with the window.
AddressBookWindow::~AddressBookWindow() {
    enableOtherWindows();
    tooltip_.reset();
    window_.reset();
    UnregisterClassW(kAddressBookClass, codeModule());
}

void AddressBookWindow::placeControls() {
    for (const auto& c : kAddressBookLayout)
        MoveWindow(item(c.id), twipsToPixels(c.left, dpi_), twipsToPixels(c.top, dpi_),
                   twipsToPixels(c.width, dpi_), twipsToPixels(c.height, dpi_), TRUE);
}

int controlId(Ctl ctl) {
    switch (ctl) {
        case Ctl::lblAdressbooks:
            return kIdLabel;
        case Ctl::lbBooks:
            return kIdList;
        case Ctl::rbPrivate:
            return kIdPrivate;
        case Ctl::rbBusiness:
            return kIdBusiness;
        case Ctl::cmdOK:
            return kIdOK;
        case Ctl::cmdCancel:
            return kIdCancel;
    }
    return 0;
}

int twipsToPixels(int twips, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

}  // namespace torva::win

namespace torva {

std::unique_ptr<AddressBookView> createAddressBookView(intptr_t owner) {
    return std::make_unique<win::AddressBookWindow>(reinterpret_cast<HWND>(owner));
}

}  // namespace torva
