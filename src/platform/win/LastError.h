#pragma once
// A failed Win32 call as the add-in's error, with the system's own text.

#include <windows.h>

#include <string>

#include "base/Error.h"
#include "platform/win/Wide.h"

namespace torva::win {

inline std::u16string systemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text = buffer ? fromWide(buffer, n) : std::u16string();
    if (buffer) LocalFree(buffer);
    // The system's texts end in a line break that has no place in a log line.
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
        text.pop_back();
    }
    return text;
}

inline Error win32Error(DWORD code = GetLastError()) {
    return Error::fromHResult(static_cast<int32_t>(HRESULT_FROM_WIN32(code)), systemMessage(code));
}

}  // namespace torva::win
