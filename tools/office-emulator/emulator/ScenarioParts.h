#pragma once
// The parts of a scenario read in rooms of their own: each host's section
// and the steps. Scenario.cpp puts them together.

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "Scenario.h"

namespace torva::emulator {

// The "excel" section; a fresh workbook's setup when it is null.
model::ExcelSetup excelSetup(const nlohmann::json& excel);
// The "access" section; Access with no database when it is null.
model::AccessSetup accessSetup(const nlohmann::json& access);
// The "outlook" section (s.outlook): stores, explorers and their states.
void readOutlook(Scenario& s);
// One explorer window: its current folder and selection.
model::ExplorerSetup explorerSetup(const nlohmann::json& v, const std::string& field);
// One step; FOREIGN are the scenario's foreign controls, which a click may name.
Step parseStep(const nlohmann::json& v, const std::string& field,
               const std::vector<ForeignControl>& foreign);

}  // namespace torva::emulator
