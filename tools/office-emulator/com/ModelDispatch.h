#pragma once
// The Office emulator's COM face of the in-memory model: a model::Object shown
// to the add-in as a real IDispatch object, with QueryInterface for the
// interfaces it offers, _NewEnum, type information for TypeName and
// connection points for the events it sources. Everything is counted, so the
// emulator can report leaks and automation calls.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ModelObject.h"
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

// Values between the model and COM, decoded here and not by the add-in's
// own code, so that a packing fault on the add-in's side cannot be mirrored
// on ours. Model objects go out as their adapters, adapters come back as
// their model objects, other COM objects as a bare wrapper that only knows
// its identity. Throws automation::Error(DISP_E_TYPEMISMATCH) for a VARIANT
// type Office would not take.
Value valueOf(const VARIANT& v);
void putValue(const Value& value, VARIANT& out);  // out must be empty

// What the add-in called during a run, and what the run makes fail.
struct InjectedFault {
    std::u16string member;  // compared without case
    long occurrence = 1;    // the member's n-th call in the run, on any object
    bool nothing = false;   // returns Nothing instead of failing
    int32_t hresult = 0;
    std::u16string description;
};
struct CallRecord {
    std::u16string object;  // the type the member was called on
    std::u16string member;
    long occurrence = 0;          // of this member in the run
    bool returnedObject = false;  // an object or Nothing came back
    bool faulted = false;         // an injected fault answered it
    std::string phase;            // what the host was doing: startup, step N, shutdown
};
struct RunJournal {
    std::vector<InjectedFault> faults;
    std::vector<CallRecord> calls;
    std::map<std::u16string, long> perMember;  // by lower-case name
    long openItemLimit = 0;                    // live item objects at most; 0: no limit
    HRESULT lastEventReturn = S_OK;            // what the last event sink's Invoke returned
    std::string phase;                         // set by the host as it goes
};
RunJournal& journal();
// Item objects (contacts, lists, mails) the add-in holds a COM reference to now.
long liveItems();

// Adapters alive now.
size_t liveAdapters();

}  // namespace torva::model::com
