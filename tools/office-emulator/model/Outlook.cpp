#include "Outlook.h"

#include <cstdio>
#include <string>

#include "CommandBars.h"

namespace torva::model {

namespace {

Value objectValue(ObjectRef o) { return Value{std::move(o)}; }

[[noreturn]] void notFound() {
    throw automation::Error(automation::kEFail,
                            u"The operation failed. An object could not be found.");
}

Value indexed(const std::vector<ObjectRef>& items, const Value& index) {
    const int32_t i = toInt(index);
    if (i < 1 || static_cast<size_t>(i) > items.size())
        throw automation::Error(automation::kEFail, u"Array index out of bounds.");
    return objectValue(items[static_cast<size_t>(i - 1)]);
}

std::vector<Value> values(const std::vector<ObjectRef>& items) {
    return {items.begin(), items.end()};
}

ObjectRef makeItem(const ItemSetup& item) {
    if (item.kind == ItemKind::Contact)
        return std::make_shared<ContactItem>(item.text, item.birthday.value_or(kOlNoDate));
    return std::make_shared<OtherItem>(item.kind, item.text);
}

// Outlook's EntryID: a long hexadecimal text, one per item of the run.
std::u16string nextEntryId() {
    static unsigned long n = 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "00000000A1B2C3D4E5F60718293A4B5C%08lX", ++n);
    return std::u16string(buf, buf + std::char_traits<char>::length(buf));
}

class AddressEntry;

// AddressEntries: the members of a list inside a list.
class AddressEntries : public Object {
  public:
    explicit AddressEntries(std::vector<ObjectRef> entries)
        : Object(u"AddressEntries"), entries_(std::move(entries)) {
        property(u"Count",
                 [this](const Params&) { return Value{static_cast<int32_t>(entries_.size())}; });
        method(
            u"Item", {u"Index"}, [this](const Params& p) { return indexed(entries_, param(p, 0)); },
            0);
        enumerableAs([this] { return values(entries_); });
    }

  private:
    std::vector<ObjectRef> entries_;
};

std::shared_ptr<Object> addressEntryOf(const OtherItem::Member& member);

// A list member's entry in the address book: GetContact gives the contact
// it stands for (Nothing for a one-off address or a list), Members the
// entries of a list (Nothing for anything else).
class AddressEntry : public Object {
  public:
    explicit AddressEntry(const OtherItem::Member& member) : Object(u"AddressEntry") {
        const auto item = member.item.lock();
        std::u16string name = member.setup.name, address = member.setup.address;
        const auto contact = member.setup.kind == MemberSetup::Contact
                                 ? std::dynamic_pointer_cast<ContactItem>(item)
                                 : nullptr;
        const auto list = member.setup.kind == MemberSetup::List
                              ? std::dynamic_pointer_cast<OtherItem>(item)
                              : nullptr;
        if (contact) {
            name = contact->text(u"FullName");
            if (name.empty())
                name = contact->text(u"FirstName") + u" " + contact->text(u"LastName");
            address = contact->text(u"Email1Address");
        }
        if (list) name = list->name();
        // The same entry has the same ID however it is reached.
        const std::u16string id = contact ? u"contact:" + contact->entryId()
                                  : list  ? u"list:" + list->entryId()
                                          : u"SMTP:" + address;
        property(u"Name", [name](const Params&) { return Value{name}; });
        property(u"Address", [address](const Params&) { return Value{address}; });
        property(u"ID", [id](const Params&) { return Value{id}; });
        // olUser 0, olPrivateDistList 5.
        property(u"DisplayType", [list](const Params&) { return Value{int32_t{list ? 5 : 0}}; });
        // olOutlookContactAddressEntry 10, olOutlookDistributionListAddressEntry
        // 11, olSmtpAddressEntry 30 (Outlook 2007 and later).
        const int32_t userType = contact ? 10 : list ? 11 : 30;
        property(u"AddressEntryUserType", [userType](const Params&) { return Value{userType}; });
        method(u"GetContact", {}, [contact](const Params&) { return objectValue(contact); });
        std::weak_ptr<OtherItem> weakList = list;
        property(u"Members", [weakList](const Params&) {
            auto l = weakList.lock();
            if (!l) return objectValue(nullptr);
            std::vector<ObjectRef> entries;
            for (const auto& m : l->members) entries.push_back(addressEntryOf(m));
            return objectValue(std::make_shared<AddressEntries>(std::move(entries)));
        });
    }
};

std::shared_ptr<Object> addressEntryOf(const OtherItem::Member& member) {
    return std::make_shared<AddressEntry>(member);
}

// GetMember's answer: the member as a recipient.
class Recipient : public Object {
  public:
    explicit Recipient(const OtherItem::Member& member)
        : Object(u"Recipient"), entry_(addressEntryOf(member)) {
        property(u"AddressEntry", [this](const Params&) { return objectValue(entry_); });
        property(u"Name", [this](const Params&) { return entry_->get(u"Name"); });
        property(u"Address", [this](const Params&) { return entry_->get(u"Address"); });
    }

