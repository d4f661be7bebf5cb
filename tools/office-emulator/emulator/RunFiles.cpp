#include "RunFiles.h"

#include <windows.h>

#include <filesystem>
#include <sstream>

#include "WideText.h"

namespace torva::emulator {

namespace {
using nlohmann::ordered_json;

std::wstring tempFolder() {
    wchar_t buf[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    return std::wstring(buf, n);
}

// Made where missing, then TMP and TEMP (GetTempPathW reads them in that order).
void useTempFolder(const std::string& utf8Path) {
    const std::wstring path = wide(fromUtf8(utf8Path));
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", path.c_str());
    SetEnvironmentVariableW(L"TEMP", path.c_str());
}

std::string readBytes(const std::wstring& path, std::streamoff from = 0) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return {};
    in.seekg(from);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::streamoff fileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return static_cast<std::streamoff>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                       data.nFileSizeLow);
}
}  // namespace

RunFiles::RunFiles(const std::optional<std::string>& folder) {
    if (folder) useTempFolder(*folder);
    const std::wstring temp = tempFolder();
    log_ = temp + L"torva.log";
    logStart_ = fileSize(log_);
    launches_ = temp + L"emulator-launches-" + std::to_wstring(GetCurrentProcessId()) + L".jsonl";
    DeleteFileW(launches_.c_str());
    SetEnvironmentVariableW(L"TORVA_LAUNCH_RECORD", launches_.c_str());
}

RunFiles::~RunFiles() { DeleteFileW(launches_.c_str()); }

// The log is ANSI text.
ordered_json RunFiles::logLines() const {
    ordered_json lines = ordered_json::array();
    std::istringstream in(readBytes(log_, logStart_));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const int n =
            MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring w(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), w.data(), n);
        lines.push_back(utf8(w));
    }
    return lines;
}

ordered_json RunFiles::launchRecords() const {
    ordered_json out = ordered_json::array();
    std::istringstream in(readBytes(launches_));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        try {
            out.push_back(ordered_json::parse(line));
        } catch (const nlohmann::json::exception&) {
            out.push_back(ordered_json{{"unreadableRecord", line}});
        }
    }
    return out;
}

}  // namespace torva::emulator
