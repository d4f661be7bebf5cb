// The scenario's steps as a run plays them: presses of the add-in's controls,
// host calls, Outlook's windows, answers for the add-in's modal windows,
// hand-shakes with whoever drives the run, and snapshots.

#include <filesystem>
#include <fstream>

#include "AddInRegistry.h"
#include "MessageLoop.h"
#include "Run.h"
#include "WideText.h"
#include "base/Text.h"

namespace torva::emulator {

namespace {
using nlohmann::ordered_json;

constexpr DWORD kLongestHandshakeMs = 60000;  // a waitFor step gives up after this
}  // namespace

void Run::perform(size_t index, const Step& s) {
    if (auto* c = std::get_if<step::Click>(&s)) {
        click(index, *c);
    } else if (auto* call = std::get_if<step::Call>(&s)) {
        addins_.call(call->call);
    } else if (auto* open = std::get_if<step::OpenExplorer>(&s)) {
        if (!explorers_)
            problem(index, "only Outlook has explorers");
        else
            explorers_->open(open->setup, true);
        pumpFor(0);
    } else if (auto* close = std::get_if<step::CloseExplorer>(&s)) {
        if (!explorers_ || !explorers_->close(static_cast<size_t>(close->explorer)))
            problem(index, "no open explorer of that number to close");
        pumpFor(0);
    } else if (auto* w = std::get_if<step::Wait>(&s)) {
        pumpFor(static_cast<DWORD>(w->milliseconds));
    } else if (auto* inspector = std::get_if<step::OpenInspector>(&s)) {
        if (scenario_.host != model::HostKind::Outlook) {
            problem(index, "only Outlook has inspectors");
        } else {
            inspectors_.push_back(std::make_shared<model::Object>(u"Inspector"));
            ribbon_.openInspector(inspector->ribbonId, inspectors_.back());
            pumpFor(0);
        }
    } else if (auto* m = std::get_if<step::MessageBoxAnswer>(&s)) {
        boxes_.queueAnswer(m->press);
    } else if (auto* d = std::get_if<step::DialogAnswer>(&s)) {
        boxes_.queueDialogAnswer({d->select, d->option, d->press});
    } else if (std::holds_alternative<step::ClickWhileDialog>(s)) {
        boxes_.queueSecondPress();
    } else if (auto* sig = std::get_if<step::Signal>(&s)) {
        std::ofstream file(std::filesystem::path(wide(sig->path)), std::ios::binary);
        if (!file) problem(index, "signal file not made");
    } else if (auto* wf = std::get_if<step::WaitFor>(&s)) {
        waitFor(index, wf->path);
    } else if (auto* snap = std::get_if<step::Snapshot>(&s)) {
        snapshot(snap->label);
    }
}

void Run::click(size_t index, const step::Click& what) {
    auto bars = app_->commandBars();
    auto* commandBars = dynamic_cast<model::CommandBars*>(bars.get());
    const Baseline* baseline = &baseline_;
    std::optional<size_t> explorer;
    if (explorers_ && what.target != step::Click::Foreign && what.target != step::Click::Ribbon) {
        // Outlook: the press happens in one explorer window.
        explorer = explorers_->target(what.explorer);
        commandBars = explorer ? &explorers_->bars(*explorer) : nullptr;
        if (explorer) baseline = &explorers_->baseline(*explorer);
    }
    std::shared_ptr<model::CommandBarButton> button;
    if (what.target == step::Click::Ribbon) {
        if (!ribbon_.hasButton(what.caption))
            problem(index, "no ribbon button with the id " + toUtf8(what.caption));
        else
            press(index, "ribbon", [&] { ribbon_.click(what.caption); });
        return;
    }
    if (what.target == step::Click::Foreign)
        button = foreign_.find(what.caption);
    else if (commandBars)
        button = what.target == step::Click::Button ? findToolbarButton(*commandBars, *baseline)
                                                    : findMenuEntry(*commandBars, menuBar_);
    if (!button) {
        problem(index, what.target == step::Click::Button ? "no toolbar button to click"
                       : what.target == step::Click::Menu ? "no Tools-menu entry to click"
                                                          : "no foreign control to click");
        return;
    }
    auto fire = [&] {
        try {
            button->click();
        } catch (const Error& e) {
            failures_.add("Click", e.hresult(), e.description(), lastEventReturn());
        }
    };
    if (what.target == step::Click::Foreign) {
        fire();
        pumpFor(0);
        return;
    }
    press(index, what.target == step::Click::Button ? "button" : "menu", fire);
    if (explorer) presses_.back()["explorer"] = *explorer;
}

// One press of the add-in's button, menu entry or ribbon button, and what it
// ended in: programs started, notices, dialogs.
void Run::press(size_t index, const char* target, const std::function<void()>& fire) {
    const size_t dialogsBefore = boxes_.seenDialogs().size();
    const size_t boxesBefore = boxes_.seen().size();
    const long startedBefore = children_.started();
    fire();
    pumpFor(0);
    const long startedAfter = children_.started();
    auto& dialogs = boxes_.seenDialogs();
    ordered_json answers = ordered_json::array();
    for (size_t i = dialogsBefore; i < dialogs.size(); ++i) {
        dialogs[i].hostEnabledAfter = window_.enabled();
        dialogs[i].hostActiveAfter = window_.active();
        answers.push_back(dialogs[i].pressed);
    }
    presses_.push_back({{"step", index},
                        {"target", target},
                        {"launches", startedBefore < 0 || startedAfter < 0
                                         ? ordered_json(nullptr)
                                         : ordered_json(startedAfter - startedBefore)},
                        {"notices", boxes_.seen().size() - boxesBefore},
                        {"dialogs", std::move(answers)}});
}

// The press tried through the host window while a dialog was shown.
void Run::secondPress(bool delivered) {
    for (auto& d : boxes_.seenDialogs())
        if (d.secondPress == "pending") d.secondPress = delivered ? "delivered" : "blocked";
    if (delivered) click(scenario_.steps.size(), step::Click{step::Click::Button, {}, {}});
}

void Run::waitFor(size_t index, const std::u16string& path) {
    const DWORD end = GetTickCount() + kLongestHandshakeMs;
    while (GetFileAttributesW(wide(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (static_cast<LONG>(GetTickCount() - end) >= 0) {
            problem(index, "the file waited for never came");
            break;
        }
        pumpFor(20);
    }
}

// Also what DllCanUnloadNow says now and how many calls the add-in made so far.
void Run::snapshot(const std::string& label) {
    ordered_json unload = canUnload(addins_.progIds());
    snapshots_[label] = {{"commandBars", commandBars()},
                         {"toolsMenu", toolsMenu()},
                         {"addinsCanUnload", std::move(unload)},
                         {"invoke", bridgeCounts().invoke - before_.invoke},
                         {"timerTicks", foreignTimerTicks() - ticksBefore_},
                         {"foreignClicks", foreign_.clicks()}};
}

void Run::problem(size_t step, std::string what) {
    problems_.push_back({{"step", step}, {"problem", std::move(what)}});
}

}  // namespace torva::emulator
