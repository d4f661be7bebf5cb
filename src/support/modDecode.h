#pragma once

#include <string>

namespace torva {

// The start value of the chained XOR of the string file.
inline constexpr unsigned char kDecodeStartByte = 0x52;  // 'R'

// Undoes the chained XOR of source into target, byte by byte.
void DecodeFile(std::u16string source, std::u16string target);

}  // namespace torva
