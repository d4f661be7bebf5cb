#pragma once
// A failed Win32 call as the add-in's error, with the system's own text.

#include <windows.h>

#include <string>

#include "base/Error.h"

namespace torva::platform::win {

inline std::u16string systemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text(reinterpret_cast<const char16_t*>(buffer), n);
    LocalFree(buffer);
    // The system's texts end in a line break that has no place in a log line.
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
        text.pop_back();
    }
    return text;
}

inline Error win32Error(DWORD code = GetLastError()) {
    return Error::fromHResult(static_cast<int32_t>(HRESULT_FROM_WIN32(code)), systemMessage(code));
}

// Our UTF-16 text as the wide strings of the API (same size and encoding).
inline std::wstring wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

}  // namespace torva::platform::win
