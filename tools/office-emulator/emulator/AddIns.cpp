#include "AddIns.h"

#include <cstdio>

#include "ComBridge.h"
#include "MessageLoop.h"
#include "WideText.h"

namespace torva::emulator {

namespace {
using nlohmann::ordered_json;
using win::ComPtr;

std::string hex(HRESULT hr) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

// The custom argument of the add-in calls: a SAFEARRAY of VARIANT.
class Custom {
  public:
    explicit Custom(std::vector<long> values) {
        array_ = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
        if (!array_) win::throwIfFailed(E_OUTOFMEMORY, u"SafeArrayCreateVector");
        for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
            VARIANT v;
            VariantInit(&v);
            v.vt = VT_I4;
            v.lVal = values[static_cast<size_t>(i)];
            win::throwIfFailed(SafeArrayPutElement(array_, &i, &v), u"SafeArrayPutElement");
        }
    }
    ~Custom() {
        if (array_) SafeArrayDestroy(array_);
    }
    Custom(const Custom&) = delete;
    Custom& operator=(const Custom&) = delete;
    SAFEARRAY** get() { return &array_; }

  private:
    SAFEARRAY* array_ = nullptr;
};

std::u16string errorInfoDescription(HRESULT hr) {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        win::Bstr text;
        if (SUCCEEDED(info->GetDescription(text.put())) && !text.str().empty()) return text.str();
    }
    return win::hresultText(hr);
}
}  // namespace

void HostCallFailures::add(const char* call, HRESULT hr, std::u16string description,
                           std::optional<HRESULT> returned) {
    ordered_json f = {{"call", call}, {"hresult", hex(hr)}, {"description", toUtf8(description)}};
    if (returned) f["returned"] = hex(*returned);
    failures_.push_back(std::move(f));
}

template <class F>
bool AddIns::hostCall(const char* name, F&& f) {
    SetErrorInfo(0, nullptr);
    const HRESULT hr = f();
    if (SUCCEEDED(hr)) {
        pumpFor(0);
        return true;
    }
    failures_.add(name, hr, errorInfoDescription(hr));
    pumpFor(0);
    return false;
}

template <class F>
void AddIns::eachConnected(const char* name, F&& f) {
    for (auto& a : addins_) {
        if (!a.connected) continue;
        Custom custom({});
        hostCall(name, [&] { return f(*a.object.get(), custom.get()); });
    }
}

void AddIns::load(const std::u16string& host, HostObjects objects) {
    host_ = std::move(objects);
    for (auto& entry : registeredAddIns(host)) {
        AddIn a;
        a.entry = std::move(entry);
        a.instance =
            std::make_shared<model::COMAddIn>(utf16(a.entry.progId), utf16(a.entry.description));
        addins_.push_back(std::move(a));
    }
}

std::vector<std::wstring> AddIns::progIds() const {
    std::vector<std::wstring> out;
    for (const auto& a : addins_) out.push_back(a.entry.progId);
    return out;
}

void AddIns::startUp() {
    for (auto& a : addins_) {
        connect(a, win::ext_cm_Startup);
        if (!a.connected) continue;
        Custom custom({});
        hostCall("OnAddInsUpdate", [&] { return a.object->OnAddInsUpdate(custom.get()); });
        hostCall("OnStartupComplete", [&] { return a.object->OnStartupComplete(custom.get()); });
    }
}

void AddIns::call(step::HostCall call) {
    using step::HostCall;
    switch (call) {
        case HostCall::AddInsUpdate:
            eachConnected("OnAddInsUpdate",
                          [](auto& o, SAFEARRAY** c) { return o.OnAddInsUpdate(c); });
            break;
        case HostCall::StartupComplete:
            eachConnected("OnStartupComplete",
                          [](auto& o, SAFEARRAY** c) { return o.OnStartupComplete(c); });
            break;
        case HostCall::BeginShutdown:
            eachConnected("OnBeginShutdown",
                          [](auto& o, SAFEARRAY** c) { return o.OnBeginShutdown(c); });
            break;
        case HostCall::Disconnect:
            for (auto& a : addins_) disconnect(a, win::ext_dm_UserClosed);
            break;
        case HostCall::Connect:
            for (auto& a : addins_)
                if (!a.connected) connect(a, win::ext_cm_AfterStartup);
            break;
    }
}

