#pragma once
// Outlook's object model as the address-book dialog meets it: the MAPI
// namespace with its stores, folders with their items, contact items, and
// the explorer's current folder and selection.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CommandBars.h"
#include "Hosts.h"
#include "ModelObject.h"

namespace torva::model {

inline constexpr Guid kIidContactItem = oleIid(0x00063021);
inline constexpr Guid kIidExplorers = oleIid(0x0006300A);
// ExplorersEvents (NewExplorer 0xF001) and ExplorerEvents_10 (Close 0xF008).
inline constexpr Guid kIidExplorersEvents = oleIid(0x00063078);
inline constexpr Guid kIidExplorerEvents10 = oleIid(0x0006300F);
inline constexpr int32_t kDispIdNewExplorer = 0xF001;
inline constexpr int32_t kDispIdExplorerClose = 0xF008;
inline constexpr int32_t kOlMailItem = 0;
inline constexpr int32_t kOlContactItem = 2;
// Outlook's date for "none": 1 January 4501.
inline constexpr double kOlNoDate = 949998.0;

// Days since 30 December 1899 of a calendar day.
double oleDateOf(int year, int month, int day);

enum class ItemKind { Contact, DistributionList, Mail };

// A member of a distribution list: the K-th item of the same folder (a
// contact or another list), or a one-off address.
struct MemberSetup {
    enum Kind { Contact, OneOff, List } kind = OneOff;
    int item = 0;
    std::u16string name, address;
};

struct ItemSetup {
    ItemKind kind = ItemKind::Contact;
    std::map<std::u16string, std::u16string> text;  // by Outlook's property name
    std::optional<double> birthday;                 // OLE date; none: Outlook's "no date"
    std::vector<MemberSetup> members;               // distribution lists only
};
struct FolderSetup {
    std::u16string name;
    int32_t defaultItemType = kOlMailItem;
    std::vector<ItemSetup> items;
    std::vector<FolderSetup> folders;
};
struct StoreSetup {
    std::u16string name;
    std::vector<FolderSetup> folders;
};
struct ExplorerSetup {
    // A folder of the first store, "/" between levels; empty: the first folder.
    std::u16string currentFolder;
    std::vector<int> selection;  // indices into the current folder's items
};
struct OutlookSetup {
    std::vector<StoreSetup> stores;
    // The first explorer's (explorer); further ones open with openExplorer.
    std::u16string currentFolder;
    std::vector<int> selection;
};

class Folders;

class MAPIFolder : public Object {
  public:
    MAPIFolder(std::u16string name, int32_t defaultItemType);
    const std::u16string& name() const { return name_; }
    std::shared_ptr<Folders> folders() const { return folders_; }
    std::vector<ObjectRef>& contents() { return items_; }

  private:
    std::u16string name_;
    int32_t defaultItemType_;
    std::shared_ptr<Folders> folders_;
    std::vector<ObjectRef> items_;
};

// A Folders collection: GetFirst/GetNext walk it, Item takes a 1-based index
// or a name, For Each enumerates it.
class Folders : public Object {
  public:
    Folders();
    std::vector<std::shared_ptr<MAPIFolder>> list;

  private:
    size_t cursor_ = 0;
};

class ContactItem : public Object {
  public:
    ContactItem(std::map<std::u16string, std::u16string> text, double birthday);
    bool isOpenItem() const override { return true; }
    const std::u16string& entryId() const { return entryId_; }
    // A property's text as the model holds it (no call counted).
    std::u16string text(const std::u16string& name) const {
        const auto it = text_.find(name);
        return it == text_.end() ? std::u16string() : it->second;
    }

  private:
    std::map<std::u16string, std::u16string> text_;
    double birthday_;
    std::u16string entryId_;
};

// A distribution list or a mail: items that are no contact. A list's
// members are resolved once the folder's items exist.
class OtherItem : public Object {
  public:
    OtherItem(ItemKind kind, std::map<std::u16string, std::u16string> text);
    bool isOpenItem() const override { return true; }
    std::u16string name() const;
    const std::u16string& entryId() const { return entryId_; }
    struct Member {
        MemberSetup setup;
        std::weak_ptr<Object> item;  // a contact or list of the folder; weak: lists may cycle
    };
    std::vector<Member> members;

  private:
    std::map<std::u16string, std::u16string> text_;
    std::u16string entryId_;
};

// Items of a folder or the explorer's Selection: Count, Item(1-based), For Each.
class ItemList : public Object {
  public:
    ItemList(std::u16string typeName, std::vector<ObjectRef> items);

  private:
    std::vector<ObjectRef> items_;
};

class NameSpace : public Object {
  public:
    NameSpace();
    std::shared_ptr<Folders> stores() const { return stores_; }

  private:
    std::shared_ptr<Folders> stores_;
};

// The explorer with the folder it shows and the items selected in it; its
// Close event goes out through ExplorerEvents_10.
class OutlookExplorer : public Explorer {
  public:
    OutlookExplorer(ObjectRef commandBars, std::shared_ptr<MAPIFolder> currentFolder,
                    std::vector<ObjectRef> selection, intptr_t window);
    std::vector<ObjectRef>& selection() { return selection_; }
    bool open = true;

  private:
    std::shared_ptr<MAPIFolder> currentFolder_;
    std::vector<ObjectRef> selection_;
};

class OutlookApplication;

// Application.Explorers: the open explorers (none while Outlook hides its
// window from the object model), with NewExplorer through ExplorersEvents.
class Explorers : public Object {
  public:
    explicit Explorers(OutlookApplication* app);
    void detach() { app_ = nullptr; }

  private:
    std::vector<ObjectRef> list() const;
    OutlookApplication* app_;
};

class OutlookApplication : public Application {
  public:
    OutlookApplication(ObjectRef commandBars, const HostOptions& options,
                       const OutlookSetup& setup);
    std::shared_ptr<NameSpace> nameSpace() const { return namespace_; }
    ~OutlookApplication() override;
    // The folder at a "/" path in the first store; null when there is none.
    std::shared_ptr<MAPIFolder> folderAt(const std::u16string& path) const;

    // Every explorer of the run in the order they opened (closed ones
    // included, so that a number names the same one throughout).
    const std::vector<std::shared_ptr<OutlookExplorer>>& allExplorers() const { return all_; }
    std::vector<std::shared_ptr<OutlookExplorer>> openExplorers() const;
    // A new explorer window on those command bars; announce: NewExplorer
    // goes out, as for a window the user opens, which becomes the active one
    // (without: one more window open at start; the first stays active).
    std::shared_ptr<OutlookExplorer> openExplorer(ObjectRef commandBars, const ExplorerSetup& setup,
                                                  intptr_t window, bool announce);
    // Close goes out, then the explorer is gone from Explorers; the active
    // one is the first still open.
    void closeExplorer(size_t index);

  private:
    std::shared_ptr<OutlookExplorer> makeExplorer(ObjectRef commandBars, const ExplorerSetup& setup,
                                                  intptr_t window);
    std::shared_ptr<NameSpace> namespace_;
    std::shared_ptr<Explorers> explorers_;
    std::vector<std::shared_ptr<OutlookExplorer>> all_;
    std::shared_ptr<CommandBars::ClickGroup> clickGroup_;
};

std::shared_ptr<OutlookApplication> makeOutlookApplication(ObjectRef commandBars,
                                                           const HostOptions& options,
                                                           const OutlookSetup& setup);

}  // namespace torva::model
