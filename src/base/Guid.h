#pragma once
// A COM interface or class identifier in portable form, so that code above
// the platform layer can name interfaces without the Windows headers.

#include <cstdint>

namespace torva {

struct Guid {
    uint32_t data1;
    uint16_t data2, data3;
    uint8_t data4[8];
    bool operator==(const Guid&) const = default;
};

}  // namespace torva
