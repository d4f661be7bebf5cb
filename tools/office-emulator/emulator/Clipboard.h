#pragma once
// The system clipboard as the host sees it: what the add-in copied there is
// the picture the model hands out, and the report tells what it holds.

#include <nlohmann/json.hpp>

#include <optional>

#include "CommandBars.h"

namespace torva::emulator {

// The bitmap on the clipboard, if there is one.
std::optional<model::ClipboardPicture> clipboardBitmap();
void emptyClipboard();
// The report's clipboard: {format, width, height}, or null when it holds no bitmap.
nlohmann::ordered_json clipboardJson();

}  // namespace torva::emulator
