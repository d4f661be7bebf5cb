// plakora.exe stand-in. Started by the add-in as the label application would
// be, it writes down what it was given and exits 0, without any window:
// one JSON object per line (UTF-8) appended to the file named by the
// environment variable TORVA_LAUNCH_RECORD, or to plakora-launches.jsonl in
// the temporary folder. The fields are those of a launch in the emulator's
// report: executable, arguments, directory, handoff, handoffBase64, dataFile,
// dataFileBase64.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/win/Handle.h"

namespace {

std::string toUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

// The hand-off file is ANSI text, as the profile writer left it.
std::wstring fromAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::optional<std::string> readBytes(const std::wstring& path) {
    const torva::win::UniqueFile file(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string jsonText(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    wsprintfA(escaped, "\\u%04x", static_cast<unsigned char>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string jsonOrNull(const std::optional<std::string>& utf8) {
    return utf8 ? jsonText(*utf8) : std::string("null");
}

// What follows the program name, by the rules that the C runtime uses to
// find lpCmdLine: a quoted name ends at the next quote, a bare one at a blank.
std::wstring argumentsOf(const wchar_t* p) {
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

std::wstring bareName(std::wstring arguments) {
    while (!arguments.empty() && (arguments.back() == L' ' || arguments.back() == L'\t'))
        arguments.pop_back();
    if (arguments.size() >= 2 && arguments.front() == L'"' && arguments.back() == L'"')
        arguments = arguments.substr(1, arguments.size() - 2);
    return arguments;
}

std::wstring moduleFile() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) return path.substr(0, n);
        path.resize(path.size() * 2);
    }
}

std::wstring currentDirectory() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring path(n, L'\0');
    const DWORD got = GetCurrentDirectoryW(n, path.data());
    return path.substr(0, got);
}

std::wstring tempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, n);  // ends in a backslash
}

std::wstring environment(const wchar_t* name) {
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    const DWORD got = GetEnvironmentVariableW(name, value.data(), n);
    return value.substr(0, got);
}

std::wstring profileValue(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    std::wstring value(1024, L'\0');
    for (;;) {
        const DWORD n = GetPrivateProfileStringW(section, key, L"", value.data(),
                                                 static_cast<DWORD>(value.size()), file.c_str());
        if (n + 1 < value.size()) return value.substr(0, n);
        value.resize(value.size() * 2);
    }
}

bool appendLine(const std::wstring& path, const std::string& line) {
    const torva::win::UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring arguments = argumentsOf(GetCommandLineW());
    const std::wstring name = bareName(arguments);

    // The real application finds the hand-off file in the temporary folder.
    std::optional<std::string> handoff;
    std::optional<std::string> dataFile;
    std::optional<std::string> dataBytes;
    if (!name.empty()) {
        const std::wstring handoffPath = tempFolder() + name;
        handoff = readBytes(handoffPath);
        if (handoff) {
            const std::wstring dbFile = profileValue(handoffPath, L"PLAKORA", L"DBFILE");
            dataFile = toUtf8(dbFile);
            if (!dbFile.empty()) dataBytes = readBytes(dbFile);
        }
    }

    std::optional<std::string> handoffText, handoffBase64, dataBase64;
    if (handoff) {
        handoffText = toUtf8(fromAnsi(*handoff));
        handoffBase64 = base64(*handoff);
    }
    if (dataBytes) dataBase64 = base64(*dataBytes);

    const std::string line = "{\"executable\":" + jsonText(toUtf8(moduleFile())) +
                             ",\"arguments\":" + jsonText(toUtf8(arguments)) +
                             ",\"directory\":" + jsonText(toUtf8(currentDirectory())) +
                             ",\"handoff\":" + jsonOrNull(handoffText) +
                             ",\"handoffBase64\":" + jsonOrNull(handoffBase64) +
                             ",\"dataFile\":" + jsonOrNull(dataFile) +
                             ",\"dataFileBase64\":" + jsonOrNull(dataBase64) + "}\n";

    std::wstring record = environment(L"TORVA_LAUNCH_RECORD");
    if (record.empty()) record = tempFolder() + L"plakora-launches.jsonl";
    return appendLine(record, line) ? 0 : 1;
}
