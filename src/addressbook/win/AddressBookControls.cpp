// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cmath>
#include <cstdint>
#include <span>

#include "addressbook/win/AddressBookWindowView.h"
#include "base/Error.h"
#include "platform/win/Com.h"

namespace torva::win {

bool AddressBookWindow::optionSelected(Ctl option) {
    return SendMessageW(item(option), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void AddressBookWindow::selectOption(Ctl option) {
    for (Ctl o : {Ctl::rbPrivate, Ctl::rbBusiness})
        SendMessageW(item(o), BM_SETCHECK, o == option ? BST_CHECKED : BST_UNCHECKED, 0);
}

void AddressBookWindow::setEnabled(Ctl ctl, bool enabled) {
    EnableWindow(item(ctl), enabled ? TRUE : FALSE);
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

void AddressBookWindow::setFontName(Ctl ctl, const std::u16string& name) {
    fonts_[ctl].name = name;
    applyFont(ctl);
}

void AddressBookWindow::setFontSize(Ctl ctl, double points) {
    fonts_[ctl].points = points;
    applyFont(ctl);
}

void AddressBookWindow::setFontBold(Ctl ctl, bool bold) {
    fonts_[ctl].bold = bold;
    applyFont(ctl);
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

}  // namespace torva::win
