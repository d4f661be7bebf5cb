#include <windows.h>

#include "addressbook/win/AddressBookWindowView.h"
#include "base/Error.h"
#include "platform/win/Com.h"

namespace torva::win {

void AddressBookWindow::checkIndex(int index) {
    if (index < 0 || index >= entryCount())
        throw Error(vb::kInvalidArrayIndex, u"Invalid property array index");
}

void AddressBookWindow::clearEntries() { SendMessageW(item(Ctl::lbBooks), LB_RESETCONTENT, 0, 0); }

void AddressBookWindow::addEntry(const std::u16string& text) {
    if (SendMessageW(item(Ctl::lbBooks), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(text))) < 0)
        throw Error(vb::kOutOfMemory, u"Out of memory");
}

int AddressBookWindow::entryCount() {
    return static_cast<int>(SendMessageW(item(Ctl::lbBooks), LB_GETCOUNT, 0, 0));
}

std::u16string AddressBookWindow::entryText(int index) {
    checkIndex(index);
    const LRESULT length = SendMessageW(item(Ctl::lbBooks), LB_GETTEXTLEN, index, 0);
    if (length < 0) throw Error(vb::kInvalidArrayIndex, u"Invalid property array index");
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    SendMessageW(item(Ctl::lbBooks), LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

int32_t AddressBookWindow::itemData(int index) {
    checkIndex(index);
    return static_cast<int32_t>(SendMessageW(item(Ctl::lbBooks), LB_GETITEMDATA, index, 0));
}

void AddressBookWindow::setItemData(int index, int32_t data) {
    checkIndex(index);
    SendMessageW(item(Ctl::lbBooks), LB_SETITEMDATA, index, static_cast<LPARAM>(data));
}

bool AddressBookWindow::entryMarked(int index) {
    checkIndex(index);
    return SendMessageW(item(Ctl::lbBooks), LB_GETSEL, index, 0) > 0;
}

void AddressBookWindow::setEntryMarked(int index, bool marked) {
    checkIndex(index);
    SendMessageW(item(Ctl::lbBooks), LB_SETSEL, marked ? TRUE : FALSE, index);
}

}  // namespace torva::win
