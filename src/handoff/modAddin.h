#pragma once
// Starting the label application, and the add-in's one information message.

#include <cstdint>
#include <string_view>

namespace torva {

// Writes a fresh hand-off file and starts plakora.exe with its bare name as the
// whole command line; does not wait. Throws torva::Error 27 (from the hand-off
// file), in which case nothing is started. The shell's answer is not examined.
void launchLabelApplication(int32_t runMode, std::u16string_view dbFile,
                            std::u16string_view dbConnect, std::u16string_view dbSql);

// A modal information box (style 64) titled with string "2300".
void showInfoMessage(std::u16string_view text);

}  // namespace torva
