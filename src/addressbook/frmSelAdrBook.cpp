#include "addressbook/frmSelAdrBook.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <set>
#include <vector>
#include <string>

#include "support/Notice.h"
#include "platform/Platform.h"
#include "base/Error.h"
#include "base/Text.h"
#include "support/modLog.h"
#include "support/ExportFile.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"
#include "support/StringIds.h"

namespace torva {

using automation::asInt;
using automation::asObject;
using automation::asString;
using automation::ObjectRef;
using automation::Value;

namespace {

[[noreturn]] void typeMismatch() { throw Error(vb::kTypeMismatch, u"Type mismatch"); }

ObjectRef objectOf(const ObjectRef& parent, std::u16string_view property) {
    return asObject(parent->get(property));
}

std::u16string trimmed(std::u16string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && (text[b] == u' ' || text[b] == u'\t')) ++b;
    while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t')) --e;
    return std::u16string(text.substr(b, e - b));
}

// A number as the user's locale writes it (the invariant point accepted too).
std::optional<double> readNumber(std::u16string_view text) {
    const std::u16string t = trimmed(text);
    if (t.empty()) return std::nullopt;
    const char16_t decimal = platform::numberSeparators().decimal;
    std::string ascii;
    for (char16_t c : t) {
        if (c == decimal) c = u'.';
        if (c > 0x7F) return std::nullopt;
        const char a = static_cast<char>(c);
        if (!((a >= '0' && a <= '9') || a == '.' || a == '+' || a == '-' || a == 'e' || a == 'E'))
            return std::nullopt;
        ascii += a;
    }
    char* end = nullptr;
    const double v = std::strtod(ascii.c_str(), &end);
    if (end != ascii.c_str() + ascii.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// The ID after `tag`, four digits with leading zeros ("0952" gives "0953").
std::u16string nextId(std::u16string_view tag) {
    const auto n = readNumber(tag);
    if (!n) typeMismatch();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04ld", static_cast<long>(*n) + 1);
    return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

// An item of an address book that is no contact, by its name where it has one.
struct NotAContact : Error {
    NotAContact(const Error& e, std::u16string itemName) : Error(e), name(std::move(itemName)) {}
    std::u16string name;
};
struct UnreadableContact : Error {
    explicit UnreadableContact(const Error& e) : Error(e) {}
};

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

// Lines of the export beyond the plain contacts: a distribution list gives
// its members, each contact once however often lists (or the selection)
// name it, a member that is no contact its name and address; items that are
// neither contacts nor lists are left out and counted.
class ListExport {
  public:
    using LineOf = std::function<std::u16string(const ObjectRef& contact)>;
    // columns: of a line, 10 for private addresses, 13 for business ones.
    ListExport(ExportFile& file, LineOf lineOf, int columns)
        : file_(file), lineOf_(std::move(lineOf)), columns_(columns) {}

    // One item of an address book or of the selection.
    void item(const ObjectRef& item) {
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

    // An export of nothing but left-out items fails as the first of them
    // (its one log line says which); otherwise how many were left out goes
    // to the log.
    void finish() {
        if (lines_ == 0 && firstLeftOut_) throw *firstLeftOut_;
        if (leftOut_ > 0) {
            const std::string n = std::to_string(leftOut_);
            WriteLog(u"Outlook export: entries left out that are neither contacts nor lists: " +
                         std::u16string(n.begin(), n.end()),
                     LogInfo);
        }
    }

  private:
    static std::u16string entryId(const ObjectRef& contact) {
        try {
            return asString(contact->get(u"EntryID"));
        } catch (const automation::Error& e) {
            throw UnreadableContact(e);
        }
    }

    void writeContact(const ObjectRef& contact) {
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
    void list(const ObjectRef& distList) {
        if (!visited_.insert(u"item:" + asString(distList->get(u"EntryID"))).second) return;
        const int32_t n = asInt(distList->get(u"MemberCount"));
        for (int32_t i = 1; i <= n; ++i) {
            const ObjectRef recipient = asObject(distList->call(u"GetMember", {i}));
            member(asObject(recipient->get(u"AddressEntry")));
        }
    }

    // A list inside a list, reached as an address entry: its Members.
    void entries(const ObjectRef& listEntry, const ObjectRef& members) {
        if (!visited_.insert(u"entry:" + asString(listEntry->get(u"ID"))).second) return;
        const int32_t n = asInt(members->get(u"Count"));
        for (int32_t i = 1; i <= n; ++i) member(asObject(members->call(u"Item", {i})));
    }

    // What the entry says it is decides, not what Outlook can give of it: a
    // contact whose item cannot be had is a failure, never a one-off line.
    void member(const ObjectRef& entry) {
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

    std::u16string oneOffLine(const std::u16string& name, const std::u16string& address) const {
        // Title, FirstName, LastName, Birthday, then the address columns up
        // to Email1Address, the last of either kind.
        std::u16string line = u"\t\t" + name + u"\t";
        for (int c = 4; c < columns_; ++c) line += u'\t';
        return line + address;
    }

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

std::u16string decimalId(int n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

}  // namespace

bool readTruthValue(std::u16string_view text) {
    const std::u16string t = trimmed(text);
    if (equalsAsciiIgnoreCase<char16_t>(t, u"True")) return true;
    if (equalsAsciiIgnoreCase<char16_t>(t, u"False")) return false;
    const auto n = readNumber(t);
    if (!n) typeMismatch();
    return *n != 0;
}

double readFontSize(std::u16string_view text) {
    const auto n = readNumber(text);
    if (!n) typeMismatch();
    return *n;
}

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

frmSelAdrBook::frmSelAdrBook(std::unique_ptr<AddressBookView> view) : view_(std::move(view)) {}

frmSelAdrBook::~frmSelAdrBook() = default;

std::unique_ptr<frmSelAdrBook> frmSelAdrBook::Load(std::unique_ptr<AddressBookView> view) {
    std::unique_ptr<frmSelAdrBook> form(new frmSelAdrBook(std::move(view)));
    form->Form_Load();
    return form;
}

void frmSelAdrBook::Form_Load() {
    setRightToLeft(readTruthValue(GetString(StringId::kRightToLeft)));
    initTextLabel(Ctl::lblAdressbooks);
    initListBox(Ctl::lbBooks);
    initOption(Ctl::rbBusiness);
    initOption(Ctl::rbPrivate);
    initButton(Ctl::cmdCancel);
    initButton(Ctl::cmdOK);
    std::vector<Ctl> all;
    for (const auto& c : kAddressBookLayout) all.push_back(c.id);
    setLabelTexts(all);
    view_->selectOption(Ctl::rbBusiness);
}

void frmSelAdrBook::setRightToLeft(bool value) noexcept {
    // Each statement on its own: a control without the flag is passed over.
    try {
        view_->setDialogRightToLeft(value);
    } catch (const std::exception&) {
    }
    for (const auto& c : kAddressBookLayout) {
        try {
            view_->setRightToLeft(c.id, value);
        } catch (const std::exception&) {
        }
    }
}

void frmSelAdrBook::setFont(Ctl ctl, std::u16string_view nameId, std::u16string_view sizeId) {
    view_->setFontName(ctl, GetString(nameId));
    view_->setFontSize(ctl, readFontSize(GetString(sizeId)));
}

void frmSelAdrBook::initLabelStyle(Ctl lbl) { view_->setLabelStyle(lbl); }

void frmSelAdrBook::initTextLabel(Ctl lbl) {
    initLabelStyle(lbl);
    view_->setAlignmentLeft(lbl);
    setFont(lbl, StringId::kFontName, StringId::kFontSize);
    view_->setFontBold(lbl, false);
}

void frmSelAdrBook::initListBox(Ctl lb) {
    setFont(lb, StringId::kListFontName, StringId::kListFontSize);
}

void frmSelAdrBook::initOption(Ctl opt) {
    setFont(opt, StringId::kFontName, StringId::kFontSize);
    view_->setFontBold(opt, false);
    view_->setAlignmentLeft(opt);
}

void frmSelAdrBook::initButton(Ctl cmd) { setFont(cmd, StringId::kFontName, StringId::kFontSize); }

void frmSelAdrBook::setLabelTexts(std::span<const Ctl> ControlsList) {
    for (Ctl ctl : ControlsList) {
        std::u16string_view tag;
        try {
            tag = layoutOf(ctl).tag;
        } catch (const std::exception&) {
            continue;
        }
        if (tag.empty()) continue;
        try {
            view_->setCaption(ctl, GetString(tag));
        } catch (const std::exception&) {
        }
        try {
            view_->setTooltip(ctl, GetString(nextId(tag)));
        } catch (const std::exception&) {
        }
    }
}

bool frmSelAdrBook::init() noexcept {
    try {
        FileName.clear();
        view_->clearEntries();
        myNamespace_ = asObject(myOutlook->call(u"GetNamespace", {u"MAPI"}));
        myRootFolder_ = asObject(objectOf(myNamespace_, u"Folders")->call(u"GetFirst"));
        for (const Value& v : objectOf(myRootFolder_, u"Folders")->items()) {
            const ObjectRef folder = asObject(v);
            if (asInt(folder->get(u"DefaultItemType")) == kOlContactItem)
                view_->addEntry(asString(folder->get(u"Name")));
        }
        const ObjectRef explorer = this->explorer();
        if (asInt(objectOf(explorer, u"CurrentFolder")->get(u"DefaultItemType")) ==
            kOlContactItem) {
            if (asInt(objectOf(explorer, u"Selection")->get(u"Count")) > 0) {
                view_->addEntry(GetString(StringId::kSelectionEntry));
                view_->setItemData(view_->entryCount() - 1, kSelectionEntryData);
            }
        }
        const bool any = view_->entryCount() > 0;
        view_->setEnabled(Ctl::cmdOK, any);
        view_->setEnabled(Ctl::rbBusiness, any);
        view_->setEnabled(Ctl::rbPrivate, any);
        if (any) view_->setEntryMarked(0, true);
        return true;
    } catch (const std::exception& e) {
        // The dialog is not shown; the user learns why.
        const std::u16string description = describeFailure(e);
        showFailureNotice(StringId::kAddressBooksUnlisted, {description},
                          u"Outlook: the address books could not be listed: ", description);
        return false;
    } catch (...) {
        showFailureNotice(StringId::kAddressBooksUnlisted, {u"Unexpected failure"},
                          u"Outlook: the address books could not be listed: ",
                          u"Unexpected failure");
        return false;
    }
}

ObjectRef frmSelAdrBook::explorer() {
    return myExplorer ? myExplorer : asObject(myOutlook->call(u"ActiveExplorer"));
}

void frmSelAdrBook::Show() {
    view_->showModal([this] { cmdOK_Click(); }, [this] { cmdCancel_Click(); });
}

void frmSelAdrBook::cmdOK_Click() {
    FileName = WorkingFolder + u"\\" + NewTempName();
    if (!exportContacts()) FileName.clear();
    view_->hide();
    // 4. A failed export is told once the dialog is gone, so that the notice
    // stands over the host window alone.
    if (exportNotice_) {
        const std::function<void()> tell = std::move(exportNotice_);
        exportNotice_ = nullptr;
        tell();
    }
}

void frmSelAdrBook::cmdCancel_Click() {
    FileName.clear();
    view_->hide();
}

bool frmSelAdrBook::exportContacts() noexcept {
    try {
        const bool privateFields = view_->optionSelected(Ctl::rbPrivate);
        std::u16string header;
        auto addIds = [&header](int first, int last) {
            for (int n = first; n <= last; ++n) header += GetString(decimalId(n)) + u'\t';
        };
        addIds(5100, 5103);
        if (privateFields)
            addIds(5110, 5115);
        else
            addIds(5120, 5128);
        header.pop_back();

        ExportFile file(FileName);
        file.writeLine(header);

        // One item at a time, taken by its index and let go once its line is
        // written: Exchange refuses a client more than a few hundred open
        // items, so a folder's items must never be held all at once.
        ListExport lists(
            file, [this](const ObjectRef& contact) { return getContactLine(contact); },
            privateFields ? 10 : 13);
        auto writeItems = [&](const ObjectRef& items) {
            const int32_t n = asInt(items->get(u"Count"));
            for (int32_t k = 1; k <= n; ++k) lists.item(asObject(items->call(u"Item", {k})));
        };
        const int count = view_->entryCount();
        for (int i = 0; i < count; ++i) {
            if (!view_->entryMarked(i)) continue;
            if (view_->itemData(i) == kSelectionEntryData) {
                writeItems(objectOf(explorer(), u"Selection"));
            } else {
                const ObjectRef folder =
                    asObject(objectOf(myRootFolder_, u"Folders")
                                 ->call(u"Item", {Value{view_->entryText(i)}}));
                writeItems(objectOf(folder, u"Items"));
            }
        }
        lists.finish();
        file.close();
        return true;
    } catch (const std::exception& e) {
        // The partial file goes; the user is told once the dialog is hidden.
        RemoveFile(FileName);
        try {
            exportNotice_ = failedExportNotice(e, FileName);
        } catch (...) {  // no memory for the notice: the export still failed
        }
        return false;
    } catch (...) {
        RemoveFile(FileName);
        try {
            exportNotice_ = [] {
                showFailureNotice(StringId::kOutlookRefusedCall, {u"Unexpected failure"},
                                  u"Outlook export: Outlook refused a call: ",
                                  u"Unexpected failure");
            };
        } catch (...) {
        }
        return false;
    }
}

std::u16string frmSelAdrBook::getContactLine(const ObjectRef& item) {
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
        view_->optionSelected(Ctl::rbPrivate) ? std::span<const std::u16string_view>(kPrivate)
                                              : std::span<const std::u16string_view>(kBusiness);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += u'\t';
        add(fields[i]);
    }
    return line;
}

}  // namespace torva
