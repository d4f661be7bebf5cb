#pragma once
// The Windows backend of the automation seam: an Office object reached
// through IDispatch, called as VB calls it late-bound.

#include "automation/Automation.h"
#include "automation/win/VariantValue.h"
#include "platform/win/Com.h"

namespace torva::automation::win {

// Wraps an IDispatch (AddRef); null gives Nothing.
ObjectRef wrapDispatch(IDispatch* dispatch);

// The IDispatch behind an object of this backend (AddRef'd), for handing it
// back to COM; null when the object belongs to another backend.
ComPtr<IDispatch> dispatchOf(const ObjectRef& object);

// The bridge the add-in uses: incoming objects are wrapped, outgoing ones must
// have come from COM.
const ObjectBridge& dispatchBridge();

// GetIDsOfNames calls saved by the DISPID cache, for tests: the number of
// (type, member, names) entries held.
size_t dispidCacheSize();

}  // namespace torva::automation::win
