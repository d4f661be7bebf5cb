#include "platform/Platform.h"
#include "platform/posix/Recorder.h"

namespace torva::platform {

int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
               uint32_t style) {
    posix::recorder().messageBoxes.push_back(
        {std::u16string(text), std::u16string(caption), style, owner});
    return 1;  // IDOK: the only answer a box without a screen can get
}

}  // namespace torva::platform
