// The emulator's portable part: reading scenarios, and what it reports about
// the command bars and which controls its click steps press.
#include <gtest/gtest.h>

#include <cstdio>

#include "BarsReport.h"
#include "Scenario.h"

using namespace torva;
using namespace torva::emulator;
using automation::Arg;
using automation::Value;

namespace {
std::string fieldOf(const std::string& json) {
    try {
        parseScenario(json);
    } catch (const ScenarioError& e) {
        EXPECT_NE(std::string(e.what()).find(e.field()), std::string::npos);
        return e.field();
    }
    return "(accepted)";
}
}  // namespace

TEST(EmulatorScenario, ReadsHostOptionsAndEveryKindOfStep) {
    const Scenario s = parseScenario(R"({
        "host": "Outlook", "wrongApplication": true, "stringTable": "C:\\t\\Torva.Sys",
        "tempFolder": "C:\\users\\Łukasz\\Temp",
        "outlook": { "stores": [], "explorer": null, "openItemLimit": 250,
                     "explorerAt": { "shutdown": false } },
        "faults": [ { "member": "ActiveExplorer", "occurrence": 2, "nothing": true },
                    { "member": "Item", "fail": { "hresult": "0x800A001B",
                                                  "description": "Nein" } } ],
        "steps": [ { "click": "menu" }, { "click": "button" }, { "addInsUpdate": true },
                   { "startupComplete": true }, { "beginShutdown": true },
                   { "disconnect": true }, { "connect": true }, { "wait": 250 },
                   { "messageBox": "Cancel" },
                   { "dialog": { "select": [0, 2], "option": "private", "press": "close" } },
                   { "snapshot": "after" }, { "clickWhileDialog": "button" },
                   { "click": "foreign:Other" } ],
        "foreignControls": [ { "bar": "standard", "caption": "Other", "tag": "" },
                             { "bar": "Menu Bar", "caption": "Mine", "tag": "M" } ] })");
    EXPECT_EQ(s.host, model::HostKind::Outlook);
    EXPECT_TRUE(s.wrongApplication);
    EXPECT_EQ(s.stringTable, "C:\\t\\Torva.Sys");
    EXPECT_EQ(s.tempFolder, "C:\\users\\Łukasz\\Temp");
    EXPECT_FALSE(s.outlookExplorer);
    EXPECT_TRUE(s.outlook.is_object());
    EXPECT_TRUE(s.excel.is_null());
    EXPECT_EQ(s.openItemLimit, 250);
    EXPECT_TRUE(s.explorerAtStartup);
    EXPECT_FALSE(s.explorerAtShutdown);
    ASSERT_EQ(s.faults.size(), 2u);
    EXPECT_EQ(s.faults[0].member, u"ActiveExplorer");
    EXPECT_EQ(s.faults[0].occurrence, 2);
    EXPECT_TRUE(s.faults[0].nothing);
    EXPECT_EQ(s.faults[1].occurrence, 1);  // the first call when not given
    EXPECT_FALSE(s.faults[1].nothing);
    EXPECT_EQ(static_cast<uint32_t>(s.faults[1].hresult), 0x800A001Bu);
    EXPECT_EQ(s.faults[1].description, u"Nein");
    ASSERT_EQ(s.steps.size(), 13u);
    EXPECT_TRUE(std::holds_alternative<step::ClickWhileDialog>(s.steps[11]));
    EXPECT_EQ(std::get<step::Click>(s.steps[12]).target, step::Click::Foreign);
    EXPECT_EQ(std::get<step::Click>(s.steps[12]).caption, u"Other");
    ASSERT_EQ(s.foreignControls.size(), 2u);
    EXPECT_EQ(s.foreignControls[1].bar, u"Menu Bar");
    EXPECT_EQ(s.foreignControls[1].tag, u"M");
    EXPECT_EQ(std::get<step::Click>(s.steps[0]).target, step::Click::Menu);
    EXPECT_EQ(std::get<step::Click>(s.steps[1]).target, step::Click::Button);
    const step::HostCall calls[] = {step::HostCall::AddInsUpdate, step::HostCall::StartupComplete,
                                    step::HostCall::BeginShutdown, step::HostCall::Disconnect,
                                    step::HostCall::Connect};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(std::get<step::Call>(s.steps[2 + i]).call, calls[i]);
    EXPECT_EQ(std::get<step::Wait>(s.steps[7]).milliseconds, 250);
    EXPECT_EQ(std::get<step::MessageBoxAnswer>(s.steps[8]).press, "Cancel");
    const auto& dialog = std::get<step::DialogAnswer>(s.steps[9]);
    EXPECT_EQ(dialog.select, std::optional<std::vector<int>>({0, 2}));
    EXPECT_EQ(dialog.option, "private");
    EXPECT_EQ(dialog.press, "close");
    EXPECT_EQ(std::get<step::Snapshot>(s.steps[10]).label, "after");
}

