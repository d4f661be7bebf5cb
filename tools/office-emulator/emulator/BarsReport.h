#pragma once
// What the report says about the command bars: the toolbars and Tools-menu
// entries that were not there when the host started, and the add-in's button
// and menu entry that the click steps press.

#include <nlohmann/json.hpp>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CommandBars.h"

namespace torva::emulator {

// The bars and controls the host started with. They are held, so that a new
// object can never take the address of one that was deleted.
class Baseline {
  public:
    explicit Baseline(const model::CommandBars& bars);
    bool has(const model::Object& o) const { return known_.count(&o) != 0; }

  private:
    std::set<const model::Object*> known_;
    std::vector<std::shared_ptr<const model::Object>> held_;
};

// "commandBars" of the report: the bars that were added since start.
nlohmann::ordered_json commandBarsJson(const model::CommandBars& bars, const Baseline& baseline);
// "toolsMenu" of the report: the entries added to the Tools popup since start.
nlohmann::ordered_json toolsMenuJson(const model::CommandBars& bars, std::u16string_view menuBar,
                                     const Baseline& baseline);

// The first button on the first toolbar added since start; null when none.
std::shared_ptr<model::CommandBarButton> findToolbarButton(const model::CommandBars& bars,
                                                           const Baseline& baseline);
// The Tools-menu entry whose Tag is "ZEBRO" (or, in a later Outlook
// window, "ZEBRO." and its number); null when none.
std::shared_ptr<model::CommandBarButton> findMenuEntry(const model::CommandBars& bars,
                                                       std::u16string_view menuBar);

}  // namespace torva::emulator
