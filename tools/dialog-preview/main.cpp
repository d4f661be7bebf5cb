// dialog-preview: a picture of the address-book dialog as a string source
// lays it out, for the README and for translators who want to see their texts
// in place.
//   dialog-preview STRINGS-SOURCE.txt OUT.png [FOLDER-NAME]
// It encodes the source into Torva.Sys beside itself (the add-in reads its
// string table from its own folder), loads the form as the add-in does, shows
// it with two list entries and saves what the screen shows of it.

// clang-format off
#include <windows.h>
#include <wincodec.h>
// clang-format on

#include <iostream>
#include <span>
#include <string>
#include <utility>

#include "addressbook/AddressBookView.h"
#include "addressbook/ContactExport.h"
#include "addressbook/frmSelAdrBook.h"
#include "addressbook/win/AddressBookWindow.h"
#include "base/Text.h"
#include "platform/Platform.h"
#include "platform/win/Com.h"
#include "platform/win/Handle.h"
#include "platform/win/Wide.h"
#include "StringSource.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"

using namespace torva;

namespace {

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

struct ScreenDc {
    HDC dc = GetDC(nullptr);
    ScreenDc() = default;
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    ~ScreenDc() {
        if (dc) ReleaseDC(nullptr, dc);
    }
};

using win::UniqueBitmap;
using win::UniqueDc;

// The window's client area as the screen shows it. From the screen, not
// PrintWindow: Wine's PrintWindow leaves the child controls out. Without a
// window manager nobody draws the frame, so only the client area is taken.
UniqueBitmap captureWindow(HWND h) {
    SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    Sleep(100);
    RECT r;
    if (!GetClientRect(h, &r)) fail("GetClientRect failed");
    MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&r), 2);
    if (r.left > r.right) std::swap(r.left, r.right);  // a mirrored window
    const int width = r.right - r.left, height = r.bottom - r.top;
    ScreenDc screen;
    if (!screen.dc) fail("GetDC failed");
    UniqueDc memory(CreateCompatibleDC(screen.dc));
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen.dc, width, height));
    if (!memory || !bitmap) fail("no bitmap for the screenshot");
    // WIC reads the bitmap only once it is no longer selected into the DC.
    const HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    const BOOL copied =
        BitBlt(memory.get(), 0, 0, width, height, screen.dc, r.left, r.top, SRCCOPY);
    SelectObject(memory.get(), old);
    if (!copied) fail("BitBlt failed");
    return bitmap;
}

struct ComApartment {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ComApartment() = default;
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
};

void savePng(HBITMAP bitmap, const std::u16string& path) {
    win::ComPtr<IWICImagingFactory> factory;
    win::throwIfFailed(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IWICImagingFactory, factory.putVoid()),
                       u"creating the WIC factory");
    win::ComPtr<IWICBitmap> source;
    win::throwIfFailed(
        factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, source.put()),
        u"CreateBitmapFromHBITMAP");
    UINT width = 0, height = 0;
    win::throwIfFailed(source->GetSize(&width, &height), u"IWICBitmap::GetSize");
    win::ComPtr<IWICStream> stream;
    win::throwIfFailed(factory->CreateStream(stream.put()), u"CreateStream");
    win::throwIfFailed(stream->InitializeFromFilename(win::wide(path), GENERIC_WRITE),
                       u"opening " + path);
    win::ComPtr<IWICBitmapEncoder> encoder;
    win::throwIfFailed(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put()),
                       u"creating the PNG encoder");
    win::throwIfFailed(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache),
                       u"IWICBitmapEncoder::Initialize");
    win::ComPtr<IWICBitmapFrameEncode> frame;
    win::ComPtr<IPropertyBag2> options;
    win::throwIfFailed(encoder->CreateNewFrame(frame.put(), options.put()), u"CreateNewFrame");
    win::throwIfFailed(frame->Initialize(options.get()), u"IWICBitmapFrameEncode::Initialize");
    win::throwIfFailed(frame->SetSize(width, height), u"IWICBitmapFrameEncode::SetSize");
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    win::throwIfFailed(frame->SetPixelFormat(&format), u"IWICBitmapFrameEncode::SetPixelFormat");
    win::throwIfFailed(frame->WriteSource(source.get(), nullptr),
                       u"IWICBitmapFrameEncode::WriteSource");
    win::throwIfFailed(frame->Commit(), u"committing the frame");
    win::throwIfFailed(encoder->Commit(), u"committing the PNG");
}

// Timer procedures take no context: what the one below needs lives here.
std::u16string outputPath;
AddressBookView* shownView = nullptr;
std::string captureError = "the dialog was never captured";

void CALLBACK onShown(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    KillTimer(nullptr, id);
    HWND dialog = win::shownAddressBookWindow();
    try {
        if (!dialog) fail("the dialog window is not there");
        const UniqueBitmap bitmap = captureWindow(dialog);
        savePng(bitmap.get(), outputPath);
        captureError.clear();
    } catch (const std::exception& e) {
        captureError = e.what();
    }
    if (dialog) {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    } else {
        shownView->hide();  // ends the modal loop all the same
    }
}

int run(const std::u16string& source, const std::u16string& out, const std::u16string& folder) {
    const std::u16string stringFile = platform::moduleFolder() + u"\\Torva.Sys";
    strings::writeFile(stringFile, strings::encodeSource(strings::readFile(source), source));
    WorkingFolder = GetWorkingFolder();
    if (!LoadStringTable()) fail("the add-in could not read " + toUtf8(stringFile));

    ComApartment com;
    win::throwIfFailed(com.hr, u"CoInitializeEx");
    const auto form = frmSelAdrBook::Load(createAddressBookView());
    // The list as filling it from Outlook leaves it: a contacts folder and
    // the explorer's selection, the first entry marked.
    AddressBookView& view = form->view();
    view.addEntry(folder);
    view.addEntry(GetString(u"0962"));
    view.setItemData(view.entryCount() - 1, kSelectionEntryData);
    view.setEntryMarked(0, true);

    outputPath = out;
    shownView = &view;
    if (!SetTimer(nullptr, 0, 300, onShown)) fail("SetTimer failed");
    view.showModal([] {}, [] {});
    shownView = nullptr;
    if (!captureError.empty()) fail(captureError);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: dialog-preview STRINGS-SOURCE.txt OUT.png [FOLDER-NAME]\n"
                     "  shows the address-book dialog with the texts of the source and saves\n"
                     "  it as a PNG; FOLDER-NAME is the contacts folder listed (Kontakte)\n";
        return 2;
    }
    auto arg = [&](int i) { return win::fromWide(argv[i], std::wcslen(argv[i])); };
    try {
        return run(arg(1), arg(2), argc == 4 ? arg(3) : std::u16string(u"Kontakte"));
    } catch (const std::exception& e) {
        std::cerr << "dialog-preview: " << e.what() << "\n";
        return 1;
    }
}