TEST(EmulatorScenario, DefaultsWhenOnlyTheHostIsGiven) {
    const Scenario s = parseScenario(R"({ "host": "Word" })");
    EXPECT_EQ(s.host, model::HostKind::Word);
    EXPECT_FALSE(s.wrongApplication);
    EXPECT_FALSE(s.stringTable);
    EXPECT_TRUE(s.outlookExplorer);
    EXPECT_TRUE(s.steps.empty());
    EXPECT_TRUE(
        parseScenario(R"({ "host": "Outlook", "outlook": { "explorer": {} } })").outlookExplorer);
}

TEST(EmulatorScenario, AProblemNamesItsField) {
    EXPECT_EQ(fieldOf("{ \"host\": "), "(document)");
    EXPECT_EQ(fieldOf("[]"), "(document)");
    EXPECT_EQ(fieldOf("{}"), "host");
    EXPECT_EQ(fieldOf(R"({ "host": "excel" })"), "host");
    EXPECT_EQ(fieldOf(R"({ "host": 3 })"), "host");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "hots": 1 })"), "hots");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "wrongApplication": "yes" })"), "wrongApplication");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "excel": [] })"), "excel");
    EXPECT_EQ(fieldOf(R"({ "host": "Outlook", "outlook": { "explorer": 1 } })"),
              "outlook.explorer");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": {} })"), "steps");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "wait": 1 }, { "clik": "button" } ] })"),
              "steps[1].clik");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "click": "toolbar" } ] })"),
              "steps[0].click");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "wait": -1 } ] })"), "steps[0].wait");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "wait": 1.5 } ] })"), "steps[0].wait");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "connect": false } ] })"),
              "steps[0].connect");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "wait": 1, "connect": true } ] })"),
              "steps[0]");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "messageBox": "ok" } ] })"),
              "steps[0].messageBox");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "dialog": { "select": [0] } } ] })"),
              "steps[0].dialog.press");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "dialog": { "press": "OK",
              "option": "home" } } ] })"),
              "steps[0].dialog.option");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "dialog": { "press": "OK",
              "select": [-1] } } ] })"),
              "steps[0].dialog.select");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "snapshot": "" } ] })"),
              "steps[0].snapshot");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "stringTable": "" })"), "stringTable");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "faults": {} })"), "faults");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "faults": [ { "occurrence": 1, "nothing": true } ] })"),
              "faults[0].member");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "faults": [ { "member": "A", "nothing": true,
              "fail": { "hresult": "0x80004005" } } ] })"),
              "faults[0]");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "faults": [ { "member": "A", "occurrence": 0,
              "nothing": true } ] })"),
              "faults[0].occurrence");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "faults": [ { "member": "A",
              "fail": { "hresult": "0x0000000A" } } ] })"),
              "faults[0].fail.hresult");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "excel": { "workbook": {} } })"), "excel.workbook");
    EXPECT_EQ(fieldOf(R"({ "host": "Outlook", "outlook": { "explorerAt": { "start": false } } })"),
              "outlook.explorerAt.start");
    EXPECT_EQ(fieldOf(R"({ "host": "Outlook", "outlook": { "openItemLimit": 0 } })"),
              "outlook.openItemLimit");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "steps": [ { "clickWhileDialog": "menu" } ] })"),
              "steps[0].clickWhileDialog");
    // The emulator's process takes it as its temp folder: relative or with a
    // trailing separator it would not be the path the add-in sees.
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "tempFolder": "Temp\\Torva" })"), "tempFolder");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "tempFolder": "C:\\Temp\\" })"), "tempFolder");
    // Foreign controls: on a bar the host has, each caption once, and a
    // click names one of them.
    EXPECT_EQ(fieldOf(R"({ "host": "Word", "foreignControls": [ { "bar": "Worksheet Menu Bar",
              "caption": "A" } ] })"),
              "foreignControls[0].bar");
    EXPECT_EQ(fieldOf(R"({ "host": "Word", "foreignControls": [ { "bar": "Standard" } ] })"),
              "foreignControls[0].caption");
    EXPECT_EQ(fieldOf(R"({ "host": "Word", "foreignControls": [
              { "bar": "Standard", "caption": "A" }, { "bar": "Menu Bar", "caption": "A" } ] })"),
              "foreignControls[1].caption");
    EXPECT_EQ(fieldOf(R"({ "host": "Word", "foreignControls": [
              { "bar": "Standard", "caption": "A" } ], "steps": [ { "click": "foreign:B" } ] })"),
              "steps[0].click");
}

