#pragma once
// The address-book dialog's window as its logic sees it: the controls, their
// stored layout, and what the logic reads and changes on them. One Win32
// implementation (win/) and one in memory (AddressBookState.h) for the tests
// and the POSIX build.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace torva {

enum class Ctl { lblAdressbooks, lbBooks, rbPrivate, rbBusiness, cmdOK, cmdCancel };
enum class CtlKind { Label, ListBox, Option, Button };

// How the form stores a control: twips from the client area's top left.
struct ControlLayout {
    Ctl id;
    CtlKind kind;
    std::u16string_view name;
    int left, top, width, height;
    int tabIndex;
    std::u16string_view storedCaption;
    std::u16string_view tag;  // string ID of the caption; empty: none
};

inline constexpr std::u16string_view kAddressBookTitle = u"Adressbuchauswahl";
inline constexpr int kAddressBookClientWidth = 5745;  // twips
inline constexpr int kAddressBookClientHeight = 3795;

inline constexpr std::array<ControlLayout, 6> kAddressBookLayout{{
    {Ctl::lblAdressbooks, CtlKind::Label, u"lblAdressbooks", 360, 360, 1635, 255, 1, u"Label1",
     u"0956"},
    {Ctl::lbBooks, CtlKind::ListBox, u"lbBooks", 360, 720, 2655, 2205, 0, u"", u""},
    {Ctl::rbPrivate, CtlKind::Option, u"rbPrivate", 3180, 720, 2235, 315, 4, u"Option1", u"0958"},
    {Ctl::rbBusiness, CtlKind::Option, u"rbBusiness", 3180, 1260, 2235, 315, 5, u"Option1",
     u"0960"},
    {Ctl::cmdOK, CtlKind::Button, u"cmdOK", 1455, 3180, 1335, 375, 2, u"OK", u"0952"},
    {Ctl::cmdCancel, CtlKind::Button, u"cmdCancel", 2955, 3180, 1335, 375, 3, u"Abbrechen",
     u"0954"},
}};

const ControlLayout& layoutOf(Ctl id);

class AddressBookView {
  public:
    virtual ~AddressBookView() = default;

    // The list: entries with text, item data and a mark each.
    virtual void clearEntries() = 0;
    virtual void addEntry(const std::u16string& text) = 0;
    virtual int entryCount() = 0;
    virtual std::u16string entryText(int index) = 0;
    virtual int32_t itemData(int index) = 0;
    virtual void setItemData(int index, int32_t data) = 0;
    virtual bool entryMarked(int index) = 0;
    virtual void setEntryMarked(int index, bool marked) = 0;

    // Option buttons and enabled states.
    virtual bool optionSelected(Ctl option) = 0;
    // Selects the option and clears the other one.
    virtual void selectOption(Ctl option) = 0;
    virtual void setEnabled(Ctl ctl, bool enabled) = 0;

    // Load-time set-up.
    virtual void setDialogRightToLeft(bool rtl) = 0;
    virtual void setRightToLeft(Ctl ctl, bool rtl) = 0;
    // Transparent background, no border, flat.
    virtual void setLabelStyle(Ctl ctl) = 0;
    virtual void setAlignmentLeft(Ctl ctl) = 0;
    virtual void setFontName(Ctl ctl, const std::u16string& name) = 0;
    virtual void setFontSize(Ctl ctl, double points) = 0;
    virtual void setFontBold(Ctl ctl, bool bold) = 0;
    virtual void setCaption(Ctl ctl, const std::u16string& text) = 0;
    virtual void setTooltip(Ctl ctl, const std::u16string& text) = 0;

    // The window icon (a .ico file's bytes).
    virtual void setIcon(std::span<const uint8_t> ico) = 0;
    // Modal, owned by the window the view was made for (none: modal to the
    // thread); the two buttons call their handlers. Returns once hide() was
    // called or the window was closed.
    virtual void showModal(const std::function<void()>& onOK,
                           const std::function<void()>& onCancel) = 0;
    virtual void hide() = 0;
};

// The platform's dialog window: Win32 on Windows, the in-memory one
// elsewhere; owned by the given window and centred over it (0: no owner,
// centred on the primary screen), without a taskbar button of its own.
std::unique_ptr<AddressBookView> createAddressBookView(intptr_t owner = 0);

}  // namespace torva
