#pragma once
// The icon store: the add-in's pictures, compiled into the module from
// resources/pictures at build time.

#include <cstdint>
#include <span>

namespace torva::frmPicStore {

// 16×16 GIF89a, 128-colour palette: the face of the button and menu entry.
std::span<const uint8_t> ImgSmallIcon();
// 32×32 GIF89a, 256-colour palette.
std::span<const uint8_t> ImgBigIcon();
// 16×16 8-bit .ico: the window icon of the add-in's dialog.
std::span<const uint8_t> Icon();

// Puts ImgSmallIcon on the system clipboard as a bitmap, for PasteFace.
void putSmallIconOnClipboard();

}  // namespace torva::frmPicStore
