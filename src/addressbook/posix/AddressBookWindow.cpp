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
