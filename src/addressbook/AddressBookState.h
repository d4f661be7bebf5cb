#pragma once
// The address-book dialog held in memory: what the native tests look at and
// what the POSIX build shows. A modal show plays the answer that was set.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "addressbook/AddressBookView.h"

namespace torva {

class AddressBookState : public AddressBookView {
  public:
    struct Entry {
        std::u16string text;
        int32_t data = 0;
        bool marked = false;
    };
    struct Control {
        bool enabled = true;
        bool rightToLeft = false;
        bool labelStyled = false;
        bool alignedLeft = false;
        std::u16string caption;
        std::optional<std::u16string> tooltip;
        std::u16string fontName = u"MS Sans Serif";
        double fontSize = 8.25;
        bool fontBold = true;  // the form's stored fonts are bold
        // The order of font changes, to see name, size, bold in turn.
        std::vector<std::string> fontChanges;
    };
    // What a modal show does: the user's answer, given the handlers.
    using Answer = std::function<void(AddressBookState& view, const std::function<void()>& onOK,
                                      const std::function<void()>& onCancel)>;

    AddressBookState();

    void clearEntries() override { entries.clear(); }
    void addEntry(const std::u16string& text) override { entries.push_back({text}); }
    int entryCount() override { return static_cast<int>(entries.size()); }
    std::u16string entryText(int index) override { return at(index).text; }
    int32_t itemData(int index) override { return at(index).data; }
    void setItemData(int index, int32_t data) override { at(index).data = data; }
    bool entryMarked(int index) override { return at(index).marked; }
    void setEntryMarked(int index, bool marked) override { at(index).marked = marked; }

    bool optionSelected(Ctl option) override { return selectedOption == option; }
    void selectOption(Ctl option) override { selectedOption = option; }
    void setEnabled(Ctl ctl, bool enabled) override { controls[ctl].enabled = enabled; }

    void setDialogRightToLeft(bool rtl) override { dialogRightToLeft = rtl; }
    void setRightToLeft(Ctl ctl, bool rtl) override;
    void setLabelStyle(Ctl ctl) override { controls[ctl].labelStyled = true; }
    void setAlignmentLeft(Ctl ctl) override { controls[ctl].alignedLeft = true; }
    void setFontName(Ctl ctl, const std::u16string& name) override;
    void setFontSize(Ctl ctl, double points) override;
    void setFontBold(Ctl ctl, bool bold) override;
    void setCaption(Ctl ctl, const std::u16string& text) override;
    void setTooltip(Ctl ctl, const std::u16string& text) override;

    void setIcon(std::span<const uint8_t> ico) override { icon.assign(ico.begin(), ico.end()); }
    void showModal(const std::function<void()>& onOK,
                   const std::function<void()>& onCancel) override;
    void hide() override { visible = false; }

    std::vector<Entry> entries;
    std::map<Ctl, Control> controls;
    std::optional<Ctl> selectedOption;
    bool dialogRightToLeft = false;
    std::vector<uint8_t> icon;
    bool visible = false;
    int shows = 0;
    intptr_t owner = 0;  // the window it was made for
    Answer answer;       // none: the user closes the window

  private:
    Entry& at(int index);
};

}  // namespace torva
