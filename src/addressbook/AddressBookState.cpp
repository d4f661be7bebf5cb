#include "addressbook/AddressBookState.h"

#include "base/Error.h"

namespace torva {

const ControlLayout& layoutOf(Ctl id) {
    for (const auto& c : kAddressBookLayout)
        if (c.id == id) return c;
    throw Error(vb::kInvalidCall, u"Invalid procedure call or argument");
}

AddressBookState::AddressBookState() {
    for (const auto& c : kAddressBookLayout)
        controls[c.id].caption = std::u16string(c.storedCaption);
}

AddressBookState::Entry& AddressBookState::at(int index) {
    if (index < 0 || static_cast<size_t>(index) >= entries.size())
        throw Error(vb::kInvalidArrayIndex, u"Invalid property array index");
    return entries[static_cast<size_t>(index)];
}

void AddressBookState::setRightToLeft(Ctl ctl, bool rtl) { controls[ctl].rightToLeft = rtl; }

void AddressBookState::setFontName(Ctl ctl, const std::u16string& name) {
    controls[ctl].fontName = name;
    controls[ctl].fontChanges.push_back("name");
}

void AddressBookState::setFontSize(Ctl ctl, double points) {
    controls[ctl].fontSize = points;
    controls[ctl].fontChanges.push_back("size");
}

void AddressBookState::setFontBold(Ctl ctl, bool bold) {
    controls[ctl].fontBold = bold;
    controls[ctl].fontChanges.push_back("bold");
}

void AddressBookState::setCaption(Ctl ctl, const std::u16string& text) {
    // A list box has no caption, as in the form.
    if (layoutOf(ctl).kind == CtlKind::ListBox)
        throw Error(vb::kNotSupported, u"Object doesn't support this property or method");
    controls[ctl].caption = text;
}

void AddressBookState::setTooltip(Ctl ctl, const std::u16string& text) {
    controls[ctl].tooltip = text;
}

void AddressBookState::showModal(const std::function<void()>& onOK,
                                 const std::function<void()>& onCancel) {
    ++shows;
    visible = true;
    if (answer) answer(*this, onOK, onCancel);
    visible = false;  // closed by its close box when the answer did not hide it
}

}  // namespace torva
