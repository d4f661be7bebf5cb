#pragma once
// One run of a scenario: the host comes up with its objects and windows, loads
// the add-ins registered for it, plays the steps, shuts down and tells what
// happened. Bring-up, shutdown and the report are in Emulator.cpp; the steps
// of the scenario in RunSteps.cpp.

#include <windows.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AddIns.h"
#include "BarsReport.h"
#include "ChildJob.h"
#include "ComBridge.h"
#include "CommandBars.h"
#include "ForeignControls.h"
#include "HostWindow.h"
#include "Hosts.h"
#include "MessageBoxes.h"
#include "OutlookExplorers.h"
#include "PlakoraPlacement.h"
#include "RibbonHost.h"
#include "RunFiles.h"
#include "Scenario.h"

namespace torva::emulator {

class Run {
  public:
    explicit Run(const Scenario& s);
    ~Run() { window_.endRun(); }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    nlohmann::ordered_json play();

  private:
    // What the report needs of the add-ins once they are gone.
    struct AddInsAtShutdown {
        nlohmann::ordered_json report;
        std::vector<std::wstring> progIds;
    };

    // The steps of play(), in their order.
    void useEmptyClipboard();
    void startRecording();
    void loadAddIns();
    void startUp();
    void playSteps();
    AddInsAtShutdown shutDown();
    nlohmann::ordered_json report(const RunFiles& files, const AddInsAtShutdown& addins);

    std::shared_ptr<model::Application> outlook(std::shared_ptr<model::OutlookApplication> app);
    BridgeCounts letGo();
    nlohmann::ordered_json commandBars() const;
    nlohmann::ordered_json toolsMenu() const;

    // The scenario's steps (RunSteps.cpp).
    void perform(size_t index, const Step& s);
    void click(size_t index, const step::Click& what);
    void press(size_t index, const char* target, const std::function<void()>& fire);
    void secondPress(bool delivered);
    void waitFor(size_t index, const std::u16string& path);
    void snapshot(const std::string& label);
    void problem(size_t step, std::string what);

    // First, so that the servers are unloaded after everything they made is gone.
    LoadedServers servers_;
    const Scenario& scenario_;
    std::u16string hostName_;
    std::u16string menuBar_;
    std::shared_ptr<model::CommandBars> bars_;
    ForeignControls foreign_;
    Baseline baseline_;
    std::shared_ptr<model::Application> app_;
    std::unique_ptr<OutlookExplorers> explorers_;
    ModalWatch boxes_;
    HostWindow& window_;
    ChildJob children_;
    BridgeCounts before_;
    long ticksBefore_ = 0;
    HostCallFailures failures_;
    AddIns addins_;
    nlohmann::ordered_json problems_ = nlohmann::ordered_json::array();
    nlohmann::ordered_json snapshots_ = nlohmann::ordered_json::object();
    nlohmann::ordered_json presses_ = nlohmann::ordered_json::array();
    AppPathsEntry appPaths_;
    model::ObjectRef ribbonContext_;
    std::vector<model::ObjectRef> inspectors_;
    // Last: released first, before the add-ins it may still hold.
    RibbonHost ribbon_;
};

}  // namespace torva::emulator
