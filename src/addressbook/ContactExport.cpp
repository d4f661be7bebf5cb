#include "addressbook/ContactExport.h"

#include <cmath>
#include <exception>
#include <span>
#include <string>
#include <string_view>

#include "addressbook/ListExport.h"
#include "platform/Platform.h"
#include "support/ExportFile.h"
#include "support/Notice.h"
#include "support/StringIds.h"
#include "support/modLog.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"

namespace torva {

using automation::asInt;
using automation::asObject;
using automation::ObjectRef;
using automation::Value;
using contact_export::ListExport;
using contact_export::NotAContact;
using contact_export::UnreadableContact;

namespace {

// The notice of a failed export, by the kind of its failure.
std::function<void()> failedExportNotice(const std::exception& e, const std::u16string& path) {
    const std::u16string description = describeFailure(e);
    if (const auto* item = dynamic_cast<const NotAContact*>(&e)) {
        const std::u16string name = item->name;
        if (name.empty())
            return [description] {
                showFailureNotice(StringId::kEntryNotAContact, {},
                                  u"Outlook export: an entry is not a contact: ", description);
            };
        return [description, name] {
            showFailureNotice(StringId::kNamedEntryNotAContact, {name},
                              u"Outlook export: an entry is not a contact: ",
                              name + u": " + description);
        };
    }
    if (dynamic_cast<const UnreadableContact*>(&e))
        return [description] {
            showFailureNotice(StringId::kUnreadableContact, {description},
                              u"Outlook export: a contact could not be read: ", description);
        };
    if (dynamic_cast<const ExportFileError*>(&e)) {
        const std::u16string folder = path.substr(0, path.find_last_of(u'\\'));
        return [description, folder] {
            showFailureNotice(StringId::kOutlookExportFileFailed, {folder, description},
                              u"Outlook export: the export file could not be written: ",
                              description);
        };
    }
    return [description] {
        showFailureNotice(StringId::kOutlookRefusedCall, {description},
                          u"Outlook export: Outlook refused a call: ", description);
    };
}

// The header's column names, by their IDs in the string table: the columns
// of every line, then those of private or of business addresses.
struct IdRange {
    int first, last;
};
constexpr IdRange kCommonColumnIds{5100, 5103};
constexpr IdRange kPrivateColumnIds{5110, 5115};
constexpr IdRange kBusinessColumnIds{5120, 5128};

std::u16string headerLine(bool privateFields) {
    std::u16string header;
    auto addIds = [&header](IdRange ids) {
        for (int n = ids.first; n <= ids.last; ++n) {
            const std::string id = std::to_string(n);
            header += GetString(std::u16string(id.begin(), id.end())) + u'\t';
        }
    };
    addIds(kCommonColumnIds);
    addIds(privateFields ? kPrivateColumnIds : kBusinessColumnIds);
    header.pop_back();
    return header;
}

// Reads the address kind itself, as each line is made.
std::u16string getContactLine(AddressBookView& dialog, const ObjectRef& item) {
    // Each text is appended where it lands, the line's buffer taken once.
    std::u16string line;
    line.reserve(256);
    auto add = [&item, &line](std::u16string_view property) { item->appendText(property, line); };
    add(u"Title");
    line += u'\t';
    add(u"FirstName");
    line += u'\t';
    add(u"LastName");
    line += u'\t';
    const CalendarDay day = calendarDayOf(automation::asDate(item->get(u"Birthday")).oleDate);
    line += FormatDate(platform::LocalTime{day.year, day.month, day.day, 0, 0, 0}) + u'\t';
    static constexpr std::u16string_view kPrivate[] = {
        u"HomeAddressPostalCode", u"HomeAddressCity",       u"HomeAddressStreet",
        u"HomeTelephoneNumber",   u"MobileTelephoneNumber", u"Email1Address"};
    static constexpr std::u16string_view kBusiness[] = {u"CompanyName",
                                                        u"Department",
                                                        u"BusinessAddressPostalCode",
                                                        u"BusinessAddressCity",
                                                        u"BusinessAddressStreet",
                                                        u"BusinessTelephoneNumber",
                                                        u"BusinessFaxNumber",
                                                        u"MobileTelephoneNumber",
                                                        u"Email1Address"};
    const std::span<const std::u16string_view> fields =
        dialog.optionSelected(Ctl::rbPrivate) ? std::span<const std::u16string_view>(kPrivate)
                                              : std::span<const std::u16string_view>(kBusiness);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += u'\t';
        add(fields[i]);
    }
    return line;
}

}  // namespace

CalendarDay calendarDayOf(double oleDate) {
    // Days from 1970-01-01 to the civil date (Howard Hinnant's algorithm),
    // starting from the OLE epoch 1899-12-30, which is day -25569.
    const long long z = static_cast<long long>(std::trunc(oleDate)) - 25569 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

bool exportContacts(const std::u16string& FileName, const ContactExportSource& source,
                    std::function<void()>& failureNotice) noexcept {
    AddressBookView& dialog = source.dialog;
    try {
        const bool privateFields = dialog.optionSelected(Ctl::rbPrivate);
        const std::u16string header = headerLine(privateFields);

        ExportFile file(FileName);
        file.writeLine(header);

        // One item at a time, taken by its index and let go once its line is
        // written: Exchange refuses a client more than a few hundred open
        // items, so a folder's items must never be held all at once.
        ListExport lists(
            file, [&dialog](const ObjectRef& contact) { return getContactLine(dialog, contact); },
            privateFields ? 10 : 13);
        auto writeItems = [&](const ObjectRef& items) {
            const int32_t n = asInt(items->get(u"Count"));
            for (int32_t k = 1; k <= n; ++k) lists.item(asObject(items->call(u"Item", {k})));
        };
        const int count = dialog.entryCount();
        for (int i = 0; i < count; ++i) {
            if (!dialog.entryMarked(i)) continue;
            if (dialog.itemData(i) == kSelectionEntryData) {
                writeItems(asObject(source.explorer()->get(u"Selection")));
            } else {
                const ObjectRef folder =
                    asObject(asObject(source.rootFolder->get(u"Folders"))
                                 ->call(u"Item", {Value{dialog.entryText(i)}}));
                writeItems(asObject(folder->get(u"Items")));
            }
        }
        lists.finish();
        file.close();
        return true;
    } catch (const std::exception& e) {
        // The partial file goes; the user is told once the dialog is hidden.
        RemoveFile(FileName);
        try {
            failureNotice = failedExportNotice(e, FileName);
        } catch (...) {  // no memory for the notice: the export still failed
        }
        return false;
    } catch (...) {
        RemoveFile(FileName);
        try {
            failureNotice = [] {
                showFailureNotice(StringId::kOutlookRefusedCall, {u"Unexpected failure"},
                                  u"Outlook export: Outlook refused a call: ",
                                  u"Unexpected failure");
            };
        } catch (...) {
        }
        return false;
    }
}

}  // namespace torva
