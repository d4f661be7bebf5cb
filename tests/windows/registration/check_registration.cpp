// Reads the registry back against the registration table, after regsvr32 ran
// in a fresh Wine prefix (see run.sh). One mode per state:
//   plant            write keys of someone else's, which must survive us
//   machine DLL      registered machine-wide
//   user DLL         registered for the current user only
//   absent           unregistered: nothing of ours left, the planted keys kept
//   objects DLL      the classes can be created, answer through their dual
//                    interfaces, IRibbonExtensibility and the Ribbon's
//                    callbacks, their classes through IProvideClassInfo,
//                    and at the COM boundary as a host expects,
//                    and the DLL can unload after
// Exit code 0 when the state is as expected; each mismatch is printed.

#include <windows.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "host/com/Registration.h"
#include "platform/win/Com.h"
#include "platform/win/Extensibility.h"
#include "platform/win/Handle.h"
#include "platform/win/RibbonExtensibility.h"
#include "base/Text.h"

using namespace torva;
using namespace torva::com;

namespace {

int failures = 0;

void fail(const std::string& what) {
    std::printf("MISMATCH: %s\n", what.c_str());
    ++failures;
}

const std::u16string kForeignAddin = u"Software\\Microsoft\\Office\\Excel\\Addins\\Other.Connect";
const std::u16string kForeignClass = u"Software\\Classes\\Other.Connect";

bool keyExists(HKEY root, const std::u16string& key) {
    win::UniqueHkey k;
    return RegOpenKeyExW(root, win::wide(key), 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}

// Checks one value of the table under the given root and prefix.
void expectValue(HKEY root, const std::u16string& prefix, const RegistryValue& v) {
    const std::string where = toUtf8(prefix + v.key) + " [" + toUtf8(v.name) + "]";
    const std::u16string key = prefix + v.key;
    const wchar_t* name = v.name.empty() ? nullptr : win::wide(v.name);
    DWORD type = 0, size = 0;
    const DWORD any = RRF_RT_ANY | RRF_NOEXPAND;
    if (RegGetValueW(root, win::wide(key), name, any, &type, nullptr, &size) != ERROR_SUCCESS)
        return fail("missing key or value " + where);
    std::string bytes(size, '\0');
    RegGetValueW(root, win::wide(key), name, any, &type, bytes.data(), &size);
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
        if (RegCreateKeyExW(root, win::wide(key), 0, nullptr, 0, KEY_WRITE, nullptr, k.put(),
                            nullptr) != ERROR_SUCCESS)
            fail("cannot plant " + toUtf8(key));
    }
}

HRESULT invoke(IDispatch* object, DISPID id, WORD flags, VARIANT* arg, win::Variant* result,
               win::ExcepInfo& exception) {
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{arg, nullptr, arg ? 1u : 0u, 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                          result ? result->put() : nullptr, exception.get(), nullptr);
}

// An object argument, as VBA passes one.
VARIANT objectArg(IDispatch* object) {
    VARIANT v;
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    return v;
}

bool sameObject(IUnknown* a, IUnknown* b) {
    win::ComPtr<IUnknown> ua, ub;
    if (a) a->QueryInterface(IID_IUnknown, ua.putVoid());
    if (b) b->QueryInterface(IID_IUnknown, ub.putVoid());
    return ua.get() == ub.get();
}

// The default dual interface as a late-bound caller (VBA, a script) uses it:
// the host instance goes in by putref and comes back by get, Nothing too;
// Access's timer function, called with no Access behind it, fails as a VB
// error 91 inside DISP_E_EXCEPTION.
void expectDefaultInterface(IDispatch* addin, const std::u16string& host, DISPID id) {
    win::ExcepInfo exception;
    win::Variant result;
    if (host == u"Access") {
        if (invoke(addin, id, DISPATCH_METHOD, nullptr, &result, exception) != DISP_E_EXCEPTION ||
            exception.get()->scode != static_cast<SCODE>(0x800A005B))
            fail("AddInTimer_Timer without Access: not error 91 through DISP_E_EXCEPTION");
        return;
    }
    VARIANT value = objectArg(addin);  // any IDispatch will do: the connect object itself
    if (FAILED(invoke(addin, id, DISPATCH_PROPERTYPUTREF, &value, nullptr, exception)))
        fail("putref " + toUtf8(host) + "Instance failed");
    if (FAILED(invoke(addin, id, DISPATCH_PROPERTYGET, nullptr, &result, exception)) ||
        result.get()->vt != VT_DISPATCH || !sameObject(result.get()->pdispVal, addin))
        fail("get " + toUtf8(host) + "Instance does not give back what putref set");
    value.pdispVal = nullptr;  // Nothing, which also ends the cycle just made
    if (FAILED(invoke(addin, id, DISPATCH_PROPERTYPUTREF, &value, nullptr, exception)) ||
        FAILED(invoke(addin, id, DISPATCH_PROPERTYGET, nullptr, &result, exception)) ||
        result.get()->vt != VT_DISPATCH || result.get()->pdispVal != nullptr)
        fail(toUtf8(host) + "Instance does not take and give Nothing");
}

// A failure inside a host call reaches the host as the HRESULT of the call
// with its description as the thread's error info: Word's start-up with no
// Word behind it uses Nothing as an object, VB's error 91.
void expectErrorInfoAtTheBoundary(win::IDTExtensibility2* addin) {
    SetErrorInfo(0, nullptr);
    const HRESULT hr = addin->OnStartupComplete(nullptr);
    if (hr != static_cast<HRESULT>(0x800A005B)) fail("Word start-up without Word: not error 91");
    win::ComPtr<ISupportErrorInfo> support;
    if (FAILED(addin->QueryInterface(IID_ISupportErrorInfo, support.putVoid())) ||
        support->InterfaceSupportsErrorInfo(win::IID_IDTExtensibility2) != S_OK)
        fail("IDTExtensibility2 does not say it gives error info");
    win::ComPtr<IErrorInfo> info;
    win::Bstr description;
    if (GetErrorInfo(0, info.put()) != S_OK || FAILED(info->GetDescription(description.put())) ||
        !description.get() || std::wcsstr(description.get(), L"Object variable") == nullptr)
        fail("no error info with the failure's description");
}

// The Ribbon's side as Office 2010 and later use it: IRibbonExtensibility
// by its IID, the markup's callbacks by name through the connect object's
// IDispatch. Not connected, the object keeps the command bars and gives no
// markup. The ribbon object that onLoad hands over is the connect object
// itself here: only the disconnection's release lets the DLL unload after.
void expectRibbon(win::IDTExtensibility2* addin, const std::u16string& host) {
    const std::string who = toUtf8(host) + ": ";
    const IID ribbonIid = {0x000C0396, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    win::ComPtr<win::IRibbonExtensibility> ribbon;
    if (FAILED(addin->QueryInterface(ribbonIid, ribbon.putVoid())) || !ribbon)
        return fail(who + "no IRibbonExtensibility");
    const win::Bstr id(u"Microsoft.Outlook.Explorer");
    win::Bstr xml;
    if (ribbon->GetCustomUI(id.get(), xml.put()) != S_OK || SysStringLen(xml.get()) != 0)
        fail(who + "markup from an object that is not connected");

    const wchar_t* const names[] = {L"GetCustomUI", L"onLoad", L"onAction", L"getImage"};
    DISPID ids[4] = {};
    for (int i = 0; i < 4; ++i) {
        LPOLESTR name = const_cast<LPOLESTR>(names[i]);
        if (FAILED(ribbon->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &ids[i])))
            fail(who + "GetIDsOfNames does not know " +
                 toUtf8(std::u16string(reinterpret_cast<const char16_t*>(names[i]))));
    }
    if (ids[0] != 1) fail(who + "GetCustomUI is not DISPID 1");

    // getImage(control): the large button's 32x32 picture as IPictureDisp.
    win::ExcepInfo exception;
    win::Variant result;
    VARIANT control = objectArg(addin);  // any IDispatch stands for the IRibbonControl
    if (FAILED(invoke(ribbon.get(), ids[3], DISPATCH_METHOD, &control, &result, exception)) ||
        result.get()->vt != VT_DISPATCH || !result.get()->pdispVal) {
        fail(who + "getImage gives no picture");
    } else {
        win::ComPtr<IPictureDisp> disp;
        win::ComPtr<IPicture> picture;
        OLE_HANDLE handle = 0;
        BITMAP bitmap{};
        if (FAILED(result.get()->pdispVal->QueryInterface(IID_IPictureDisp, disp.putVoid())) ||
            FAILED(disp->QueryInterface(IID_IPicture, picture.putVoid())) ||
            FAILED(picture->get_Handle(&handle)) ||
            !GetObjectW(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)), sizeof bitmap,
                        &bitmap) ||
            bitmap.bmWidth != 32 || bitmap.bmHeight != 32)
            fail(who + "getImage's picture is not a 32x32 bitmap");
    }
    // A callback called wrongly fails the call and nothing else.
    if (SUCCEEDED(invoke(ribbon.get(), ids[2], DISPATCH_METHOD, nullptr, nullptr, exception)))
        fail(who + "onAction without its control succeeded");
    if (FAILED(invoke(ribbon.get(), ids[1], DISPATCH_METHOD, &control, nullptr, exception)))
        fail(who + "onLoad failed");
    if (FAILED(addin->OnDisconnection(win::ext_dm_HostShutdown, nullptr)))
        fail(who + "disconnection failed");
}

