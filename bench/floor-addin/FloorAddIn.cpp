// The least a toolbar add-in can do, for bench_host_startup to measure ours
// against: one connect class that at start-up adds one temporary toolbar
// with one button (a caption, no picture) and at shutdown deletes it. Every
// Office call is late-bound (GetIDsOfNames, then Invoke), as a minimal
// script-like add-in makes it. No registration: the benchmark creates it
// through DllGetClassObject.

#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <new>
#include <vector>

#include "FloorAddIn.h"
#include "platform/win/Com.h"
#include "platform/win/Extensibility.h"

using torva::win::Bstr;
using torva::win::ComPtr;
using torva::win::IDTExtensibility2;
using torva::win::Variant;

namespace {

constexpr long kMsoBarTop = 1;
constexpr long kMsoControlButton = 1;

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

Variant text(const wchar_t* s) {
    Variant v;
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocString(s);
    if (!v->bstrVal) throw std::bad_alloc();
    return v;
}

Variant number(long n) {
    Variant v;
    v->vt = VT_I4;
    v->lVal = n;
    return v;
}

Variant yes() {
    Variant v;
    v->vt = VT_BOOL;
    v->boolVal = VARIANT_TRUE;
    return v;
}

// An optional argument left out, as a late-bound caller passes it.
Variant omitted() {
    Variant v;
    v->vt = VT_ERROR;
    v->scode = DISP_E_PARAMNOTFOUND;
    return v;
}

// One late-bound call: positional arguments in their written order.
HRESULT call(IDispatch* object, const wchar_t* name, WORD kind, std::vector<Variant> args,
             Variant* result) {
    if (!object) return E_POINTER;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    if (const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        FAILED(hr))
        return hr;
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->get());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (kind == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params,
                          result ? result->put() : nullptr, nullptr, nullptr);
}

ComPtr<IDispatch> objectOf(const Variant& v) {
    return v->vt == VT_DISPATCH ? ComPtr<IDispatch>(v->pdispVal) : ComPtr<IDispatch>();
}

ComPtr<IDispatch> get(IDispatch* object, const wchar_t* name) {
    Variant out;
    if (FAILED(call(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &out))) return {};
    return objectOf(out);
}

class Connect final : public IDTExtensibility2 {
  public:
    Connect() { ++liveObjects; }
    ~Connect() { --liveObjects; }
    Connect(const Connect&) = delete;
    Connect& operator=(const Connect&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != torva::win::IID_IDTExtensibility2)
            return E_NOINTERFACE;
        *out = static_cast<IDTExtensibility2*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const long left = --refs_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    // Office calls the extensibility interface through its vtable only.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        return E_NOTIMPL;
    }

    STDMETHODIMP OnConnection(IDispatch* application, torva::win::ext_ConnectMode, IDispatch*,
                              SAFEARRAY**) override {
        application_ = ComPtr<IDispatch>(application);
        return S_OK;
    }
    STDMETHODIMP OnAddInsUpdate(SAFEARRAY**) override { return S_OK; }
    STDMETHODIMP OnStartupComplete(SAFEARRAY**) override {
        try {
            // Outlook keeps its command bars on the explorer window.
            ComPtr<IDispatch> owner = get(application_.get(), L"ActiveExplorer");
            ComPtr<IDispatch> bars = get(owner ? owner.get() : application_.get(), L"CommandBars");
            Variant bar, button, ignored;
            HRESULT hr = call(bars.get(), L"Add", DISPATCH_METHOD,
                              {text(L"Floor"), number(kMsoBarTop), omitted(), yes()}, &bar);
            if (FAILED(hr)) return hr;
            bar_ = objectOf(bar);
            ComPtr<IDispatch> controls = get(bar_.get(), L"Controls");
            hr = call(controls.get(), L"Add", DISPATCH_METHOD,
                      {number(kMsoControlButton), omitted(), omitted(), omitted(), yes()}, &button);
            if (FAILED(hr)) return hr;
            hr = call(objectOf(button).get(), L"Caption", DISPATCH_PROPERTYPUT, {text(L"Floor")},
                      nullptr);
            if (FAILED(hr)) return hr;
            return call(bar_.get(), L"Visible", DISPATCH_PROPERTYPUT, {yes()}, nullptr);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    STDMETHODIMP OnBeginShutdown(SAFEARRAY**) override {
        const HRESULT hr = call(bar_.get(), L"Delete", DISPATCH_METHOD, {}, nullptr);
        bar_.reset();
        return hr;
    }
    STDMETHODIMP OnDisconnection(torva::win::ext_DisconnectMode, SAFEARRAY**) override {
        bar_.reset();
        application_.reset();
        return S_OK;
    }

  private:
    std::atomic<long> refs_{1};
    ComPtr<IDispatch> application_;
    ComPtr<IDispatch> bar_;
};

class Factory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // One static factory: it never goes away, the locks keep the DLL.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* object = new (std::nothrow) Connect();
        if (!object) return E_OUTOFMEMORY;
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        serverLocks += lock ? 1 : -1;
        return S_OK;
    }
};

Factory factory;

}  // namespace

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != torva::bench::kFloorAddInClsid) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}
