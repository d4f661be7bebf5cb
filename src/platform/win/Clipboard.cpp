#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <cstring>

#include "platform/Platform.h"
#include "platform/win/Com.h"
#include "platform/win/Handle.h"
#include "platform/win/LastError.h"

namespace torva::platform {

namespace {

void freeGlobal(HGLOBAL h) noexcept { GlobalFree(h); }
using UniqueGlobal = ::torva::win::UniqueHandle<HGLOBAL, freeGlobal>;
void deleteBitmap(HBITMAP b) noexcept { DeleteObject(b); }
using UniqueBitmap = ::torva::win::UniqueHandle<HBITMAP, deleteBitmap>;

// Open for as long as the object lives.
class OpenClipboardGuard {
  public:
    OpenClipboardGuard() {
        if (!OpenClipboard(nullptr)) throw win::win32Error();
    }
    ~OpenClipboardGuard() { CloseClipboard(); }
    OpenClipboardGuard(const OpenClipboardGuard&) = delete;
    OpenClipboardGuard& operator=(const OpenClipboardGuard&) = delete;
};

}  // namespace

void putPictureOnClipboard(std::span<const uint8_t> gif) {
    // OleLoadPicture reads from a stream; the stream takes over the memory.
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, gif.size()));
    if (!memory) throw win::win32Error();
    {
        void* target = GlobalLock(memory.get());
        if (!target) throw win::win32Error();
        std::memcpy(target, gif.data(), gif.size());
        GlobalUnlock(memory.get());
    }
    ::torva::win::ComPtr<IStream> stream;
    ::torva::win::throwIfFailed(CreateStreamOnHGlobal(memory.get(), TRUE, stream.put()));
    (void)memory.release();

    ::torva::win::ComPtr<IPicture> picture;
    ::torva::win::throwIfFailed(OleLoadPicture(stream.get(), static_cast<LONG>(gif.size()), FALSE,
                                               IID_IPicture, picture.putVoid()));
    SHORT type = PICTYPE_NONE;
    ::torva::win::throwIfFailed(picture->get_Type(&type));
    if (type != PICTYPE_BITMAP)
        throw Error::fromHResult(static_cast<int32_t>(CTL_E_INVALIDPICTURE), u"Invalid picture");
    OLE_HANDLE handle = 0;
    ::torva::win::throwIfFailed(picture->get_Handle(&handle));

    // The picture keeps its own bitmap; the clipboard gets a copy it owns.
    UniqueBitmap copy(static_cast<HBITMAP>(CopyImage(
        reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)), IMAGE_BITMAP, 0, 0, 0)));
    if (!copy) throw win::win32Error();

    OpenClipboardGuard open;
    if (!EmptyClipboard()) throw win::win32Error();
    if (!SetClipboardData(CF_BITMAP, copy.get())) throw win::win32Error();
    (void)copy.release();
}

}  // namespace torva::platform
