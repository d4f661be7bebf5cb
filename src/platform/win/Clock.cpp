#include <windows.h>

#include "platform/Platform.h"

namespace torva::platform {

namespace {
LocalTime now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}
}  // namespace

LocalTime localDate() { return now(); }
LocalTime localTime() { return now(); }

}  // namespace torva::platform
