#include "RibbonDispatch.h"

#include <initializer_list>
#include <vector>

#include "ModelDispatch.h"

namespace torva::model::com {

namespace {
using win::ComPtr;

// Forwards IDispatch to the model object's adapter and implements the
// vtable slots by Invoke on that adapter, so both ways are the same call.
// One template for both interfaces: the slots a face does not declare are
// plain members nobody can reach.
template <class Face>
class DualFace final : public Face {
  public:
    DualFace(const std::shared_ptr<Object>& object, const GUID& iid)
        : inner_(dispatchFor(object)), iid_(iid) {
        ++comCounters().outstandingReferences;
    }
    DualFace(const DualFace&) = delete;
    DualFace& operator=(const DualFace&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override {
        ++comCounters().outstandingReferences;
        return ++refs_;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        --comCounters().outstandingReferences;
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != iid_) return E_NOINTERFACE;
        *out = static_cast<Face*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        return inner_->GetTypeInfoCount(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** out) override {
        return inner_->GetTypeInfo(i, lcid, out);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT n, LCID lcid,
                                            DISPID* ids) override {
        return inner_->GetIDsOfNames(riid, names, n, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                     UINT* argErr) override {
        return inner_->Invoke(id, riid, lcid, flags, params, result, excep, argErr);
    }

    // IRibbonControl
    HRESULT STDMETHODCALLTYPE get_Id(BSTR* out) { return text(1, out); }
    HRESULT STDMETHODCALLTYPE get_Context(IDispatch** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        win::Variant v;
        const HRESULT hr = call(2, DISPATCH_PROPERTYGET, {}, v.get());
        if (FAILED(hr)) return hr;
        if (V_VT(v.get()) != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
        *out = V_DISPATCH(v.get());
        if (*out) (*out)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Tag(BSTR* out) { return text(3, out); }

    // IRibbonUI
    HRESULT STDMETHODCALLTYPE Invalidate() { return call(1, DISPATCH_METHOD, {}, nullptr); }
    HRESULT STDMETHODCALLTYPE InvalidateControl(BSTR id) { return withText(2, id); }
    HRESULT STDMETHODCALLTYPE InvalidateControlMso(BSTR id) { return withText(3, id); }
    HRESULT STDMETHODCALLTYPE ActivateTab(BSTR id) { return withText(4, id); }
    HRESULT STDMETHODCALLTYPE ActivateTabMso(BSTR id) { return withText(5, id); }
    HRESULT STDMETHODCALLTYPE ActivateTabQ(BSTR id, BSTR ns) {
        return call(6, DISPATCH_METHOD, {id, ns}, nullptr);
    }

  private:
    ~DualFace() = default;

    // A vtable call as Invoke; a failure sets the error object, as a dual's
    // vtable does, and returns the failure's own code.
    HRESULT call(DISPID id, WORD flags, std::initializer_list<BSTR> texts, VARIANT* result) {
        std::vector<VARIANT> args(texts.size());
        size_t k = texts.size();
        for (BSTR t : texts) {  // arguments go in last to first
            VariantInit(&args[--k]);
            V_VT(&args[k]) = VT_BSTR;
            V_BSTR(&args[k]) = t;  // borrowed: not cleared
        }
        DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr,
                          static_cast<UINT>(args.size()), 0};
        win::ExcepInfo excep;
        win::Variant ignored;
        const HRESULT hr = inner_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                          result ? result : ignored.get(), excep.get(), nullptr);
        if (hr != DISP_E_EXCEPTION) return hr;
        const HRESULT real = excep.hresult(E_FAIL);
        ComPtr<ICreateErrorInfo> create;
        if (SUCCEEDED(CreateErrorInfo(create.put()))) {
            const std::u16string d = excep.description();
            create->SetDescription(
                const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(d.c_str())));
            ComPtr<IErrorInfo> info;
            if (SUCCEEDED(create.queryTo(IID_IErrorInfo, info.putVoid())))
                SetErrorInfo(0, info.get());
        }
        return real;
    }
    HRESULT withText(DISPID id, BSTR text) { return call(id, DISPATCH_METHOD, {text}, nullptr); }
    HRESULT text(DISPID id, BSTR* out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        win::Variant v;
        const HRESULT hr = call(id, DISPATCH_PROPERTYGET, {}, v.get());
        if (FAILED(hr)) return hr;
        if (V_VT(v.get()) != VT_BSTR) return DISP_E_TYPEMISMATCH;
        *out = V_BSTR(v.get());
        V_VT(v.get()) = VT_EMPTY;  // handed over
        return S_OK;
    }

    ComPtr<IDispatch> inner_;
    GUID iid_;
    ULONG refs_ = 1;
};

}  // namespace

ComPtr<IDispatch> ribbonControlFor(const std::shared_ptr<RibbonControl>& control) {
    return ComPtr<IDispatch>::attach(static_cast<IRibbonControlVtable*>(
        new DualFace<IRibbonControlVtable>(control, win::toGuid(kIidRibbonControl))));
}

ComPtr<IDispatch> ribbonUIFor(const std::shared_ptr<RibbonUI>& ui) {
    return ComPtr<IDispatch>::attach(static_cast<IRibbonUIVtable*>(
        new DualFace<IRibbonUIVtable>(ui, win::toGuid(kIidRibbonUI))));
}

}  // namespace torva::model::com
