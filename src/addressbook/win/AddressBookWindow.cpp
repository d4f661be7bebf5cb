#include "addressbook/win/AddressBookWindow.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <map>
#include <vector>

#include "platform/win/Com.h"
#include "platform/win/Handle.h"
#include "base/Error.h"

namespace torva::win {

namespace {

constexpr const wchar_t* kClassName = kAddressBookClass;

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
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

[[noreturn]] void lastErrorFailure(const char16_t* what) {
    const DWORD code = GetLastError();
    throw Error::fromHResult(
        static_cast<int32_t>(HRESULT_FROM_WIN32(code ? code : ERROR_INVALID_HANDLE)), what);
}

// One control's font as the form keeps it: changed in place, made anew.
struct FontState {
    std::u16string name = u"MS Sans Serif";
    double points = 8.25;
    bool bold = true;
    UniqueFont font;
};

class AddressBookWindow final : public AddressBookView {
  public:
    explicit AddressBookWindow(HWND owner);
    // Windows keeps a DLL's window classes after the DLL is unloaded, with a
    // window procedure that no longer exists: the class goes with the window.
    ~AddressBookWindow() override {
        enableOtherWindows();
        tooltip_.reset();
        window_.reset();
        UnregisterClassW(kClassName, codeModule());
    }

    void clearEntries() override { SendMessageW(item(Ctl::lbBooks), LB_RESETCONTENT, 0, 0); }
    void addEntry(const std::u16string& text) override {
        if (SendMessageW(item(Ctl::lbBooks), LB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(wide(text))) < 0)
            throw Error(vb::kOutOfMemory, u"Out of memory");
    }
    int entryCount() override {
        return static_cast<int>(SendMessageW(item(Ctl::lbBooks), LB_GETCOUNT, 0, 0));
    }
    std::u16string entryText(int index) override;
    int32_t itemData(int index) override {
        checkIndex(index);
        return static_cast<int32_t>(SendMessageW(item(Ctl::lbBooks), LB_GETITEMDATA, index, 0));
    }
    void setItemData(int index, int32_t data) override {
        checkIndex(index);
        SendMessageW(item(Ctl::lbBooks), LB_SETITEMDATA, index, static_cast<LPARAM>(data));
    }
    bool entryMarked(int index) override {
        checkIndex(index);
        return SendMessageW(item(Ctl::lbBooks), LB_GETSEL, index, 0) > 0;
    }
    void setEntryMarked(int index, bool marked) override {
        checkIndex(index);
        SendMessageW(item(Ctl::lbBooks), LB_SETSEL, marked ? TRUE : FALSE, index);
    }

