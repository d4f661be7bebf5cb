#pragma once
// Buttons of other add-ins on the host's bars (the scenario's foreignControls):
// put there before the baseline, so that like the host's own they are not
// the add-in's, each with a sink of the emulator's own that counts its clicks.

#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CommandBars.h"
#include "Scenario.h"

namespace torva::emulator {

class ForeignControls {
  public:
    // Throws where the scenario names a bar the host does not have.
    ForeignControls(model::CommandBars& bars, const std::vector<ForeignControl>& controls);
    ForeignControls(const ForeignControls&) = delete;
    ForeignControls& operator=(const ForeignControls&) = delete;

    // From now on each click is counted, starting from zero.
    void countClicks();
    // The control of that caption still on its bar; null where there is none.
    std::shared_ptr<model::CommandBarButton> find(const std::u16string& caption) const;
    // Clicks so far by caption.
    nlohmann::ordered_json clicks() const { return nlohmann::ordered_json(clicks_); }

  private:
    std::vector<std::shared_ptr<model::CommandBarButton>> buttons_;
    std::vector<automation::Subscription> sinks_;
    std::map<std::string, long> clicks_;
};

}  // namespace torva::emulator