namespace {
// Installs as the add-in does: a toolbar with one button, a Tools-menu entry.
struct Installed {
    std::shared_ptr<model::CommandBars> bars = model::makeHostCommandBars(u"Excel");
    std::shared_ptr<model::CommandBarButton> button, entry;

    void install() {
        auto bar = bars->add(u"Torva", model::kMsoBarTop, false, true);
        bar->setVisible(true);
        button = std::dynamic_pointer_cast<model::CommandBarButton>(
            bar->controls()->add(model::kMsoControlButton, 1, true));
        button->setCaption(u"Etiketten");
        auto menu = bars->find(u"Worksheet Menu Bar");
        for (const auto& c : menu->controls()->list())
            if (c->id() == model::kToolsMenuId) {
                auto popup = std::dynamic_pointer_cast<model::CommandBarPopup>(c);
                entry = std::dynamic_pointer_cast<model::CommandBarButton>(
                    popup->controls()->add(model::kMsoControlButton, 1, true));
            }
        ASSERT_TRUE(entry);
        entry->setCaption(u"Etiketten drucken");
        entry->put(u"Tag", Value{std::u16string(u"ZEBRO")});
        entry->put(u"OnAction", Value{std::u16string(u"!<TorvaAddIn.TorvaExcelConnect>")});
        entry->put(u"Parameter", Value{std::u16string(u"EXCEL")});
    }
};
}  // namespace

TEST(EmulatorBars, ReportsOnlyWhatWasAddedSinceStart) {
    Installed host;
    const Baseline baseline(*host.bars);
    EXPECT_TRUE(commandBarsJson(*host.bars, baseline).empty());
    EXPECT_TRUE(toolsMenuJson(*host.bars, u"Worksheet Menu Bar", baseline).empty());
    EXPECT_FALSE(findToolbarButton(*host.bars, baseline));
    EXPECT_FALSE(findMenuEntry(*host.bars, u"Worksheet Menu Bar"));

    host.install();
    const auto bars = commandBarsJson(*host.bars, baseline);
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars[0]["name"], "Torva");
    EXPECT_EQ(bars[0]["visible"], true);
    EXPECT_EQ(bars[0]["temporary"], true);
    ASSERT_EQ(bars[0]["controls"].size(), 1u);
    EXPECT_EQ(bars[0]["controls"][0]["type"], 1);
    EXPECT_EQ(bars[0]["controls"][0]["caption"], "Etiketten");
    EXPECT_EQ(bars[0]["controls"][0]["hasFace"], false);

    const auto tools = toolsMenuJson(*host.bars, u"Worksheet Menu Bar", baseline);
    ASSERT_EQ(tools.size(), 1u);
    EXPECT_EQ(tools[0]["caption"], "Etiketten drucken");
    EXPECT_EQ(tools[0]["tag"], "ZEBRO");
    EXPECT_EQ(tools[0]["parameter"], "EXCEL");
    EXPECT_EQ(tools[0]["onAction"], "!<TorvaAddIn.TorvaExcelConnect>");
    // Excel's Tools menu is on the worksheet menu bar, not on "Menu Bar".
    EXPECT_TRUE(toolsMenuJson(*host.bars, u"Menu Bar", baseline).empty());
}

