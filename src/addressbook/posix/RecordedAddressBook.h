#pragma once
// The POSIX build's dialog plays a scripted answer and records what it
// showed, for the tests of the host action. Not part of the Windows DLL.

#include <vector>

#include "addressbook/AddressBookState.h"

namespace torva {

// The answer the next dialogs play (none: closed at once), and the dialogs
// shown so far, each as it looked when it opened.
AddressBookState::Answer& scriptedAddressBookAnswer();
std::vector<AddressBookState>& shownAddressBooks();

}  // namespace torva
