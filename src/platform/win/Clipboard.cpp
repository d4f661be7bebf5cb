#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include "platform/Platform.h"
#include "platform/win/Com.h"
#include "platform/win/Handle.h"
#include "platform/win/LastError.h"
#include "platform/win/Picture.h"

namespace torva::platform {

namespace {

using ::torva::win::UniqueBitmap;

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

// The decoded picture, once per picture and process: a start-up pastes the
// same face up to three times.
HBITMAP decodedBitmap(std::span<const uint8_t> gif) {
    static std::span<const uint8_t> decodedFrom;
    static UniqueBitmap decoded;
    if (decoded && decodedFrom.data() == gif.data() && decodedFrom.size() == gif.size())
        return decoded.get();

    const ::torva::win::ComPtr<IPicture> picture = ::torva::win::loadPicture(gif);
    SHORT type = PICTYPE_NONE;
    ::torva::win::throwIfFailed(picture->get_Type(&type));
    if (type != PICTYPE_BITMAP)
        throw Error::fromHResult(static_cast<int32_t>(CTL_E_INVALIDPICTURE), u"Invalid picture");
    OLE_HANDLE handle = 0;
    ::torva::win::throwIfFailed(picture->get_Handle(&handle));
    // The picture owns its bitmap and goes with this call: keep a copy.
    UniqueBitmap copy(static_cast<HBITMAP>(CopyImage(
        reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)), IMAGE_BITMAP, 0, 0, 0)));
    if (!copy) throw win::win32Error();
    decoded = std::move(copy);
    decodedFrom = gif;
    return decoded.get();
}

}  // namespace

void putPictureOnClipboard(std::span<const uint8_t> gif) {
    // Nobody has put anything on the clipboard since our own picture: it is
    // still there, and the next PasteFace finds it.
    static DWORD ownSequence = 0;
    static const uint8_t* ownPicture = nullptr;
    if (ownSequence != 0 && ownPicture == gif.data() && GetClipboardSequenceNumber() == ownSequence)
        return;

    // The clipboard gets a copy it owns.
    UniqueBitmap copy(static_cast<HBITMAP>(CopyImage(decodedBitmap(gif), IMAGE_BITMAP, 0, 0, 0)));
    if (!copy) throw win::win32Error();
    {
        OpenClipboardGuard open;
        if (!EmptyClipboard()) throw win::win32Error();
        if (!SetClipboardData(CF_BITMAP, copy.get())) throw win::win32Error();
        (void)copy.release();
    }
    ownSequence = GetClipboardSequenceNumber();
    ownPicture = gif.data();
}

}  // namespace torva::platform
