// Windows' App Paths registration as the launcher reads it, in the test's own
// Wine prefix: the user's entry first, then the machine's.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/win/Handle.h"

using namespace torva;

namespace {

const wchar_t kKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\torva-test-plakora.exe";

void setDefault(HKEY root, DWORD type, const std::wstring& value) {
    win::UniqueHkey key;
    ASSERT_EQ(
        RegCreateKeyExW(root, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr),
        ERROR_SUCCESS);
    RegSetValueExW(key.get(), nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

struct Entries {
    ~Entries() {
        RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    }
};

}  // namespace

TEST(AppPaths, TheUsersEntryComesBeforeTheMachinesWithoutQuotesAndExpanded) {
    const Entries cleanup;
    EXPECT_TRUE(platform::appPaths(u"torva-test-plakora.exe").empty());

    setDefault(HKEY_LOCAL_MACHINE, REG_SZ, L"\"C:\\Program Files\\Plakora\\plakora.exe\"");
    EXPECT_EQ(platform::appPaths(u"torva-test-plakora.exe"),
              std::vector<std::u16string>{u"C:\\Program Files\\Plakora\\plakora.exe"});

    SetEnvironmentVariableW(L"TORVA_TEST_HOME", L"C:\\users\\anna");
    setDefault(HKEY_CURRENT_USER, REG_EXPAND_SZ, L"%TORVA_TEST_HOME%\\Plakora\\plakora.exe");
    EXPECT_EQ(platform::appPaths(u"torva-test-plakora.exe"),
              (std::vector<std::u16string>{u"C:\\users\\anna\\Plakora\\plakora.exe",
                                           u"C:\\Program Files\\Plakora\\plakora.exe"}));
}
