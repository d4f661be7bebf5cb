#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"

using namespace torva;

namespace {

// The build's Linux path as Wine's Z: drive sees it.
std::wstring fromBuildTree(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) {
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    }
    return path;
}

size_t tempFilesIn(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((dir + L"\\rad*.tmp").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        return 0;
    }
    size_t n = 0;
    do {
        ++n;
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return n;
}

}  // namespace

// The shipped Torva.Sys, read-only beside the program as in an installation
// that the user cannot write to.
TEST(StringTableOnWindows, LoadsTheShippedFileEvenWhenReadOnly) {
    const std::u16string folder16 = platform::moduleFolder();
    const std::wstring folder(folder16.begin(), folder16.end());
    const std::wstring target = folder + L"\\Torva.Sys";
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(
        CopyFileW(fromBuildTree(TORVA_BINARY_DIR "/Torva.Sys").c_str(), target.c_str(), FALSE));
    ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));

    WorkingFolder = GetWorkingFolder();
    const std::wstring work(WorkingFolder.begin(), WorkingFolder.end());
    const size_t before = tempFilesIn(work);
    EXPECT_TRUE(LoadStringTable());
    EXPECT_EQ(tempFilesIn(work), before);

    EXPECT_EQ(GetString(u"0956"), u"Adressb\u00FCcher:");
    EXPECT_EQ(GetString(u"2300"), u"Torva Plakora");
    EXPECT_NE(GetString(u"0923").find(u".\r\nDie erste Zeile"), std::u16string::npos);
    EXPECT_EQ(GetString(u"5112"), u"Stra\u00DFe");

    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(target.c_str());
}
