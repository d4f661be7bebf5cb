// Entry points of the in-process server.

#include <windows.h>
#include <objbase.h>

#include <cwchar>
#include <string>

#include "host/com/ClassFactory.h"
#include "host/com/ConnectCom.h"
#include "host/com/Module.h"
#include "host/com/RegistryWriter.h"
#include "platform/win/ModulePath.h"

namespace torva::com {

std::u16string modulePath() noexcept {
    try {
        return win::modulePath();
    } catch (...) {
        return {};
    }
}

}  // namespace torva::com

using namespace torva::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
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

STDAPI DllCanUnloadNow() { return torva::win::moduleCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return registerServer(modulePath(), false); }

STDAPI DllUnregisterServer() { return unregisterServer(false); }

// regsvr32 /n /i:user registers for the current user only, under
// HKCU\Software\Classes: for users without administrator rights.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    const bool perUser = commandLine && _wcsicmp(commandLine, L"user") == 0;
    return install ? registerServer(modulePath(), perUser) : unregisterServer(perUser);
}
