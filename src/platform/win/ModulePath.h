#pragma once

#include <string>

namespace torva::win {

// The full path of the module this code is linked into (the add-in DLL, or
// a test program).
std::u16string modulePath();

}  // namespace torva::win
