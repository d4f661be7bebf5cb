// The POSIX build has no windows: its dialog is the in-memory one, answering
// with the scripted answer and kept for the tests once shown.

#include "addressbook/AddressBookState.h"

namespace torva {

namespace {
class RecordedAddressBook : public AddressBookState {
  public:
    RecordedAddressBook() { answer = scriptedAddressBookAnswer(); }
    void showModal(const std::function<void()>& onOK,
                   const std::function<void()>& onCancel) override {
        // Recorded as it looked when it opened, before the answer changes it.
        shownAddressBooks().push_back(*this);
        AddressBookState::showModal(onOK, onCancel);
    }
};
}  // namespace

std::unique_ptr<AddressBookView> createAddressBookView() {
    return std::make_unique<RecordedAddressBook>();
}

}  // namespace torva