void AddIns::shutDown() {
    for (auto& a : addins_) {
        if (a.connected) {
            Custom custom({});
            hostCall("OnBeginShutdown", [&] { return a.object->OnBeginShutdown(custom.get()); });
        }
        disconnect(a, win::ext_dm_HostShutdown);
        a.object.reset();
    }
    addins_.clear();
}

ordered_json AddIns::report() const {
    ordered_json out = ordered_json::array();
    for (const auto& a : addins_)
        out.push_back({{"progId", utf8(a.entry.progId)},
                       {"friendlyName", utf8(a.entry.friendlyName)},
                       {"connected", a.connected}});
    return out;
}

bool AddIns::create(AddIn& a) {
    if (!bridgeAvailable())
        throw Error::fromHResult(E_NOTIMPL, u"this build has no COM adapter for the model");
    CLSID clsid;
    HRESULT hr = addInClass(a.entry.progId, clsid);
    if (FAILED(hr)) {
        failures_.add("CLSIDFromProgID", hr, win::hresultText(hr));
        return false;
    }
    ComPtr<IUnknown> unknown;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.putVoid());
    if (hr == REGDB_E_CLASSNOTREG) hr = createFromServer(clsid, unknown);
    if (FAILED(hr)) {
        failures_.add("CoCreateInstance", hr, win::hresultText(hr));
        return false;
    }
    hr = unknown.queryTo(win::IID_IDTExtensibility2, a.object.putVoid());
    if (FAILED(hr)) {
        failures_.add("QueryInterface", hr, win::hresultText(hr));
        return false;
    }
    return true;
}

// A class that only the user's view holds: its server's class factory, as
// COM would call it.
HRESULT AddIns::createFromServer(const CLSID& clsid, ComPtr<IUnknown>& unknown) {
    const std::wstring server = inprocServer(clsid);
    if (server.empty()) return REGDB_E_CLASSNOTREG;
    Module module(LoadLibraryW(server.c_str()));
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    // Through void* because FARPROC's signature is not the export's.
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module.get(), "DllGetClassObject")));
    if (!getClassObject) return CO_E_ERRORINDLL;
    servers_.keep(std::move(module));
    ComPtr<IClassFactory> factory;
    const HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.putVoid());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, IID_IUnknown, unknown.putVoid());
}

IDispatch* AddIns::exposed(const model::ObjectRef& o) {
    auto d = expose(o);
    exposed_.push_back(d);
    return d.get();
}

void AddIns::connect(AddIn& a, win::ext_ConnectMode mode) {
    if (!a.object && !create(a)) return;
    Custom custom({1});
    IDispatch* app = exposed(host_.application);
    IDispatch* inst = exposed(a.instance);
    a.connected = hostCall("OnConnection",
                           [&] { return a.object->OnConnection(app, mode, inst, custom.get()); });
    a.instance->connected = a.connected;
    // Office 2007 and later ask for the add-in's Ribbon right after it connected.
    if (a.connected) {
        ribbon_.load(utf16(a.entry.progId), a.object.get(), host_.ribbonContext);
        pumpFor(0);
    }
}

void AddIns::disconnect(AddIn& a, win::ext_DisconnectMode mode) {
    if (!a.connected) return;
    Custom custom({});
    hostCall("OnDisconnection", [&] { return a.object->OnDisconnection(mode, custom.get()); });
    ribbon_.unload(utf16(a.entry.progId));
    a.connected = false;
    a.instance->connected = false;
    // Office lets go of a disconnected add-in; connecting again makes a new one.
    a.object.reset();
}

}  // namespace torva::emulator
