#include "automation/win/DispatchObject.h"

#include <ocidl.h>

#include <cstdio>
#include <cstring>
#include <map>

#include "automation/DispatchPacking.h"

namespace torva::automation::win {

using torva::win::Bstr;
using torva::win::ExcepInfo;
using torva::win::hresultText;
using torva::win::Variant;

namespace {

// DISPIDs are a property of the type, so objects of one kind share them: a
// cell asked for its Text costs one GetIDsOfNames for the whole export.
std::map<std::u16string, std::vector<DISPID>>& dispidCache() {
    static std::map<std::u16string, std::vector<DISPID>> cache;
    return cache;
}

[[noreturn]] void fail(HRESULT hr, std::u16string description = {}) {
    if (description.empty()) description = hresultText(hr);
    throw Error(hr, std::move(description));
}

std::u16string guidText(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return {buf, buf + 36};
}

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const {
        return std::memcmp(&a, &b, sizeof(GUID)) < 0;
    }
};

// Receives one event interface's calls and hands them to the handler.
class EventSink final : public IDispatch {
  public:
    EventSink(const IID& iid, EventHandler handler) : iid_(iid), handler_(std::move(handler)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid_) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT n, LCID, DISPID* ids) override {
        for (UINT i = 0; i < n; ++i) ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO* excep, UINT*) override {
        // Nothing may cross into the source: a failing handler becomes this
        // call's failure.
        try {
            const UINT n = params ? params->cArgs : 0;
            std::vector<Value> args;
            // Events arrive positional; named ones would need the type's names.
            const auto slots = positionalSlots(n, params ? params->cNamedArgs : 0);
            for (size_t slot : slots)
                args.push_back(fromVariant(params->rgvarg[slot], dispatchBridge()));
            handler_(dispid, args);
            for (size_t i = 0; i < slots.size() && i < args.size(); ++i)
                writeBack(args[i], params->rgvarg[slots[i]], dispatchBridge());
            return S_OK;
        } catch (const torva::Error& e) {
            return report(e.hresult(), e.description(), excep);
        } catch (const std::exception& e) {
            const std::string what = e.what();
            return report(E_FAIL, std::u16string(what.begin(), what.end()), excep);
        } catch (...) {
            return report(E_UNEXPECTED, u"Unexpected failure in an event handler", excep);
        }
    }

  private:
    // As an automation server reports a failure: with somewhere to put it,
    // the error travels in EXCEPINFO (the caller frees its strings) and the
    // call says DISP_E_EXCEPTION; without, the bare HRESULT is all there is.
    static HRESULT report(HRESULT hr, const std::u16string& text, EXCEPINFO* excep) noexcept {
        if (!excep) return hr;
        *excep = EXCEPINFO{};
        excep->scode = hr;
        excep->bstrSource = SysAllocString(L"TorvaAddIn");
        excep->bstrDescription = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                                   static_cast<UINT>(text.size()));
        return DISP_E_EXCEPTION;
    }

    ULONG refs_ = 1;
    IID iid_;
    EventHandler handler_;
};

class DispatchObject final : public Object {
  public:
    explicit DispatchObject(IDispatch* d) : dispatch_(d) {}

    IDispatch* dispatch() const { return dispatch_.get(); }