TEST(EmulatorBars, ClickStepsFindTheAddInsButtonAndItsTaggedEntry) {
    Installed host;
    const Baseline baseline(*host.bars);
    host.install();
    EXPECT_EQ(findToolbarButton(*host.bars, baseline), host.button);
    EXPECT_EQ(findMenuEntry(*host.bars, u"Worksheet Menu Bar"), host.entry);

    // Only the entry tagged by the add-in counts; a deleted one is gone.
    host.entry->put(u"Tag", Value{std::u16string(u"zebro")});
    EXPECT_FALSE(findMenuEntry(*host.bars, u"Worksheet Menu Bar"));
    host.button->call(u"Delete", {Arg::missing()});
    EXPECT_FALSE(findToolbarButton(*host.bars, baseline));
    EXPECT_TRUE(commandBarsJson(*host.bars, baseline)[0]["controls"].empty());
}

TEST(EmulatorScenario, ExcelSheetAndSelectionBecomeTheSetupOfTheModel) {
    const Scenario s = parseScenario(R"({ "host": "Excel", "excel": {
        "activeSheet": { "kind": "worksheet", "name": "Daten",
                         "cells": { "A1": "Name", "B1": "", "A2": "x" } },
        "selection": "A1:B3,D5:E6" } })");
    EXPECT_FALSE(s.excelSetup.chartSheet);
    EXPECT_EQ(s.excelSetup.sheetName, u"Daten");
    ASSERT_EQ(s.excelSetup.cells.size(), 3u);
    EXPECT_EQ(s.excelSetup.cells[0], (std::pair<std::u16string, std::u16string>{u"A1", u"Name"}));
    EXPECT_EQ(s.excelSetup.selection, u"A1:B3,D5:E6");
    EXPECT_FALSE(s.excelSetup.chartSelected);

    const Scenario chart = parseScenario(R"({ "host": "Excel", "excel": {
        "activeSheet": { "kind": "chart" }, "selection": { "kind": "chart" } } })");
    EXPECT_TRUE(chart.excelSetup.chartSheet);
    EXPECT_TRUE(chart.excelSetup.chartSelected);
    EXPECT_EQ(parseScenario(R"({ "host": "Excel" })").excelSetup.selection, u"A1");

    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "excel": { "selection": "A1:" } })"),
              "excel.selection");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "excel": { "selection": { "kind": "cell" } } })"),
              "excel.selection");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "excel": { "activeSheet": { "kind": "pivot" } } })"),
              "excel.activeSheet.kind");
    EXPECT_EQ(
        fieldOf(R"({ "host": "Excel", "excel": { "activeSheet": { "cells": { "1A": "x" } } } })"),
        "excel.activeSheet.cells.1A");
    EXPECT_EQ(
        fieldOf(R"({ "host": "Excel", "excel": { "activeSheet": { "cells": { "A1": 5 } } } })"),
        "excel.activeSheet.cells.A1");
    EXPECT_EQ(fieldOf(R"({ "host": "Excel", "excel": { "sheet": {} } })"), "excel.sheet");
}

