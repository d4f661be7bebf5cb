// The POSIX build has no windows: its dialog is the in-memory one, answering
// with the scripted answer and kept for the tests once shown.

#include "addressbook/posix/RecordedAddressBook.h"

namespace torva {

AddressBookState::Answer& scriptedAddressBookAnswer() {
    static AddressBookState::Answer answer;
    return answer;
}

std::vector<AddressBookState>& shownAddressBooks() {
    static std::vector<AddressBookState> shown;
    return shown;
}

namespace {
class RecordedAddressBook : public AddressBookState {
  public:
    explicit RecordedAddressBook(intptr_t ownerWindow) {
        answer = scriptedAddressBookAnswer();
        owner = ownerWindow;
    }
    void showModal(const std::function<void()>& onOK,
                   const std::function<void()>& onCancel) override {
        // Recorded as it looked when it opened, before the answer changes it.
        shownAddressBooks().push_back(*this);
        AddressBookState::showModal(onOK, onCancel);
    }
};
}  // namespace

std::unique_ptr<AddressBookView> createAddressBookView(intptr_t owner) {
    return std::make_unique<RecordedAddressBook>(owner);
}

}  // namespace torva
