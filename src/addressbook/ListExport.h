#pragma once
// The items of the contact export one by one, and the lines they give beyond
// the plain contacts: a distribution list gives its members, each contact
// once however often lists (or the selection) name it, a member that is no
// contact its name and address; items that are neither contacts nor lists
// are left out and counted.

#include <functional>
#include <optional>
#include <set>
#include <string>

#include "automation/Automation.h"
#include "base/Error.h"
#include "support/ExportFile.h"

namespace torva::contact_export {

// An item of an address book that is no contact, by its name where it has one.
struct NotAContact : Error {
    NotAContact(const Error& e, std::u16string itemName) : Error(e), name(std::move(itemName)) {}
    std::u16string name;
};
// A contact whose EntryID or line Outlook would not give.
struct UnreadableContact : Error {
    explicit UnreadableContact(const Error& e) : Error(e) {}
};

class ListExport {
  public:
    using LineOf = std::function<std::u16string(const automation::ObjectRef& contact)>;
    // columns: of a line, 10 for private addresses, 13 for business ones.
    ListExport(ExportFile& file, LineOf lineOf, int columns)
        : file_(file), lineOf_(std::move(lineOf)), columns_(columns) {}

    // One item of an address book or of the selection.
    void item(const automation::ObjectRef& item);
    // An export of nothing but left-out items fails as the first of them
    // (its one log line says which); otherwise how many were left out goes
    // to the log.
    void finish();

  private:
    static std::u16string entryId(const automation::ObjectRef& contact);
    void writeContact(const automation::ObjectRef& contact);
    void list(const automation::ObjectRef& distList);
    void entries(const automation::ObjectRef& listEntry, const automation::ObjectRef& members);
    void member(const automation::ObjectRef& entry);
    std::u16string oneOffLine(const std::u16string& name, const std::u16string& address) const;

    ExportFile& file_;
    LineOf lineOf_;
    int columns_;
    std::set<std::u16string> written_;    // EntryIDs of the contacts written
    std::set<std::u16string> fromLists_;  // of those, the ones a list gave
    std::set<std::u16string> visited_;    // lists followed
    std::set<std::u16string> oneOffs_;
    std::optional<NotAContact> firstLeftOut_;
    int leftOut_ = 0;
    int lines_ = 0;
};

}  // namespace torva::contact_export
