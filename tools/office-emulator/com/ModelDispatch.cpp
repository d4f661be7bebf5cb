// The adapter that shows one model object to the add-in as a real IDispatch
// object: QueryInterface, GetIDsOfNames and Invoke as a type library's
// dispinterface answers them, _NewEnum, IOleWindow and the connection points.

#include "ModelDispatch.h"

#include <map>
#include <memory>
#include <string>
#include <variant>

#include "ComFace.h"
#include "ModelEvents.h"
#include "ModelTypeInfo.h"
#include "base/Text.h"

namespace torva::model::com {

using automation::Arg;
using torva::win::fromGuid;

namespace {

// For Each over a snapshot of the collection's items.
class ModelEnum final : public IEnumVARIANT, public Counted {
  public:
    ModelEnum(std::shared_ptr<const std::vector<Value>> items, size_t at)
        : items_(std::move(items)), at_(at) {}
    TORVA_COUNTED_REFS
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IEnumVARIANT) return hand<IEnumVARIANT>(this, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        return guarded(nullptr, u"", [&]() -> HRESULT {
            ULONG n = 0;
            for (; n < count && at_ < items_->size(); ++n, ++at_) {
                VariantInit(&out[n]);
                putValue((*items_)[at_], out[n]);
            }
            if (fetched) *fetched = n;
            return n == count ? S_OK : S_FALSE;
        });
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const size_t left = items_->size() - at_;
        at_ += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        at_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        *out = new ModelEnum(items_, at_);
        return S_OK;
    }

