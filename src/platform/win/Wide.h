#pragma once
// Our UTF-16 text is the API's wide text: same size, same encoding.

#include <cstddef>
#include <string>

namespace torva::win {

inline const wchar_t* wide(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline std::u16string fromWide(const wchar_t* s, size_t n) {
    return {reinterpret_cast<const char16_t*>(s), n};
}

}  // namespace torva::win
