#pragma once

#include <string>

namespace torva::com {

// Full path of the loaded add-in DLL; empty when the system will not say.
std::u16string modulePath() noexcept;

}  // namespace torva::com
