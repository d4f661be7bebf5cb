#pragma once
// The emulated Outlook's explorer windows as a run shows them: each with its
// own command bars, what those held when it opened (so the report tells the
// add-in's controls from Outlook's own) and a real top-level window that
// answers IOleWindow and owns what the add-in shows for a press in it.

#include <windows.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BarsReport.h"
#include "CommandBars.h"
#include "Outlook.h"

namespace torva::emulator {

class OutlookExplorers {
  public:
    // The first explorer (open at start or the first to open) uses the
    // run's bars, baseline and host window.
    OutlookExplorers(std::shared_ptr<model::OutlookApplication> app,
                     std::shared_ptr<model::CommandBars> firstBars, const Baseline& firstBaseline,
                     HWND firstWindow);

    // Another explorer; announce: NewExplorer goes out, as when the user
    // opens a window. Returns its number.
    size_t open(const model::ExplorerSetup& setup, bool announce);
    // False when there is no such open explorer.
    bool close(size_t index);
    // The explorer a press goes to: the one named, or the first open.
    std::optional<size_t> target(std::optional<int> index) const;
    model::CommandBars& bars(size_t index) const;
    const Baseline& baseline(size_t index) const;

    // The report's commandBars and toolsMenu over every open explorer,
    // each entry with its explorer's number, and the explorers themselves.
    nlohmann::ordered_json commandBars() const;
    nlohmann::ordered_json toolsMenu(std::u16string_view menuBar) const;
    nlohmann::ordered_json explorers() const;

  private:
    struct View {
        std::shared_ptr<model::CommandBars> bars;
        const Baseline* baseline;
        std::unique_ptr<Baseline> own;
        HWND window;
    };
    std::shared_ptr<model::OutlookApplication> app_;
    std::shared_ptr<model::CommandBars> firstBars_;
    const Baseline& firstBaseline_;
    HWND firstWindow_;
    std::vector<View> views_;  // by explorer number
};

}  // namespace torva::emulator
