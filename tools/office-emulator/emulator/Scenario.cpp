#include "Scenario.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "CommandBars.h"
#include "base/Text.h"

namespace torva::emulator {

namespace {
using nlohmann::json;

constexpr std::array kTopLevel = {"host",         "wrongApplication", "stringTable", "excel",
                                  "access",       "outlook",          "steps",       "faults",
                                  "tempFolder",   "foreignControls",  "hostWindow",  "plakora",
                                  "officeVersion"};
// Office 2000, XP, 2003, 2007, 2010, 2013, 2016 to 365.
constexpr std::array kOfficeVersions = {"9.0", "10.0", "11.0", "12.0", "14.0", "15.0", "16.0"};
constexpr std::array kPlakoraPlaces = {"staged", "missing", "unstartable", "appPaths"};
constexpr int kLargestCoordinate = 16384;
constexpr std::array kMessageBoxAnswers = {"OK", "Cancel", "Yes", "No", "Abort", "Retry", "Ignore"};
constexpr std::array kDialogPresses = {"OK", "Cancel", "close"};
constexpr std::array kDialogOptions = {"business", "private"};
constexpr int kLongestWait = 600000;

template <size_t N>
bool oneOf(const std::string& s, const std::array<const char*, N>& choices) {
    return std::any_of(choices.begin(), choices.end(), [&](const char* c) { return s == c; });
}

template <size_t N>
std::string listed(const std::array<const char*, N>& choices) {
    std::string out;
    for (const char* c : choices) out += (out.empty() ? "" : ", ") + std::string(c);
    return out;
}

std::string text(const json& v, const std::string& field) {
    if (!v.is_string()) throw ScenarioError(field, "expected a text");
    return v.get<std::string>();
}

template <size_t N>
std::string choice(const json& v, const std::string& field,
                   const std::array<const char*, N>& choices) {
    std::string s = text(v, field);
    if (!oneOf(s, choices)) throw ScenarioError(field, "expected one of " + listed(choices));
    return s;
}

bool flag(const json& v, const std::string& field) {
    if (!v.is_boolean()) throw ScenarioError(field, "expected true or false");
    return v.get<bool>();
}

json section(const json& root, const char* name) {
    if (!root.contains(name)) return nullptr;
    const json& v = root.at(name);
    if (!v.is_object()) throw ScenarioError(name, "expected an object");
    return v;
}

step::Call hostCall(step::HostCall call, const json& v, const std::string& field) {
    if (!flag(v, field)) throw ScenarioError(field, "expected true (the step makes the call)");
    return step::Call{call};
}

step::DialogAnswer dialogAnswer(const json& v, const std::string& field) {
    if (!v.is_object()) throw ScenarioError(field, "expected an object");
    step::DialogAnswer answer;
    for (const auto& [key, value] : v.items()) {
        const std::string f = field + "." + key;
        if (key == "select") {
            if (!value.is_array()) throw ScenarioError(f, "expected a list of entry indices");
            answer.select.emplace();
            for (const auto& i : value) {
                if (!i.is_number_integer() || i.get<long long>() < 0)
                    throw ScenarioError(f, "expected indices 0 or more");
                answer.select->push_back(static_cast<int>(i.get<long long>()));
            }
        } else if (key == "option") {
            answer.option = choice(value, f, kDialogOptions);
        } else if (key == "press") {
            answer.press = choice(value, f, kDialogPresses);
        } else {
            throw ScenarioError(f, "unknown field");
        }
    }
    if (answer.press.empty()) throw ScenarioError(field + ".press", "missing");
    return answer;
}

// A cell given as { "value": 80331, "numberFormat": "0" }; a date as
// "value": "1980-01-05", any other text as a text cell.
model::CellValue cellValue(const json& v, const std::string& field) {
    model::CellValue cell;
    for (const auto& [key, value] : v.items()) {
        const std::string f = field + "." + key;
        if (key == "value") {
            if (value.is_number()) {
                cell.kind = model::CellValue::Kind::Number;
                cell.number = value.get<double>();
                continue;
            }
            const std::string t = text(value, f);
            int year = 0, month = 0, day = 0, used = 0;
            if (t.size() == 10 && t[4] == '-' && t[7] == '-' &&
                std::sscanf(t.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) == 3 &&
                used == 10) {
                try {
                    cell.number = model::excelSerialOf(year, month, day);
                } catch (const std::invalid_argument&) {
                    throw ScenarioError(f, "expected a day from 1900-01-01 to 9999-12-31");
                }
                cell.kind = model::CellValue::Kind::Date;
            } else {
                cell.text = fromUtf8(t);
            }
        } else if (key == "numberFormat") {
            cell.numberFormat = fromUtf8(text(value, f));
            if (!model::knownNumberFormat(cell.numberFormat))
                throw ScenarioError(f,
                                    "expected General, 0, 0.00, #,##0, dd.mm.yyyy, "
                                    "yyyy-mm-dd or @");
        } else {
            throw ScenarioError(f, "unknown field");
        }
    }
    if (!v.contains("value")) throw ScenarioError(field + ".value", "missing");
    return cell;
}

model::ExcelSetup excelSetup(const json& excel) {
    model::ExcelSetup setup;
    setup.selection = u"A1";  // where a fresh workbook has it
    if (!excel.is_object()) return setup;
    for (const auto& [key, value] : excel.items())
        if (key != "activeSheet" && key != "selection" && key != "workbook")
            throw ScenarioError("excel." + key, "unknown field");
    if (excel.contains("workbook")) {
        if (!excel["workbook"].is_null())
            throw ScenarioError("excel.workbook", "expected null (no workbook open)");
        if (excel.contains("activeSheet") || excel.contains("selection"))
            throw ScenarioError("excel.workbook",
                                "no workbook open has no active sheet or selection");
        setup.noWorkbook = true;
    }
    if (excel.contains("activeSheet")) {
        const json& sheet = excel["activeSheet"];
        if (!sheet.is_object()) throw ScenarioError("excel.activeSheet", "expected an object");
        for (const auto& [key, value] : sheet.items()) {
            const std::string f = "excel.activeSheet." + key;
            if (key == "kind") {
                setup.chartSheet = choice(value, f, std::array{"worksheet", "chart"}) == "chart";
            } else if (key == "name") {
                setup.sheetName = fromUtf8(text(value, f));
            } else if (key == "cells") {
                if (!value.is_object()) throw ScenarioError(f, "expected an object");
                for (const auto& [cell, shown] : value.items()) {
                    const std::string cf = f + "." + cell;
                    try {
                        model::parseA1Cell(fromUtf8(cell));
                    } catch (const std::invalid_argument&) {
                        throw ScenarioError(cf, "expected an A1-style cell name");
                    }
                    if (shown.is_object())
                        setup.valueCells.emplace_back(fromUtf8(cell), cellValue(shown, cf));
                    else
                        setup.cells.emplace_back(fromUtf8(cell), fromUtf8(text(shown, cf)));
                }
            } else if (key == "columnWidths") {
                if (!value.is_object()) throw ScenarioError(f, "expected an object");
                for (const auto& [column, width] : value.items()) {
                    const std::string wf = f + "." + column;
                    int32_t col = 0;
                    try {
                        const auto at = model::parseA1Cell(fromUtf8(column) + u"1");
                        col = at.second;
                    } catch (const std::invalid_argument&) {
                        throw ScenarioError(wf, "expected a column's letters");
                    }
                    if (!width.is_number() || width.get<double>() < 1 || width.get<double>() > 255)
                        throw ScenarioError(wf, "expected a width from 1 to 255 characters");
                    setup.columnWidths.emplace_back(col, width.get<double>());
                }
            } else {
                throw ScenarioError(f, "unknown field");
            }
        }
    }
    if (excel.contains("selection")) {
        const json& sel = excel["selection"];
        if (sel.is_object()) {
            if (sel.size() != 1 || !sel.contains("kind") ||
                text(sel["kind"], "excel.selection.kind") != "chart")
                throw ScenarioError("excel.selection", R"(expected { "kind": "chart" })");
            setup.chartSelected = true;
        } else {
            setup.selection = fromUtf8(text(sel, "excel.selection"));
            try {
                model::parseA1Selection(setup.selection);
            } catch (const std::invalid_argument&) {
                throw ScenarioError("excel.selection", "expected an A1-style selection");
            }
        }
    }
    return setup;
}

model::AccessSetup accessSetup(const json& access) {
    model::AccessSetup setup;
    if (!access.is_object()) return setup;
    for (const auto& [key, value] : access.items()) {
        const std::string f = "access." + key;
        if (key == "database") {
            if (value.is_null()) continue;
            const std::string path = text(value, f);
            if (path.empty()) throw ScenarioError(f, "expected a file path or null");
            setup.database = fromUtf8(path);
        } else if (key == "openDatabaseAfterMs") {
            if (!value.is_number_integer() || value.get<long long>() < 0 ||
                value.get<long long>() > kLongestWait)
                throw ScenarioError(
                    f, "expected milliseconds from 0 to " + std::to_string(kLongestWait));
            setup.openDatabaseAfterMs = static_cast<int32_t>(value.get<long long>());
        } else if (key == "currentObject") {
            if (!value.is_object()) throw ScenarioError(f, "expected an object");
            for (const auto& [k, v] : value.items()) {
                const std::string of = f + "." + k;
                if (k == "type") {
                    if (!v.is_number_integer() || v.get<long long>() < -1 ||
                        v.get<long long>() > 100)
                        throw ScenarioError(of, "expected Access's CurrentObjectType number");
                    setup.currentObjectType = static_cast<int32_t>(v.get<long long>());
                } else if (k == "name") {
                    setup.currentObjectName = fromUtf8(text(v, of));
                } else {
                    throw ScenarioError(of, "unknown field");
                }
            }
        } else {
            throw ScenarioError(f, "unknown field");
        }
    }
    if (setup.openDatabaseAfterMs && !setup.database)
        throw ScenarioError("access.openDatabaseAfterMs", "needs a database to open");
    return setup;
}

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
        const json& k = contact ? v["contact"] : v["list"];
        if (!k.is_number_integer() || k.get<long long>() < 0 || k.get<long long>() > 1000000)
            throw ScenarioError(field + (contact ? ".contact" : ".list"),
                                "expected an item index of the folder");
        m.kind = contact ? model::MemberSetup::Contact : model::MemberSetup::List;
        m.item = static_cast<int>(k.get<long long>());
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
    for (const auto& [key, value] : v.items()) {
        const std::string f = field + "." + key;
        if (key == "kind") continue;
        if (key == "members") {
            if (item.kind != model::ItemKind::DistributionList)
                throw ScenarioError(f, "only a distributionList has members");
            if (!value.is_array()) throw ScenarioError(f, "expected a list");
            for (size_t i = 0; i < value.size(); ++i)
                item.members.push_back(memberSetup(value[i], f + "[" + std::to_string(i) + "]"));
        } else if (key == "Birthday")
            item.birthday = dateValue(value, f);
        else
            item.text[fromUtf8(key)] = fromUtf8(text(value, f));
    }
    return item;
}

model::FolderSetup folderSetup(const json& v, const std::string& field) {
    if (!v.is_object()) throw ScenarioError(field, "expected an object");
    model::FolderSetup folder;
    for (const auto& [key, value] : v.items()) {
        const std::string f = field + "." + key;
        if (key == "name") {
            folder.name = fromUtf8(text(value, f));
        } else if (key == "defaultItemType") {
            if (!value.is_number_integer() || value.get<long long>() < 0 ||
                value.get<long long>() > 7)
                throw ScenarioError(f, "expected Outlook's OlItemType number (0 to 7)");
            folder.defaultItemType = static_cast<int32_t>(value.get<long long>());
        } else if (key == "items" || key == "folders") {
            if (!value.is_array()) throw ScenarioError(f, "expected a list");
            for (size_t i = 0; i < value.size(); ++i) {
                const std::string at = f + "[" + std::to_string(i) + "]";
                if (key == "items")
                    folder.items.push_back(itemSetup(value[i], at));
                else
                    folder.folders.push_back(folderSetup(value[i], at));
            }
        } else {
            throw ScenarioError(f, "unknown field");
        }
    }
    if (folder.name.empty()) throw ScenarioError(field + ".name", "expected the folder's name");
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
    return folder;
}

model::ExplorerSetup explorerSetup(const json& value, const std::string& f) {
    if (!value.is_object()) throw ScenarioError(f, "expected an object");
    model::ExplorerSetup setup;
    for (const auto& [k, v] : value.items()) {
        const std::string ef = f + "." + k;
        if (k == "currentFolder") {
            setup.currentFolder = fromUtf8(text(v, ef));
        } else if (k == "selection") {
            if (!v.is_array()) throw ScenarioError(ef, "expected a list of item indices");
            for (const auto& i : v) {
                if (!i.is_number_integer() || i.get<long long>() < 0)
                    throw ScenarioError(ef, "expected indices 0 or more");
                setup.selection.push_back(static_cast<int>(i.get<long long>()));
            }
        } else {
            throw ScenarioError(ef, "unknown field");
        }
    }
    return setup;
}

model::OutlookSetup outlookSetup(const json& outlook) {
    model::OutlookSetup setup;
    if (!outlook.is_object()) return setup;
    for (const auto& [key, value] : outlook.items()) {
        const std::string f = "outlook." + key;
        if (key == "stores") {
            if (!value.is_array()) throw ScenarioError(f, "expected a list");
            for (size_t i = 0; i < value.size(); ++i) {
                const std::string at = f + "[" + std::to_string(i) + "]";
                const json& st = value[i];
                if (!st.is_object()) throw ScenarioError(at, "expected an object");
                model::StoreSetup store;
                for (const auto& [k, v] : st.items()) {
                    const std::string sf = at + "." + k;
                    if (k == "name") {
                        store.name = fromUtf8(text(v, sf));
                    } else if (k == "folders") {
                        if (!v.is_array()) throw ScenarioError(sf, "expected a list");
                        for (size_t j = 0; j < v.size(); ++j)
                            store.folders.push_back(
                                folderSetup(v[j], sf + "[" + std::to_string(j) + "]"));
                    } else {
                        throw ScenarioError(sf, "unknown field");
                    }
                }
                setup.stores.push_back(std::move(store));
            }
        } else if (key == "explorerAt" || key == "openItemLimit") {
            continue;  // read with the scenario's other Outlook states
        } else if (key == "explorer") {
            if (value.is_null()) continue;
            const model::ExplorerSetup first = explorerSetup(value, f);
            setup.currentFolder = first.currentFolder;
            setup.selection = first.selection;
        } else if (key == "explorers") {
            continue;  // read with the scenario's other Outlook states
        } else {
            throw ScenarioError(f, "unknown field");
        }
    }
    return setup;
}

int32_t hresultOf(const json& v, const std::string& field) {
    const std::string t = text(v, field);
    unsigned long n = 0;
    char rest = 0;
    if (t.size() != 10 || std::sscanf(t.c_str(), "0x%8lx%c", &n, &rest) != 1 ||
        (n & 0x80000000ul) == 0)
        throw ScenarioError(field, "expected a failing HRESULT as 0x8XXXXXXX");
    return static_cast<int32_t>(n);
}

Fault faultOf(const json& v, const std::string& field) {
    if (!v.is_object()) throw ScenarioError(field, "expected an object");
    Fault fault;
    bool fails = false;
    for (const auto& [key, value] : v.items()) {
        const std::string f = field + "." + key;
        if (key == "member") {
            fault.member = fromUtf8(text(value, f));
            if (fault.member.empty()) throw ScenarioError(f, "expected a member name");
        } else if (key == "occurrence") {
            if (!value.is_number_integer() || value.get<long long>() < 1 ||
                value.get<long long>() > 1000000)
                throw ScenarioError(f, "expected a call number from 1");
            fault.occurrence = static_cast<long>(value.get<long long>());
        } else if (key == "nothing") {
            if (!flag(value, f)) throw ScenarioError(f, "expected true");
            fault.nothing = true;
        } else if (key == "fail") {
            if (!value.is_object() || !value.contains("hresult"))
                throw ScenarioError(f, R"(expected { "hresult": "0x8...", "description": "..." })");
            for (const auto& [k, x] : value.items()) {
                if (k == "hresult")
                    fault.hresult = hresultOf(x, f + ".hresult");
                else if (k == "description")
                    fault.description = fromUtf8(text(x, f + ".description"));
                else
                    throw ScenarioError(f + "." + k, "unknown field");
            }
            fails = true;
        } else {
            throw ScenarioError(f, "unknown field");
        }
    }
    if (fault.member.empty()) throw ScenarioError(field + ".member", "missing");
    if (fails == fault.nothing) throw ScenarioError(field, "expected either fail or nothing");
    return fault;
}

std::optional<int> explorerIndex(const json& v, const std::string& field) {
    if (!v.is_number_integer() || v.get<long long>() < 0 || v.get<long long>() > 1000)
        throw ScenarioError(field, "expected an explorer's number, 0 for the first");
    return static_cast<int>(v.get<long long>());
}

Step parseStep(const json& v, const std::string& field,
               const std::vector<ForeignControl>& foreign) {
    // A press may say in which Outlook explorer it happens.
    if (v.is_object() && v.size() == 2 && v.contains("click") && v.contains("explorer")) {
        json press = v;
        const std::optional<int> explorer = explorerIndex(press["explorer"], field + ".explorer");
        press.erase("explorer");
        Step s = parseStep(press, field, foreign);
        auto& click = std::get<step::Click>(s);
        if (click.target != step::Click::Button && click.target != step::Click::Menu)
            throw ScenarioError(field + ".explorer", "only the button or the menu entry");
        click.explorer = explorer;
        return s;
    }
    if (!v.is_object() || v.size() != 1)
        throw ScenarioError(field, "expected an object with exactly one field");
    // The only field, by name: the iteration proxy is a temporary.
    const std::string key = v.begin().key();
    const json& value = v.begin().value();
    const std::string f = field + "." + key;
    if (key == "openExplorer") return step::OpenExplorer{explorerSetup(value, f)};
    if (key == "closeExplorer") return step::CloseExplorer{*explorerIndex(value, f)};
    if (key == "click") {
        const std::string target = text(value, f);
        if (target == "button") return step::Click{step::Click::Button, {}, {}};
        if (target == "menu") return step::Click{step::Click::Menu, {}, {}};
        const std::string prefix = "foreign:";
        if (target.starts_with(prefix)) {
            std::u16string caption = fromUtf8(target.substr(prefix.size()));
            if (std::none_of(foreign.begin(), foreign.end(),
                             [&](const ForeignControl& c) { return c.caption == caption; }))
                throw ScenarioError(f, "no foreign control with that caption");
            return step::Click{step::Click::Foreign, std::move(caption), {}};
        }
        const std::string ribbon = "ribbon:";
        if (target.starts_with(ribbon) && target.size() > ribbon.size())
            return step::Click{step::Click::Ribbon, fromUtf8(target.substr(ribbon.size())), {}};
        throw ScenarioError(f, "expected button, menu, foreign:CAPTION or ribbon:ID");
    }
    if (key == "openInspector") {
        const std::string id = text(value, f);
        if (!id.starts_with("Microsoft.Outlook.") || id == "Microsoft.Outlook.Explorer")
            throw ScenarioError(
                f, "expected an inspector's ribbon ID like Microsoft.Outlook.Mail.Read");
        return step::OpenInspector{fromUtf8(id)};
    }
    if (key == "addInsUpdate") return hostCall(step::HostCall::AddInsUpdate, value, f);
    if (key == "startupComplete") return hostCall(step::HostCall::StartupComplete, value, f);
    if (key == "beginShutdown") return hostCall(step::HostCall::BeginShutdown, value, f);
    if (key == "disconnect") return hostCall(step::HostCall::Disconnect, value, f);
    if (key == "connect") return hostCall(step::HostCall::Connect, value, f);
    if (key == "wait") {
        if (!value.is_number_integer() || value.get<long long>() < 0 ||
            value.get<long long>() > kLongestWait)
            throw ScenarioError(f,
                                "expected milliseconds from 0 to " + std::to_string(kLongestWait));
        return step::Wait{static_cast<int>(value.get<long long>())};
    }
    if (key == "messageBox") return step::MessageBoxAnswer{choice(value, f, kMessageBoxAnswers)};
    if (key == "dialog") return dialogAnswer(value, f);
    if (key == "clickWhileDialog") {
        if (text(value, f) != "button") throw ScenarioError(f, "expected \"button\"");
        return step::ClickWhileDialog{};
    }
    if (key == "signal" || key == "waitFor") {
        const std::string path = text(value, f);
        if (path.size() < 4 || path[1] != ':' || path[2] != '\\')
            throw ScenarioError(f, "expected a Windows path like Z:\\tmp\\go");
        if (key == "signal") return step::Signal{fromUtf8(path)};
        return step::WaitFor{fromUtf8(path)};
    }
    if (key == "snapshot") {
        std::string label = text(value, f);
        if (label.empty()) throw ScenarioError(f, "expected a label that is not empty");
        return step::Snapshot{std::move(label)};
    }
    throw ScenarioError(f, "unknown step");
}
ForeignControl foreignControl(const json& v, const std::string& field, model::HostKind host) {
    if (!v.is_object()) throw ScenarioError(field, "expected an object");
    ForeignControl c;
    bool hasBar = false, hasCaption = false;
    for (const auto& [key, value] : v.items()) {
        const std::string f = field + "." + key;
        if (key == "bar") {
            c.bar = fromUtf8(text(value, f));
            if (!model::makeHostCommandBars(model::hostName(host))->find(c.bar))
                throw ScenarioError(f, "the host has no bar of that name");
            hasBar = true;
        } else if (key == "caption") {
            c.caption = fromUtf8(text(value, f));
            if (c.caption.empty()) throw ScenarioError(f, "expected a caption");
            hasCaption = true;
        } else if (key == "tag") {
            c.tag = fromUtf8(text(value, f));
        } else {
            throw ScenarioError(f, "unknown field");
        }
    }
    if (!hasBar) throw ScenarioError(field + ".bar", "missing");
    if (!hasCaption) throw ScenarioError(field + ".caption", "missing");
    return c;
}
WindowRect windowRect(const json& v, const std::string& field) {
    if (!v.is_object()) throw ScenarioError(field, "expected {x, y, width, height}");
    WindowRect r;
    for (const auto& [key, value] : v.items()) {
        const std::string f = field + "." + key;
        int* slot = key == "x"        ? &r.x
                    : key == "y"      ? &r.y
                    : key == "width"  ? &r.width
                    : key == "height" ? &r.height
                                      : nullptr;
        if (!slot) throw ScenarioError(f, "unknown field");
        const bool size = key == "width" || key == "height";
        if (!value.is_number_integer() || value.get<long long>() < (size ? 100 : 0) ||
            value.get<long long>() > kLargestCoordinate)
            throw ScenarioError(f, size ? "expected pixels from 100" : "expected pixels from 0");
        *slot = static_cast<int>(value.get<long long>());
    }
    return r;
}
}  // namespace

