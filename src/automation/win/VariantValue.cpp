#include "automation/win/VariantValue.h"

namespace torva::automation::win {

using torva::win::Bstr;
using torva::win::Variant;

namespace {
[[noreturn]] void typeMismatch() { throw Error(kDispETypeMismatch, u"Type mismatch"); }

Value fromPlain(VARTYPE vt, const void* data, const ObjectBridge& bridge) {
    switch (vt) {
        case VT_EMPTY:
            return Empty{};
        case VT_NULL:
            return Null{};
        case VT_BOOL:
            return *static_cast<const VARIANT_BOOL*>(data) != VARIANT_FALSE;
        case VT_I1:
            return int32_t{*static_cast<const signed char*>(data)};
        case VT_UI1:
            return int32_t{*static_cast<const unsigned char*>(data)};
        case VT_I2:
            return int32_t{*static_cast<const short*>(data)};
        case VT_UI2:
            return int32_t{*static_cast<const unsigned short*>(data)};
        case VT_I4:
        case VT_INT:
            return int32_t{*static_cast<const LONG*>(data)};
        case VT_R4:
            return double{*static_cast<const float*>(data)};
        case VT_R8:
            return *static_cast<const double*>(data);
        case VT_DATE:
            return Date{*static_cast<const DATE*>(data)};
        case VT_BSTR: {
            BSTR b = *static_cast<const BSTR*>(data);
            return b ? torva::win::fromWide(b, SysStringLen(b)) : std::u16string();
        }
        case VT_DISPATCH: {
            IDispatch* d = *static_cast<IDispatch* const*>(data);
            return d ? bridge.fromDispatch(d) : ObjectRef();
        }
        case VT_UNKNOWN: {
            IUnknown* u = *static_cast<IUnknown* const*>(data);
            if (!u) return ObjectRef();
            ComPtr<IDispatch> d;
            if (FAILED(u->QueryInterface(IID_IDispatch, d.putVoid()))) typeMismatch();
            return bridge.fromDispatch(d.get());
        }
        default:
            return Empty{};  // marks "not plain": the caller converts
    }
}

bool isPlain(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_BOOL:
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_INT:
        case VT_R4:
        case VT_R8:
        case VT_DATE:
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return true;
        default:
            return false;
    }
}
}  // namespace

bool isMissing(const VARIANT& v) noexcept {
    return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND;
}

void setMissing(VARIANT& v) noexcept {
    V_VT(&v) = VT_ERROR;
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
}

void toVariant(const Value& value, VARIANT& out, const ObjectBridge& bridge) {
    std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, Empty>) {
                V_VT(&out) = VT_EMPTY;
            } else if constexpr (std::is_same_v<T, Null>) {
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
            } else if constexpr (std::is_same_v<T, Date>) {
                V_VT(&out) = VT_DATE;
                V_DATE(&out) = x.oleDate;
            } else if constexpr (std::is_same_v<T, std::u16string>) {
                V_BSTR(&out) = Bstr(x).detach();
                V_VT(&out) = VT_BSTR;
            } else {
                V_DISPATCH(&out) = x ? bridge.toDispatch(x).detach() : nullptr;
                V_VT(&out) = VT_DISPATCH;
            }
        },
        value);
}

Value fromVariant(const VARIANT& in, const ObjectBridge& bridge) {
    VARTYPE vt = V_VT(&in);
    if (vt == (VT_BYREF | VT_VARIANT)) return fromVariant(*V_VARIANTREF(&in), bridge);
    if (vt & VT_BYREF) {
        const VARTYPE base = vt & ~VT_BYREF;
        if (isPlain(base)) return fromPlain(base, V_BYREF(&in), bridge);
    } else if (isPlain(vt)) {
        return fromPlain(vt, &V_NONE(&in), bridge);
    }
    if (vt == VT_ERROR) return Empty{};
    // Currency, decimal and the wider integers: as VB's Double.
    Variant copy;
    if (FAILED(VariantChangeType(copy.get(), const_cast<VARIANT*>(&in), 0, VT_R8))) typeMismatch();
    return V_R8(copy.get());
}

void writeBack(const Value& value, VARIANT& byref, const ObjectBridge& bridge) {
    const VARTYPE vt = V_VT(&byref);
    if (!(vt & VT_BYREF)) return;
    switch (vt & ~VT_BYREF) {
        case VT_BOOL:
            *V_BOOLREF(&byref) = asBool(value) ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_I4:
            *V_I4REF(&byref) = asInt(value);
            break;
        case VT_R8:
            *V_R8REF(&byref) = asDouble(value);
            break;
        case VT_BSTR: {
            Bstr text(asString(value));
            SysFreeString(*V_BSTRREF(&byref));
            *V_BSTRREF(&byref) = text.detach();
            break;
        }
        case VT_VARIANT: {
            Variant fresh;
            toVariant(value, *fresh.get(), bridge);
            VariantClear(V_VARIANTREF(&byref));
            fresh.detachTo(V_VARIANTREF(&byref));
            break;
        }
        default:
            break;  // kinds that events here never hand back
    }
}

}  // namespace torva::automation::win