  private:
    std::shared_ptr<Object> entry_;
};

std::shared_ptr<MAPIFolder> makeFolder(const FolderSetup& setup) {
    auto folder = std::make_shared<MAPIFolder>(setup.name, setup.defaultItemType);
    for (const auto& item : setup.items) folder->contents().push_back(makeItem(item));
    for (size_t i = 0; i < setup.items.size(); ++i) {
        auto list = std::dynamic_pointer_cast<OtherItem>(folder->contents()[i]);
        if (!list) continue;
        for (const auto& m : setup.items[i].members) {
            std::weak_ptr<Object> item;
            if (m.kind != MemberSetup::OneOff && m.item >= 0 &&
                static_cast<size_t>(m.item) < folder->contents().size())
                item = std::static_pointer_cast<Object>(folder->contents()[m.item]);
            list->members.push_back({m, item});
        }
    }
    for (const auto& sub : setup.folders) folder->folders()->list.push_back(makeFolder(sub));
    return folder;
}

}  // namespace

double oleDateOf(int year, int month, int day) {
    // Days from 1970-01-01 (Howard Hinnant's algorithm), then from the OLE epoch.
    const long long y = year - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<double>(era * 146097 + doe - 719468 + 25569);
}

MAPIFolder::MAPIFolder(std::u16string name, int32_t defaultItemType)
    : Object(u"MAPIFolder"),
      name_(std::move(name)),
      defaultItemType_(defaultItemType),
      folders_(std::make_shared<Folders>()) {
    property(u"Name", [this](const Params&) { return Value{name_}; });
    property(u"DefaultItemType", [this](const Params&) { return Value{defaultItemType_}; });
    property(u"Folders", [this](const Params&) { return objectValue(folders_); });
    property(u"Items", [this](const Params&) {
        return objectValue(std::make_shared<ItemList>(u"Items", items_));
    });
}

Folders::Folders() : Object(u"Folders") {
    property(u"Count", [this](const Params&) { return Value{static_cast<int32_t>(list.size())}; });
    method(u"GetFirst", {}, [this](const Params&) {
        cursor_ = 0;
        return list.empty() ? objectValue(nullptr) : objectValue(list[0]);
    });
    method(u"GetNext", {}, [this](const Params&) {
        if (cursor_ + 1 >= list.size()) {
            cursor_ = list.size();
            return objectValue(nullptr);
        }
        return objectValue(list[++cursor_]);
    });
    method(
        u"Item", {u"Index"},
        [this](const Params& p) {
            const Value index = param(p, 0);
            if (const auto* name = std::get_if<std::u16string>(&index)) {
                for (const auto& f : list)
                    if (equalsIgnoreCase(f->name(), *name)) return objectValue(f);
                notFound();
            }
            return indexed({list.begin(), list.end()}, index);
        },
        0);
    enumerableAs([this] { return std::vector<Value>(list.begin(), list.end()); });
}

ContactItem::ContactItem(std::map<std::u16string, std::u16string> text, double birthday)
    : Object(u"ContactItem"), text_(std::move(text)), birthday_(birthday) {
    implements(kIidContactItem);
    entryId_ = nextEntryId();
    property(u"EntryID", [this](const Params&) { return Value{entryId_}; });
    static constexpr const char16_t* kTextProperties[] = {u"Title",
                                                          u"FirstName",
                                                          u"LastName",
                                                          u"CompanyName",
                                                          u"Department",
                                                          u"HomeAddressPostalCode",
                                                          u"HomeAddressCity",
                                                          u"HomeAddressStreet",
                                                          u"HomeTelephoneNumber",
                                                          u"BusinessAddressPostalCode",
                                                          u"BusinessAddressCity",
                                                          u"BusinessAddressStreet",
                                                          u"BusinessTelephoneNumber",
                                                          u"BusinessFaxNumber",
                                                          u"MobileTelephoneNumber",
                                                          u"Email1Address",
                                                          u"FullName"};
    for (const char16_t* name : kTextProperties) {
        const std::u16string key(name);
        property(key, [this, key](const Params&) {
            const auto it = text_.find(key);
            return Value{it == text_.end() ? std::u16string() : it->second};
        });
    }
    property(u"Birthday", [this](const Params&) { return Value{automation::Date{birthday_}}; });
    property(u"Class", [](const Params&) { return Value{int32_t{40}}; });  // olContact
}

