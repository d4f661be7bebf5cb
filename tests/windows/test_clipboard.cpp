// The icon really reaches the Windows clipboard as a bitmap, as PasteFace
// needs it.
#include <gtest/gtest.h>
#include <ole2.h>
#include <windows.h>

#include "host/frmPicStore.h"
#include "platform/Platform.h"
#include "base/Error.h"

namespace {

struct OleScope {
    OleScope() { ok = SUCCEEDED(OleInitialize(nullptr)); }
    ~OleScope() {
        if (ok) OleUninitialize();
    }
    bool ok = false;
};

// The size of the bitmap on the clipboard, or 0×0 when there is none.
SIZE clipboardBitmapSize() {
    SIZE size{0, 0};
    if (!OpenClipboard(nullptr)) return size;
    if (auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP))) {
        BITMAP info{};
        if (GetObjectW(bitmap, sizeof info, &info)) size = {info.bmWidth, info.bmHeight};
    }
    CloseClipboard();
    return size;
}

void putText(const wchar_t* text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), text, bytes);
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    CloseClipboard();
}

}  // namespace

TEST(Clipboard, SmallIconReplacesTheClipboardAsASixteenPixelBitmap) {
    OleScope ole;
    ASSERT_TRUE(ole.ok);
    putText(L"earlier content");
    ASSERT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    ASSERT_EQ(clipboardBitmapSize().cx, 0);

    torva::frmPicStore::putSmallIconOnClipboard();
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT)) << "earlier content kept";
    const SIZE small = clipboardBitmapSize();
    EXPECT_EQ(small.cx, 16);
    EXPECT_EQ(small.cy, 16);

    torva::platform::putPictureOnClipboard(torva::frmPicStore::ImgBigIcon());
    EXPECT_EQ(clipboardBitmapSize().cx, 32);
}

TEST(Clipboard, BytesThatAreNoPictureFailAndLeaveTheClipboard) {
    OleScope ole;
    ASSERT_TRUE(ole.ok);
    torva::frmPicStore::putSmallIconOnClipboard();
    const uint8_t junk[] = {'G', 'I', 'F', '8', '9', 'a', 1, 2, 3};
    EXPECT_THROW(torva::platform::putPictureOnClipboard(junk), torva::Error);
    EXPECT_EQ(clipboardBitmapSize().cx, 16);
}
