// The connection's lifecycle as the host drives it, and the toolbar and menu
// entry it installs and removes where no Ribbon shows the button.
#include "host/ConnectClass.h"

#include <exception>

#include "base/Error.h"
#include "host/modOffice.h"
#include "support/Notice.h"
#include "support/StringIds.h"
#include "support/modLog.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"

namespace torva {

using automation::asInt;
using automation::asObject;
using automation::asString;
using automation::Value;

namespace {

constexpr automation::Guid kButtonEvents{
    0x000C0351, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr int32_t kDispIdClick = 1;
}  // namespace

ConnectClass::ConnectClass(const HostInfo& host) : host_(host) { AddinInstance_Initialize(); }

ConnectClass::~ConnectClass() { AddinInstance_Terminate(); }

void ConnectClass::AddinInstance_Initialize() {
    WorkingFolder = GetWorkingFolder();
    (void)LoadStringTable();
}

// The fields go with the object; the event subscriptions end first, as
// members declared after the references.
void ConnectClass::AddinInstance_Terminate() {}

void ConnectClass::AddinInstance_OnConnection(const ObjectRef& Application, int32_t ConnectMode,
                                              const ObjectRef& AddInInst) {
    (void)ConnectMode;
    officeVersion_ = 0;  // a failed connection keeps the command bars
    ribbonMode_ = false;
    try {
        hostInstance_ = Application->queryInterface(host_.applicationIid);
        myAddInInst = AddInInst;
    } catch (const std::exception& e) {
        // The host is never told: a failed connection only leaves a trace.
        WriteLog(std::u16string(host_.connectionLogPrefix) + describeFailure(e), LogError);
        return;
    }
    // A host that cannot say its version is taken for one without a Ribbon:
    // the command bars show everywhere, if only on the Add-ins tab.
    try {
        officeVersion_ = majorVersion(asString(hostInstance_->get(u"Version"))).value_or(0);
    } catch (const std::exception&) {
        officeVersion_ = 0;
    }
    ribbonMode_ = officeVersion_ >= host_.ribbon->sinceVersion;
}

void ConnectClass::AddinInstance_OnAddInsUpdate() {
    if (!ribbonMode_) CreateCommandBars();
}

void ConnectClass::AddinInstance_OnStartupComplete() {
    if (!ribbonMode_) CreateCommandBars();
}

void ConnectClass::AddinInstance_OnBeginShutdown() {
    if (host_.removesAtBeginShutdown && !ribbonMode_) RemoveCommandBars();
}

void ConnectClass::AddinInstance_OnDisconnection(int32_t RemoveMode) {
    (void)RemoveMode;
    myRibbon.reset();
    if (!ribbonMode_) RemoveCommandBars();
}
namespace {
// A window handle as Office's Long properties give it: the low 32 bits,
// sign-extended as Windows extends a 32-bit handle.
intptr_t handleOf(const Value& v) { return static_cast<intptr_t>(asInt(v)); }
}  // namespace

intptr_t ConnectClass::hostWindow() {
    switch (host_.ownerWindow) {
        case OwnerWindow::ApplicationHwnd:
            return handleOf(hostInstance_->get(u"Hwnd"));
        case OwnerWindow::AccessAppWindow:
            return handleOf(hostInstance_->call(u"hWndAccessApp"));
        case OwnerWindow::ActiveWindowHwnd:
            return handleOf(asObject(hostInstance_->get(u"ActiveWindow"))->get(u"Hwnd"));
        case OwnerWindow::ExplorerWindow:
            return asObject(hostInstance_->call(u"ActiveExplorer"))->oleWindow();
    }
    return 0;
}

void ConnectClass::runPress(const std::function<void()>& action,
                            std::function<intptr_t()> owner) noexcept {
    try {
        const PressScope press(owner ? std::move(owner) : [this] { return hostWindow(); });
        try {
            action();
        } catch (const std::exception& e) {
            const std::u16string description = describeFailure(e);
            showFailureNotice(StringId::kActionFailed, {description},
                              std::u16string(host_.name) + u" action failed: ", description);
        } catch (...) {
            showFailureNotice(StringId::kActionFailed, {u"Unexpected failure"},
                              std::u16string(host_.name) + u" action failed: ",
                              u"Unexpected failure");
        }
    } catch (...) {  // no memory for the notice's text: nothing left to tell with
    }
}

// Excel's, Access's and Outlook's actions live in their own modules; until a
// class overrides these, a click on it has no effect.
void ConnectClass::myCommandbarbutton_Click() {}
void ConnectClass::myMenuButton_Click() {}

ObjectRef ConnectClass::hostCommandBars() {
    if (host_.commandBarsOfActiveExplorer) {
        const ObjectRef explorer = asObject(hostInstance_->call(u"ActiveExplorer"));
        return asObject(explorer->get(u"CommandBars"));
    }
    return asObject(hostInstance_->get(u"CommandBars"));
}

namespace {
automation::Subscription clicksOf(const ObjectRef& control, std::function<void()> click) {
    if (!control) return {};
    return control->subscribe(kButtonEvents,
                              [click = std::move(click)](int32_t dispid, std::vector<Value>&) {
                                  if (dispid == kDispIdClick) click();
                              });
}
}  // namespace

void ConnectClass::CreateCommandBars() {
    const auto installHere = [this] {
        installInto(
            controls_, [this] { return hostCommandBars(); }, {},
            [this] { myCommandbarbutton_Click(); }, [this] { myMenuButton_Click(); });
    };
    if (!host_.logsInstallationFailures) {
        installHere();
        return;
    }
    try {
        installHere();
    } catch (const std::exception& e) {
        WriteLog(u"Could not add Commandbars to " + std::u16string(host_.name) + u": " +
                     describeFailure(e),
                 LogError);
    }
}

void ConnectClass::installInto(CommandBarSet& set, const std::function<ObjectRef()>& commandBars,
                               std::u16string_view tagSuffix, std::function<void()> buttonClick,
                               std::function<void()> menuClick) {
    ObjectRef bars = commandBars();
    set.myCommandbar = getAddinCommandBar(bars);
    if (!set.myCommandbar) {
        WriteLog(u"Could not create Commandbar", LogError);
    } else {
        const std::u16string caption = GetString(host_.buttonCaptionId);
        const std::u16string tooltip = GetString(host_.buttonTooltipId);
        set.myCommandbarbutton = getAddinButton(set.myCommandbar, caption, tooltip, tagSuffix);
        set.commandbarbuttonEvents.reset();
        set.commandbarbuttonEvents = clicksOf(set.myCommandbarbutton, std::move(buttonClick));
        if (!set.myCommandbarbutton) {
            WriteLog(u"Could not create CommandbarButton", LogError);
        } else {
            // The user may have hidden either of them since the last start.
            set.myCommandbar->put(u"Visible", Value{true});
            set.myCommandbarbutton->put(u"Visible", Value{true});
        }
    }

    bars = commandBars();
    const std::u16string menuCaption = GetString(host_.menuCaptionId);
    const std::u16string progId = asString(myAddInInst->get(u"ProgID"));
    set.myMenuButton = addMenuEntry(bars, host_.mainMenuBarName, kToolsPopupId, menuCaption, progId,
                                    host_.hostKeyword, tagSuffix);
    set.menuButtonEvents.reset();
    set.menuButtonEvents = clicksOf(set.myMenuButton, std::move(menuClick));

    if (host_.marksNormalTemplateSaved) {
        // Adding temporary controls marks Normal.dot changed; Word would
        // otherwise ask the user to save it at exit.
        asObject(hostInstance_->get(u"NormalTemplate"))->put(u"Saved", Value{true});
    }
}

void ConnectClass::RemoveCommandBars() {
    removeFrom(controls_, [this] { return hostCommandBars(); });
}

void ConnectClass::removeFrom(const CommandBarSet& set,
                              const std::function<ObjectRef()>& commandBars) noexcept {
    // Every step on its own: what is already gone must not keep the rest
    // from being removed.
    try {
        set.myCommandbarbutton->call(u"Delete");
    } catch (...) {
    }
    try {
        set.myCommandbar->call(u"Delete");
    } catch (...) {
    }
    try {
        removeMenuEntry(commandBars(), host_.mainMenuBarName, kToolsPopupId,
                        GetString(host_.menuCaptionId));
    } catch (...) {
    }
}

}  // namespace torva
