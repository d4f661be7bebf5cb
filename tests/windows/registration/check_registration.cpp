// Reads the registry back against the registration table, after regsvr32 ran
// in a fresh Wine prefix (see run.sh). One mode per state:
//   plant            write keys of someone else's, which must survive us
//   machine DLL      registered machine-wide
//   user DLL         registered for the current user only
//   absent           unregistered: nothing of ours left, the planted keys kept
//   objects DLL      the classes can be created and the DLL can unload after
// Exit code 0 when the state is as expected; each mismatch is printed.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host/com/Registration.h"
#include "platform/win/Extensibility.h"
#include "platform/win/Handle.h"
#include "support/Text.h"

using namespace torva;
using namespace torva::com;

namespace {

int failures = 0;

void fail(const std::string& what) {
    std::printf("MISMATCH: %s\n", what.c_str());
    ++failures;
}

const wchar_t* wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

const std::u16string kForeignAddin = u"Software\\Microsoft\\Office\\Excel\\Addins\\Other.Connect";
const std::u16string kForeignClass = u"Software\\Classes\\Other.Connect";

bool keyExists(HKEY root, const std::u16string& key) {
    win::UniqueHkey k;
    return RegOpenKeyExW(root, wide(key), 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}

// Checks one value of the table under the given root and prefix.
void expectValue(HKEY root, const std::u16string& prefix, const RegistryValue& v) {
    const std::string where = toUtf8(prefix + v.key) + " [" + toUtf8(v.name) + "]";
    win::UniqueHkey k;
    if (RegOpenKeyExW(root, wide(prefix + v.key), 0, KEY_READ, k.put()) != ERROR_SUCCESS)
        return fail("missing key " + where);
    DWORD type = 0, size = 0;
    const wchar_t* name = v.name.empty() ? nullptr : wide(v.name);
    if (RegQueryValueExW(k.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return fail("missing value " + where);
    std::string bytes(size, '\0');
    RegQueryValueExW(k.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
    if (const auto* text = std::get_if<std::u16string>(&v.data)) {
        if (type != REG_SZ) return fail("not REG_SZ: " + where);
        std::u16string got(reinterpret_cast<const char16_t*>(bytes.data()), size / 2);
        while (!got.empty() && got.back() == u'\0') got.pop_back();
        if (got != *text)
            fail("value " + where + " is '" + toUtf8(got) + "', expected '" + toUtf8(*text) + "'");
    } else {
        if (type != REG_DWORD || size != 4) return fail("not REG_DWORD: " + where);
        DWORD number = 0;
        std::memcpy(&number, bytes.data(), 4);
        if (number != std::get<uint32_t>(v.data)) fail("value " + where + " differs");
    }
}

void expectRegistered(const std::u16string& dll, bool perUser) {
    const std::u16string classes = u"Software\\Classes\\";
    for (const auto& v : registrationValues(dll, sizeof(void*) == 8)) {
        if (v.root == Root::CurrentUser) {
            expectValue(HKEY_CURRENT_USER, u"", v);
        } else {
            expectValue(perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, classes, v);
        }
    }
    // Nothing of ours in the other classes view.
    const HKEY other = perUser ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    for (const auto& k : registrationKeys())
        if (k.root == Root::Classes && keyExists(other, classes + k.key))
            fail("also registered in the other classes view: " + toUtf8(k.key));
}

void expectAbsent() {
    for (const auto& k : registrationKeys()) {
        if (k.root == Root::CurrentUser) {
            if (keyExists(HKEY_CURRENT_USER, k.key)) fail("left behind: HKCU\\" + toUtf8(k.key));
        } else {
            for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
                if (keyExists(root, u"Software\\Classes\\" + k.key))
                    fail("left behind: " + toUtf8(k.key));
        }
    }
    if (!keyExists(HKEY_CURRENT_USER, kForeignAddin)) fail("deleted another add-in's key");
    if (!keyExists(HKEY_LOCAL_MACHINE, kForeignClass)) fail("deleted another class's key");
    if (!keyExists(HKEY_CURRENT_USER, u"Software\\Microsoft\\Office\\Excel\\Addins"))
        fail("deleted the shared Addins key");
}

void plant() {
    for (auto [root, key] : {std::pair{HKEY_CURRENT_USER, kForeignAddin},
                             std::pair{HKEY_LOCAL_MACHINE, kForeignClass}}) {
        win::UniqueHkey k;
        if (RegCreateKeyExW(root, wide(key), 0, nullptr, 0, KEY_WRITE, nullptr, k.put(), nullptr) !=
            ERROR_SUCCESS)
            fail("cannot plant " + toUtf8(key));
    }
}

void expectObjects(const std::u16string& dll) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HMODULE module = LoadLibraryW(wide(dll));
    if (!module) return fail("cannot load the DLL");
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(WINAPI*)();
    // Through void* because FARPROC's signature is not the export's.
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    auto canUnloadNow = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    if (!getClassObject || !canUnloadNow) return fail("entry points missing");
    if (canUnloadNow() != S_OK) fail("cannot unload before any object exists");
    for (const auto& c : connectClasses()) {
        CLSID clsid;
        CLSIDFromString(wide(std::u16string(c.clsid)), &clsid);
        IClassFactory* factory = nullptr;
        if (FAILED(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
            return fail("no class object for " + toUtf8(c.name));
        if (canUnloadNow() != S_FALSE) fail("unloadable while a class object lives");
        win::IDTExtensibility2* addin = nullptr;
        if (FAILED(factory->CreateInstance(nullptr, win::IID_IDTExtensibility2,
                                           reinterpret_cast<void**>(&addin))))
            fail("no IDTExtensibility2 from " + toUtf8(c.name));
        factory->Release();
        if (addin) {
            if (canUnloadNow() != S_FALSE) fail("unloadable while an object lives");
            // The default interface answers by name through the type library.
            DISPID id = 0;
            const std::u16string member = c.host == std::u16string(u"Access")
                                              ? u"AddInTimer_Timer"
                                              : std::u16string(c.host) + u"Instance";
            LPOLESTR names[] = {const_cast<LPOLESTR>(wide(member))};
            if (FAILED(addin->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
                fail("default interface does not know " + toUtf8(member));
            // Access waits for a database on a timer that holds the object:
            // the DLL must stay until the wait ends (here at the first tick,
            // which fails for want of a connection).
            const bool waits = c.host == std::u16string(u"Access");
            if (waits) addin->OnStartupComplete(nullptr);
            addin->Release();
            if (waits) {
                if (canUnloadNow() != S_FALSE) fail("unloadable while the Access timer waits");
                const DWORD until = GetTickCount() + 3000;
                while (canUnloadNow() != S_OK && GetTickCount() < until) {
                    MSG msg;
                    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                        DispatchMessageW(&msg);
                    else
                        Sleep(10);
                }
            }
        }
        if (canUnloadNow() != S_OK) fail("cannot unload after " + toUtf8(c.name) + " was released");
    }
    // The ProgIDs resolve as Office resolves them.
    for (const auto& c : connectClasses()) {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(wide(progIdOf(c)), &clsid)))
            fail("ProgID does not resolve: " + toUtf8(progIdOf(c)));
    }
    ITypeLib* library = nullptr;
    GUID libid;
    CLSIDFromString(wide(std::u16string(kLibraryId)), &libid);
    if (FAILED(LoadRegTypeLib(libid, 1, 1, LOCALE_NEUTRAL, &library)))
        fail("registered type library 1.1 does not load");
    else
        library->Release();
    FreeLibrary(module);
    CoUninitialize();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring mode = argv[1];
    const std::u16string dll =
        argc > 2 ? std::u16string(reinterpret_cast<const char16_t*>(argv[2])) : u"";
    if (mode == L"plant")
        plant();
    else if (mode == L"machine")
        expectRegistered(dll, false);
    else if (mode == L"user")
        expectRegistered(dll, true);
    else if (mode == L"absent")
        expectAbsent();
    else if (mode == L"objects")
        expectObjects(dll);
    else
        return 2;
    std::printf("%s: %s\n",
                toUtf8(std::u16string(reinterpret_cast<const char16_t*>(mode.c_str()))).c_str(),
                failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
