#pragma once
// The minimal add-in's connect class, as bench_host_startup creates it.

#include <windows.h>

namespace torva::bench {

// {5C1D7F3A-8E42-4B6F-9A0D-2E7C4B19F6A1}
inline constexpr CLSID kFloorAddInClsid = {
    0x5C1D7F3A, 0x8E42, 0x4B6F, {0x9A, 0x0D, 0x2E, 0x7C, 0x4B, 0x19, 0xF6, 0xA1}};

}  // namespace torva::bench
