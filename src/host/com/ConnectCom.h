#pragma once
// The COM faces of the four connect classes, as Office creates them.

#include <windows.h>
#include <objbase.h>

#include <vector>

namespace torva::com {

struct ClassEntry {
    const CLSID* clsid;
    HRESULT (*create)(REFIID, void**) noexcept;
};

const std::vector<ClassEntry>& connectClassTable();

}  // namespace torva::com