    Value get(std::u16string_view name, const Args& args) override {
        return invoke(name, args, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    }
    Value call(std::u16string_view name, const Args& args) override {
        return invoke(name, args, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    }
    void put(std::u16string_view name, const Value& value) override {
        const std::vector<DISPID> ids = dispids({std::u16string(name)});
        Variant arg;
        toVariant(value, *arg.get(), dispatchBridge());
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{arg.get(), &named, 1, 1};
        // Office declares object properties (Picture, Mask) as plain
        // property puts; a put-by-reference is the fallback for those that
        // only take Set.
        Variant ignored;
        if (V_VT(arg.get()) == VT_DISPATCH) {
            ExcepInfo excep;
            const HRESULT hr =
                dispatch_->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                  &params, ignored.put(), excep.get(), nullptr);
            if (hr != DISP_E_MEMBERNOTFOUND) {
                if (FAILED(hr)) throwInvokeFailure(hr, excep, name);
                return;
            }
            rawInvoke(ids[0], DISPATCH_PROPERTYPUTREF, params, ignored, name);
            return;
        }
        rawInvoke(ids[0], DISPATCH_PROPERTYPUT, params, ignored, name);
    }

    std::vector<Value> items() override {
        Variant result;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        rawInvoke(DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, none, result,
                  u"_NewEnum");
        IUnknown* unknown = V_VT(result.get()) == VT_UNKNOWN    ? V_UNKNOWN(result.get())
                            : V_VT(result.get()) == VT_DISPATCH ? V_DISPATCH(result.get())
                                                                : nullptr;
        if (!unknown) fail(DISP_E_TYPEMISMATCH, u"Object is not a collection");
        ComPtr<IEnumVARIANT> e;
        const HRESULT qhr = unknown->QueryInterface(IID_IEnumVARIANT, e.putVoid());
        if (FAILED(qhr)) fail(qhr);
        std::vector<Value> out;
        for (;;) {
            Variant item;
            ULONG fetched = 0;
            const HRESULT hr = e->Next(1, item.put(), &fetched);
            if (FAILED(hr)) fail(hr);
            if (hr != S_OK || fetched == 0) break;
            out.push_back(fromVariant(*item.get(), dispatchBridge()));
        }
        return out;
    }

    std::u16string typeName() override {
        ComPtr<ITypeInfo> info = typeInfo();
        if (!info) return u"Object";
        Bstr name;
        if (FAILED(info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr)))
            return u"Object";
        std::u16string text = name.str();
        // The interface behind a class is "_Worksheet"; VB shows the class.
        if (!text.empty() && text[0] == u'_') text.erase(0, 1);
        return text;
    }

    ObjectRef queryInterface(const Guid& iid) override {
        ComPtr<IUnknown> unknown;
        const HRESULT hr = dispatch_->QueryInterface(torva::win::toGuid(iid), unknown.putVoid());
        if (FAILED(hr)) fail(hr);
        ComPtr<IDispatch> d = unknown.query<IDispatch>();
        if (!d) fail(E_NOINTERFACE, u"The interface does not support late binding");
        return wrapDispatch(d.get());
    }

    Subscription subscribe(const Guid& eventIid, EventHandler handler) override {
        const IID iid = torva::win::toGuid(eventIid);
        ComPtr<IConnectionPointContainer> container = dispatch_.query<IConnectionPointContainer>();
        if (!container) fail(E_NOINTERFACE, u"Object does not source events");
        ComPtr<IConnectionPoint> point;
        HRESULT hr = container->FindConnectionPoint(iid, point.put());
        if (FAILED(hr)) fail(hr);
        auto sink = ComPtr<IDispatch>::attach(new EventSink(iid, std::move(handler)));
        DWORD cookie = 0;
        hr = point->Advise(sink.get(), &cookie);
        if (FAILED(hr)) fail(hr);
        return Subscription([point, cookie] { point->Unadvise(cookie); });
    }

    bool sameObject(Object& other) override {
        auto* o = dynamic_cast<DispatchObject*>(&other);
        if (!o) return false;
        ComPtr<IUnknown> a, b;
        if (FAILED(dispatch_->QueryInterface(IID_IUnknown, a.putVoid())) ||
            FAILED(o->dispatch_->QueryInterface(IID_IUnknown, b.putVoid())))
            return false;
        return a.get() == b.get();
    }

