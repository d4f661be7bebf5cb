// Entry points of the in-process server.

#include <windows.h>
#include <objbase.h>

#include <cwchar>
#include <string>

#include "host/com/ClassFactory.h"
#include "host/com/ConnectCom.h"
#include "host/com/Module.h"
#include "host/com/RegistryWriter.h"

namespace torva::com {

std::atomic<long>& moduleCount() noexcept {
    static std::atomic<long> count{0};
    return count;
}

namespace {

HMODULE thisModule = nullptr;

}  // namespace

std::u16string modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(thisModule, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return {path.begin(), path.end()};
}

}  // namespace torva::com

using namespace torva::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const auto& entry : connectClassTable()) {
        if (*entry.clsid == clsid) return ClassFactory::createInstance(iid, out, entry.create);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return moduleCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return registerServer(modulePath(), false); }

STDAPI DllUnregisterServer() { return unregisterServer(false); }

// regsvr32 /n /i:user registers for the current user only, under
// HKCU\Software\Classes: for users without administrator rights.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    const bool perUser = commandLine && _wcsicmp(commandLine, L"user") == 0;
    return install ? registerServer(modulePath(), perUser) : unregisterServer(perUser);
}
