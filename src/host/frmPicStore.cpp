#include "frmPicStore.h"

#include "platform/Platform.h"

namespace torva::frmPicStore {

namespace bytes {  // PictureBytes.cpp, generated at build time
std::span<const uint8_t> smallIcon();
std::span<const uint8_t> bigIcon();
std::span<const uint8_t> windowIcon();
}  // namespace bytes

std::span<const uint8_t> ImgSmallIcon() { return bytes::smallIcon(); }
std::span<const uint8_t> ImgBigIcon() { return bytes::bigIcon(); }
std::span<const uint8_t> Icon() { return bytes::windowIcon(); }

void putSmallIconOnClipboard() { platform::putPictureOnClipboard(ImgSmallIcon()); }

}  // namespace torva::frmPicStore
