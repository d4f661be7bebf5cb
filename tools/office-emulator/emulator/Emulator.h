#pragma once
// One run of a scenario: the host comes up, loads the add-ins registered for
// it as Office does, plays the steps, shuts down, and tells what happened.

#include <nlohmann/json.hpp>

#include "Scenario.h"

namespace torva::emulator {

// Throws for an emulator failure (not for what the add-in does).
nlohmann::ordered_json runScenario(const Scenario& scenario);

}  // namespace torva::emulator