    bool optionSelected(Ctl option) override {
        return SendMessageW(item(option), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void selectOption(Ctl option) override {
        for (Ctl o : {Ctl::rbPrivate, Ctl::rbBusiness})
            SendMessageW(item(o), BM_SETCHECK, o == option ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    void setEnabled(Ctl ctl, bool enabled) override {
        EnableWindow(item(ctl), enabled ? TRUE : FALSE);
    }

    void setDialogRightToLeft(bool rtl) override;
    void setRightToLeft(Ctl ctl, bool rtl) override;
    void setLabelStyle(Ctl ctl) override;
    void setAlignmentLeft(Ctl ctl) override;
    void setFontName(Ctl ctl, const std::u16string& name) override {
        fonts_[ctl].name = name;
        applyFont(ctl);
    }
    void setFontSize(Ctl ctl, double points) override {
        fonts_[ctl].points = points;
        applyFont(ctl);
    }
    void setFontBold(Ctl ctl, bool bold) override {
        fonts_[ctl].bold = bold;
        applyFont(ctl);
    }
    void setCaption(Ctl ctl, const std::u16string& text) override;
    void setTooltip(Ctl ctl, const std::u16string& text) override;

    void setIcon(std::span<const uint8_t> ico) override;
    void showModal(const std::function<void()>& onOK,
                   const std::function<void()>& onCancel) override;
    void hide() override {
        // The host's windows first: Windows then activates one of them when
        // the dialog goes, as it does for any modal form.
        enableOtherWindows();
        ShowWindow(window_.get(), SW_HIDE);
        shown_ = false;
    }

  private:
    friend LRESULT CALLBACK windowProcedure(HWND, UINT, WPARAM, LPARAM) noexcept;
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    HWND item(Ctl ctl) const { return GetDlgItem(window_.get(), controlId(ctl)); }
    void checkIndex(int index) {
        if (index < 0 || index >= entryCount())
            throw Error(vb::kInvalidArrayIndex, u"Invalid property array index");
    }
    void applyFont(Ctl ctl);
    void placeControls();
    void disableOtherWindows();
    void enableOtherWindows() noexcept;

    int dpi_ = systemDpi();
    UniqueWindow window_;
    UniqueWindow tooltip_;
    UniqueIcon icon_;
    std::map<Ctl, FontState> fonts_;
    bool transparentLabel_ = false;
    bool shown_ = false;
    std::function<void()> onOK_, onCancel_;
    // The thread's windows this dialog disabled while shown, and no others.
    std::vector<HWND> disabled_;
    // The control that had the focus when the dialog was last deactivated.
    HWND lastFocus_ = nullptr;
};

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;

void registerClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProcedure;
    wc.hInstance = codeModule();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
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

AddressBookWindow::AddressBookWindow(HWND owner) {
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
    window_.reset(CreateWindowExW(exStyle, kClassName, wide(std::u16string(kAddressBookTitle)),
                                  style, at.x, at.y, width, height, owner, nullptr, codeModule(),
                                  this));
    if (!window_) lastErrorFailure(u"The dialog window could not be created");

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
            wide(std::u16string(c->storedCaption)), s, 0, 0, 0, 0, window_.get(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(c->id))), codeModule(), nullptr);
        if (!child) lastErrorFailure(u"A control of the dialog could not be created");
    }
    placeControls();
    for (const auto& c : kAddressBookLayout) applyFont(c.id);

    tooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_.get(),
                                   nullptr, codeModule(), nullptr));
}

void AddressBookWindow::placeControls() {
    for (const auto& c : kAddressBookLayout)
        MoveWindow(item(c.id), twipsToPixels(c.left, dpi_), twipsToPixels(c.top, dpi_),
                   twipsToPixels(c.width, dpi_), twipsToPixels(c.height, dpi_), TRUE);
}

std::u16string AddressBookWindow::entryText(int index) {
    checkIndex(index);
    const LRESULT length = SendMessageW(item(Ctl::lbBooks), LB_GETTEXTLEN, index, 0);
    if (length < 0) throw Error(vb::kInvalidArrayIndex, u"Invalid property array index");
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    SendMessageW(item(Ctl::lbBooks), LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

void AddressBookWindow::setDialogRightToLeft(bool rtl) {
    LONG_PTR ex = GetWindowLongPtrW(window_.get(), GWL_EXSTYLE);
    ex = rtl ? (ex | WS_EX_LAYOUTRTL) : (ex & ~static_cast<LONG_PTR>(WS_EX_LAYOUTRTL));
    SetWindowLongPtrW(window_.get(), GWL_EXSTYLE, ex);
    // Mirroring applies to positions given after the switch.
    placeControls();
    InvalidateRect(window_.get(), nullptr, TRUE);
}

void AddressBookWindow::setRightToLeft(Ctl ctl, bool rtl) {
    HWND h = item(ctl);
    LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
    const LONG_PTR flags = WS_EX_RTLREADING | WS_EX_LAYOUTRTL;
    ex = rtl ? (ex | flags) : (ex & ~flags);
    SetWindowLongPtrW(h, GWL_EXSTYLE, ex);
    InvalidateRect(h, nullptr, TRUE);
}

void AddressBookWindow::setLabelStyle(Ctl ctl) {
    HWND h = item(ctl);
    SetWindowLongPtrW(
        h, GWL_STYLE,
        GetWindowLongPtrW(h, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_BORDER | SS_SUNKEN));
    SetWindowLongPtrW(h, GWL_EXSTYLE,
                      GetWindowLongPtrW(h, GWL_EXSTYLE) &
                          ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
    transparentLabel_ = true;
}

void AddressBookWindow::setAlignmentLeft(Ctl ctl) {
    HWND h = item(ctl);
    LONG_PTR s = GetWindowLongPtrW(h, GWL_STYLE);
    if (layoutOf(ctl).kind == CtlKind::Label)
        s = (s & ~static_cast<LONG_PTR>(SS_TYPEMASK)) | SS_LEFT;
    else
        s = (s & ~static_cast<LONG_PTR>(BS_RIGHTBUTTON | BS_RIGHT | BS_CENTER)) | BS_LEFT;
    SetWindowLongPtrW(h, GWL_STYLE, s);
}

void AddressBookWindow::applyFont(Ctl ctl) {
    FontState& f = fonts_[ctl];
    const int height = -static_cast<int>(std::lround(f.points * dpi_ / 72.0));
    UniqueFont font(CreateFontW(height, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, wide(f.name)));
    if (!font) throw Error(vb::kInvalidPropertyValue, u"Invalid property value");
    SendMessageW(item(ctl), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    f.font = std::move(font);  // the old one only after the control let go of it
}

void AddressBookWindow::setCaption(Ctl ctl, const std::u16string& text) {
    if (layoutOf(ctl).kind == CtlKind::ListBox)
        throw Error(vb::kNotSupported, u"Object doesn't support this property or method");
    SetWindowTextW(item(ctl), wide(text));
}

void AddressBookWindow::setTooltip(Ctl ctl, const std::u16string& text) {
    if (!tooltip_)
        throw Error(vb::kNotSupported, u"Object doesn't support this property or method");
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = window_.get();
    ti.uId = reinterpret_cast<UINT_PTR>(item(ctl));
    std::u16string copy = text;
    ti.lpszText = reinterpret_cast<LPWSTR>(copy.data());
    SendMessageW(tooltip_.get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    if (!SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)))
        throw Error(vb::kOutOfMemory, u"Out of memory");
}

void AddressBookWindow::setIcon(std::span<const uint8_t> ico) {
    // A .ico file: a 6-byte header, then 16-byte entries with size and offset.
    auto dword = [&ico](size_t at) {
        return static_cast<uint32_t>(ico[at]) | static_cast<uint32_t>(ico[at + 1]) << 8 |
               static_cast<uint32_t>(ico[at + 2]) << 16 | static_cast<uint32_t>(ico[at + 3]) << 24;
    };
    if (ico.size() < 22) throw Error(vb::kInvalidPicture, u"Invalid picture");
    const uint32_t size = dword(6 + 8), offset = dword(6 + 12);
    if (offset > ico.size() || size > ico.size() - offset)
        throw Error(vb::kInvalidPicture, u"Invalid picture");
    UniqueIcon icon(CreateIconFromResourceEx(const_cast<PBYTE>(ico.data() + offset), size, TRUE,
                                             0x00030000, 16, 16, LR_DEFAULTCOLOR));
    if (!icon) throw Error(vb::kInvalidPicture, u"Invalid picture");
    SendMessageW(window_.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon.get()));
    SendMessageW(window_.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon.get()));
    icon_ = std::move(icon);
}

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

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
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

}  // namespace

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
