// The working folder as Windows reports it: without its trailing separator,
// except after a drive root, which keeps it.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"

using namespace torva;

TEST(WorkingFolderOnWindows, TrailingSeparatorGoesExceptAfterADriveRoot) {
    std::wstring saved(32768, L'\0');
    saved.resize(GetEnvironmentVariableW(L"TMP", saved.data(), 32768));
    const struct {
        const wchar_t* tmp;
        std::u16string expected;
    } cases[] = {
        {L"C:\\", u"C:\\"},
        {L"C:\\windows\\temp\\", u"C:\\windows\\temp"},
        {L"C:\\windows\\temp", u"C:\\windows\\temp"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", c.tmp));
        EXPECT_EQ(platform::tempFolder(), c.expected);
    }
    SetEnvironmentVariableW(L"TMP", saved.empty() ? nullptr : saved.c_str());
}
