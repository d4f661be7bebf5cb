#pragma once
// The contact export file that the address-book dialog writes on OK: a header
// line of column names, then a line per contact of the marked folders and of
// the explorer's selection, with business or private addresses. It reads the
// dialog through its view, so it runs natively against the model.

#include <cstdint>
#include <functional>
#include <string>

#include "addressbook/AddressBookView.h"
#include "automation/Automation.h"

namespace torva {

// Item data of the list entry that stands for the explorer's selection.
inline constexpr int32_t kSelectionEntryData = -1;
// _ContactItem: an item that does not offer it is no contact.
inline constexpr automation::Guid kIidContactItem{
    0x00063021, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// An OLE date's calendar day (the time of day is dropped).
struct CalendarDay {
    int year, month, day;
};
CalendarDay calendarDayOf(double oleDate);

// What the export reads of the dialog: the list's marked entries and the
// address kind, the root folder whose folders the entries name, and the
// explorer whose Selection the selection entry stands for (asked for when
// that entry comes, so it is the selection of that moment).
struct ContactExportSource {
    AddressBookView& dialog;
    automation::ObjectRef rootFolder;
    std::function<automation::ObjectRef()> explorer;
};

// Writes the file FileName from the dialog's choice; true once it is written
// and closed. On a failure the partial file goes and failureNotice is set to
// what tells the user, to be shown once the dialog is hidden.
bool exportContacts(const std::u16string& FileName, const ContactExportSource& source,
                    std::function<void()>& failureNotice) noexcept;

}  // namespace torva
