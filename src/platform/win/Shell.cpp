// Profile files and the shell: the real narrow-character calls, so that the
// hand-off file and the command line pass through the ANSI code page exactly
// as the label application expects.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/win/Handle.h"
#include "platform/win/LastError.h"

namespace torva::platform {

bool writeProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) !=
           FALSE;
}

intptr_t shellExecute(const std::string& operation, const std::string& file,
                      const std::string& parameters, const std::string& directory,
                      int showCommand) {
    const HINSTANCE result = ShellExecuteA(nullptr, operation.c_str(), file.c_str(),
                                           parameters.c_str(), directory.c_str(), showCommand);
    return reinterpret_cast<intptr_t>(result);
}

namespace {

// The key's default value as a path: REG_SZ or REG_EXPAND_SZ, quotes taken
// off (installers write both forms); empty when there is none.
std::u16string registeredPath(HKEY root, const std::wstring& key) {
    win::UniqueHkey k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, k.put()) != ERROR_SUCCESS) return {};
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(k.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return {};
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(k.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()),
                         &size) != ERROR_SUCCESS)
        return {};
    value.resize(wcsnlen(value.c_str(), value.size()));
    if (type == REG_EXPAND_SZ) {
        const DWORD n = ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
        std::wstring expanded(n, L'\0');
        if (n == 0 || ExpandEnvironmentStringsW(value.c_str(), expanded.data(), n) == 0) return {};
        expanded.resize(wcsnlen(expanded.c_str(), expanded.size()));
        value = std::move(expanded);
    }
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
        value = value.substr(1, value.size() - 2);
    return win::fromWide(value.c_str(), value.size());
}

}  // namespace

std::vector<std::u16string> appPaths(std::u16string_view executableName) noexcept {
    std::vector<std::u16string> out;
    try {
        const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" +
                                 std::wstring(executableName.begin(), executableName.end());
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            std::u16string path = registeredPath(root, key);
            if (!path.empty()) out.push_back(std::move(path));
        }
    } catch (...) {  // no memory: what was found so far
    }
    return out;
}

std::u16string systemMessage(uint32_t code) { return win::systemMessage(code); }

}  // namespace torva::platform
