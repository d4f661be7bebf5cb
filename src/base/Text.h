#pragma once
// UTF-8 <-> UTF-16 for the places where the core meets narrow text that is not
// ANSI: tool command lines, JSON, POSIX file names. ANSI is the platform's.

#include <string>
#include <string_view>

namespace torva {

std::string toUtf8(std::u16string_view text);
// Invalid UTF-8 sequences become U+FFFD.
std::u16string fromUtf8(std::string_view text);

}  // namespace torva
