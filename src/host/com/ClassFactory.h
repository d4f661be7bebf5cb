#pragma once

#include <windows.h>
#include <objbase.h>

#include "platform/win/ComObject.h"

namespace torva::com {

using Creator = HRESULT (*)(REFIID, void**) noexcept;

// One generic factory; the class table gives it the creator.
class ClassFactory final : public win::ComObject<ClassFactory, IClassFactory> {
  public:
    explicit ClassFactory(Creator creator) noexcept : creator_(creator) {}

    void* interfaceFor(REFIID iid) noexcept {
        if (iid == IID_IUnknown || iid == IID_IClassFactory)
            return static_cast<IClassFactory*>(this);
        return nullptr;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
        if (out) *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return creator_(iid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) noexcept override {
        lock ? ++win::moduleCount() : --win::moduleCount();
        return S_OK;
    }

  private:
    Creator creator_;
};

}  // namespace torva::com
