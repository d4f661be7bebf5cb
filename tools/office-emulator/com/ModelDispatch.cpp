#include "ModelDispatch.h"

#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <variant>

#include "base/Text.h"
#include "platform/win/ComBoundary.h"

namespace torva::model::com {

using automation::Arg;
using torva::win::Bstr;
using torva::win::fromGuid;
using torva::win::toGuid;
using torva::win::Variant;

ComCounters& comCounters() {
    static ComCounters c;
    return c;
}

RunJournal& journal() {
    static RunJournal j;
    return j;
}

namespace {
long& liveItemCount() {
    static long n = 0;
    return n;
}

// What Exchange answers in online mode past its limit of open items.
constexpr int32_t kMapiTooBig = static_cast<int32_t>(0x80040305);
constexpr char16_t kTooManyItems[] =
    u"Your server administrator has limited the number of items you can open "
    u"simultaneously. Try closing messages you have opened or removing attachments and "
    u"images from unsent messages you are composing.";

// Codes the type information itself answers with: they come back as they
// are, without EXCEPINFO, as from a real dispinterface.
bool isDispatchCode(HRESULT hr) { return (static_cast<uint32_t>(hr) & 0xFFFF0000u) == 0x80020000u; }

std::u16string lowerCase(std::u16string s) {
    for (auto& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return s;
}
}  // namespace

long liveItems() { return liveItemCount(); }

namespace {

// The one refcount of the emulator's COM objects: every reference is counted
// process-wide so that a leak shows in the report.
class Counted {
  public:
    Counted() { ++comCounters().outstandingReferences; }
    virtual ~Counted() = default;
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

