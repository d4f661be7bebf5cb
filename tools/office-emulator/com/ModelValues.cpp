// Values between the model and COM, decoded by the emulator's own code.

#include <type_traits>

#include "ComFace.h"
#include "base/Text.h"

namespace torva::model::com {

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

// Each kind of value into an empty VARIANT; model objects as their adapters.
struct IntoVariant {
    VARIANT& out;

    void operator()(automation::Empty) const { V_VT(&out) = VT_EMPTY; }
    void operator()(automation::Null) const { V_VT(&out) = VT_NULL; }
    void operator()(bool b) const {
        V_BOOL(&out) = b ? VARIANT_TRUE : VARIANT_FALSE;
        V_VT(&out) = VT_BOOL;
    }
    void operator()(int32_t n) const {
        V_I4(&out) = n;
        V_VT(&out) = VT_I4;
    }
    void operator()(double d) const {
        V_R8(&out) = d;
        V_VT(&out) = VT_R8;
    }
    void operator()(automation::Date d) const {
        V_DATE(&out) = d.oleDate;
        V_VT(&out) = VT_DATE;
    }
    void operator()(const std::u16string& s) const {
        BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()),
                                   static_cast<UINT>(s.size()));
        if (!b) throw automation::Error(E_OUTOFMEMORY, u"Out of memory");
        V_BSTR(&out) = b;
        V_VT(&out) = VT_BSTR;
    }
    void operator()(const ObjectRef& o) const {
        V_DISPATCH(&out) = o ? dispatchOf(o) : nullptr;
        V_VT(&out) = VT_DISPATCH;
    }

    // A model object's adapter, within the run's limit of open items, or the
    // foreign object as it came; AddRef'd.
    static IDispatch* dispatchOf(const ObjectRef& o) {
        if (auto model = std::dynamic_pointer_cast<Object>(o)) {
            if (model->isOpenItem() && !hasAdapter(model.get())) checkOpenItemLimit();
            return dispatchFor(model).detach();
        }
        if (auto* foreign = dynamic_cast<ForeignObject*>(o.get())) {
            foreign->dispatch()->AddRef();
            return foreign->dispatch();
        }
        throw automation::Error(automation::kDispETypeMismatch, u"Object cannot be shown to COM");
    }
};
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

void putValue(const Value& value, VARIANT& out) { std::visit(IntoVariant{out}, value); }

}  // namespace torva::model::com