Scenario parseScenario(const std::string& utf8Json) {
    json root;
    try {
        root = json::parse(utf8Json);
    } catch (const json::parse_error& e) {
        throw ScenarioError("(document)", std::string("not JSON: ") + e.what());
    }
    if (!root.is_object()) throw ScenarioError("(document)", "expected a JSON object");
    for (const auto& [key, value] : root.items())
        if (!oneOf(key, kTopLevel)) throw ScenarioError(key, "unknown field");

    Scenario s;
    if (!root.contains("host")) throw ScenarioError("host", "missing");
    const std::string host = text(root["host"], "host");
    auto kind = model::hostFromName(fromUtf8(host));
    if (!kind) throw ScenarioError("host", "expected Excel, Word, Access or Outlook");
    s.host = *kind;

    if (root.contains("wrongApplication"))
        s.wrongApplication = flag(root["wrongApplication"], "wrongApplication");
    if (root.contains("stringTable")) {
        s.stringTable = text(root["stringTable"], "stringTable");
        if (s.stringTable->empty()) throw ScenarioError("stringTable", "expected a path");
    }
    if (root.contains("tempFolder")) {
        s.tempFolder = text(root["tempFolder"], "tempFolder");
        const std::string& t = *s.tempFolder;
        if (t.size() < 4 || t[1] != ':' || t[2] != '\\' || t.back() == '\\')
            throw ScenarioError("tempFolder", "expected a Windows path like C:\\Temp");
    }
    if (root.contains("officeVersion"))
        s.officeVersion = fromUtf8(choice(root["officeVersion"], "officeVersion", kOfficeVersions));
    if (root.contains("hostWindow")) s.hostWindow = windowRect(root["hostWindow"], "hostWindow");
    if (root.contains("plakora")) {
        const std::string place = choice(root["plakora"], "plakora", kPlakoraPlaces);
        s.plakora = place == "missing"       ? PlakoraPlace::Missing
                    : place == "unstartable" ? PlakoraPlace::Unstartable
                    : place == "appPaths"    ? PlakoraPlace::AppPaths
                                             : PlakoraPlace::Staged;
    }
    s.excel = section(root, "excel");
    s.excelSetup = excelSetup(s.excel);
    s.access = section(root, "access");
    s.accessSetup = accessSetup(s.access);
    s.outlook = section(root, "outlook");
    if (s.outlook.is_object() && s.outlook.contains("explorer")) {
        const json& explorer = s.outlook["explorer"];
        if (!explorer.is_null() && !explorer.is_object())
            throw ScenarioError("outlook.explorer", "expected an object or null");
        s.outlookExplorer = !explorer.is_null();
    }
    s.outlookSetup = outlookSetup(s.outlook);
    if (s.outlook.is_object() && s.outlook.contains("explorers")) {
        const json& list = s.outlook["explorers"];
        if (s.outlook.contains("explorer"))
            throw ScenarioError("outlook.explorers", "give explorer or explorers, not both");
        if (!list.is_array()) throw ScenarioError("outlook.explorers", "expected a list");
        std::vector<model::ExplorerSetup> all;
        for (size_t i = 0; i < list.size(); ++i)
            all.push_back(explorerSetup(list[i], "outlook.explorers[" + std::to_string(i) + "]"));
        s.outlookExplorer = !all.empty();
        if (!all.empty()) {
            s.outlookSetup.currentFolder = all[0].currentFolder;
            s.outlookSetup.selection = all[0].selection;
            s.moreExplorers.assign(all.begin() + 1, all.end());
        }
    }
    if (s.outlook.is_object() && s.outlook.contains("explorerAt")) {
        const json& at = s.outlook["explorerAt"];
        if (!at.is_object()) throw ScenarioError("outlook.explorerAt", "expected an object");
        for (const auto& [key, value] : at.items()) {
            const std::string f = "outlook.explorerAt." + key;
            if (key == "startup")
                s.explorerAtStartup = flag(value, f);
            else if (key == "shutdown")
                s.explorerAtShutdown = flag(value, f);
            else
                throw ScenarioError(f, "unknown field");
        }
    }
    if (s.outlook.is_object() && s.outlook.contains("openItemLimit")) {
        const json& n = s.outlook["openItemLimit"];
        if (!n.is_number_integer() || n.get<long long>() < 1 || n.get<long long>() > 100000)
            throw ScenarioError("outlook.openItemLimit", "expected a number of items from 1");
        s.openItemLimit = static_cast<long>(n.get<long long>());
    }
    if (root.contains("faults")) {
        const json& faults = root["faults"];
        if (!faults.is_array()) throw ScenarioError("faults", "expected a list");
        for (size_t i = 0; i < faults.size(); ++i)
            s.faults.push_back(faultOf(faults[i], "faults[" + std::to_string(i) + "]"));
    }

    if (root.contains("foreignControls")) {
        const json& foreign = root["foreignControls"];
        if (!foreign.is_array()) throw ScenarioError("foreignControls", "expected a list");
        for (size_t i = 0; i < foreign.size(); ++i) {
            const std::string f = "foreignControls[" + std::to_string(i) + "]";
            auto c = foreignControl(foreign[i], f, s.host);
            // The report counts clicks by caption.
            for (const auto& other : s.foreignControls)
                if (other.caption == c.caption)
                    throw ScenarioError(f + ".caption", "already taken by another");
            s.foreignControls.push_back(std::move(c));
        }
    }

    if (root.contains("steps")) {
        const json& steps = root["steps"];
        if (!steps.is_array()) throw ScenarioError("steps", "expected a list");
        for (size_t i = 0; i < steps.size(); ++i)
            s.steps.push_back(
                parseStep(steps[i], "steps[" + std::to_string(i) + "]", s.foreignControls));
    }
    return s;
}

}  // namespace torva::emulator