// A client that asks the object for its class learns the coclass of the
// type library, by its name and CLSID.
void expectClassInfo(IUnknown* addin, const std::u16string& host) {
    const struct {
        const char16_t* host;
        const wchar_t* coclass;
        const wchar_t* clsid;
    } classes[] = {
        {u"Excel", L"TorvaExcelConnect", L"{E95DE50A-EAA0-4DA3-81A8-53EFB70E8160}"},
        {u"Word", L"TorvaWordConnect", L"{FC3015E0-9CEF-44FF-8B35-7516128269F9}"},
        {u"Access", L"TorvaAccessConnect", L"{C0806ABA-804A-4AB0-BE98-0F9CEE61152B}"},
        {u"Outlook", L"TorvaOutlookConnect", L"{DAF25314-0935-4B88-870B-AB13D3FBF56B}"},
    };
    const std::string who = toUtf8(host) + ": ";
    for (const auto& c : classes) {
        if (host != c.host) continue;
        win::ComPtr<IProvideClassInfo> provider;
        win::ComPtr<ITypeInfo> info;
        if (FAILED(addin->QueryInterface(IID_IProvideClassInfo, provider.putVoid())) ||
            FAILED(provider->GetClassInfo(info.put())) || !info)
            return fail(who + "no class info");
        win::Bstr name;
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr)) ||
            std::wcscmp(name.get(), c.coclass) != 0)
            fail(who + "class info does not name " +
                 toUtf8(reinterpret_cast<const char16_t*>(c.coclass)));
        CLSID expected;
        CLSIDFromString(c.clsid, &expected);
        if (FAILED(info->GetTypeAttr(&attr)) || attr->typekind != TKIND_COCLASS ||
            !IsEqualCLSID(attr->guid, expected))
            fail(who + "class info is not the coclass of its CLSID");
        if (attr) info->ReleaseTypeAttr(attr);
    }
}

