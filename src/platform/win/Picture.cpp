#include "platform/win/Picture.h"

#include <cstring>

#include "platform/win/Handle.h"
#include "platform/win/LastError.h"

namespace torva::win {

ComPtr<IPicture> loadPicture(std::span<const uint8_t> bytes) {
    // OleLoadPicture reads from a stream; the stream takes over the memory.
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    if (!memory) throw win32Error();
    {
        void* target = GlobalLock(memory.get());
        if (!target) throw win32Error();
        std::memcpy(target, bytes.data(), bytes.size());
        GlobalUnlock(memory.get());
    }
    ComPtr<IStream> stream;
    throwIfFailed(CreateStreamOnHGlobal(memory.get(), TRUE, stream.put()));
    (void)memory.release();

    ComPtr<IPicture> picture;
    throwIfFailed(OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                                 picture.putVoid()));
    return picture;
}

}  // namespace torva::win
