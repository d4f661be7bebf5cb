#pragma once
// How the emulator shows model objects to the add-in: as real COM objects
// through the model's IDispatch adapter, which also counts the references the
// add-in holds and the automation calls it makes.

#include <oaidl.h>

#include <nlohmann/json.hpp>

#include "Scenario.h"

#include "ModelObject.h"
#include "platform/win/Com.h"

namespace torva::emulator {

// False when this build has no adapter; the emulator then cannot connect
// an add-in and says so.
bool bridgeAvailable();
// The COM face of a model object (one per object, so COM identity holds).
win::ComPtr<IDispatch> expose(const model::ObjectRef& object);

struct BridgeCounts {
    long outstandingReferences = 0;  // COM references to model objects still held
    long invoke = 0;
    long getIDsOfNames = 0;
};
BridgeCounts bridgeCounts();

// Starts the record of the add-in's calls for a run, with the run's faults
// and Exchange's limit of open items.
void beginJournal(const Scenario& scenario);
// Marks the calls that follow: "startup", "step 3", "shutdown".
void setJournalPhase(const std::string& phase);
// The calls so far: { object, member, occurrence, returnsObject, faulted, phase }.
nlohmann::ordered_json journalCalls();
// What the add-in's event sink returned to the last event (S_OK when it did not fail).
HRESULT lastEventReturn();

}  // namespace torva::emulator
