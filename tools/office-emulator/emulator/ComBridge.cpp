#include "ComBridge.h"

// The adapter comes from tools/office-emulator/com; a build without it can
// still read scenarios and run hosts that have no add-in registered.
#if defined(TORVA_HAVE_MODEL_COM)
#include "ModelDispatch.h"
#endif

namespace torva::emulator {

#if defined(TORVA_HAVE_MODEL_COM)
bool bridgeAvailable() { return true; }

win::ComPtr<IDispatch> expose(const model::ObjectRef& object) {
    return model::com::dispatchFor(std::dynamic_pointer_cast<model::Object>(object));
}

BridgeCounts bridgeCounts() {
    const auto& c = model::com::comCounters();
    return {c.outstandingReferences, c.invoke, c.getIDsOfNames};
}
#else
bool bridgeAvailable() { return false; }

win::ComPtr<IDispatch> expose(const model::ObjectRef&) { return nullptr; }

BridgeCounts bridgeCounts() { return {}; }
#endif

}  // namespace torva::emulator
