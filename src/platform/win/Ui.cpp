#include <windows.h>

#include "platform/Platform.h"
#include "platform/win/LastError.h"

namespace torva::platform {

int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
               uint32_t style) {
    return MessageBoxW(reinterpret_cast<HWND>(owner), win::wide(std::u16string(text)),
                       win::wide(std::u16string(caption)), style);
}

}  // namespace torva::platform
