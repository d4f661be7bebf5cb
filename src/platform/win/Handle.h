#pragma once
// One RAII template for the handles of the Win32 API: the handle type, its
// close function and its invalid value; each concrete handle is one alias.

#include <windows.h>

#include <utility>

namespace torva::win {

template <typename T, auto Close, T Invalid = T{}>
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(T h) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Invalid)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, Invalid));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    T get() const noexcept { return h_; }
    // For out-parameters: closes what is held first.
    T* put() noexcept {
        reset();
        return &h_;
    }
    T release() noexcept { return std::exchange(h_, Invalid); }
    void reset(T h = Invalid) noexcept {
        if (h_ != Invalid) Close(h_);
        h_ = h;
    }
    explicit operator bool() const noexcept { return h_ != Invalid; }

  private:
    T h_ = Invalid;
};

inline void closeRegKey(HKEY k) noexcept { RegCloseKey(k); }
inline void closeHandle(HANDLE h) noexcept { CloseHandle(h); }
inline void closeGdiObject(HGDIOBJ o) noexcept { DeleteObject(o); }

using UniqueHkey = UniqueHandle<HKEY, closeRegKey>;
using UniqueHandleNull = UniqueHandle<HANDLE, closeHandle>;

}  // namespace torva::win
