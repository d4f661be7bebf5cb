#pragma once
// The one reference-counting base of the add-in's own COM objects (the
// connect classes, their class factory, the event sinks handed to Office).
// Every object and every server lock counts in the module count that
// DllCanUnloadNow reads: while Office holds any of them, the DLL stays.

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <new>
#include <utility>

#include "platform/win/ComBoundary.h"

namespace torva::win {

std::atomic<long>& moduleCount() noexcept;

// Holds the module for as long as it lives: what it is part of keeps
// DllCanUnloadNow at S_FALSE.
class ModuleReference {
  public:
    ModuleReference() noexcept { ++moduleCount(); }
    ModuleReference(const ModuleReference&) noexcept { ++moduleCount(); }
    ModuleReference& operator=(const ModuleReference&) noexcept = default;
    ~ModuleReference() { --moduleCount(); }
};

// Derived supplies `void* interfaceFor(REFIID)` returning the interface
// pointer for an IID it implements, or nullptr.
template <typename Derived, typename... Interfaces>
class ComObject : public Interfaces... {
  public:
    // Makes an object and hands out the requested interface; the caller's
    // reference is the only one.
    template <typename... A>
    static HRESULT createInstance(REFIID iid, void** out, A&&... args) noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        Derived* object = nullptr;
        try {
            object = new Derived(std::forward<A>(args)...);
        } catch (...) {
            // A constructor that failed (nothing of it is left): the caller
            // learns why, e.g. the type library's own HRESULT.
            return failFromCaught(iid);
        }
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();  // the caller's reference keeps it, or it goes now
        return hr;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = static_cast<Derived*>(this)->interfaceFor(iid);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return static_cast<ULONG>(++refs_); }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const long left = --refs_;
        if (left == 0) delete static_cast<Derived*>(this);
        return static_cast<ULONG>(left);
    }

  protected:
    ComObject() noexcept { ++moduleCount(); }
    ~ComObject() { --moduleCount(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

  private:
    std::atomic<long> refs_{1};
};

}  // namespace torva::win
