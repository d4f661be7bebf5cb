#include "AddInRegistry.h"

#include <algorithm>

#include "WideText.h"
#include "platform/win/Handle.h"

namespace torva::emulator {

namespace {
using nlohmann::ordered_json;

constexpr DWORD kLoadBehaviorStartup = 3;

std::wstring regString(HKEY key, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring s(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(s.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    s.resize(wcsnlen(s.c_str(), s.size()));
    return s;
}

std::vector<Registered> registeredAddIns(const std::u16string& host, HKEY root) {
    std::vector<Registered> out;
    const std::wstring path = L"Software\\Microsoft\\Office\\" + wide(host) + L"\\Addins";
    win::UniqueHkey addins;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, addins.put()) != ERROR_SUCCESS) return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD len = 256;
        if (RegEnumKeyExW(addins.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        win::UniqueHkey key;
        if (RegOpenKeyExW(addins.get(), name, 0, KEY_READ, key.put()) != ERROR_SUCCESS) continue;
        DWORD behavior = 0, size = sizeof behavior, type = 0;
        if (RegQueryValueExW(key.get(), L"LoadBehavior", nullptr, &type,
                             reinterpret_cast<BYTE*>(&behavior), &size) != ERROR_SUCCESS ||
            type != REG_DWORD || behavior != kLoadBehaviorStartup)
            continue;
        out.push_back(Registered{name, regString(key.get(), L"FriendlyName"),
                                 regString(key.get(), L"Description")});
    }
    return out;
}

// Windows reads the classes as one view, the user's (HKCU\Software\Classes)
// over the machine's; Wine reads only the machine's, so a class registered for
// one user would not be found. The add-in's class is looked up in that order
// here; a ProgID found in neither gets COM's own answer.
std::wstring classesValue(const std::wstring& key) {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        win::UniqueHkey k;
        if (RegOpenKeyExW(root, (L"Software\\Classes\\" + key).c_str(), 0, KEY_READ, k.put()) ==
            ERROR_SUCCESS)
            return regString(k.get(), nullptr);
    }
    return {};
}

// The add-in's DLL, if it is loaded now.
HMODULE addinModule(const std::wstring& progId) {
    const std::wstring path = addinPath(progId);
    return path.empty() ? nullptr : GetModuleHandleW(path.c_str());
}

ordered_json canUnload(const std::wstring& progId) {
    HMODULE module = addinModule(progId);
    if (!module) return nullptr;
    using CanUnloadNow = HRESULT(WINAPI*)();
    // Through void* because FARPROC's signature is not the export's.
    auto entry = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    if (!entry) return nullptr;
    return entry() == S_OK;
}
}  // namespace

// A ProgID that the user registered too is loaded once.
std::vector<Registered> registeredAddIns(const std::u16string& host) {
    std::vector<Registered> out = registeredAddIns(host, HKEY_CURRENT_USER);
    for (auto& machine : registeredAddIns(host, HKEY_LOCAL_MACHINE)) {
        if (std::none_of(out.begin(), out.end(), [&](const Registered& r) {
                return _wcsicmp(r.progId.c_str(), machine.progId.c_str()) == 0;
            }))
            out.push_back(std::move(machine));
    }
    return out;
}

HRESULT addInClass(const std::wstring& progId, CLSID& clsid) {
    const std::wstring text = classesValue(progId + L"\\CLSID");
    if (text.empty()) return CLSIDFromProgID(progId.c_str(), &clsid);
    return CLSIDFromString(text.c_str(), &clsid);
}

std::wstring inprocServer(const CLSID& clsid) {
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    return classesValue(std::wstring(L"CLSID\\") + text + L"\\InprocServer32");
}

std::wstring addinPath(const std::wstring& progId) {
    CLSID clsid;
    if (FAILED(addInClass(progId, clsid))) return {};
    return inprocServer(clsid);
}

ordered_json canUnload(const std::vector<std::wstring>& progIds) {
    ordered_json out = ordered_json::object();
    for (const auto& id : progIds) out[utf8(id)] = canUnload(id);
    return out;
}

}  // namespace torva::emulator
