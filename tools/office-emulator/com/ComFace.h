#pragma once
// What the rooms of the model's COM face share: the one counted refcount,
// the journal of the add-in's calls with the faults a scenario injects, and
// how a failure becomes an HRESULT, as Office's servers answer.

#include <string>
#include <string_view>

#include "ModelDispatch.h"
#include "platform/win/ComBoundary.h"

namespace torva::model::com {

// The one refcount of the emulator's COM objects: every reference is counted
// process-wide so that a leak shows in the report.
class Counted {
  public:
    Counted() { ++comCounters().outstandingReferences; }
    virtual ~Counted() = default;
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

  protected:
    ULONG addRef() noexcept {
        ++comCounters().outstandingReferences;
        return ++refs_;
    }
    ULONG release() noexcept {
        --comCounters().outstandingReferences;
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

  private:
    ULONG refs_ = 1;
};

#define TORVA_COUNTED_REFS                                         \
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); } \
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

// QueryInterface's answer: SELF as the interface I, AddRef'd.
template <class I>
HRESULT hand(I* self, void** out) {
    *out = self;
    self->AddRef();
    return S_OK;
}

// Notes a call of MEMBER on an object of TYPE; the fault that answers it, if any.
const InjectedFault* record(const std::u16string& type, const std::u16string& member);
// Raises an injected fault: it comes through DISP_E_EXCEPTION, whatever its code.
[[noreturn]] void fault(const InjectedFault& f);

// Whether OBJECT has its adapter now.
bool hasAdapter(Object* object);
// Items the add-in holds now; the adapter of an item counts itself.
long& liveItemCount();
// Throws Exchange's answer when one more item would pass the run's limit.
void checkOpenItemLimit();

// Inside a catch: whether the exception is an injected fault.
bool injectedBeingHandled() noexcept;
// Codes the type information itself answers with: they come back as they
// are, without EXCEPINFO, as from a real dispinterface.
inline bool isDispatchCode(HRESULT hr) {
    return (static_cast<uint32_t>(hr) & 0xFFFF0000u) == 0x80020000u;
}

// As Office's servers answer: a dispatch code of their own (an unknown
// member, a wrong argument count) comes back bare, any other failure, and
// every injected one, through EXCEPINFO.
template <class F>
HRESULT guarded(EXCEPINFO* excep, std::u16string_view source, F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        const torva::win::CaughtFailure f = torva::win::caughtFailure();
        if (isDispatchCode(f.hr) && !injectedBeingHandled()) return f.hr;
        return torva::win::invokeFail(f, excep, source);
    }
}

}  // namespace torva::model::com
