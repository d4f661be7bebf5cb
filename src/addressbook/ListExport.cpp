#include "addressbook/ListExport.h"

#include <string_view>

#include "addressbook/ContactExport.h"
#include "support/modLog.h"

namespace torva::contact_export {

using automation::asInt;
using automation::asObject;
using automation::asString;
using automation::ObjectRef;

namespace {

// An item's Subject (a distribution list's name, a mail's subject); empty
// when it has none or will not tell.
std::u16string subjectOf(const ObjectRef& item) noexcept {
    try {
        return asString(item->get(u"Subject"));
    } catch (...) {
        return {};
    }
}

// Outlook's class of a distribution list item (OlObjectClass), and the
// kinds of address entry (OlAddressEntryUserType) that stand for an item of
// a contacts folder.
constexpr int32_t olDistributionList = 69;
constexpr int32_t olOutlookContactAddressEntry = 10;
constexpr int32_t olOutlookDistributionListAddressEntry = 11;

}  // namespace

void ListExport::item(const ObjectRef& item) {
    ObjectRef contact;
    try {
        contact = item->queryInterface(kIidContactItem);
    } catch (const automation::Error& e) {
        if (e.hresult() != automation::kENoInterface) throw;
        if (asInt(item->get(u"Class")) == olDistributionList) {
            list(item);
        } else {
            if (!firstLeftOut_) firstLeftOut_.emplace(e, subjectOf(item));
            ++leftOut_;
        }
        return;
    }
    const std::u16string id = entryId(contact);
    // Taken once already from a list: it stays one line.
    if (fromLists_.count(id)) return;
    written_.insert(id);
    writeContact(contact);
}

void ListExport::finish() {
    if (lines_ == 0 && firstLeftOut_) throw *firstLeftOut_;
    if (leftOut_ > 0) {
        const std::string n = std::to_string(leftOut_);
        WriteLog(u"Outlook export: entries left out that are neither contacts nor lists: " +
                     std::u16string(n.begin(), n.end()),
                 LogInfo);
    }
}

std::u16string ListExport::entryId(const ObjectRef& contact) {
    try {
        return asString(contact->get(u"EntryID"));
    } catch (const automation::Error& e) {
        throw UnreadableContact(e);
    }
}

void ListExport::writeContact(const ObjectRef& contact) {
    std::u16string line;
    try {
        line = lineOf_(contact);
    } catch (const automation::Error& e) {
        throw UnreadableContact(e);
    }
    file_.writeLine(line);
    ++lines_;
}

// GetMember(i), 1-based, of a DistListItem.
void ListExport::list(const ObjectRef& distList) {
    if (!visited_.insert(u"item:" + asString(distList->get(u"EntryID"))).second) return;
    const int32_t n = asInt(distList->get(u"MemberCount"));
    for (int32_t i = 1; i <= n; ++i) {
        const ObjectRef recipient = asObject(distList->call(u"GetMember", {i}));
        member(asObject(recipient->get(u"AddressEntry")));
    }
}

// A list inside a list, reached as an address entry: its Members.
void ListExport::entries(const ObjectRef& listEntry, const ObjectRef& members) {
    if (!visited_.insert(u"entry:" + asString(listEntry->get(u"ID"))).second) return;
    const int32_t n = asInt(members->get(u"Count"));
    for (int32_t i = 1; i <= n; ++i) member(asObject(members->call(u"Item", {i})));
}

// What the entry says it is decides, not what Outlook can give of it: a
// contact whose item cannot be had is a failure, never a one-off line.
void ListExport::member(const ObjectRef& entry) {
    const int32_t type = asInt(entry->get(u"AddressEntryUserType"));
    if (type == olOutlookContactAddressEntry) {
        const ObjectRef contact = asObject(entry->call(u"GetContact"));
        const std::u16string id = entryId(contact);
        if (!written_.insert(id).second) return;
        fromLists_.insert(id);
        writeContact(contact);
        return;
    }
    if (type == olOutlookDistributionListAddressEntry) {
        entries(entry, asObject(entry->get(u"Members")));
        return;
    }
    // A one-off address: its name as the last name, its address as the
    // e-mail address, every other column empty; once.
    const std::u16string name = asString(entry->get(u"Name"));
    const std::u16string address = asString(entry->get(u"Address"));
    if (!oneOffs_.insert(name + u'\t' + address).second) return;
    file_.writeLine(oneOffLine(name, address));
    ++lines_;
}

std::u16string ListExport::oneOffLine(const std::u16string& name,
                                      const std::u16string& address) const {
    // Title, FirstName, LastName, Birthday, then the address columns up
    // to Email1Address, the last of either kind.
    std::u16string line = u"\t\t" + name + u"\t";
    for (int c = 4; c < columns_; ++c) line += u'\t';
    return line + address;
}

}  // namespace torva::contact_export
