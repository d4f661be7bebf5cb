#pragma once
// The Office emulator's COM face of the in-memory model: a model::Object shown
// to the add-in as a real IDispatch object, with QueryInterface for the
// interfaces it offers, _NewEnum, type information for TypeName and
// connection points for the events it sources. Everything is counted, so the
// emulator can report leaks and automation calls.

#include <memory>

#include "ModelObject.h"
#include "automation/win/VariantValue.h"
#include "platform/win/Com.h"

namespace torva::model::com {

using torva::win::ComPtr;

struct ComCounters {
    long outstandingReferences =
        0;            // COM references held on adapters, enumerators, connection points, type infos
    long invoke = 0;  // IDispatch::Invoke calls on adapters
    long getIDsOfNames = 0;  // IDispatch::GetIDsOfNames calls on adapters
};
ComCounters& comCounters();

// The one adapter of this model object (made on first use), AddRef'd; null
// for a null object.
ComPtr<IDispatch> dispatchFor(const std::shared_ptr<Object>& object);

// The model object behind an adapter; null when the IDispatch is not ours.
std::shared_ptr<Object> modelOf(IDispatch* dispatch);

// Values between the model and COM: model objects go out as their adapters,
// adapters come back as their model objects, other COM objects are wrapped
// by the IDispatch backend.
const automation::win::ObjectBridge& modelBridge();

// Adapters alive now.
size_t liveAdapters();

}  // namespace torva::model::com
