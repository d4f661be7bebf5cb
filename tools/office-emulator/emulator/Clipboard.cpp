#include "Clipboard.h"

#include <windows.h>

namespace torva::emulator {

namespace {
class OpenedClipboard {
  public:
    OpenedClipboard() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~OpenedClipboard() {
        if (open_) CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    explicit operator bool() const { return open_; }

  private:
    bool open_;
};
}  // namespace

std::optional<model::ClipboardPicture> clipboardBitmap() {
    OpenedClipboard clip;
    if (!clip) return std::nullopt;
    auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return std::nullopt;
    return model::ClipboardPicture{info.bmWidth, info.bmHeight};
}

void emptyClipboard() {
    OpenedClipboard clip;
    if (clip) EmptyClipboard();
}

nlohmann::ordered_json clipboardJson() {
    auto picture = clipboardBitmap();
    if (!picture) return nullptr;
    return {{"format", "bitmap"}, {"width", picture->width}, {"height", picture->height}};
}

}  // namespace torva::emulator
