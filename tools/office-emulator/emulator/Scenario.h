#pragma once
// A scenario: which host the emulator plays, what it holds, and what the user
// does, step by step. The host sections (excel, access, outlook) are kept as
// JSON here and read by the parts of the model that need them.

#include <nlohmann/json.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "Access.h"
#include "Excel.h"
#include "Hosts.h"
#include "Outlook.h"

namespace torva::emulator {

// A scenario that cannot be read; the message names the field.
class ScenarioError : public std::runtime_error {
  public:
    ScenarioError(const std::string& field, const std::string& problem)
        : std::runtime_error("scenario field '" + field + "': " + problem), field_(field) {}
    const std::string& field() const { return field_; }

  private:
    std::string field_;
};

namespace step {
struct Click {
    enum Target { Button, Menu, Foreign, Ribbon } target;
    std::u16string caption;  // Foreign: which of the scenario's foreign controls; Ribbon: the id
    std::optional<int> explorer;  // Outlook: the explorer pressed in; none: the first open
};
// Outlook opens an item window of that ribbon ID ("Microsoft.Outlook.Mail.Read").
struct OpenInspector {
    std::u16string ribbonId;
};
// Outlook: a new explorer window opens (NewExplorer), or one closes.
struct OpenExplorer {
    model::ExplorerSetup setup;
};
struct CloseExplorer {
    int explorer;
};
enum class HostCall { AddInsUpdate, StartupComplete, BeginShutdown, Disconnect, Connect };
struct Call {
    HostCall call;
};
struct Wait {
    int milliseconds;
};
struct MessageBoxAnswer {
    std::string press;  // OK, Cancel, Yes, No, Abort, Retry, Ignore
};
struct DialogAnswer {
    std::optional<std::vector<int>> select;  // the entries marked; absent: as the dialog opened
    std::string option;                      // business or private
    std::string press;                       // OK, Cancel, close
};
struct Snapshot {
    std::string label;
};
// A second press of the button through the host window while the next
// address-book dialog is shown.
struct ClickWhileDialog {};
// A hand-shake with whoever drives the run from outside: create a file
// (signal), or run the message loop until a file exists (waitFor).
struct Signal {
    std::u16string path;
};
struct WaitFor {
    std::u16string path;
};
}  // namespace step

using Step =
    std::variant<step::Click, step::Call, step::Wait, step::MessageBoxAnswer, step::DialogAnswer,
                 step::Snapshot, step::ClickWhileDialog, step::Signal, step::WaitFor,
                 step::OpenInspector, step::OpenExplorer, step::CloseExplorer>;

// Where the host's main window stands on the screen.
struct WindowRect {
    int x = 40, y = 40, width = 800, height = 600;
};

// Where the stand-in plakora.exe is for the run: beside the add-in (as
// staged), missing, there but not a program Windows can start, or in a folder
// of its own that only the user's App Paths registration names.
enum class PlakoraPlace { Staged, Missing, Unstartable, AppPaths };

// A button of another add-in on one of the host's bars, with a sink of the
// emulator's own that counts its clicks.
struct ForeignControl {
    std::u16string bar;
    std::u16string caption;
    std::u16string tag;
};

// The n-th call of a member in the run fails, or gives Nothing.
struct Fault {
    std::u16string member;
    long occurrence = 1;
    bool nothing = false;
    int32_t hresult = 0;
    std::u16string description;
};

struct Scenario {
    model::HostKind host = model::HostKind::Excel;
    bool wrongApplication = false;
    // Application.Version; from "12.0" (Outlook "14.0") the host has a Ribbon.
    std::u16string officeVersion = u"9.0";
    std::optional<std::string> stringTable;
    std::optional<std::string> tempFolder;  // a Windows path, UTF-8
    nlohmann::json excel;                   // null when absent
    model::ExcelSetup excelSetup;
    nlohmann::json access;  // null when absent
    model::AccessSetup accessSetup;
    nlohmann::json outlook;  // null when absent
    bool outlookExplorer = true;
    bool explorerAtStartup = true;   // ActiveExplorer gives it while the add-in starts
    bool explorerAtShutdown = true;  // and while it shuts down
    long openItemLimit = 0;          // 0: no limit
    model::OutlookSetup outlookSetup;
    // Outlook's explorers after the first (outlook.explorers), open from the start.
    std::vector<model::ExplorerSetup> moreExplorers;
    std::vector<Fault> faults;
    std::vector<ForeignControl> foreignControls;
    std::vector<Step> steps;
    WindowRect hostWindow;
    PlakoraPlace plakora = PlakoraPlace::Staged;
    // Not read from the file: a message box or dialog nobody answers is
    // closed after this long (shorter when many runs are swept).
    unsigned unansweredAfterMs = 5000;
};

// Throws ScenarioError for anything that does not fit.
Scenario parseScenario(const std::string& utf8Json);

}  // namespace torva::emulator
