#include "automation/win/DispatchObject.h"

#include <ocidl.h>
#include <oleidl.h>

#include <algorithm>
#include <array>
#include <memory>
#include <span>
#include <vector>

#include "automation/DispatchPacking.h"
#include "automation/win/DispidCache.h"
#include "automation/win/EventSink.h"
#include "base/Text.h"

namespace torva::automation::win {

using torva::win::Bstr;
using torva::win::ExcepInfo;
using torva::win::hresultText;
using torva::win::Variant;

namespace {

[[noreturn]] void fail(HRESULT hr, std::u16string description = {}) {
    if (description.empty()) description = hresultText(hr);
    throw Error(hr, std::move(description));
}

class DispatchObject final : public Object {
  public:
    explicit DispatchObject(IDispatch* d) : dispatch_(d) { wrapperCreated(); }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;
    ~DispatchObject() override { wrapperGone(); }

    IDispatch* dispatch() const { return dispatch_.get(); }

    Value get(std::u16string_view name, const Args& args) override {
        return invoke(name, args, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    }
    Value call(std::u16string_view name, const Args& args) override {
        return invoke(name, args, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    }
    void appendText(std::u16string_view name, std::u16string& out) override {
        Variant result;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        rawInvoke(memberId(name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, none, result, name);
        const VARIANT& v = *result.get();
        if (V_VT(&v) == VT_BSTR) {  // the common case, copied once, straight from the BSTR
            if (const BSTR b = V_BSTR(&v))
                out.append(reinterpret_cast<const char16_t*>(b), SysStringLen(b));
            return;
        }
        out += asString(fromVariant(v, dispatchBridge()));
    }
    void put(std::u16string_view name, const Value& value) override {
        const DISPID id = memberId(name);
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
                dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                                  ignored.put(), excep.get(), nullptr);
            if (hr != DISP_E_MEMBERNOTFOUND) {
                if (FAILED(hr)) throwInvokeFailure(hr, excep, name);
                return;
            }
            rawInvoke(id, DISPATCH_PROPERTYPUTREF, params, ignored, name);
            return;
        }
        rawInvoke(id, DISPATCH_PROPERTYPUT, params, ignored, name);
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

    intptr_t oleWindow() override {
        ComPtr<IOleWindow> window;
        HRESULT hr = dispatch_->QueryInterface(IID_IOleWindow, window.putVoid());
        if (FAILED(hr)) fail(hr);
        if (!window) fail(E_NOINTERFACE);
        HWND handle = nullptr;
        hr = window->GetWindow(&handle);
        if (FAILED(hr)) fail(hr);
        return reinterpret_cast<intptr_t>(handle);
    }

    Subscription subscribe(const Guid& eventIid, EventHandler handler) override {
        return subscribeEvents(dispatch_.get(), torva::win::toGuid(eventIid), std::move(handler));
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

    // The DISPID table of the object's type: the one of the type's GUID, or,
    // for an object without type information, this object's own.
    TypeTable& table() {
        if (table_) return *table_;
        table_ = sharedTypeTable(typeInfo().get());
        if (!table_) {
            own_ = std::make_unique<TypeTable>();
            table_ = own_.get();
        }
        return *table_;
    }

    // GetIDsOfNames for the member (names[0]) and its named arguments.
    std::vector<DISPID> askIds(const std::u16string_view* names, size_t count) {
        std::vector<std::u16string> texts(names, names + count);  // terminated
        std::vector<LPOLESTR> raw;
        for (const auto& n : texts)
            raw.push_back(const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(n.c_str())));
        std::vector<DISPID> ids(count, DISPID_UNKNOWN);
        const HRESULT hr = dispatch_->GetIDsOfNames(
            IID_NULL, raw.data(), static_cast<UINT>(raw.size()), LOCALE_USER_DEFAULT, ids.data());
        if (FAILED(hr)) {
            std::u16string which = texts[0];
            for (size_t i = 1; i < count; ++i)
                if (ids[i] == DISPID_UNKNOWN) which += u" (argument " + texts[i] + u")";
            fail(hr, hresultText(hr) + u": " + which);
        }
        return ids;
    }

    DISPID memberId(std::u16string_view name) {
        TypeTable& t = table();
        TypeTable::Spelling& spelling = t.spellingSlot(name);
        if (spelling.at && spelling.at == name.data() && spelling.text == name) return spelling.id;
        DISPID id = DISPID_UNKNOWN;
        if (auto it = t.members.find(name); it != t.members.end()) {
            id = it->second;
        } else {
            id = askIds(&name, 1)[0];
            std::u16string key(name);
            for (char16_t& c : key) c = asciiLower(c);
            t.members.emplace(std::move(key), id);
        }
        spelling.at = name.data();
        spelling.text.assign(name);
        spelling.id = id;
        return id;
    }

    // The member's DISPID, then its named arguments' in the order of names.
    const std::vector<DISPID>& dispids(const std::vector<std::u16string>& names) {
        auto& cache = table().withNamedArgs;
        std::u16string key;
        dispidCacheKey(key, {}, names);
        if (auto it = cache.find(key); it != cache.end()) return it->second;
        const std::vector<std::u16string_view> views(names.begin(), names.end());
        return cache.emplace(std::move(key), askIds(views.data(), views.size())).first->second;
    }

    Value invoke(std::u16string_view name, const Args& args, WORD flags) {
        Variant result;
        if (args.empty()) {  // a property read: no layout to work out
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            rawInvoke(memberId(name), flags, none, result, name);
            return fromVariant(*result.get(), dispatchBridge());
        }
        if (std::none_of(args.begin(), args.end(), [](const Arg& a) { return !a.name.empty(); }))
            return invokePositional(name, args, flags, result);
        const DispatchLayout layout = layoutArgs(name, args);
        // Named arguments that are all left out leave the member alone.
        DISPID single = DISPID_UNKNOWN;
        std::span<const DISPID> ids(&single, 1);
        if (layout.names.size() == 1)
            single = memberId(name);
        else
            ids = dispids(layout.names);
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
        rawInvoke(ids[0], flags, params, result, name);
        return fromVariant(*result.get(), dispatchBridge());
    }

    // Item(k) of every contact: in rgvarg the arguments stand in reverse
    // order, a left-out one keeping its slot; a few of them need no heap.
    Value invokePositional(std::u16string_view name, const Args& args, WORD flags,
                           Variant& result) {
        const DISPID member = memberId(name);
        std::array<Variant, 4> few;
        std::vector<Variant> many;
        Variant* slots = few.data();
        if (args.size() > few.size()) {
            many.resize(args.size());
            slots = many.data();
        }
        for (size_t i = 0; i < args.size(); ++i) {
            Variant& slot = slots[positionalSlot(args.size(), i)];
            if (args[i].omitted)
                setMissing(*slot.get());
            else
                toVariant(args[i].value, *slot.get(), dispatchBridge());
        }
        static_assert(sizeof(Variant) == sizeof(VARIANT));
        DISPPARAMS params{slots[0].get(), nullptr, static_cast<UINT>(args.size()), 0};
        rawInvoke(member, flags, params, result, name);
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

    ComPtr<IDispatch> dispatch_;
    TypeTable* table_ = nullptr;
    // An object without type information keeps its DISPIDs to itself: its
    // address may later belong to an object of another kind.
    std::unique_ptr<TypeTable> own_;
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

}  // namespace torva::automation::win
