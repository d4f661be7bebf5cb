#pragma once

#include <string>

namespace torva::com {

// Full path of the loaded add-in DLL.
std::u16string modulePath();

}  // namespace torva::com
