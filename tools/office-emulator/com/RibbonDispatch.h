#pragma once
// The COM faces of the Ribbon's objects: IRibbonControl and IRibbonUI are
// duals, so an add-in may call them through IDispatch or through their
// vtables. Both ways end in the model object's IDispatch adapter, so every
// call is counted, journaled and open to the scenario's faults.

#include <oaidl.h>

#include <memory>

#include "Ribbon.h"
#include "platform/win/Com.h"

namespace torva::model::com {

// IRibbonControl's vtable after IDispatch's seven slots.
struct IRibbonControlVtable : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Id(BSTR* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Context(IDispatch** context) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Tag(BSTR* tag) = 0;
};

// IRibbonUI's vtable after IDispatch's seven slots.
struct IRibbonUIVtable : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Invalidate() = 0;
    virtual HRESULT STDMETHODCALLTYPE InvalidateControl(BSTR controlId) = 0;
    virtual HRESULT STDMETHODCALLTYPE InvalidateControlMso(BSTR controlId) = 0;
    virtual HRESULT STDMETHODCALLTYPE ActivateTab(BSTR controlId) = 0;
    virtual HRESULT STDMETHODCALLTYPE ActivateTabMso(BSTR controlId) = 0;
    virtual HRESULT STDMETHODCALLTYPE ActivateTabQ(BSTR controlId, BSTR ns) = 0;
};

// A new face for the object, AddRef'd once (IDispatch of the dual).
win::ComPtr<IDispatch> ribbonControlFor(const std::shared_ptr<RibbonControl>& control);
win::ComPtr<IDispatch> ribbonUIFor(const std::shared_ptr<RibbonUI>& ui);

}  // namespace torva::model::com
