#include "platform/Platform.h"
#include "platform/posix/Recorder.h"

namespace torva::platform {

int messageBox(std::u16string_view text, std::u16string_view caption, uint32_t style) {
    posix::recorder().messageBoxes.push_back(
        {std::u16string(text), std::u16string(caption), style});
    return 1;  // IDOK: the only answer a box without a screen can get
}

}  // namespace torva::platform
