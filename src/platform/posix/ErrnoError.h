#pragma once
// A failed POSIX call as the add-in's error, with the system's description.

#include <cerrno>
#include <cstring>

#include "base/Error.h"
#include "base/Text.h"

namespace torva::platform::posix {

inline Error errnoError(int code = errno) {
    constexpr int32_t kEFail = static_cast<int32_t>(0x80004005u);
    return Error::fromHResult(kEFail, fromUtf8(std::strerror(code)));
}

}  // namespace torva::platform::posix
