#pragma once
// The four connect classes that the Office hosts create: one family, the
// host's differences held as data (HostInfo). The COM wrappers in com/ give
// them to Office; every exception that leaves a method here becomes the
// HRESULT of that host call there. ConnectClass.cpp holds the connection's
// lifecycle and command bars, ConnectRibbon.cpp the Ribbon callbacks,
// Hosts.cpp each host's table and action, OutlookExplorers.cpp Outlook's windows.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/Automation.h"
#include "host/AddInTimer.h"
#include "host/Ribbon.h"

namespace torva {

using automation::ObjectRef;

// Where a host's main window is found: the owner of the add-in's notices and dialog.
enum class OwnerWindow {
    ApplicationHwnd,   // Excel: Application.Hwnd
    AccessAppWindow,   // Access: Application.hWndAccessApp
    ActiveWindowHwnd,  // Word: Application.ActiveWindow.Hwnd
    ExplorerWindow,    // Outlook: the active explorer's IOleWindow
};

// What differs between the hosts.
struct HostInfo {
    std::u16string_view name;  // "Excel"
    automation::Guid applicationIid;
    std::u16string_view connectionLogPrefix;  // "Excel OnConnection_ERROR: "
    std::u16string_view buttonCaptionId;      // string IDs of the toolbar button
    std::u16string_view buttonTooltipId;
    std::u16string_view menuCaptionId;         // string ID of the Tools-menu entry
    std::u16string_view mainMenuBarName;       // the bar holding the Tools popup
    std::u16string_view hostKeyword;           // the menu entry's Parameter
    bool commandBarsOfActiveExplorer = false;  // Outlook's Application has none
    bool marksNormalTemplateSaved = false;     // Word
    bool logsInstallationFailures = false;     // Access catches and logs them
    bool removesAtBeginShutdown = false;       // Outlook
    OwnerWindow ownerWindow = OwnerWindow::ApplicationHwnd;
    const RibbonInfo* ribbon = nullptr;  // where its Ribbon puts the button
};

extern const HostInfo kExcelHost;
extern const HostInfo kWordHost;
extern const HostInfo kAccessHost;
extern const HostInfo kOutlookHost;

inline constexpr int32_t kToolsPopupId = 30007;

// The add-in's toolbar, button and menu entry in one set of command bars
// (the host's, or one Outlook window's), with the Click subscriptions.
struct CommandBarSet {
    ObjectRef myCommandbar;
    ObjectRef myCommandbarbutton;
    ObjectRef myMenuButton;
    automation::Subscription commandbarbuttonEvents;
    automation::Subscription menuButtonEvents;
};

class ConnectClass {
  public:
    // Creation runs AddinInstance_Initialize, destruction
    // AddinInstance_Terminate, as the host's creation and release of the
    // object do.
    explicit ConnectClass(const HostInfo& host);
    virtual ~ConnectClass();
    ConnectClass(const ConnectClass&) = delete;
    ConnectClass& operator=(const ConnectClass&) = delete;

    // IDTExtensibility2. ConnectMode, RemoveMode and custom are not looked at.
    void AddinInstance_OnConnection(const ObjectRef& Application, int32_t ConnectMode,
                                    const ObjectRef& AddInInst);
    virtual void AddinInstance_OnAddInsUpdate();
    virtual void AddinInstance_OnStartupComplete();
    void AddinInstance_OnBeginShutdown();
    void AddinInstance_OnDisconnection(int32_t RemoveMode);

    // The Click events of the toolbar button and of the menu entry.
    virtual void myCommandbarbutton_Click();
    virtual void myMenuButton_Click();

    // IRibbonExtensibility: the markup for one ribbon ID of the host, "" for
    // any other and wherever the host keeps the command bars.
    std::u16string GetCustomUI(std::u16string_view RibbonID) const;
    // The callbacks that markup names. onAction is the toolbar button's
    // Click; the control is not looked at, as the button's Ctrl is not.
    void onLoad(const ObjectRef& ribbon);
    void onAction(const ObjectRef& control);
    // Decided at connection from Application.Version: the Ribbon carries
    // the button, and no command bar, menu entry or timer is made.
    bool showsRibbon() const { return ribbonMode_; }
    ObjectRef ribbonUI() const { return myRibbon; }

    const HostInfo& host() const { return host_; }
    // Field 1: the host's application (ExcelInstance, WordInstance, ...).
    ObjectRef hostInstance() const { return hostInstance_; }
    void setHostInstance(ObjectRef application) { hostInstance_ = std::move(application); }

    // The references the object holds, for the wrappers' and tests' eyes.
    ObjectRef addInInst() const { return myAddInInst; }
    ObjectRef commandbar() const { return installed().myCommandbar; }
    ObjectRef commandbarbutton() const { return installed().myCommandbarbutton; }
    ObjectRef menuButton() const { return installed().myMenuButton; }

