// The scenario's "outlook" section: stores with their folders and items,
// the explorers with their current folder and selection, and the states
// Outlook may be in (no explorer at start-up, a limit of open items).

#include <cstdio>

#include "ScenarioFields.h"
#include "ScenarioParts.h"
#include "base/Text.h"

namespace torva::emulator {

namespace {
using namespace fields;

// "1965-03-07" as an OLE date; null is Outlook's "no date".
std::optional<double> dateValue(const json& v, const std::string& field) {
    if (v.is_null()) return std::nullopt;
    const std::string t = text(v, field);
    int year = 0, month = 0, day = 0;
    char dash1 = 0, dash2 = 0, rest = 0;
    if (std::sscanf(t.c_str(), "%4d%c%2d%c%2d%c", &year, &dash1, &month, &dash2, &day, &rest) !=
            5 ||
        dash1 != '-' || dash2 != '-' || year < 100 || year > 9999 || month < 1 || month > 12 ||
        day < 1 || day > 31)
        throw ScenarioError(field, "expected a date as YYYY-MM-DD, or null");
    return model::oleDateOf(year, month, day);
}

model::MemberSetup memberSetup(const json& v, const std::string& field) {
    const char* shape =
        R"(expected { "contact": K }, { "list": K } or { "name": "...", "address": "..." })";
    if (!v.is_object()) throw ScenarioError(field, shape);
    model::MemberSetup m;
    if (v.size() == 1 && (v.contains("contact") || v.contains("list"))) {
        const bool contact = v.contains("contact");
        m.kind = contact ? model::MemberSetup::Contact : model::MemberSetup::List;
        m.item = static_cast<int>(whole(contact ? v["contact"] : v["list"],
                                        field + (contact ? ".contact" : ".list"), 0, 1000000,
                                        "expected an item index of the folder"));
        return m;
    }
    if (v.size() != 2 || !v.contains("name") || !v.contains("address"))
        throw ScenarioError(field, shape);
    m.name = fromUtf8(text(v["name"], field + ".name"));
    m.address = fromUtf8(text(v["address"], field + ".address"));
    return m;
}

model::ItemSetup itemSetup(const json& v, const std::string& field) {
    if (!v.is_object()) throw ScenarioError(field, "expected an object");
    model::ItemSetup item;
    if (!v.contains("kind")) throw ScenarioError(field + ".kind", "missing");
    const std::string kind =
        choice(v["kind"], field + ".kind", std::array{"contact", "distributionList", "mail"});
    item.kind = kind == "contact"            ? model::ItemKind::Contact
                : kind == "distributionList" ? model::ItemKind::DistributionList
                                             : model::ItemKind::Mail;
    eachField(v, field, [&](const std::string& key, const json& value, const std::string& f) {
        if (key == "kind") return;
        if (key == "members") {
            if (item.kind != model::ItemKind::DistributionList)
                throw ScenarioError(f, "only a distributionList has members");
            eachEntry(value, f, [&](const json& m, const std::string& at) {
                item.members.push_back(memberSetup(m, at));
            });
        } else if (key == "Birthday") {
            item.birthday = dateValue(value, f);
        } else {
            item.text[fromUtf8(key)] = fromUtf8(text(value, f));
        }
    });
    return item;
}

// A list's member that names an item of the folder must name one of its kind.
void checkMembers(const model::FolderSetup& folder, const std::string& field) {
    for (size_t i = 0; i < folder.items.size(); ++i)
        for (size_t j = 0; j < folder.items[i].members.size(); ++j) {
            const auto& m = folder.items[i].members[j];
            if (m.kind == model::MemberSetup::OneOff) continue;
            const bool contact = m.kind == model::MemberSetup::Contact;
            const std::string f = field + ".items[" + std::to_string(i) + "].members[" +
                                  std::to_string(j) + "]." + (contact ? "contact" : "list");
            const auto want =
                contact ? model::ItemKind::Contact : model::ItemKind::DistributionList;
            if (static_cast<size_t>(m.item) >= folder.items.size() ||
                folder.items[static_cast<size_t>(m.item)].kind != want)
                throw ScenarioError(f, contact ? "expected the index of a contact of the folder"
                                               : "expected the index of a list of the folder");
        }
}

model::FolderSetup folderSetup(const json& v, const std::string& field) {
    model::FolderSetup folder;
    eachField(v, field, [&](const std::string& key, const json& value, const std::string& f) {
        if (key == "name") {
            folder.name = fromUtf8(text(value, f));
        } else if (key == "defaultItemType") {
            folder.defaultItemType = static_cast<int32_t>(
                whole(value, f, 0, 7, "expected Outlook's OlItemType number (0 to 7)"));
        } else if (key == "items") {
            eachEntry(value, f, [&](const json& item, const std::string& at) {
                folder.items.push_back(itemSetup(item, at));
            });
        } else if (key == "folders") {
            eachEntry(value, f, [&](const json& sub, const std::string& at) {
                folder.folders.push_back(folderSetup(sub, at));
            });
        } else {
            throw ScenarioError(f, "unknown field");
        }
    });
    if (folder.name.empty()) throw ScenarioError(field + ".name", "expected the folder's name");
    checkMembers(folder, field);
    return folder;
}

model::StoreSetup storeSetup(const json& v, const std::string& field) {
    model::StoreSetup store;
    eachField(v, field, [&](const std::string& key, const json& value, const std::string& f) {
        if (key == "name")
            store.name = fromUtf8(text(value, f));
        else if (key == "folders")
            eachEntry(value, f, [&](const json& folder, const std::string& at) {
                store.folders.push_back(folderSetup(folder, at));
            });
        else
            throw ScenarioError(f, "unknown field");
    });
    return store;
}

model::OutlookSetup outlookSetup(const json& outlook) {
    model::OutlookSetup setup;
    if (!outlook.is_object()) return setup;
    eachField(outlook, "outlook",
              [&](const std::string& key, const json& value, const std::string& f) {
                  if (key == "stores") {
                      eachEntry(value, f, [&](const json& store, const std::string& at) {
                          setup.stores.push_back(storeSetup(store, at));
                      });
                  } else if (key == "explorer") {
                      if (value.is_null()) return;
                      const model::ExplorerSetup first = explorerSetup(value, f);
                      setup.currentFolder = first.currentFolder;
                      setup.selection = first.selection;
                  } else if (key != "explorers" && key != "explorerAt" && key != "openItemLimit") {
                      // Those three are read with the scenario's other Outlook states.
                      throw ScenarioError(f, "unknown field");
                  }
              });
    return setup;
}

// outlook.explorers: the first is the one open at start, the others open too.
void readExplorers(const json& list, Scenario& s) {
    if (s.outlook.contains("explorer"))
        throw ScenarioError("outlook.explorers", "give explorer or explorers, not both");
    std::vector<model::ExplorerSetup> all;
    eachEntry(list, "outlook.explorers",
              [&](const json& v, const std::string& at) { all.push_back(explorerSetup(v, at)); });
    s.outlookExplorer = !all.empty();
    if (all.empty()) return;
    s.outlookSetup.currentFolder = all[0].currentFolder;
    s.outlookSetup.selection = all[0].selection;
    s.moreExplorers.assign(all.begin() + 1, all.end());
}

void readExplorerAt(const json& at, Scenario& s) {
    eachField(at, "outlook.explorerAt",
              [&](const std::string& key, const json& value, const std::string& f) {
                  if (key == "startup")
                      s.explorerAtStartup = flag(value, f);
                  else if (key == "shutdown")
                      s.explorerAtShutdown = flag(value, f);
                  else
                      throw ScenarioError(f, "unknown field");
              });
}
}  // namespace

model::ExplorerSetup explorerSetup(const json& v, const std::string& field) {
    model::ExplorerSetup setup;
    eachField(v, field, [&](const std::string& key, const json& value, const std::string& f) {
        if (key == "currentFolder")
            setup.currentFolder = fromUtf8(text(value, f));
        else if (key == "selection")
            setup.selection = indices(value, f, "expected a list of item indices");
        else
            throw ScenarioError(f, "unknown field");
    });
    return setup;
}

void readOutlook(Scenario& s) {
    const json& outlook = s.outlook;
    const bool given = outlook.is_object();
    if (given && outlook.contains("explorer")) {
        const json& explorer = outlook["explorer"];
        if (!explorer.is_null() && !explorer.is_object())
            throw ScenarioError("outlook.explorer", "expected an object or null");
        s.outlookExplorer = !explorer.is_null();
    }
    s.outlookSetup = outlookSetup(outlook);
    if (given && outlook.contains("explorers")) readExplorers(outlook["explorers"], s);
    if (given && outlook.contains("explorerAt")) readExplorerAt(outlook["explorerAt"], s);
    if (given && outlook.contains("openItemLimit"))
        s.openItemLimit = static_cast<long>(whole(outlook["openItemLimit"], "outlook.openItemLimit",
                                                  1, 100000, "expected a number of items from 1"));
}

}  // namespace torva::emulator
