#pragma once
// The error log torva.log in the working folder.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace torva {

using LogLevel = int32_t;
inline constexpr LogLevel LogTrace = 0;
inline constexpr LogLevel LogError = 1;
inline constexpr LogLevel LogInfo = 2;

// Appends one time-stamped entry; never raises. A failure shows a message box.
void WriteLog(std::u16string_view message, LogLevel level) noexcept;

// dd.mm.yyyy with fixed periods.
std::u16string FormatDate(const platform::LocalTime& date);
// hh:mm or hh:mm:ss, 24-hour clock, fixed colons.
std::u16string FormatTime(const platform::LocalTime& time, bool withSeconds);

}  // namespace torva
