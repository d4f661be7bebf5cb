// Connection points of the model's adapters, and the calls of the add-in's
// sinks for each model event.

#include "ModelEvents.h"

#include <olectl.h>

#include <vector>

#include "ComFace.h"

namespace torva::model::com {

using torva::win::fromGuid;
using torva::win::toGuid;
using torva::win::Variant;

namespace {

// Calls a sink's Invoke for one model event: arguments reversed, objects by
// value, everything else by reference so that the sink can answer through
// it (CancelDefault), as VB's ByRef event parameters do.
void fireInto(IDispatch* sink, int32_t dispid, std::vector<Value>& args) {
    const size_t n = args.size();
    std::vector<Variant> storage(n);
    std::vector<VARIANT> rgvarg(n);
    for (size_t i = 0; i < n; ++i) {
        VARIANT& slot = rgvarg[n - 1 - i];
        VariantInit(&slot);
        VARIANT& value = *storage[i].get();
        putValue(args[i], value);
        if (V_VT(&value) == VT_DISPATCH) {
            V_VT(&slot) = VT_DISPATCH;
            V_DISPATCH(&slot) = V_DISPATCH(&value);  // borrowed from storage
        } else if (V_VT(&value) == VT_EMPTY || V_VT(&value) == VT_NULL) {
            V_VT(&slot) = VT_VARIANT | VT_BYREF;
            V_VARIANTREF(&slot) = &value;
        } else {
            V_VT(&slot) = V_VT(&value) | VT_BYREF;
            V_BYREF(&slot) = &V_NONE(&value);
        }
    }
    DISPPARAMS params{n ? rgvarg.data() : nullptr, nullptr, static_cast<UINT>(n), 0};
    torva::win::ExcepInfo excep;
    Variant result;
    UINT argErr = 0;
    const HRESULT hr = sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                    result.get(), excep.get(), &argErr);
    journal().lastEventReturn = hr;
    if (FAILED(hr)) {
        // EXCEPINFO means something only when the sink said DISP_E_EXCEPTION.
        if (hr != DISP_E_EXCEPTION) throw automation::Error(hr, torva::win::hresultText(hr));
        const HRESULT real = excep.hresult(hr);
        std::u16string text = excep.description();
        throw automation::Error(real, text.empty() ? torva::win::hresultText(real) : text);
    }
    for (size_t i = 0; i < n; ++i)
        if (V_VT(storage[i].get()) != VT_DISPATCH) args[i] = valueOf(*storage[i].get());
}

class ModelConnectionPoint final : public IConnectionPoint, public Counted {
  public:
    ModelConnectionPoint(IConnectionPointContainer* owner, Connections& connections, const IID& iid)
        : owner_(owner), connections_(connections), iid_(iid) {
        owner_->AddRef();
    }
    ~ModelConnectionPoint() override { owner_->Release(); }
    TORVA_COUNTED_REFS
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IConnectionPoint)
            return hand<IConnectionPoint>(this, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* out) override {
        if (!out) return E_POINTER;
        *out = iid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** out) override {
        if (!out) return E_POINTER;
        return hand<IConnectionPointContainer>(owner_, reinterpret_cast<void**>(out));
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        return connections_.advise(iid_, sink, cookie);
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        return connections_.unadvise(cookie);
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

  private:
    IConnectionPointContainer* owner_;  // one counted reference, taken in the constructor
    Connections& connections_;          // the owner's, alive while owner_ is
    IID iid_;
};

}  // namespace

HRESULT Connections::advise(const IID& iid, IUnknown* sink, DWORD* cookie) noexcept {
    return guarded(nullptr, u"", [&]() -> HRESULT {
        if (!sink || !cookie) return E_POINTER;
        ComPtr<IDispatch> target;
        if (FAILED(sink->QueryInterface(iid, target.putVoid())) &&
            FAILED(sink->QueryInterface(IID_IDispatch, target.putVoid())))
            return CONNECT_E_CANNOTCONNECT;
        auto subscription =
            source_.subscribe(fromGuid(iid), [target](int32_t dispid, std::vector<Value>& args) {
                fireInto(target.get(), dispid, args);
            });
        *cookie = nextCookie_++;
        connections_.emplace(*cookie, std::move(subscription));
        return S_OK;
    });
}

HRESULT Connections::unadvise(DWORD cookie) noexcept {
    auto it = connections_.find(cookie);
    if (it == connections_.end()) return CONNECT_E_NOCONNECTION;
    auto subscription = std::move(it->second);
    connections_.erase(it);
    return S_OK;  // the subscription ends here, releasing the sink
}

HRESULT findConnectionPoint(IConnectionPointContainer* container, Connections& connections,
                            const Object& source, REFIID riid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const auto& g : source.eventInterfaces())
        if (toGuid(g) == riid) {
            *out = new ModelConnectionPoint(container, connections, riid);
            return S_OK;
        }
    return CONNECT_E_NOCONNECTION;
}

}  // namespace torva::model::com
