#include "ComBridge.h"

// The adapter comes from tools/office-emulator/com; a build without it can
// still read scenarios and run hosts that have no add-in registered.
#if defined(TORVA_HAVE_MODEL_COM)
#include "ModelDispatch.h"
#endif

#include "support/Text.h"

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

void beginJournal(const Scenario& scenario) {
    auto& j = model::com::journal();
    j = model::com::RunJournal{};
    for (const auto& f : scenario.faults)
        j.faults.push_back({f.member, f.occurrence, f.nothing, f.hresult, f.description});
    j.openItemLimit = scenario.openItemLimit;
}

nlohmann::ordered_json journalCalls() {
    auto out = nlohmann::ordered_json::array();
    for (const auto& c : model::com::journal().calls)
        out.push_back({{"object", toUtf8(c.object)},
                       {"member", toUtf8(c.member)},
                       {"occurrence", c.occurrence},
                       {"returnsObject", c.returnedObject},
                       {"faulted", c.faulted},
                       {"phase", c.phase}});
    return out;
}

HRESULT lastEventReturn() { return model::com::journal().lastEventReturn; }

void setJournalPhase(const std::string& phase) { model::com::journal().phase = phase; }
#else
bool bridgeAvailable() { return false; }

win::ComPtr<IDispatch> expose(const model::ObjectRef&) { return nullptr; }

BridgeCounts bridgeCounts() { return {}; }
void beginJournal(const Scenario&) {}
nlohmann::ordered_json journalCalls() { return nlohmann::ordered_json::array(); }
HRESULT lastEventReturn() { return S_OK; }
void setJournalPhase(const std::string&) {}
#endif

}  // namespace torva::emulator
