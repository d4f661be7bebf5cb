#pragma once
// Pictures as OLE hands them around (IPicture, IPictureDisp).

#include <ole2.h>
#include <olectl.h>

#include <cstdint>
#include <span>

#include "platform/win/Com.h"

namespace torva::win {

// The picture decoded from the bytes of a GIF (or any format OleLoadPicture reads).
ComPtr<IPicture> loadPicture(std::span<const uint8_t> bytes);

}  // namespace torva::win