// The DLL loaded as COM loads it, its entry points found by name.
struct Server {
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(WINAPI*)();
    explicit Server(const std::u16string& dll) : library(LoadLibraryW(win::wide(dll))) {
        // Through void* because FARPROC's signature is not the export's.
        if (!library) return;
        getClassObject = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(GetProcAddress(library.get(), "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<CanUnloadNow>(
            reinterpret_cast<void*>(GetProcAddress(library.get(), "DllCanUnloadNow")));
    }
    win::UniqueModule library;
    GetClassObject getClassObject = nullptr;
    CanUnloadNow canUnloadNow = nullptr;
};

void expectObject(const Server& server, const ConnectClassInfo& c) {
    CLSID clsid;
    CLSIDFromString(win::wide(std::u16string(c.clsid)), &clsid);
    win::ComPtr<win::IDTExtensibility2> addin;
    {
        win::ComPtr<IClassFactory> factory;
        if (FAILED(server.getClassObject(clsid, IID_IClassFactory, factory.putVoid())))
            return fail("no class object for " + toUtf8(c.name));
        if (server.canUnloadNow() != S_FALSE) fail("unloadable while a class object lives");
        if (FAILED(factory->CreateInstance(nullptr, win::IID_IDTExtensibility2, addin.putVoid())))
            return fail("no IDTExtensibility2 from " + toUtf8(c.name));
    }
    if (server.canUnloadNow() != S_FALSE) fail("unloadable while an object lives");
    // The default interface answers by name through the type library.
    const std::u16string host = c.host;
    const std::u16string member = host == u"Access" ? u"AddInTimer_Timer" : host + u"Instance";
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(win::wide(member))};
    if (FAILED(addin->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        fail("default interface does not know " + toUtf8(member));
    else
        expectDefaultInterface(addin.get(), host, id);
    if (host == u"Word") expectErrorInfoAtTheBoundary(addin.get());
    expectClassInfo(addin.get(), host);
    expectRibbon(addin.get(), host);
    if (host != u"Access") return;
    // Access waits for a database on a timer that holds the object: the DLL
    // must stay until the wait ends (here at the first tick, which fails for
    // want of a connection).
    addin->OnStartupComplete(nullptr);
    addin.reset();
    if (server.canUnloadNow() != S_FALSE) fail("unloadable while the Access timer waits");
    const DWORD until = GetTickCount() + 3000;
    while (server.canUnloadNow() != S_OK && GetTickCount() < until) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        else
            Sleep(10);
    }
}

void expectObjects(const std::u16string& dll) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        const Server server(dll);
        if (!server.getClassObject || !server.canUnloadNow)
            return fail("cannot load the DLL or its entry points");
        if (server.canUnloadNow() != S_OK) fail("cannot unload before any object exists");
        for (const auto& c : connectClasses()) {
            expectObject(server, c);
            if (server.canUnloadNow() != S_OK)
                fail("cannot unload after " + toUtf8(c.name) + " was released");
            // The ProgID resolves as Office resolves it.
            CLSID clsid;
            if (FAILED(CLSIDFromProgID(win::wide(progIdOf(c)), &clsid)))
                fail("ProgID does not resolve: " + toUtf8(progIdOf(c)));
        }
        win::ComPtr<ITypeLib> library;
        GUID libid;
        CLSIDFromString(win::wide(std::u16string(kLibraryId)), &libid);
        if (FAILED(LoadRegTypeLib(libid, 1, 1, LOCALE_NEUTRAL, library.put())))
            fail("registered type library 1.1 does not load");
    }
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
    else if (mode == L"machine" || mode == L"user")
        expectRegistered(dll, mode == L"user");
    else if (mode == L"absent")
        expectAbsent();
    else if (mode == L"objects")
        expectObjects(dll);
    else
        return 2;
    std::printf("%ls: %s\n", mode.c_str(), failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