OtherItem::OtherItem(ItemKind kind, std::map<std::u16string, std::u16string> text)
    : Object(kind == ItemKind::Mail ? u"MailItem" : u"DistListItem"), text_(std::move(text)) {
    const bool mail = kind == ItemKind::Mail;
    property(u"Class", [mail](const Params&) { return Value{int32_t{mail ? 43 : 69}}; });
    entryId_ = nextEntryId();
    property(u"EntryID", [this](const Params&) { return Value{entryId_}; });
    if (!mail) {
        property(u"MemberCount",
                 [this](const Params&) { return Value{static_cast<int32_t>(members.size())}; });
        // 1-based, as Outlook counts a list's members.
        method(u"GetMember", {u"Index"}, [this](const Params& p) {
            const int32_t i = toInt(param(p, 0));
            if (i < 1 || static_cast<size_t>(i) > members.size())
                throw automation::Error(automation::kEFail, u"Array index out of bounds.");
            return objectValue(std::make_shared<Recipient>(members[static_cast<size_t>(i - 1)]));
        });
    }
    for (const char16_t* name : {u"Subject", u"DLName"}) {
        const std::u16string key(name);
        property(key, [this, key, mail](const Params&) {
            auto it = text_.find(key);
            // A distribution list's Subject is its name, as in Outlook.
            if (it == text_.end() && !mail && key == u"Subject") it = text_.find(u"DLName");
            return Value{it == text_.end() ? std::u16string() : it->second};
        });
    }
}

std::u16string OtherItem::name() const {
    const auto it = text_.find(u"DLName");
    return it == text_.end() ? std::u16string() : it->second;
}

ItemList::ItemList(std::u16string typeName, std::vector<ObjectRef> items)
    : Object(std::move(typeName)), items_(std::move(items)) {
    property(u"Count",
             [this](const Params&) { return Value{static_cast<int32_t>(items_.size())}; });
    method(
        u"Item", {u"Index"}, [this](const Params& p) { return indexed(items_, param(p, 0)); }, 0);
    enumerableAs([this] { return values(items_); });
}

NameSpace::NameSpace() : Object(u"NameSpace"), stores_(std::make_shared<Folders>()) {
    property(u"Type", [](const Params&) { return Value{std::u16string(u"MAPI")}; });
    property(u"Folders", [this](const Params&) { return objectValue(stores_); });
}

OutlookExplorer::OutlookExplorer(ObjectRef commandBars, std::shared_ptr<MAPIFolder> currentFolder,
                                 std::vector<ObjectRef> selection, intptr_t window)
    : Explorer(std::move(commandBars), window),
      currentFolder_(std::move(currentFolder)),
      selection_(std::move(selection)) {
    sourceOf(kIidExplorerEvents10);
    property(u"CurrentFolder", [this](const Params&) { return objectValue(currentFolder_); });
    property(u"Selection", [this](const Params&) {
        return objectValue(std::make_shared<ItemList>(u"Selection", selection_));
    });
}

Explorers::Explorers(OutlookApplication* app) : Object(u"Explorers"), app_(app) {
    implements(kIidExplorers);
    sourceOf(kIidExplorersEvents);
    property(
        u"Count", [this](const Params&) { return Value{static_cast<int32_t>(list().size())}; }, {},
        {}, 80);
    method(
        u"Item", {u"Index"}, [this](const Params& p) { return indexed(list(), param(p, 0)); }, 0);
    enumerableAs([this] { return values(list()); });
}

std::vector<ObjectRef> Explorers::list() const {
    std::vector<ObjectRef> out;
    // While Outlook gives no ActiveExplorer (start-up, shutdown), no window counts.
    if (!app_ || !app_->explorerActive) return out;
    for (const auto& e : app_->openExplorers()) out.push_back(e);
    return out;
}

