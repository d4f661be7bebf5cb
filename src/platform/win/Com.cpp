#include "platform/win/Com.h"

#include <cstdio>

namespace torva::win {

std::u16string hresultText(HRESULT hr) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string out;
    if (n && text) out = fromWide(text, n);
    if (text) LocalFree(text);
    while (!out.empty() && (out.back() == u'\r' || out.back() == u'\n' || out.back() == u' '))
        out.pop_back();
    if (out.empty()) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "Automation error 0x%08lX",
                      static_cast<unsigned long>(static_cast<uint32_t>(hr)));
        out.assign(buf, buf + std::char_traits<char>::length(buf));
    }
    return out;
}

}  // namespace torva::win
