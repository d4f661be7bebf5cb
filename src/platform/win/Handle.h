#pragma once
// One RAII template for the handles of the Win32 API: the handle type, its
// close function and what the API calls "no handle"; each concrete handle is
// one alias here, so that no file declares its own.

#include <windows.h>

#include <utility>

namespace torva::win {

// Most handles are invalid when null.
template <typename T>
struct NullIsInvalid {
    static T invalid() noexcept { return T{}; }
};
// CreateFileW and its kin fail with INVALID_HANDLE_VALUE and never give null.
struct MinusOneIsInvalid {
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
};

template <typename T, auto Close, typename Policy = NullIsInvalid<T>>
class UniqueHandle {
    static T invalidValue() noexcept { return Policy::invalid(); }

  public:
    UniqueHandle() = default;
    explicit UniqueHandle(T h) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, invalidValue())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, invalidValue()));
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
    T release() noexcept { return std::exchange(h_, invalidValue()); }
    void reset(T h = invalidValue()) noexcept {
        if (h_ != invalidValue()) Close(h_);
        h_ = h;
    }
    explicit operator bool() const noexcept { return h_ != invalidValue(); }

  private:
    T h_ = invalidValue();
};

inline void closeRegKey(HKEY k) noexcept { RegCloseKey(k); }
inline void closeHandle(HANDLE h) noexcept { CloseHandle(h); }
inline void closeGdiObject(HGDIOBJ o) noexcept { DeleteObject(o); }
inline void destroyIcon(HICON icon) noexcept { DestroyIcon(icon); }
inline void destroyWindow(HWND hwnd) noexcept { DestroyWindow(hwnd); }
inline void deleteDc(HDC dc) noexcept { DeleteDC(dc); }
inline void releaseScreenDc(HDC dc) noexcept { ReleaseDC(nullptr, dc); }
inline void freeGlobal(HGLOBAL h) noexcept { GlobalFree(h); }
inline void freeLibrary(HMODULE m) noexcept { FreeLibrary(m); }

using UniqueHkey = UniqueHandle<HKEY, closeRegKey>;
// Kernel objects that fail as null: mutexes, events, processes, threads.
using UniqueHandleNull = UniqueHandle<HANDLE, closeHandle>;
// Files, which fail as INVALID_HANDLE_VALUE.
using UniqueFile = UniqueHandle<HANDLE, closeHandle, MinusOneIsInvalid>;
using UniqueFont = UniqueHandle<HFONT, closeGdiObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, closeGdiObject>;
using UniqueIcon = UniqueHandle<HICON, destroyIcon>;
using UniqueWindow = UniqueHandle<HWND, destroyWindow>;
// A memory DC of CreateCompatibleDC (a window's DC goes back with ReleaseDC).
using UniqueDc = UniqueHandle<HDC, deleteDc>;
// The screen's DC of GetDC(nullptr).
using UniqueScreenDc = UniqueHandle<HDC, releaseScreenDc>;
using UniqueGlobal = UniqueHandle<HGLOBAL, freeGlobal>;
using UniqueModule = UniqueHandle<HMODULE, freeLibrary>;

}  // namespace torva::win
