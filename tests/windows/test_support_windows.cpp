#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "platform/Platform.h"
#include "base/Text.h"
#include "support/modUtils.h"

using namespace torva;

namespace {

// A fresh folder under the system's temporary folder, removed with its files.
class TempDir : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        dir = std::wstring(temp) + L"torva-support-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override {
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring p = dir + L"\\" + found.cFileName;
                SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(p.c_str());
                RemoveDirectoryW(p.c_str());
            } while (FindNextFileW(h, &found));
            FindClose(h);
        }
        RemoveDirectoryW(dir.c_str());
    }
    std::u16string u16(const std::wstring& name) const {
        const std::wstring p = dir + L"\\" + name;
        return std::u16string(p.begin(), p.end());
    }
    void touch(const std::wstring& name) const {
        HANDLE h = CreateFileW((dir + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    bool exists(const std::wstring& name) const {
        return GetFileAttributesW((dir + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::wstring dir;
};

using FileHelpersOnWindows = TempDir;

}  // namespace

TEST(WorkingFolderOnWindows, IsTheTempPathWithoutTrailingBackslash) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_GT(n, 1u);
    std::wstring expected(temp, n);
    ASSERT_EQ(expected.back(), L'\\');
    expected.pop_back();
    const std::u16string folder = GetWorkingFolder();
    EXPECT_EQ(std::wstring(folder.begin(), folder.end()), expected);
}

TEST(WorkingFolderOnWindows, ModuleFolderHoldsThisProgram) {
    wchar_t exe[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring expected(exe, n);
    expected.resize(expected.find_last_of(L'\\'));
    const std::u16string folder = platform::moduleFolder();
    EXPECT_EQ(std::wstring(folder.begin(), folder.end()), expected);
}

TEST_F(FileHelpersOnWindows, NewTempNameCreatesNothing) {
    const std::u16string name = NewTempName();
    EXPECT_TRUE(std::regex_match(toUtf8(name), std::regex("rad[0-9A-F]{5}\\.tmp")));
    EXPECT_FALSE(exists(std::wstring(name.begin(), name.end())));
    EXPECT_NE(NewTempName(), NewTempName() + u"x");
}

TEST_F(FileHelpersOnWindows, FileExistsAndRemoveFileAgreeWithTheSystem) {
    touch(L"plain.tmp");
    touch(L"locked.tmp");
    ASSERT_TRUE(SetFileAttributesW((dir + L"\\locked.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateDirectoryW((dir + L"\\folder").c_str(), nullptr));

    EXPECT_TRUE(FileExists(u16(L"plain.tmp")));
    EXPECT_FALSE(FileExists(u16(L"folder")));
    EXPECT_FALSE(FileExists(u16(L"missing.tmp")));

    RemoveFile(u16(L"plain.tmp"));
    RemoveFile(u16(L"locked.tmp"));  // refused, not forced
    RemoveFile(u16(L"missing.tmp"));
    RemoveFile(u16(L"folder"));
    RemoveFile(u"<>|bad");
    EXPECT_FALSE(exists(L"plain.tmp"));
    EXPECT_TRUE(exists(L"locked.tmp"));
    EXPECT_TRUE(exists(L"folder"));
}

TEST_F(FileHelpersOnWindows, NarrowCallsReachAFolderTheCodePageCannotSpell) {
    if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
    // Every letter has a best-fit look-alike in 1252: the conversion reports
    // no default character used, yet names another folder.
    const std::wstring user = L"\u0141ukasz \u017B\u00F3\u0142\u0107";
    ASSERT_TRUE(CreateDirectoryW((dir + L"\\" + user).c_str(), nullptr));
    const std::wstring file = user + L"\\data.tmp";
    HANDLE h = CreateFileW((dir + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "data", 4, &written, nullptr);
    CloseHandle(h);

    EXPECT_FALSE(AnsiCanSpell(u16(file)));
    const std::string narrow = platform::toAnsi(AnsiSafePath(u16(file)));
    EXPECT_EQ(platform::fromAnsi(narrow), platform::shortPath(u16(file)));
    h = CreateFileA(narrow.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << narrow;
    char bytes[8] = {};
    DWORD got = 0;
    ReadFile(h, bytes, sizeof bytes, &got, nullptr);
    CloseHandle(h);
    EXPECT_EQ(std::string(bytes, got), "data");
    DeleteFileW((dir + L"\\" + file).c_str());  // the fixture clears one level only

    EXPECT_EQ(platform::shortPath(u16(L"missing\\data.tmp")), u"");
    EXPECT_EQ(AnsiSafePath(u16(L"missing\\\u0141.tmp")), u16(L"missing\\\u0141.tmp"));
}

TEST(AnsiOnWindows, AgreesWithTheCodePageBothWays) {
    const std::u16string text = u"Stra\u00DFe \u20AC \u2192";
    char expected[32] = {};
    const int n =
        WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text.c_str()),
                            static_cast<int>(text.size()), expected, 32, nullptr, nullptr);
    ASSERT_GT(n, 0);
    EXPECT_EQ(platform::toAnsi(text), std::string(expected, n));
    EXPECT_EQ(platform::fromAnsi(std::string(expected, 6)), u"Stra\u00DFe");
}
