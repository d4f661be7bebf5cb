#pragma once
// The report's account of windows: the add-in's message boxes and dialogs as
// the modal watch saw them, and window handles and rectangles in JSON.

#include <windows.h>

#include <nlohmann/json.hpp>

#include "MessageBoxes.h"

namespace torva::emulator {

nlohmann::ordered_json messageBoxesJson(const ModalWatch& boxes);
nlohmann::ordered_json dialogsJson(const ModalWatch& boxes);
// Null for no window.
nlohmann::ordered_json handleJson(HWND h);
nlohmann::ordered_json rectJson(const RECT& r);

}  // namespace torva::emulator
