#include <windows.h>

#include <gtest/gtest.h>

#include "base/Text.h"

// Our UTF-8 conversion must agree with the system's where both are defined.
TEST(TextOnWindows, Utf8AgreesWithTheSystem) {
    const std::u16string text = u"Stra\u00dfe \u201E\u0627\u0644 \U0001F600";
    const std::string utf8 = torva::toUtf8(text);
    wchar_t wide[64] = {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                      static_cast<int>(utf8.size()), wide, 64);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(wide), n), text);
}
