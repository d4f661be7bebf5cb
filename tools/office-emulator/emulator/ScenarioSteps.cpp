// The scenario's steps: what the user presses, what the host calls, how the
// message boxes and the dialog are answered, and the hand-shakes with
// whoever drives the run.

#include "ScenarioFields.h"
#include "ScenarioParts.h"
#include "base/Text.h"

namespace torva::emulator {

namespace {
using namespace fields;

constexpr std::array kMessageBoxAnswers = {"OK", "Cancel", "Yes", "No", "Abort", "Retry", "Ignore"};
constexpr std::array kDialogPresses = {"OK", "Cancel", "close"};
constexpr std::array kDialogOptions = {"business", "private"};

step::DialogAnswer dialogAnswer(const json& v, const std::string& field) {
    step::DialogAnswer answer;
    eachField(v, field, [&](const std::string& key, const json& value, const std::string& f) {
        if (key == "select")
            answer.select = indices(value, f, "expected a list of entry indices");
        else if (key == "option")
            answer.option = choice(value, f, kDialogOptions);
        else if (key == "press")
            answer.press = choice(value, f, kDialogPresses);
        else
            throw ScenarioError(f, "unknown field");
    });
    if (answer.press.empty()) throw ScenarioError(field + ".press", "missing");
    return answer;
}

int explorerIndex(const json& v, const std::string& field) {
    return static_cast<int>(
        whole(v, field, 0, 1000, "expected an explorer's number, 0 for the first"));
}

// button, menu, foreign:CAPTION (one of the scenario's) or ribbon:ID.
step::Click click(const std::string& target, const std::string& field,
                  const std::vector<ForeignControl>& foreign) {
    if (target == "button") return step::Click{step::Click::Button, {}, {}};
    if (target == "menu") return step::Click{step::Click::Menu, {}, {}};
    const std::string prefix = "foreign:";
    if (target.starts_with(prefix)) {
        std::u16string caption = fromUtf8(target.substr(prefix.size()));
        if (std::none_of(foreign.begin(), foreign.end(),
                         [&](const ForeignControl& c) { return c.caption == caption; }))
            throw ScenarioError(field, "no foreign control with that caption");
        return step::Click{step::Click::Foreign, std::move(caption), {}};
    }
    const std::string ribbon = "ribbon:";
    if (target.starts_with(ribbon) && target.size() > ribbon.size())
        return step::Click{step::Click::Ribbon, fromUtf8(target.substr(ribbon.size())), {}};
    throw ScenarioError(field, "expected button, menu, foreign:CAPTION or ribbon:ID");
}

// A press that says in which Outlook explorer it happens.
Step clickIn(const json& v, const std::string& field, const std::vector<ForeignControl>& foreign) {
    const int explorer = explorerIndex(v["explorer"], field + ".explorer");
    auto press = click(text(v["click"], field + ".click"), field + ".click", foreign);
    if (press.target != step::Click::Button && press.target != step::Click::Menu)
        throw ScenarioError(field + ".explorer", "only the button or the menu entry");
    press.explorer = explorer;
    return press;
}

// The calls a step may make of the add-in, by the step's name.
constexpr std::pair<const char*, step::HostCall> kHostCalls[] = {
    {"addInsUpdate", step::HostCall::AddInsUpdate},
    {"startupComplete", step::HostCall::StartupComplete},
    {"beginShutdown", step::HostCall::BeginShutdown},
    {"disconnect", step::HostCall::Disconnect},
    {"connect", step::HostCall::Connect},
};

std::optional<Step> hostCall(const std::string& key, const json& value, const std::string& f) {
    for (const auto& [name, call] : kHostCalls) {
        if (key != name) continue;
        if (!flag(value, f)) throw ScenarioError(f, "expected true (the step makes the call)");
        return step::Call{call};
    }
    return std::nullopt;
}

// A step on Outlook's windows: an inspector or explorer opens, one closes.
std::optional<Step> windowStep(const std::string& key, const json& value, const std::string& f) {
    if (key == "openExplorer") return step::OpenExplorer{explorerSetup(value, f)};
    if (key == "closeExplorer") return step::CloseExplorer{explorerIndex(value, f)};
    if (key != "openInspector") return std::nullopt;
    const std::string id = text(value, f);
    if (!id.starts_with("Microsoft.Outlook.") || id == "Microsoft.Outlook.Explorer")
        throw ScenarioError(f,
                            "expected an inspector's ribbon ID like Microsoft.Outlook.Mail.Read");
    return step::OpenInspector{fromUtf8(id)};
}

// A step that answers what the add-in shows, or waits.
std::optional<Step> answerStep(const std::string& key, const json& value, const std::string& f) {
    if (key == "wait") return step::Wait{milliseconds(value, f)};
    if (key == "messageBox") return step::MessageBoxAnswer{choice(value, f, kMessageBoxAnswers)};
    if (key == "dialog") return dialogAnswer(value, f);
    if (key == "clickWhileDialog") {
        if (text(value, f) != "button") throw ScenarioError(f, "expected \"button\"");
        return step::ClickWhileDialog{};
    }
    return std::nullopt;
}

// A hand-shake with the driver of the run, or a snapshot of the report.
std::optional<Step> runStep(const std::string& key, const json& value, const std::string& f) {
    if (key == "signal" || key == "waitFor") {
        const std::string path = text(value, f);
        if (!windowsPath(path)) throw ScenarioError(f, "expected a Windows path like Z:\\tmp\\go");
        if (key == "signal") return step::Signal{fromUtf8(path)};
        return step::WaitFor{fromUtf8(path)};
    }
    if (key != "snapshot") return std::nullopt;
    std::string label = text(value, f);
    if (label.empty()) throw ScenarioError(f, "expected a label that is not empty");
    return step::Snapshot{std::move(label)};
}
}  // namespace

Step parseStep(const json& v, const std::string& field,
               const std::vector<ForeignControl>& foreign) {
    if (v.is_object() && v.size() == 2 && v.contains("click") && v.contains("explorer"))
        return clickIn(v, field, foreign);
    if (!v.is_object() || v.size() != 1)
        throw ScenarioError(field, "expected an object with exactly one field");
    // The only field, by name: the iteration proxy is a temporary.
    const std::string key = v.begin().key();
    const json& value = v.begin().value();
    const std::string f = field + "." + key;
    if (key == "click") return click(text(value, f), f, foreign);
    for (auto read : {hostCall, windowStep, answerStep, runStep})
        if (std::optional<Step> s = read(key, value, f)) return std::move(*s);
    throw ScenarioError(f, "unknown step");
}

}  // namespace torva::emulator
