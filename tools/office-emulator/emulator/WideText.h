#pragma once
// The API's wide text as the emulator meets it: registry names, paths and
// window titles, to and from the UTF-16 and UTF-8 of scenarios and reports.

#include <string>
#include <string_view>

#include "base/Text.h"

namespace torva::emulator {

inline std::string utf8(const std::wstring& s) {
    return toUtf8(reinterpret_cast<const char16_t*>(s.c_str()));
}
inline std::wstring wide(std::u16string_view s) {
    return {reinterpret_cast<const wchar_t*>(s.data()), s.size()};
}
inline std::u16string utf16(const std::wstring& s) {
    return reinterpret_cast<const char16_t*>(s.c_str());
}

}  // namespace torva::emulator