OutlookApplication::OutlookApplication(ObjectRef commandBars, const HostOptions& options,
                                       const OutlookSetup& setup)
    : Application(HostKind::Outlook, commandBars, options),
      namespace_(std::make_shared<NameSpace>()),
      explorers_(std::make_shared<Explorers>(this)) {
    for (const auto& store : setup.stores) {
        auto top = std::make_shared<MAPIFolder>(store.name, kOlMailItem);
        for (const auto& f : store.folders) top->folders()->list.push_back(makeFolder(f));
        namespace_->stores()->list.push_back(top);
    }
    method(u"GetNamespace", {u"Type"}, [this](const Params& p) {
        // "MAPI" is the one type Outlook documents; nothing looser is accepted.
        if (toText(param(p, 0)) != u"MAPI")
            throw automation::Error(automation::kEFail, u"Unknown namespace type");
        return objectValue(namespace_);
    });
    property(u"Explorers", [this](const Params&) { return objectValue(explorers_); });
    if (explorer())
        openExplorer(explorer()->commandBars(), {setup.currentFolder, setup.selection},
                     options.mainWindow, false);
}

OutlookApplication::~OutlookApplication() { explorers_->detach(); }

std::shared_ptr<OutlookExplorer> OutlookApplication::makeExplorer(ObjectRef commandBars,
                                                                  const ExplorerSetup& setup,
                                                                  intptr_t window) {
    auto current = setup.currentFolder.empty() ? nullptr : folderAt(setup.currentFolder);
    if (!current && !namespace_->stores()->list.empty() &&
        !namespace_->stores()->list[0]->folders()->list.empty())
        current = namespace_->stores()->list[0]->folders()->list[0];
    std::vector<ObjectRef> selected;
    for (int i : setup.selection)
        if (current && i >= 0 && static_cast<size_t>(i) < current->contents().size())
            selected.push_back(current->contents()[static_cast<size_t>(i)]);
    return std::make_shared<OutlookExplorer>(std::move(commandBars), current, std::move(selected),
                                             window);
}

std::vector<std::shared_ptr<OutlookExplorer>> OutlookApplication::openExplorers() const {
    std::vector<std::shared_ptr<OutlookExplorer>> out;
    for (const auto& e : all_)
        if (e->open) out.push_back(e);
    return out;
}

std::shared_ptr<OutlookExplorer> OutlookApplication::openExplorer(ObjectRef commandBars,
                                                                  const ExplorerSetup& setup,
                                                                  intptr_t window, bool announce) {
    // One Outlook process: a Click reaches every window's controls of that Tag.
    if (!clickGroup_) clickGroup_ = std::make_shared<CommandBars::ClickGroup>();
    if (auto bars = std::dynamic_pointer_cast<CommandBars>(commandBars))
        bars->joinClicks(clickGroup_);
    auto explorer = makeExplorer(std::move(commandBars), setup, window);
    all_.push_back(explorer);
    // A window the user opens becomes the active one; of those open at
    // start, the first is.
    if (announce || all_.size() == 1) setExplorer(explorer);
    if (announce) {
        std::vector<Value> args{Value{ObjectRef(explorer)}};
        explorers_->fire(kIidExplorersEvents, kDispIdNewExplorer, args);
    }
    return explorer;
}

void OutlookApplication::closeExplorer(size_t index) {
    if (index >= all_.size() || !all_[index]->open) return;
    const auto explorer = all_[index];
    std::vector<Value> none;
    explorer->fire(kIidExplorerEvents10, kDispIdExplorerClose, none);
    explorer->open = false;
    if (auto bars = std::dynamic_pointer_cast<CommandBars>(explorer->commandBars()))
        bars->leaveClicks();
    const auto open = openExplorers();
    setExplorer(open.empty() ? nullptr : open.front());
}

std::shared_ptr<MAPIFolder> OutlookApplication::folderAt(const std::u16string& path) const {
    if (namespace_->stores()->list.empty()) return nullptr;
    std::shared_ptr<MAPIFolder> folder = namespace_->stores()->list[0];
    size_t start = 0;
    while (folder && start <= path.size()) {
        const size_t slash = path.find(u'/', start);
        const std::u16string part = path.substr(
            start, slash == std::u16string::npos ? std::u16string::npos : slash - start);
        std::shared_ptr<MAPIFolder> next;
        for (const auto& f : folder->folders()->list)
            if (f->name() == part) next = f;
        folder = next;
        if (slash == std::u16string::npos) break;
        start = slash + 1;
    }
    return folder;
}

std::shared_ptr<OutlookApplication> makeOutlookApplication(ObjectRef commandBars,
                                                           const HostOptions& options,
                                                           const OutlookSetup& setup) {
    return std::make_shared<OutlookApplication>(std::move(commandBars), options, setup);
}

}  // namespace torva::model
