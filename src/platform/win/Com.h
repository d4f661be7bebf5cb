#pragma once
// The add-in's one COM pointer and the RAII wrappers for the COM structs that
// need init/clear (VARIANT, BSTR, EXCEPINFO). Nothing outside these and the
// refcount base of our own objects calls AddRef/Release by hand.

#include <oaidl.h>
#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "base/Guid.h"
#include "base/Error.h"
#include "platform/win/Wide.h"

namespace torva::win {

template <class T>
class ComPtr {
  public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}  // NOLINT
    // Shares the caller's reference (AddRef); use attach() to adopt one.
    explicit ComPtr(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    static ComPtr attach(T* p) noexcept {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(const ComPtr& o) noexcept {
        ComPtr(o).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept {
        ComPtr(std::move(o)).swap(*this);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // For out-parameters: releases what it held first.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }
    [[nodiscard]] T* detach() noexcept { return std::exchange(p_, nullptr); }
    void swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

    // QueryInterface; null when the object does not offer it.
    template <class U>
    ComPtr<U> query() const noexcept {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(__uuidof(U), out.putVoid());
        return out;
    }
    [[nodiscard]] HRESULT queryTo(REFIID iid, void** out) const noexcept {
        *out = nullptr;
        return p_ ? p_->QueryInterface(iid, out) : E_POINTER;
    }

  private:
    T* p_ = nullptr;
};

// The system's text for an HRESULT, or "Automation error 0x…" when it has none.
std::u16string hresultText(HRESULT hr);

// Keeps the HRESULT and its description.
inline void throwIfFailed(HRESULT hr) {
    if (FAILED(hr)) throw torva::Error::fromHResult(hr, hresultText(hr));
}
inline void throwIfFailed(HRESULT hr, std::u16string_view what) {
    if (FAILED(hr))
        throw torva::Error::fromHResult(hr, std::u16string(what) + u": " + hresultText(hr));
}

class Bstr {
  public:
    Bstr() noexcept = default;
    explicit Bstr(std::u16string_view text)
        : b_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                               static_cast<UINT>(text.size()))) {
        if (!b_) throw torva::Error::fromHResult(E_OUTOFMEMORY, hresultText(E_OUTOFMEMORY));
    }
    static Bstr attach(BSTR b) noexcept {
        Bstr r;
        r.b_ = b;
        return r;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) {
            SysFreeString(b_);
            b_ = std::exchange(o.b_, nullptr);
        }
        return *this;
    }
    ~Bstr() { SysFreeString(b_); }

    BSTR get() const noexcept { return b_; }
    BSTR* put() noexcept {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    [[nodiscard]] BSTR detach() noexcept { return std::exchange(b_, nullptr); }
    // A null BSTR is the empty text, as COM treats it.
    std::u16string str() const { return b_ ? fromWide(b_, SysStringLen(b_)) : std::u16string(); }

  private:
    BSTR b_ = nullptr;
};

class Variant {
  public:
    Variant() noexcept { VariantInit(&v_); }
    Variant(const Variant& o) : Variant() {
        throwIfFailed(VariantCopy(&v_, const_cast<VARIANT*>(&o.v_)));
    }
    Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
    Variant& operator=(const Variant& o) {
        if (this != &o) throwIfFailed(VariantCopy(&v_, const_cast<VARIANT*>(&o.v_)));
        return *this;
    }
    Variant& operator=(Variant&& o) noexcept {
        if (this != &o) {
            VariantClear(&v_);
            v_ = o.v_;
            VariantInit(&o.v_);
        }
        return *this;
    }
    ~Variant() { VariantClear(&v_); }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* operator->() noexcept { return &v_; }
    const VARIANT* operator->() const noexcept { return &v_; }
    // For out-parameters: clears what it held first.
    VARIANT* put() noexcept {
        VariantClear(&v_);
        return &v_;
    }
    // Hands the content over to a caller that will VariantClear it.
    void detachTo(VARIANT* out) noexcept {
        *out = v_;
        VariantInit(&v_);
    }

  private:
    VARIANT v_;
};

// EXCEPINFO as Invoke fills it: the deferred part filled in, the strings freed.
class ExcepInfo {
  public:
    ExcepInfo() noexcept { clear(); }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() { release(); }

    EXCEPINFO* get() noexcept { return &e_; }
    void fillIn() noexcept {
        if (e_.pfnDeferredFillIn) {
            auto fill = std::exchange(e_.pfnDeferredFillIn, nullptr);
            fill(&e_);
        }
    }
    std::u16string description() {
        fillIn();
        return e_.bstrDescription ? fromWide(e_.bstrDescription, SysStringLen(e_.bstrDescription))
                                  : std::u16string();
    }
    // The failure Invoke stands for: scode, else the VB-style code, else the fallback.
    HRESULT hresult(HRESULT fallback) {
        fillIn();
        if (e_.scode) return e_.scode;
        if (e_.wCode) return static_cast<HRESULT>(0x800A0000u | e_.wCode);
        return fallback;
    }

  private:
    void release() noexcept {
        SysFreeString(e_.bstrSource);
        SysFreeString(e_.bstrDescription);
        SysFreeString(e_.bstrHelpFile);
        clear();
    }
    void clear() noexcept { e_ = EXCEPINFO{}; }
    EXCEPINFO e_;
};

inline GUID toGuid(const Guid& g) noexcept {
    GUID out;
    out.Data1 = g.data1;
    out.Data2 = g.data2;
    out.Data3 = g.data3;
    for (int i = 0; i < 8; ++i) out.Data4[i] = g.data4[i];
    return out;
}
inline Guid fromGuid(const GUID& g) noexcept {
    Guid out{g.Data1, g.Data2, g.Data3, {}};
    for (int i = 0; i < 8; ++i) out.data4[i] = g.Data4[i];
    return out;
}

}  // namespace torva::win
