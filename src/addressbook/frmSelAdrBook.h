#pragma once
// The address-book dialog of Outlook: the user marks contact folders (and the
// explorer's selection) and chooses business or private addresses; OK writes
// the contact export file (ContactExport.h). The logic here is portable and
// talks to its window only through AddressBookView, so it runs natively
// against the model.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "addressbook/AddressBookView.h"
#include "automation/Automation.h"

namespace torva {

// Outlook's item type of a contacts folder (olContactItem).
inline constexpr int32_t kOlContactItem = 2;

// "True"/"False" in any case, or a number (0 false, else true); throws
// torva::Error 13 (type mismatch) for anything else, the empty text included.
bool readTruthValue(std::u16string_view text);
// A number of points ("10", "8.25", "8,25"); throws torva::Error 13 otherwise.
double readFontSize(std::u16string_view text);

class frmSelAdrBook {
  public:
    // Loading runs the load-time set-up on the view; a string table that
    // cannot be read (1002, font sizes) makes it throw.
    static std::unique_ptr<frmSelAdrBook> Load(std::unique_ptr<AddressBookView> view);
    frmSelAdrBook(const frmSelAdrBook&) = delete;
    frmSelAdrBook& operator=(const frmSelAdrBook&) = delete;
    ~frmSelAdrBook();

    // Public state the host action reads and writes.
    std::u16string FileName;
    automation::ObjectRef myOutlook;
    // The explorer window the press came from, whose selection is offered;
    // Nothing: Outlook's active explorer.
    automation::ObjectRef myExplorer;

    // Fills the list from Outlook; false on the first failing step, after
    // the user's notice (0943) and its log entry.
    bool init() noexcept;
    // Shows the dialog modally, owned by the window its view was made for;
    // returns once it is hidden or closed.
    void Show();
    void cmdOK_Click();
    void cmdCancel_Click();

    // The load-time set-up steps, public as the form declares them.
    void setLabelTexts(std::span<const Ctl> ControlsList);
    void initTextLabel(Ctl lbl);
    void initListBox(Ctl lb);
    void initOption(Ctl opt);
    void initButton(Ctl cmd);

    AddressBookView& view() { return *view_; }
    const automation::ObjectRef& myNamespace() const { return myNamespace_; }
    const automation::ObjectRef& myRootFolder() const { return myRootFolder_; }

  private:
    explicit frmSelAdrBook(std::unique_ptr<AddressBookView> view);
    void Form_Load();
    void setRightToLeft(bool value) noexcept;
    void initLabelStyle(Ctl lbl);
    void setFont(Ctl ctl, std::u16string_view nameId, std::u16string_view sizeId);
    automation::ObjectRef explorer();

    std::unique_ptr<AddressBookView> view_;
    automation::ObjectRef myNamespace_;
    automation::ObjectRef myRootFolder_;
};

}  // namespace torva
