#pragma once
// What the command-bar and connect tests share: a scratch add-in folder with
// a string table, a scratch working folder, and the model's clipboard wired
// to the POSIX platform's recorded clipboard.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <span>
#include <string>
#include <vector>

#include "CommandBars.h"
#include "host/AddInTimer.h"
#include "support/Notice.h"
#include "host/ConnectClass.h"
#include "platform/posix/Recorder.h"
#include "support/StringFile.h"
#include "base/Text.h"
#include "test_support_helpers.h"

namespace torva::test {

// Captions of the four hosts, as a translator would write them.
inline const char16_t* const kHostStrings =
    u"0900 Plakora\r\n"
    u"0910 Labels from Word\r\n0911 Word tip\r\n0912 Plakora (Word)...\r\n"
    u"0920 Labels from Excel\r\n0921 Excel tip\r\n0922 Plakora (Excel)...\r\n"
    u"0930 Labels from Access\r\n0931 Access tip\r\n0932 Plakora (Access)...\r\n"
    u"0940 Labels from Outlook\r\n0941 Outlook tip\r\n0942 Plakora (Outlook)...\r\n"
    u"0933 Open a database first.\r\n0934 Pick a table or a query first.\r\n"
    u"2300 Plakora notice\r\n2302 No plakora.exe beside %1\r\n2304 Failed: %1\r\n";

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The Access start-up timer is process-wide: no test may leave it waiting
// for the next one.
inline void resetAddInTimer() {
    pendingConnectObject.reset();
    addInTimerId = 0;
}

class HostFolders {
  public:
    HostFolders() {
        char pattern[] = "/tmp/torva-host-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("no scratch folder");
        root = pattern;
        std::filesystem::create_directories(root / "work");
        std::filesystem::create_directories(root / "addin");
        testing::writeStringFile(root / "addin" / "Torva.Sys", kHostStrings);
        // Installed as it should be: Plakora beside the add-in.
        std::ofstream(root / "addin" / "plakora.exe", std::ios::binary) << "MZ";
        resetAddInTimer();
        auto& rec = platform::posix::recorder();
        rec.clear();
        rec.tempFolder = fromUtf8((root / "work").string());
        rec.moduleFolder = fromUtf8((root / "addin").string());
        model::setClipboardSource([]() -> std::optional<model::ClipboardPicture> {
            const auto& clip = platform::posix::recorder().clipboard;
            if (!clip) return std::nullopt;
            return model::ClipboardPicture{clip->width, clip->height};
        });
    }
    ~HostFolders() {
        resetAddInTimer();
        model::setClipboardSource({});
        platform::posix::recorder().clear();
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    HostFolders(const HostFolders&) = delete;
    HostFolders& operator=(const HostFolders&) = delete;

    // The log's lines, and those written since the last markLog().
    std::vector<std::string> logLines() const {
        std::vector<std::string> out;
        std::istringstream in(readFile(root / "work" / "torva.log"));
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
    void markLog() { logMark_ = logLines().size(); }
    std::vector<std::string> newLogLines() const {
        auto all = logLines();
        all.erase(all.begin(),
                  all.begin() + static_cast<std::ptrdiff_t>(std::min(logMark_, all.size())));
        return all;
    }

    std::filesystem::path root;

  private:
    size_t logMark_ = 0;
};

}  // namespace torva::test
