#include "Emulator.h"

#include "Access.h"
#include "AddInRegistry.h"
#include "Clipboard.h"
#include "Excel.h"
#include "MessageLoop.h"
#include "ModalReport.h"
#include "Outlook.h"
#include "Run.h"
#include "WideText.h"
#include "base/Text.h"
#include "platform/win/Com.h"

namespace torva::emulator {

namespace {
using nlohmann::ordered_json;

constexpr DWORD kLaunchesSettleMs = 10000;  // longest wait for started programs to finish

class ComApartment {
  public:
    ComApartment() {
        win::throwIfFailed(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), u"CoInitializeEx");
    }
    ~ComApartment() { CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};
}  // namespace

Run::Run(const Scenario& s)
    : scenario_(s),
      hostName_(model::hostName(s.host)),
      menuBar_(model::mainMenuBarName(hostName_)),
      bars_(model::makeHostCommandBars(hostName_)),
      foreign_(*bars_, s.foreignControls),
      baseline_(*bars_),
      boxes_(s.unansweredAfterMs),
      window_(HostWindow::forRun(hostName_, s.hostWindow,
                                 [this](bool delivered) { secondPress(delivered); })),
      addins_(servers_, failures_, ribbon_),
      ribbon_(s.host, s.officeVersion,
              [this](const char* call, HRESULT hr, std::u16string description) {
                  failures_.add(call, hr, std::move(description));
              }) {
    boxes_.setHostWindow(window_.get());
    model::HostOptions options;
    options.mainWindow = reinterpret_cast<intptr_t>(window_.get());
    options.wrongApplication = s.wrongApplication;
    options.explorer = s.outlookExplorer;
    options.version = s.officeVersion;
    if (s.host == model::HostKind::Excel)
        app_ = model::makeExcelApplication(bars_, options, s.excelSetup);
    else if (s.host == model::HostKind::Access)
        app_ = model::makeAccessApplication(bars_, options, s.accessSetup);
    else if (s.host == model::HostKind::Outlook)
        app_ = outlook(model::makeOutlookApplication(bars_, options, s.outlookSetup));
    else
        app_ = model::makeApplication(s.host, bars_, options);
    // The window object a ribbon control names as its Context: Word's
    // document window, Outlook's explorer, a window of its own elsewhere.
    if (s.host == model::HostKind::Word)
        ribbonContext_ = app_->activeWindow();
    else if (s.host == model::HostKind::Outlook)
        ribbonContext_ = app_->explorer();
    else
        ribbonContext_ = std::make_shared<model::Window>(options.mainWindow);
}

// Outlook's windows, the scenario's further explorers open from the start.
std::shared_ptr<model::Application> Run::outlook(std::shared_ptr<model::OutlookApplication> app) {
    explorers_ = std::make_unique<OutlookExplorers>(app, bars_, baseline_, window_.get());
    for (const auto& e : scenario_.moreExplorers) explorers_->open(e, false);
    return app;
}

ordered_json Run::play() {
    useEmptyClipboard();
    const RunFiles files(scenario_.tempFolder);
    startRecording();
    loadAddIns();
    startUp();
    playSteps();
    const AddInsAtShutdown addins = shutDown();
    return report(files, addins);
}

// What the add-in copies is what the host's clipboard holds.
void Run::useEmptyClipboard() {
    emptyClipboard();
    model::setClipboardSource(clipboardBitmap);
}

// The counts the report gives are this run's: from here on.
void Run::startRecording() {
    before_ = bridgeCounts();
    ticksBefore_ = foreignTimerTicks();
    beginJournal(scenario_);
    foreign_.countClicks();
}

// As Office loads them, with the stand-in placed beside each as the scenario wants.
void Run::loadAddIns() {
    addins_.load(hostName_, HostObjects{app_, ribbonContext_});
    for (const auto& progId : addins_.progIds())
        placePlakora(scenario_.plakora, addinPath(progId), appPaths_);
}

void Run::startUp() {
    app_->explorerActive = scenario_.explorerAtStartup;
    setJournalPhase("startup");
    addins_.startUp();
    app_->explorerActive = true;
}

void Run::playSteps() {
    for (size_t i = 0; i < scenario_.steps.size(); ++i) {
        setJournalPhase("step " + std::to_string(i));
        perform(i, scenario_.steps[i]);
    }
}

Run::AddInsAtShutdown Run::shutDown() {
    setJournalPhase("shutdown");
    AddInsAtShutdown addins{addins_.report(), addins_.progIds()};
    app_->explorerActive = scenario_.explorerAtShutdown;
    addins_.shutDown();
    pumpFor(0);
    model::setClipboardSource({});
    return addins;
}

ordered_json Run::report(const RunFiles& files, const AddInsAtShutdown& addins) {
    const bool settled = children_.settle(kLaunchesSettleMs);
    ordered_json report;
    report["host"] = toUtf8(hostName_);
    report["ansiCodePage"] = GetACP();
    report["addins"] = addins.report;
    report["commandBars"] = commandBars();
    report["toolsMenu"] = toolsMenu();
    report["clipboard"] = clipboardJson();
    report["messageBoxes"] = messageBoxesJson(boxes_);
    report["dialogs"] = dialogsJson(boxes_);
    report["launches"] = files.launchRecords();
    report["launchesSettled"] = settled;
    report["log"] = files.logLines();
    report["hostCallFailures"] = failures_.json();
    report["stepProblems"] = problems_;
    report["snapshots"] = snapshots_;
    report["foreignClicks"] = foreign_.clicks();
    report["ribbon"] = ribbon_.report();
    const BridgeCounts counts = letGo();
    ordered_json unload = canUnload(addins.progIds);
    // What Office does from time to time: unload what says it may go.
    CoFreeUnusedLibrariesEx(0, 0);
    report["references"] = {
        {"outstandingAtExit", counts.outstandingReferences - before_.outstandingReferences},
        {"addinsCanUnload", std::move(unload)}};
    report["automationCalls"] = {{"invoke", counts.invoke - before_.invoke},
                                 {"getIDsOfNames", counts.getIDsOfNames - before_.getIDsOfNames}};
    report["calls"] = journalCalls();
    report["hostWindow"] = {{"enabled", window_.enabled()},
                            {"handle", handleJson(window_.get())},
                            {"rect", rectJson(window_.rect())}};
    report["presses"] = presses_;
    report["timerTicks"] = foreignTimerTicks() - ticksBefore_;
    if (explorers_) report["explorers"] = explorers_->explorers();
    if (auto* access = dynamic_cast<model::AccessApplication*>(app_.get()))
        report["access"] = {{"currentDbCalls", access->currentDbCalls()}};
    return report;
}

// What the add-in still holds once it was released and the host let go of its own.
BridgeCounts Run::letGo() {
    inspectors_.clear();
    addins_.releaseExposed();
    return bridgeCounts();
}

ordered_json Run::commandBars() const {
    if (explorers_) return explorers_->commandBars();
    auto* bars = dynamic_cast<model::CommandBars*>(app_->commandBars().get());
    return bars ? commandBarsJson(*bars, baseline_) : ordered_json::array();
}

ordered_json Run::toolsMenu() const {
    if (explorers_) return explorers_->toolsMenu(menuBar_);
    auto* bars = dynamic_cast<model::CommandBars*>(app_->commandBars().get());
    return bars ? toolsMenuJson(*bars, menuBar_, baseline_) : ordered_json::array();
}

ordered_json runScenario(const Scenario& scenario) {
    ComApartment apartment;
    Run run(scenario);
    return run.play();
}

}  // namespace torva::emulator
