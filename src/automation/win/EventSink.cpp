#include "automation/win/EventSink.h"

#include <ocidl.h>

#include <vector>

#include "automation/DispatchPacking.h"
#include "automation/win/DispatchObject.h"
#include "platform/win/ComBoundary.h"
#include "platform/win/ComObject.h"

namespace torva::automation::win {

using torva::win::ComObject;
using torva::win::ComPtr;

namespace {

// Receives one event interface's calls and hands them to the handler.
class EventSink final : public ComObject<EventSink, IDispatch> {
  public:
    EventSink(const IID& iid, EventHandler handler) : iid_(iid), handler_(std::move(handler)) {}

    void* interfaceFor(REFIID riid) noexcept {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid_)
            return static_cast<IDispatch*>(this);
        return nullptr;
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
        } catch (...) {
            return ::torva::win::invokeFailFromCaught(excep);
        }
    }

  private:
    IID iid_;
    EventHandler handler_;
};

[[noreturn]] void fail(HRESULT hr, std::u16string description) {
    throw Error(hr, std::move(description));
}

}  // namespace

Subscription subscribeEvents(IDispatch* source, const IID& iid, EventHandler handler) {
    ComPtr<IConnectionPointContainer> container =
        ComPtr<IDispatch>(source).query<IConnectionPointContainer>();
    if (!container) fail(E_NOINTERFACE, u"Object does not source events");
    ComPtr<IConnectionPoint> point;
    HRESULT hr = container->FindConnectionPoint(iid, point.put());
    if (FAILED(hr)) fail(hr, torva::win::hresultText(hr));
    ComPtr<IDispatch> sink;
    hr = EventSink::createInstance(IID_IDispatch, sink.putVoid(), iid, std::move(handler));
    if (FAILED(hr)) fail(hr, torva::win::hresultText(hr));
    DWORD cookie = 0;
    hr = point->Advise(sink.get(), &cookie);
    if (FAILED(hr)) fail(hr, torva::win::hresultText(hr));
    return Subscription([point, cookie] { point->Unadvise(cookie); });
}

}  // namespace torva::automation::win