  protected:
    ULONG addRef() noexcept {
        ++comCounters().outstandingReferences;
        return ++refs_;
    }
    ULONG release() noexcept {
        --comCounters().outstandingReferences;
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

  private:
    ULONG refs_ = 1;
};

#define TORVA_COUNTED_REFS                                         \
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); } \
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

template <class I>
HRESULT hand(I* self, void** out) {
    *out = self;
    self->AddRef();
    return S_OK;
}

// A fault a scenario injects: it comes through DISP_E_EXCEPTION, whatever its code.
class InjectedFailure : public automation::Error {
  public:
    using automation::Error::Error;
};

bool injectedBeingHandled() noexcept {
    try {
        throw;
    } catch (const InjectedFailure&) {
        return true;
    } catch (...) {
        return false;
    }
}

// As Office's servers answer: a dispatch code of their own (an unknown
// member, a wrong argument count) comes back bare, any other failure, and
// every injected one, through EXCEPINFO.
template <class F>
HRESULT guarded(EXCEPINFO* excep, std::u16string_view source, F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        const torva::win::CaughtFailure f = torva::win::caughtFailure();
        if (isDispatchCode(f.hr) && !injectedBeingHandled()) return f.hr;
        return torva::win::invokeFail(f, excep, source);
    }
}

// Type information just deep enough for TypeName and the caller's DISPID
// cache: the name, and a GUID that is the same for every object of the type.
// Like a loaded type library's, there is one per type for the life of the
// process, so it is not counted as a reference the add-in could leak.
class ModelTypeInfo final : public ITypeInfo {
  public:
    static ModelTypeInfo& of(const std::u16string& name) {
        static std::map<std::u16string, std::unique_ptr<ModelTypeInfo>> types;
        auto& slot = types[name];
        if (!slot) slot.reset(new ModelTypeInfo(name));
        return *slot;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

  private:
    explicit ModelTypeInfo(std::u16string name) : name_(std::move(name)) {
        // FNV-1a of the name: stable across objects and runs.
        uint64_t h = 1469598103934665603ull;
        for (char16_t c : name_) h = (h ^ c) * 1099511628211ull;
        guid_.Data1 = static_cast<uint32_t>(h >> 32);
        guid_.Data2 = static_cast<uint16_t>(h >> 16);
        guid_.Data3 = static_cast<uint16_t>(h);
        const uint8_t tail[8] = {0x8D, 0x4E, 0x54, 0x6F, 0x72, 0x76, 0x61, 0x00};
        for (int i = 0; i < 8; ++i) guid_.Data4[i] = tail[i];
    }

  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ITypeInfo) return hand<ITypeInfo>(this, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** out) override {
        if (!out) return E_POINTER;
        auto* attr = static_cast<TYPEATTR*>(CoTaskMemAlloc(sizeof(TYPEATTR)));
        if (!attr) return E_OUTOFMEMORY;
        *attr = TYPEATTR{};
        attr->guid = guid_;
        attr->memidConstructor = MEMBERID_NIL;
        attr->memidDestructor = MEMBERID_NIL;
        attr->typekind = TKIND_DISPATCH;
        attr->cbSizeVft = sizeof(void*) * 7;
        *out = attr;
        return S_OK;
    }
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* attr) override { CoTaskMemFree(attr); }
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* ctx,
                                               BSTR* helpFile) override {
        if (id != MEMBERID_NIL) return TYPE_E_ELEMENTNOTFOUND;
        if (name)
            *name = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(name_.data()),
                                      static_cast<UINT>(name_.size()));
        if (doc) *doc = nullptr;
        if (ctx) *ctx = 0;
        if (helpFile) *helpFile = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** out) override { return none(out); }
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT, FUNCDESC** out) override { return none(out); }
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT, VARDESC** out) override { return none(out); }
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID, BSTR*, UINT, UINT* n) override {
        if (n) *n = 0;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT, HREFTYPE*) override {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT, INT*) override {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR*, UINT, MEMBERID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE, ITypeInfo** out) override {
        return none(out);
    }
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, PVOID* out) override {
        return none(out);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, PVOID* out) override {
        return none(out);
    }
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR* out) override { return none(out); }
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** out, UINT* index) override {
        if (index) *index = 0;
        return none(out);
    }
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC*) override {}
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC*) override {}

  private:
    template <class T>
    static HRESULT none(T** out) {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    std::u16string name_;
    GUID guid_{};
};

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
        *out = &ModelTypeInfo::of(object_->typeName());
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
                if (const InjectedFault* f = record(u"_NewEnum", false); f && !f->nothing)
                    fault(*f);
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
                if (const InjectedFault* f = record(m->name, false); f && !f->nothing) fault(*f);
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
            if (const InjectedFault* f = record(m->name, false)) {
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
            if (const InjectedFault* f = record(u"GetWindow", false)) return f->hresult;
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
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

    // What the connection points do, kept here: a connection lives as long
    // as the adapter, as with Office, where events stop once nobody holds
    // the source object.
    HRESULT advise(const IID& iid, IUnknown* sink, DWORD* cookie) noexcept {
        return guarded(nullptr, u"", [&]() -> HRESULT {
            if (!sink || !cookie) return E_POINTER;
            ComPtr<IDispatch> target;
            if (FAILED(sink->QueryInterface(iid, target.putVoid())) &&
                FAILED(sink->QueryInterface(IID_IDispatch, target.putVoid())))
                return CONNECT_E_CANNOTCONNECT;
            auto subscription = object_->subscribe(
                fromGuid(iid), [target](int32_t dispid, std::vector<Value>& args) {
                    fireInto(target.get(), dispid, args);
                });
            *cookie = nextCookie_++;
            connections_.emplace(*cookie, std::move(subscription));
            return S_OK;
        });
    }
    HRESULT unadvise(DWORD cookie) noexcept {
        auto it = connections_.find(cookie);
        if (it == connections_.end()) return CONNECT_E_NOCONNECTION;
        auto subscription = std::move(it->second);
        connections_.erase(it);
        return S_OK;  // the subscription ends here, releasing the sink
    }

  private:
    static bool isMissing(const VARIANT& v) {
        const VARIANT& d =
            V_VT(&v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&v) ? *V_VARIANTREF(&v) : v;
        return V_VT(&d) == VT_ERROR && V_ERROR(&d) == DISP_E_PARAMNOTFOUND;
    }

    // Notes the call; the fault that answers it, if any.
    const InjectedFault* record(const std::u16string& member, bool returnsObject) {
        RunJournal& j = journal();
        const long n = ++j.perMember[lowerCase(member)];
        j.calls.push_back(
            CallRecord{object_->typeName(), member, n, returnsObject, false, j.phase});
        for (const auto& f : j.faults)
            if (f.occurrence == n && equalsIgnoreCase(f.member, member)) {
                j.calls.back().faulted = true;
                return &f;
            }
        return nullptr;
    }
    [[noreturn]] static void fault(const InjectedFault& f) {
        throw InjectedFailure(f.hresult, f.description);
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
    std::map<DWORD, automation::Subscription> connections_;
    DWORD nextCookie_ = 1;
};

class ModelConnectionPoint final : public IConnectionPoint, public Counted {
  public:
    ModelConnectionPoint(ModelDispatch* owner, const IID& iid) : owner_(owner), iid_(iid) {
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
        return owner_->advise(iid_, sink, cookie);
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override { return owner_->unadvise(cookie); }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

  private:
    ModelDispatch* owner_;  // one counted reference, taken in the constructor
    IID iid_;
};

HRESULT ModelDispatch::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const auto sourced = object_->eventInterfaces();
    for (const auto& g : sourced)
        if (toGuid(g) == riid) {
            *out = new ModelConnectionPoint(this, riid);
            return S_OK;
        }
    return CONNECT_E_NOCONNECTION;
}

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

namespace {
[[noreturn]] void mismatch(VARTYPE vt) {
    throw automation::Error(
        automation::kDispETypeMismatch,
        u"Type mismatch (VARIANT type " + torva::fromUtf8(std::to_string(vt)) + u")");
}

// A COM object that is not one of the model's, as the add-in published it
// (COMAddIn.Object): the emulator never calls into it, it only keeps it.
class ForeignObject final : public automation::Object {
  public:
    explicit ForeignObject(IDispatch* d) : dispatch_(d) {}
    IDispatch* dispatch() const { return dispatch_.get(); }
    Value get(std::u16string_view, const automation::Args&) override { refuse(); }
    void put(std::u16string_view, const Value&) override { refuse(); }
    Value call(std::u16string_view, const automation::Args&) override { refuse(); }
    std::vector<Value> items() override { refuse(); }
    void appendText(std::u16string_view, std::u16string&) override { refuse(); }
    std::u16string typeName() override { return u"Object"; }
    ObjectRef queryInterface(const automation::Guid&) override { refuse(); }
    automation::Subscription subscribe(const automation::Guid&, automation::EventHandler) override {
        refuse();
    }
    bool sameObject(automation::Object& other) override {
        auto* o = dynamic_cast<ForeignObject*>(&other);
        return o && identity(o->dispatch()) == identity(dispatch());
    }

  private:
    [[noreturn]] static void refuse() {
        throw automation::Error(E_NOTIMPL, u"The emulator does not call the add-in's objects");
    }
    static IUnknown* identity(IDispatch* d) {
        ComPtr<IUnknown> u;
        if (!d || FAILED(d->QueryInterface(IID_IUnknown, u.putVoid()))) return nullptr;
        return u.get();  // the identity outlives this reference: the caller holds d
    }
    ComPtr<IDispatch> dispatch_;
};

Value objectOf(IDispatch* d) {
    if (!d) return Value{ObjectRef{}};
    if (auto model = modelOf(d)) return Value{ObjectRef(model)};
    return Value{ObjectRef(std::make_shared<ForeignObject>(d))};
}
}  // namespace

Value valueOf(const VARIANT& v) {
    const VARTYPE vt = V_VT(&v);
    if (vt == (VT_VARIANT | VT_BYREF)) {
        if (!V_VARIANTREF(&v)) mismatch(vt);
        return valueOf(*V_VARIANTREF(&v));
    }
    const bool ref = (vt & VT_BYREF) != 0;
    if (ref && !V_BYREF(&v)) mismatch(vt);
    switch (vt & ~VT_BYREF) {
        case VT_EMPTY:
            if (ref) mismatch(vt);
            return Value{automation::Empty{}};
        case VT_NULL:
            if (ref) mismatch(vt);
            return Value{automation::Null{}};
        case VT_I2:
            return Value{static_cast<int32_t>(ref ? *V_I2REF(&v) : V_I2(&v))};
        case VT_I4:
            return Value{static_cast<int32_t>(ref ? *V_I4REF(&v) : V_I4(&v))};
        case VT_INT:
            return Value{static_cast<int32_t>(ref ? *V_INTREF(&v) : V_INT(&v))};
        case VT_UI1:
            return Value{static_cast<int32_t>(ref ? *V_UI1REF(&v) : V_UI1(&v))};
        case VT_R4:
            return Value{static_cast<double>(ref ? *V_R4REF(&v) : V_R4(&v))};
        case VT_R8:
            return Value{ref ? *V_R8REF(&v) : V_R8(&v)};
        case VT_CY: {
            const CY cy = ref ? *V_CYREF(&v) : V_CY(&v);
            return Value{static_cast<double>(cy.int64) / 10000.0};
        }
        case VT_DATE:
            return Value{automation::Date{ref ? *V_DATEREF(&v) : V_DATE(&v)}};
        case VT_BOOL:
            return Value{(ref ? *V_BOOLREF(&v) : V_BOOL(&v)) != VARIANT_FALSE};
        case VT_BSTR: {
            BSTR b = ref ? *V_BSTRREF(&v) : V_BSTR(&v);
            return Value{b ? std::u16string(reinterpret_cast<const char16_t*>(b), SysStringLen(b))
                           : std::u16string()};
        }
        case VT_DISPATCH:
            return objectOf(ref ? *V_DISPATCHREF(&v) : V_DISPATCH(&v));
        case VT_UNKNOWN: {
            IUnknown* u = ref ? *V_UNKNOWNREF(&v) : V_UNKNOWN(&v);
            if (!u) return Value{ObjectRef{}};
            ComPtr<IDispatch> d;
            if (FAILED(u->QueryInterface(IID_IDispatch, d.putVoid()))) mismatch(vt);
            return objectOf(d.get());
        }
        default:
            mismatch(vt);
    }
}

void putValue(const Value& value, VARIANT& out) {
    std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, automation::Empty>) {
                V_VT(&out) = VT_EMPTY;
            } else if constexpr (std::is_same_v<T, automation::Null>) {
                V_VT(&out) = VT_NULL;
            } else if constexpr (std::is_same_v<T, bool>) {
                V_VT(&out) = VT_BOOL;
                V_BOOL(&out) = x ? VARIANT_TRUE : VARIANT_FALSE;
            } else if constexpr (std::is_same_v<T, int32_t>) {
                V_VT(&out) = VT_I4;
                V_I4(&out) = x;
            } else if constexpr (std::is_same_v<T, double>) {
                V_VT(&out) = VT_R8;
                V_R8(&out) = x;
            } else if constexpr (std::is_same_v<T, automation::Date>) {
                V_VT(&out) = VT_DATE;
                V_DATE(&out) = x.oleDate;
            } else if constexpr (std::is_same_v<T, std::u16string>) {
                BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(x.data()),
                                           static_cast<UINT>(x.size()));
                if (!b) throw automation::Error(E_OUTOFMEMORY, u"Out of memory");
                V_VT(&out) = VT_BSTR;
                V_BSTR(&out) = b;
            } else {
                IDispatch* d = nullptr;
                if (!x) {
                } else if (auto model = std::dynamic_pointer_cast<Object>(x)) {
                    const long limit = journal().openItemLimit;
                    if (limit > 0 && model->isOpenItem() && !adapters().count(model.get()) &&
                        liveItemCount() >= limit)
                        throw automation::Error(kMapiTooBig, kTooManyItems);
                    d = dispatchFor(model).detach();
                } else if (auto* foreign = dynamic_cast<ForeignObject*>(x.get())) {
                    d = foreign->dispatch();
                    d->AddRef();
                } else {
                    throw automation::Error(automation::kDispETypeMismatch,
                                            u"Object cannot be shown to COM");
                }
                V_VT(&out) = VT_DISPATCH;
                V_DISPATCH(&out) = d;
            }
        },
        value);
}

size_t liveAdapters() { return adapters().size(); }

}  // namespace torva::model::com