  private:
    std::shared_ptr<const std::vector<Value>> items_;
    size_t at_;
};

class ModelDispatch;
std::map<Object*, ModelDispatch*>& adapters() {
    static std::map<Object*, ModelDispatch*> map;
    return map;
}
std::map<IDispatch*, ModelDispatch*>& adaptersByInterface() {
    static std::map<IDispatch*, ModelDispatch*> map;
    return map;
}

class ModelDispatch final : public IDispatch,
                            public IConnectionPointContainer,
                            public IOleWindow,
                            public Counted {
  public:
    explicit ModelDispatch(std::shared_ptr<Object> object) : object_(std::move(object)) {
        adapters()[object_.get()] = this;
        adaptersByInterface()[static_cast<IDispatch*>(this)] = this;
        if (object_->isOpenItem()) ++liveItemCount();
    }
    ~ModelDispatch() override {
        adapters().erase(object_.get());
        adaptersByInterface().erase(static_cast<IDispatch*>(this));
        if (object_->isOpenItem()) --liveItemCount();
    }
    const std::shared_ptr<Object>& object() const { return object_; }

    TORVA_COUNTED_REFS
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch) return hand<IDispatch>(this, out);
        if (riid == IID_IConnectionPointContainer && !object_->eventInterfaces().empty())
            return hand<IConnectionPointContainer>(this, out);
        if (riid == IID_IOleWindow && object_->hasWindow()) return hand<IOleWindow>(this, out);
        // The interfaces of the model are dispinterfaces or duals: late-bound
        // callers use them through this same IDispatch.
        if (object_->offers(fromGuid(riid))) return hand<IDispatch>(this, out);
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        *out = typeInfoOf(object_->typeName());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        ++comCounters().getIDsOfNames;
        if (!names || !ids || count == 0) return E_INVALIDARG;
        const std::u16string name = text(names[0]);
        const Object::Member* m = object_->findMember(name);
        bool allFound = true;
        if (m) {
            ids[0] = m->dispid;
        } else if (object_->enumerable() && equalsIgnoreCase(name, u"_NewEnum")) {
            ids[0] = DISPID_NEWENUM;
        } else {
            ids[0] = DISPID_UNKNOWN;
            allFound = false;
        }
        // Parameter names number 0..n-1 in declared order.
        for (UINT i = 1; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (!m) continue;
            const std::u16string p = text(names[i]);
            for (size_t k = 0; k < m->params.size(); ++k)
                if (equalsIgnoreCase(m->params[k], p)) ids[i] = static_cast<DISPID>(k);
            if (ids[i] == DISPID_UNKNOWN) allFound = false;
        }
        return allFound ? S_OK : DISP_E_UNKNOWNNAME;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        ++comCounters().invoke;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        if (!params) params = &none;
        if (result) VariantInit(result);
        return guarded(excep, object_->typeName(), [&]() -> HRESULT {
            if (params->cNamedArgs > params->cArgs) return E_INVALIDARG;
            if (dispid == DISPID_NEWENUM) {
                if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
                    return DISP_E_MEMBERNOTFOUND;
                if (params->cArgs) return DISP_E_BADPARAMCOUNT;
                if (!object_->enumerable()) return DISP_E_MEMBERNOTFOUND;
                if (const InjectedFault* f = record(u"_NewEnum"); f && !f->nothing) fault(*f);
                return newEnum(result);
            }
            const Object::Member* m = object_->findMember(static_cast<int32_t>(dispid));
            if (!m) return DISP_E_MEMBERNOTFOUND;
            // The kind of call must be one the member is declared for, as
            // a type library's dispinterface checks it.
            if (flags & DISPATCH_PROPERTYPUTREF) return DISP_E_MEMBERNOTFOUND;
            if (flags & DISPATCH_PROPERTYPUT) {
                if (!m->put) return DISP_E_MEMBERNOTFOUND;
                if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
                if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                    return DISP_E_PARAMNOTFOUND;
                const Value v = valueOf(params->rgvarg[0]);
                if (const InjectedFault* f = record(m->name); f && !f->nothing) fault(*f);
                m->put(v);
                return S_OK;
            }
            const WORD wanted = m->isMethod ? WORD{DISPATCH_METHOD} : WORD{DISPATCH_PROPERTYGET};
            if (!(flags & wanted)) return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs > m->params.size()) return DISP_E_BADPARAMCOUNT;
            // Arguments come last to first; named ones lead the array.
            automation::Args args;
            for (UINT k = params->cArgs; k-- > params->cNamedArgs;) {
                const VARIANT& v = params->rgvarg[k];
                args.push_back(isMissing(v) ? Arg::missing() : Arg(valueOf(v)));
            }
            for (UINT slot = 0; slot < params->cNamedArgs; ++slot) {
                const VARIANT& v = params->rgvarg[slot];
                const DISPID id = params->rgdispidNamedArgs[slot];
                if (id < 0 || static_cast<size_t>(id) >= m->params.size()) {
                    if (argErr) *argErr = slot;
                    return DISP_E_PARAMNOTFOUND;
                }
                if (!isMissing(v))
                    args.push_back(Arg::named(m->params[static_cast<size_t>(id)], valueOf(v)));
            }
            const size_t at = journal().calls.size();
            if (const InjectedFault* f = record(m->name)) {
                if (f->nothing) {
                    journal().calls[at].returnedObject = true;
                    if (result) {
                        V_VT(result) = VT_DISPATCH;
                        V_DISPATCH(result) = nullptr;
                    }
                    return S_OK;
                }
                fault(*f);
            }
            const Value value = object_->get(m->name, args);
            journal().calls[at].returnedObject = std::holds_alternative<ObjectRef>(value);
            if (result) putValue(value, *result);
            return S_OK;
        });
    }

    // IOleWindow, journaled and open to faults like a member: Outlook's
    // explorer answers it, undocumented, and its failure must be survivable.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        try {
            if (const InjectedFault* f = record(u"GetWindow")) return f->hresult;
            *out = reinterpret_cast<HWND>(object_->oleWindow());
            return S_OK;
        } catch (...) {
            return torva::win::caughtFailure().hr;
        }
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override {
        return findConnectionPoint(this, connections_, *object_, riid, out);
    }

  private:
    static bool isMissing(const VARIANT& v) {
        const VARIANT& d =
            V_VT(&v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&v) ? *V_VARIANTREF(&v) : v;
        return V_VT(&d) == VT_ERROR && V_ERROR(&d) == DISP_E_PARAMNOTFOUND;
    }

    // Notes the call; the fault that answers it, if any.
    const InjectedFault* record(const std::u16string& member) {
        return com::record(object_->typeName(), member);
    }

    static std::u16string text(const OLECHAR* s) {
        return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
    }

    HRESULT newEnum(VARIANT* result) {
        if (!object_->enumerable()) return DISP_E_MEMBERNOTFOUND;
        auto items = std::make_shared<const std::vector<Value>>(object_->items());
        if (!result) return S_OK;
        V_VT(result) = VT_UNKNOWN;
        V_UNKNOWN(result) = new ModelEnum(std::move(items), 0);
        return S_OK;
    }

    std::shared_ptr<Object> object_;
    Connections connections_{*object_};  // ends before object_
};

}  // namespace

ComPtr<IDispatch> dispatchFor(const std::shared_ptr<Object>& object) {
    if (!object) return nullptr;
    if (auto it = adapters().find(object.get()); it != adapters().end())
        return ComPtr<IDispatch>(it->second);
    return ComPtr<IDispatch>::attach(new ModelDispatch(object));
}

std::shared_ptr<Object> modelOf(IDispatch* dispatch) {
    auto it = adaptersByInterface().find(dispatch);
    return it == adaptersByInterface().end() ? nullptr : it->second->object();
}

bool hasAdapter(Object* object) { return adapters().count(object) != 0; }

size_t liveAdapters() { return adapters().size(); }

}  // namespace torva::model::com
