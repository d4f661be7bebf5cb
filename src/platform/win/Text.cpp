#include <windows.h>

#include "platform/Platform.h"
#include "platform/win/LastError.h"

namespace torva::platform {

std::string toAnsi(std::u16string_view text) {
    if (text.empty()) {
        return {};
    }
    const auto* in = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, in, size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) {
        throw win::win32Error();
    }
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, in, size, out.data(), n, nullptr, nullptr);
    return out;
}

std::u16string fromAnsi(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (n <= 0) {
        throw win::win32Error();
    }
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

NumberSeparators numberSeparators() {
    NumberSeparators result{u'.', u','};
    wchar_t buffer[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) > 1) {
        result.decimal = static_cast<char16_t>(buffer[0]);
    }
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, buffer, 8) > 1) {
        result.grouping = static_cast<char16_t>(buffer[0]);
    }
    return result;
}

}  // namespace torva::platform
