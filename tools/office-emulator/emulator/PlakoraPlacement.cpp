#include "PlakoraPlacement.h"

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "base/Error.h"
#include "platform/win/Handle.h"

namespace torva::emulator {

namespace {
constexpr wchar_t kAppPathsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\plakora.exe";

std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void setString(HKEY key, const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}
}  // namespace

AppPathsEntry::AppPathsEntry() { RegDeleteKeyW(HKEY_CURRENT_USER, kAppPathsKey); }
AppPathsEntry::~AppPathsEntry() { RegDeleteKeyW(HKEY_CURRENT_USER, kAppPathsKey); }

void AppPathsEntry::set(const std::wstring& executable) {
    win::UniqueHkey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kAppPathsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        throw Error::fromHResult(E_FAIL, u"App Paths entry not written");
    setString(key.get(), nullptr, executable);
    setString(key.get(), L"Path", folderOf(executable));
}

void placePlakora(PlakoraPlace place, const std::wstring& addinDll, AppPathsEntry& appPaths) {
    const std::wstring folder = folderOf(addinDll);
    if (place == PlakoraPlace::Staged || folder.empty()) return;
    const std::wstring staged = folder + L"\\plakora.exe";
    if (place == PlakoraPlace::Missing) {
        DeleteFileW(staged.c_str());
    } else if (place == PlakoraPlace::Unstartable) {
        // A file of that name that is no program at all.
        std::ofstream(std::filesystem::path(staged), std::ios::binary) << "This is no program.\r\n";
    } else {
        const std::wstring own = folder + L"-plakora";
        CreateDirectoryW(own.c_str(), nullptr);
        const std::wstring moved = own + L"\\plakora.exe";
        MoveFileExW(staged.c_str(), moved.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
        appPaths.set(moved);
    }
}

}  // namespace torva::emulator
