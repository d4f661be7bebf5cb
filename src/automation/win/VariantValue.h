#pragma once
// Value <-> VARIANT. Objects cross through a bridge, because each side decides
// what an object becomes: the add-in wraps an incoming IDispatch, the Office
// emulator unwraps its own adapters back to their model objects.

#include <functional>

#include "automation/Automation.h"
#include "platform/win/Com.h"

namespace torva::automation::win {

using torva::win::ComPtr;

struct ObjectBridge {
    // An object going out; null for Nothing. Throws when it cannot be shown to COM.
    std::function<ComPtr<IDispatch>(const ObjectRef&)> toDispatch;
    // An object coming in (never null).
    std::function<ObjectRef(IDispatch*)> fromDispatch;
};

// Writes into an empty VARIANT (the caller owns and clears it).
void toVariant(const Value& value, VARIANT& out, const ObjectBridge& bridge);
// VT_BYREF is followed; VT_UNKNOWN becomes an object when it offers IDispatch;
// other numeric types become double (or int where they fit in VB's Long).
Value fromVariant(const VARIANT& in, const ObjectBridge& bridge);

// A left-out optional argument on the wire.
bool isMissing(const VARIANT& v) noexcept;
void setMissing(VARIANT& v) noexcept;

// Stores a handler's new value of a VT_BYREF argument back where it points.
void writeBack(const Value& value, VARIANT& byref, const ObjectBridge& bridge);

}  // namespace torva::automation::win