    // The host's main window as the host tells it; throws where it cannot.
    intptr_t hostWindow();

  protected:
    virtual void CreateCommandBars();
    virtual void RemoveCommandBars();
    // What the accessors show: the host's set (Outlook: its first window's).
    virtual const CommandBarSet& installed() const { return controls_; }
    // Installs into the command bars that commandBars() gives (asked twice,
    // as for the toolbar and then for the menu); the controls' Tags end in
    // tagSuffix, and their Clicks run the two handlers.
    void installInto(CommandBarSet& set, const std::function<ObjectRef()>& commandBars,
                     std::u16string_view tagSuffix, std::function<void()> buttonClick,
                     std::function<void()> menuClick);
    // Every step on its own, a failing one skipped; no field is cleared.
    void removeFrom(const CommandBarSet& set,
                    const std::function<ObjectRef()>& commandBars) noexcept;
    // One press of the button or the menu entry: the host's window (or the
    // one owner() gives) owns what it shows, and a failure the action did not
    // tell the user about itself ends in the notice "2304" and a log entry,
    // never back in the host.
    void runPress(const std::function<void()>& action,
                  std::function<intptr_t()> owner = {}) noexcept;

  private:
    void AddinInstance_Initialize();
    void AddinInstance_Terminate();
    ObjectRef hostCommandBars();

    const HostInfo& host_;
    bool ribbonMode_ = false;
    int officeVersion_ = 0;  // major number; 0 where Version could not be read
    ObjectRef hostInstance_;
    ObjectRef myAddInInst;
    CommandBarSet controls_;
    ObjectRef myRibbon;  // IRibbonUI, from onLoad until disconnection
};

class TorvaExcelConnect : public ConnectClass {
  public:
    TorvaExcelConnect();
    ObjectRef ExcelInstance() const { return hostInstance(); }
    void ExcelInstance(ObjectRef application) { setHostInstance(std::move(application)); }
    // Excel's action: export the selection, then start the label application on it.
    void myCommandbarbutton_Click() override;
    void myMenuButton_Click() override;

  private:
    void RunHostAction();
};

class TorvaWordConnect : public ConnectClass {
  public:
    TorvaWordConnect();
    ObjectRef WordInstance() const { return hostInstance(); }
    void WordInstance(ObjectRef application) { setHostInstance(std::move(application)); }
    // Word's action: start the label application without data.
    void myCommandbarbutton_Click() override;
    void myMenuButton_Click() override;
};

// Created by std::make_shared (the COM wrapper does): the start-up timer
// keeps a counted reference to the object while it waits.
class TorvaAccessConnect : public ConnectClass,
                           public AddInTimerTarget,
                           public std::enable_shared_from_this<TorvaAccessConnect> {
  public:
    TorvaAccessConnect();
    ObjectRef AccessInstance() const { return hostInstance(); }
    // Installation waits for an open database, which the start-up timer
    // polls for through AddInTimer_Timer.
    void AddinInstance_OnAddInsUpdate() override;
    void AddinInstance_OnStartupComplete() override;
    // True once a database is open and the installation has run.
    bool AddInTimer_Timer() override;
    // Access's action: hand the current table or query to the label application.
    void myCommandbarbutton_Click() override;
    void myMenuButton_Click() override;

  private:
    void RunHostAction();
};

struct OutlookWindow;

// Outlook puts the add-in into every explorer window: those open when it
// installs and each one that opens later; what belongs to a window goes when
// it closes (OutlookExplorers.cpp).
class TorvaOutlookConnect : public ConnectClass {
  public:
    TorvaOutlookConnect();
    ~TorvaOutlookConnect() override;
    ObjectRef OutlookInstance() const { return hostInstance(); }
    void OutlookInstance(ObjectRef application) { setHostInstance(std::move(application)); }
    // Outlook's action: the address-book dialog picks the contacts, then
    // the label application starts on their export file. These two run it
    // in the active explorer; a window's own controls run it in theirs.
    void myCommandbarbutton_Click() override;
    void myMenuButton_Click() override;
    // The explorer windows the add-in is in now.
    size_t windowCount() const { return windows_.size(); }

  protected:
    void CreateCommandBars() override;
    void RemoveCommandBars() override;
    const CommandBarSet& installed() const override;

  private:
    void RunHostAction(const ObjectRef& explorer);
    void pressIn(const ObjectRef& explorer);
    OutlookWindow& windowFor(const ObjectRef& explorer);
    void installIn(OutlookWindow& window);
    void Explorers_NewExplorer(const ObjectRef& explorer) noexcept;
    void Explorer_Close(const OutlookWindow* window) noexcept;

    std::vector<std::unique_ptr<OutlookWindow>> windows_;
    automation::Subscription explorersEvents_;
    int windowsMade_ = 0;
};

}  // namespace torva
