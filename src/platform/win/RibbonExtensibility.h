#pragma once
// IRibbonExtensibility of the Office library, declared here from its
// published layout: the add-in implements it and Office asks for it after
// OnConnection. The Ribbon's other objects (IRibbonUI, IRibbonControl) reach
// the add-in only as IDispatch arguments of its callbacks.

#include <oaidl.h>
#include <windows.h>

namespace torva::win {

// {000C0396-0000-0000-C000-000000000046}
inline constexpr IID IID_IRibbonExtensibility = {
    0x000C0396, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Dual: GetCustomUI is vtable slot 7 and DISPID 1.
struct IRibbonExtensibility : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) = 0;
};

}  // namespace torva::win