  private:
    ComPtr<ITypeInfo> typeInfo() {
        ComPtr<ITypeInfo> info;
        UINT count = 0;
        if (SUCCEEDED(dispatch_->GetTypeInfoCount(&count)) && count > 0)
            dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put());
        return info;
    }

    // The object's type as the DISPID cache knows it: the type's GUID, or,
    // for an object without type information, this object alone. The texts
    // are kept once per type, since every cell of a sheet asks again.
    const std::u16string& typeKey() {
        if (typeKey_) return *typeKey_;
        static const std::u16string own(kOwnType);
        typeKey_ = &own;
        if (ComPtr<ITypeInfo> info = typeInfo()) {
            TYPEATTR* attr = nullptr;
            if (SUCCEEDED(info->GetTypeAttr(&attr)) && attr) {
                if (attr->guid != GUID_NULL) {
                    static std::map<GUID, std::u16string, GuidLess> keys;
                    auto it = keys.find(attr->guid);
                    if (it == keys.end()) it = keys.emplace(attr->guid, guidText(attr->guid)).first;
                    typeKey_ = &it->second;
                }
                info->ReleaseTypeAttr(attr);
            }
        }
        return *typeKey_;
    }

    // The entry stays where it is in the map, so callers may hold on to it.
    const std::vector<DISPID>& dispids(const std::vector<std::u16string>& names) {
        const std::u16string& type = typeKey();
        const bool shared = type != kOwnType;
        auto& cache = shared ? dispidCache() : ownCache_;
        // One key buffer for every lookup: a cell's Text costs no allocation.
        static thread_local std::u16string key;
        dispidCacheKey(key, type, names);
        if (auto it = cache.find(key); it != cache.end()) return it->second;

        std::vector<LPOLESTR> raw;
        for (const auto& n : names)
            raw.push_back(const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(n.c_str())));
        std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
        const HRESULT hr = dispatch_->GetIDsOfNames(
            IID_NULL, raw.data(), static_cast<UINT>(raw.size()), LOCALE_USER_DEFAULT, ids.data());
        if (FAILED(hr)) {
            std::u16string which = names[0];
            for (size_t i = 1; i < names.size(); ++i)
                if (ids[i] == DISPID_UNKNOWN) which += u" (argument " + names[i] + u")";
            fail(hr, hresultText(hr) + u": " + which);
        }
        return cache.emplace(key, std::move(ids)).first->second;
    }

    Value invoke(std::u16string_view name, const Args& args, WORD flags) {
        const DispatchLayout layout = layoutArgs(name, args);
        const std::vector<DISPID>& ids = dispids(layout.names);
        std::vector<Variant> slots(layout.slots.size());
        for (size_t i = 0; i < layout.slots.size(); ++i) {
            if (layout.slots[i].omitted)
                setMissing(*slots[i].get());
            else
                toVariant(args[layout.slots[i].arg].value, *slots[i].get(), dispatchBridge());
        }
        // Variant is layout-compatible with VARIANT, so the vector is rgvarg.
        static_assert(sizeof(Variant) == sizeof(VARIANT));
        // The named arguments' DISPIDs follow the member's in the cache entry.
        const UINT namedCount = static_cast<UINT>(ids.size() - 1);
        DISPPARAMS params{slots.empty() ? nullptr : slots[0].get(),
                          namedCount ? const_cast<DISPID*>(ids.data() + 1) : nullptr,
                          static_cast<UINT>(slots.size()), namedCount};
        Variant result;
        rawInvoke(ids[0], flags, params, result, name);
        return fromVariant(*result.get(), dispatchBridge());
    }

    void rawInvoke(DISPID id, WORD flags, DISPPARAMS& params, Variant& result,
                   std::u16string_view name) {
        ExcepInfo excep;
        UINT argErr = 0;
        const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                             result.put(), excep.get(), &argErr);
        if (FAILED(hr)) throwInvokeFailure(hr, excep, name);
    }

    [[noreturn]] static void throwInvokeFailure(HRESULT hr, ExcepInfo& excep,
                                                std::u16string_view name) {
        if (hr == DISP_E_EXCEPTION) {
            const HRESULT real = excep.hresult(hr);
            std::u16string text = excep.description();
            fail(real, text.empty() ? hresultText(real) : text);
        }
        fail(hr, hresultText(hr) + u": " + std::u16string(name));
    }

    // An object without type information keeps its DISPIDs to itself: its
    // address may later belong to an object of another kind.
    static constexpr std::u16string_view kOwnType = u"(own)";

    ComPtr<IDispatch> dispatch_;
    const std::u16string* typeKey_ = nullptr;
    std::map<std::u16string, std::vector<DISPID>> ownCache_;
};

}  // namespace

ObjectRef wrapDispatch(IDispatch* dispatch) {
    if (!dispatch) return nullptr;
    return std::make_shared<DispatchObject>(dispatch);
}

ComPtr<IDispatch> dispatchOf(const ObjectRef& object) {
    if (auto* d = dynamic_cast<DispatchObject*>(object.get()))
        return ComPtr<IDispatch>(d->dispatch());
    return nullptr;
}

const ObjectBridge& dispatchBridge() {
    static const ObjectBridge bridge{[](const ObjectRef& o) {
                                         ComPtr<IDispatch> d = dispatchOf(o);
                                         if (!d)
                                             throw Error(kDispETypeMismatch,
                                                         u"Object cannot be passed to Office");
                                         return d;
                                     },
                                     [](IDispatch* d) { return wrapDispatch(d); }};
    return bridge;
}

size_t dispidCacheSize() { return dispidCache().size(); }

}  // namespace torva::automation::win
