// Profile files and the shell without Windows. The profile writer produces
// what WritePrivateProfileStringA produces for the add-in's files (one
// section, keys in order of writing, CR LF), so the native tests can hold the
// bytes against the Windows ones. Shell starts are recorded, not run.
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"
#include "base/Text.h"
#include "platform/Platform.h"
#include "platform/posix/Recorder.h"

namespace torva::platform {

namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// Profile names compare without regard to case, as on Windows.
bool sameName(std::string_view a, std::string_view b) { return equalsAsciiIgnoreCase(a, b); }

// The name inside "[...]", or nothing when the line is not a section header.
bool sectionHeader(std::string_view line, std::string_view& name) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') return false;
    const auto close = line.find(']');
    if (close == std::string_view::npos) return false;
    name = trim(line.substr(1, close - 1));
    return true;
}

bool keyOfLine(std::string_view line, std::string_view& key) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = trim(line.substr(0, eq));
    return true;
}

File tryOpen(const std::string& path, const char* mode) {
    try {
        return openFile(fromAnsi(path), mode);
    } catch (const Error&) {
        return nullptr;
    }
}

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    if (!isFile(fromAnsi(path))) return lines;
    File f = tryOpen(path, "rb");
    if (!f) return lines;
    std::string content;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) content.append(buffer, n);
    size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

}  // namespace

bool writeProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    auto& left = posix::recorder().profileWritesLeft;
    if (left && (*left)-- <= 0) return false;
    std::vector<std::string> lines = readLines(path);

    // Find the section and, within it, the key.
    size_t sectionLine = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (sectionHeader(lines[i], name) && sameName(name, section)) {
            sectionLine = i;
            break;
        }
    }
    if (sectionLine == lines.size()) {
        lines.push_back("[" + section + "]");
        lines.push_back(key + "=" + value);
    } else {
        size_t end = sectionLine + 1;
        size_t lastContent = sectionLine;
        bool replaced = false;
        for (; end < lines.size(); ++end) {
            std::string_view name;
            if (sectionHeader(lines[end], name)) break;
            std::string_view existing;
            if (keyOfLine(lines[end], existing) && sameName(existing, key)) {
                lines[end] = std::string(existing) + "=" + value;
                replaced = true;
                break;
            }
            if (!trim(lines[end]).empty()) lastContent = end;
        }
        // A new key follows the section's last entry, ahead of any blank lines.
        if (!replaced)
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1),
                         key + "=" + value);
    }

    std::string content;
    for (const auto& line : lines) content += line + "\r\n";
    File f = tryOpen(path, "wb");
    if (!f) return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), f.get()) == content.size();
    return std::fclose(f.release()) == 0 && written;
}

intptr_t shellExecute(const std::string& operation, const std::string& file,
                      const std::string& parameters, const std::string& directory,
                      int showCommand) {
    posix::recorder().shellCalls.push_back({operation, file, parameters, directory, showCommand});
    return posix::recorder().shellResult;
}

std::vector<std::u16string> appPaths(std::u16string_view executableName) noexcept {
    (void)executableName;
    try {
        return posix::recorder().appPaths;
    } catch (...) {
        return {};
    }
}

std::u16string systemMessage(uint32_t code) {
    const std::string text = "Windows error " + std::to_string(code);
    return {text.begin(), text.end()};
}

}  // namespace torva::platform
