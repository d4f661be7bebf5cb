#include <cstring>

#include "platform/Platform.h"
#include "platform/posix/Recorder.h"
#include "base/Error.h"

namespace torva::platform {

// No clipboard here: the picture is recorded with the size that its GIF
// header gives, after the same check of the format that decoding would do.
void putPictureOnClipboard(std::span<const uint8_t> gif) {
    constexpr int32_t kCtlEPictureFormat = static_cast<int32_t>(0x800A01E1);
    if (gif.size() < 13 ||
        (std::memcmp(gif.data(), "GIF87a", 6) != 0 && std::memcmp(gif.data(), "GIF89a", 6) != 0))
        throw Error::fromHResult(kCtlEPictureFormat, u"Invalid picture");
    posix::ClipboardPicture picture;
    picture.width = gif[6] | (gif[7] << 8);
    picture.height = gif[8] | (gif[9] << 8);
    picture.bytes.assign(gif.begin(), gif.end());
    posix::recorder().clipboard = std::move(picture);
}

}  // namespace torva::platform
