#include "platform/win/Com.h"
#include "platform/win/ComObject.h"
#include "platform/win/LastError.h"

#include <cstdio>

namespace torva::win {

std::atomic<long>& moduleCount() noexcept {
    static std::atomic<long> count{0};
    return count;
}

std::u16string hresultText(HRESULT hr) {
    std::u16string out = systemMessage(static_cast<DWORD>(hr));
    if (out.empty()) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "Automation error 0x%08lX",
                      static_cast<unsigned long>(static_cast<uint32_t>(hr)));
        out.assign(buf, buf + std::char_traits<char>::length(buf));
    }
    return out;
}

}  // namespace torva::win
