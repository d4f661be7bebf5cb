#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "platform/win/LastError.h"
#include "support/modLog.h"
#include "support/modUtils.h"

using namespace torva;

namespace {

std::wstring tempPath() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp, n - 1);
}

// Its own working folder per test, so that the log starts empty.
class LogOnWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = tempPath() + L"\\torva-log-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(counter++);
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        WorkingFolder.assign(dir.begin(), dir.end());
    }
    void TearDown() override {
        DeleteFileW((dir + L"\\torva.log").c_str());
        RemoveDirectoryW(dir.c_str());
        WorkingFolder.clear();
    }
    std::string log() const {
        const std::wstring path = dir + L"\\torva.log";
        platform::File file = platform::openFile(std::u16string(path.begin(), path.end()), "rb");
        std::string bytes;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
            bytes.append(buffer, n);
        }
        return bytes;
    }

    static inline int counter = 0;
    std::wstring dir;
};

struct BoxSeen {
    std::wstring text, caption;
    bool ok = false, cancel = false;
};

// Waits for the message box, reads it, and presses OK.
BoxSeen answerMessageBox() {
    BoxSeen seen;
    for (int i = 0; i < 1500; ++i) {
        HWND box = FindWindowW(L"#32770", L"TorvaAddIn");
        if (box == nullptr) {
            Sleep(20);
            continue;
        }
        wchar_t buffer[1024] = {};
        GetWindowTextW(box, buffer, 1024);
        seen.caption = buffer;
        GetDlgItemTextW(box, 0xFFFF, buffer, 1024);
        seen.text = buffer;
        seen.ok = GetDlgItem(box, IDOK) != nullptr;
        seen.cancel = GetDlgItem(box, IDCANCEL) != nullptr;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return seen;
    }
    return seen;
}

}  // namespace

TEST_F(LogOnWindows, LineIsAnsiWithCrLf) {
    const std::u16string message = u"Gr\u00F6\u00DFe \u20AC";
    WriteLog(message, LogError);
    char ansi[32];
    const int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(message.c_str()),
                                      static_cast<int>(message.size()), ansi, 32, nullptr, nullptr);
    const std::string text = log();
    ASSERT_EQ(text.size(), 19u + 5u + static_cast<size_t>(n) + 2u) << text;
    EXPECT_EQ(text.substr(19), " ### " + std::string(ansi, n) + "\r\n");
    EXPECT_EQ(text[2], '.');
    EXPECT_EQ(text[13], ':');
}

TEST_F(LogOnWindows, ConcurrentEntriesStayWhole) {
    constexpr int kThreads = 4, kEntries = 100;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            const std::u16string message(300, static_cast<char16_t>(u'a' + t));
            for (int i = 0; i < kEntries; ++i) {
                WriteLog(message, LogInfo);
            }
        });
    }
    for (auto& w : writers) {
        w.join();
    }
    const std::string text = log();
    size_t lines = 0;
    for (size_t start = 0; start < text.size(); ++lines) {
        const size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(start, end - start);
        ASSERT_EQ(line.size(), 19u + 5u + 300u) << line;
        EXPECT_EQ(line.substr(19, 5), " (I) ");
        EXPECT_EQ(line.find_first_not_of(line[24], 24), std::string::npos) << line;
        start = end + 2;
    }
    EXPECT_EQ(lines, static_cast<size_t>(kThreads * kEntries));
}

TEST_F(LogOnWindows, UnwritableFolderShowsTheRealMessageBox) {
    WorkingFolder += u"\\missing";
    BoxSeen seen;
    std::thread helper([&seen] { seen = answerMessageBox(); });
    WriteLog(u"lost entry", LogError);
    helper.join();

    const std::wstring folder(WorkingFolder.begin(), WorkingFolder.end());
    const std::u16string description = win::systemMessage(ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(seen.caption, L"TorvaAddIn");
    EXPECT_EQ(seen.text, L"Could not write Error-Log: File: " + folder + L"\\torva.log" +
                             L" Description: " +
                             std::wstring(description.begin(), description.end()));
    EXPECT_TRUE(seen.ok);
    EXPECT_FALSE(seen.cancel);
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}
