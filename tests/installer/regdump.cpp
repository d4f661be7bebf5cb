// Writes registry subtrees to a file, one line a key and one a value, so that
// the installer checks can compare the registry before and after a step:
//   regdump OUT.txt HKCU\Software HKLM\Software ...
// Lines (UTF-8): "K\t<key>" and "V\t<key>\t<name>\t<type>\t<data as hex>".
// The 64-bit view: Wow6432Node shows up as the key it is.

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win/Handle.h"
#include "base/Text.h"

using namespace torva;

namespace {

std::string utf8(const std::wstring& s) {
    return toUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(s.data()), s.size()));
}

std::string hex(const BYTE* data, DWORD size) {
    std::string out;
    for (DWORD i = 0; i < size; ++i)
        out += {"0123456789abcdef"[data[i] >> 4], "0123456789abcdef"[data[i] & 15]};
    return out;
}

// A tab or line break in a name would break the line: it shows as "?".
std::string field(const std::wstring& s) {
    std::string out = utf8(s);
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = '?';
    return out;
}

bool dump(std::ostream& out, HKEY parent, const std::wstring& sub, const std::wstring& path) {
    win::UniqueHkey key;
    if (RegOpenKeyExW(parent, sub.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key.put()) !=
        ERROR_SUCCESS)
        return false;
    out << "K\t" << field(path) << "\n";
    // One buffer for every key: the children are read after the values.
    static std::vector<wchar_t> name(16384);
    static std::vector<BYTE> data(1 << 20);  // more than any value in what we compare holds
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()),
              type = 0;
        const LSTATUS rc =
            RegEnumValueW(key.get(), i, name.data(), &nameLen, nullptr, &type, data.data(), &size);
        if (rc != ERROR_SUCCESS) break;
        out << "V\t" << field(path) << "\t" << field(std::wstring(name.data(), nameLen)) << "\t"
            << type << "\t" << hex(data.data(), size) << "\n";
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key.get(), i, name.data(), &nameLen, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(name.data(), nameLen);
    }
    for (const auto& child : children) dump(out, key.get(), child, path + L"\\" + child);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: regdump OUT.txt HKCU|HKLM\\PATH...\n");
        return 2;
    }
    std::ofstream out(std::filesystem::path(argv[1]), std::ios::binary);
    if (!out) return 1;
    int rc = 0;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const auto slash = arg.find(L'\\');
        const std::wstring root = arg.substr(0, slash);
        const std::wstring sub = slash == std::wstring::npos ? L"" : arg.substr(slash + 1);
        HKEY hive = root == L"HKCU"   ? HKEY_CURRENT_USER
                    : root == L"HKLM" ? HKEY_LOCAL_MACHINE
                                      : nullptr;
        if (!hive || !dump(out, hive, sub, arg)) {
            std::fprintf(stderr, "regdump: cannot read %s\n", utf8(arg).c_str());
            rc = 1;
        }
    }
    out.close();
    return out ? rc : 1;
}
