#pragma once
// The Win32 address-book dialog as the logic sees it, shared by the files that
// make it up: AddressBookWindow.cpp creates and lays out the window,
// AddressBookList.cpp serves the list, AddressBookControls.cpp the options,
// texts, fonts and styles, AddressBookModal.cpp the modal loop and the
// window's messages.

// clang-format off
#include <windows.h>
// clang-format on

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "addressbook/AddressBookView.h"
#include "addressbook/win/AddressBookWindow.h"
#include "platform/win/Handle.h"

namespace torva::win {

// One control's font as the form keeps it: changed in place, made anew.
struct FontState {
    std::u16string name = u"MS Sans Serif";
    double points = 8.25;
    bool bold = true;
    UniqueFont font;
};

class AddressBookWindow final : public AddressBookView {
  public:
    explicit AddressBookWindow(HWND owner);
    ~AddressBookWindow() override;

    void clearEntries() override;
    void addEntry(const std::u16string& text) override;
    int entryCount() override;
    std::u16string entryText(int index) override;
    int32_t itemData(int index) override;
    void setItemData(int index, int32_t data) override;
    bool entryMarked(int index) override;
    void setEntryMarked(int index, bool marked) override;

    bool optionSelected(Ctl option) override;
    void selectOption(Ctl option) override;
    void setEnabled(Ctl ctl, bool enabled) override;

    void setDialogRightToLeft(bool rtl) override;
    void setRightToLeft(Ctl ctl, bool rtl) override;
    void setLabelStyle(Ctl ctl) override;
    void setAlignmentLeft(Ctl ctl) override;
    void setFontName(Ctl ctl, const std::u16string& name) override;
    void setFontSize(Ctl ctl, double points) override;
    void setFontBold(Ctl ctl, bool bold) override;
    void setCaption(Ctl ctl, const std::u16string& text) override;
    void setTooltip(Ctl ctl, const std::u16string& text) override;

    void setIcon(std::span<const uint8_t> ico) override;
    void showModal(const std::function<void()>& onOK,
                   const std::function<void()>& onCancel) override;
    void hide() override;

    // The window class's procedure: hands the dialog's messages to handle().
    static LRESULT CALLBACK procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;

  private:
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    HWND item(Ctl ctl) const { return GetDlgItem(window_.get(), controlId(ctl)); }
    void checkIndex(int index);
    void applyFont(Ctl ctl);
    void placeControls();
    void disableOtherWindows();
    void enableOtherWindows() noexcept;

    int dpi_;
    UniqueWindow window_;
    UniqueWindow tooltip_;
    UniqueIcon icon_;
    std::map<Ctl, FontState> fonts_;
    bool transparentLabel_ = false;
    bool shown_ = false;
    std::function<void()> onOK_, onCancel_;
    // The thread's windows this dialog disabled while shown, and no others.
    std::vector<HWND> disabled_;
    // The control that had the focus when the dialog was last deactivated.
    HWND lastFocus_ = nullptr;
};

}  // namespace torva::win