TEST(EmulatorScenario, OutlookStoresFoldersItemsAndExplorerBecomeTheSetup) {
    const Scenario s = parseScenario(R"({ "host": "Outlook", "outlook": {
        "stores": [ { "name": "Ordner", "folders": [
            { "name": "Kontakte", "defaultItemType": 2, "items": [
                { "kind": "contact", "FirstName": "Anna", "Birthday": "1980-01-05" },
                { "kind": "contact", "Birthday": null },
                { "kind": "distributionList", "DLName": "Team" } ],
              "folders": [ { "name": "Alt", "defaultItemType": 2 } ] },
            { "name": "Post", "items": [ { "kind": "mail" } ] } ] },
          { "name": "Archiv" } ],
        "explorer": { "currentFolder": "Kontakte/Alt", "selection": [2, 0] } } })");
    const auto& o = s.outlookSetup;
    ASSERT_EQ(o.stores.size(), 2u);
    EXPECT_EQ(o.stores[1].name, u"Archiv");
    ASSERT_EQ(o.stores[0].folders.size(), 2u);
    const auto& contacts = o.stores[0].folders[0];
    EXPECT_EQ(contacts.defaultItemType, model::kOlContactItem);
    EXPECT_EQ(o.stores[0].folders[1].defaultItemType, model::kOlMailItem);  // Outlook's default
    ASSERT_EQ(contacts.items.size(), 3u);
    EXPECT_EQ(contacts.items[0].text.at(u"FirstName"), u"Anna");
    EXPECT_EQ(contacts.items[0].birthday, model::oleDateOf(1980, 1, 5));
    EXPECT_FALSE(contacts.items[1].birthday);  // Outlook's "no date"
    EXPECT_EQ(contacts.items[2].kind, model::ItemKind::DistributionList);
    EXPECT_EQ(o.stores[0].folders[1].items[0].kind, model::ItemKind::Mail);
    ASSERT_EQ(contacts.folders.size(), 1u);
    EXPECT_EQ(contacts.folders[0].name, u"Alt");
    EXPECT_EQ(o.currentFolder, u"Kontakte/Alt");
    EXPECT_EQ(o.selection, (std::vector<int>{2, 0}));

    EXPECT_FALSE(
        parseScenario(R"({ "host": "Outlook", "outlook": { "explorer": null } })").outlookExplorer);
    const char* item = R"({ "host": "Outlook", "outlook": { "stores": [ { "name": "S",
        "folders": [ { "name": "K", "items": [ %s ] } ] } ] } })";
    auto itemField = [&](const char* json) {
        char buf[512];
        std::snprintf(buf, sizeof buf, item, json);
        return fieldOf(buf);
    };
    EXPECT_EQ(itemField(R"({ "FirstName": "A" })"), "outlook.stores[0].folders[0].items[0].kind");
    EXPECT_EQ(itemField(R"({ "kind": "task" })"), "outlook.stores[0].folders[0].items[0].kind");
    EXPECT_EQ(itemField(R"({ "kind": "contact", "Birthday": "5.1.1980" })"),
              "outlook.stores[0].folders[0].items[0].Birthday");
    EXPECT_EQ(itemField(R"({ "kind": "contact", "Birthday": "1980-13-01" })"),
              "outlook.stores[0].folders[0].items[0].Birthday");
    EXPECT_EQ(itemField(R"({ "kind": "contact", "LastName": 3 })"),
              "outlook.stores[0].folders[0].items[0].LastName");
    EXPECT_EQ(
        fieldOf(R"({ "host": "Outlook", "outlook": { "stores": [ { "folders": [ {} ] } ] } })"),
        "outlook.stores[0].folders[0].name");
    EXPECT_EQ(fieldOf(R"({ "host": "Outlook", "outlook": { "explorer": { "selection": [-1] } } })"),
              "outlook.explorer.selection");
    EXPECT_EQ(fieldOf(R"({ "host": "Outlook", "outlook": { "shops": [] } })"), "outlook.shops");
}
