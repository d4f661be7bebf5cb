#pragma once

#include <string>

namespace torva {

// The start value of the chained XOR of the string file.
inline constexpr unsigned char kDecodeStartByte = 0x52;  // 'R'

// The chained XOR undone one byte at a time: each plain byte is its stored
// byte XOR the stored byte before it (the start byte before the first).
class ChainedXorDecoder {
  public:
    unsigned char operator()(unsigned char stored) noexcept {
        const auto plain = static_cast<unsigned char>(stored ^ chain_);
        chain_ = stored;
        return plain;
    }

  private:
    unsigned char chain_ = kDecodeStartByte;
};

// Undoes the chained XOR of source into target, byte by byte.
void DecodeFile(std::u16string source, std::u16string target);

}  // namespace torva
