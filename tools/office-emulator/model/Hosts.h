#pragma once
// The four Office hosts as the add-in meets them: each host's Application
// object, Word's normal template, Outlook's explorer window and the COMAddIn
// object that Office hands to OnConnection. The command bars are a separate
// model: a host gets them from its creator, so each part can grow on its own.

#include <optional>
#include <string>
#include <string_view>

#include "ModelObject.h"

namespace torva::model {

enum class HostKind { Excel, Word, Access, Outlook };

// "Excel", "Word", "Access", "Outlook" (exact case, as the registry key names).
std::optional<HostKind> hostFromName(std::u16string_view name);
std::u16string hostName(HostKind host);
// The host's _Application IID, the one the add-in asks the Application for.
Guid applicationIid(HostKind host);

// What a scenario says about the host before the add-in connects.
struct HostOptions {
    // The Application then declines the host's _Application IID.
    bool wrongApplication = false;
    // Outlook only: false runs Outlook without an explorer window.
    bool explorer = true;
    // The host's main window: Excel's Application.Hwnd, Access's
    // hWndAccessApp, Word's ActiveWindow.Hwnd, the window Outlook's explorer
    // gives through IOleWindow.
    intptr_t mainWindow = 0;
    // What Application.Version answers: "9.0" (Office 2000) ... "16.0" (2016 to 365).
    std::u16string version = u"9.0";
};

// Word's document window (Application.ActiveWindow).
class Window : public Object {
  public:
    explicit Window(intptr_t handle);
};

// Word's NormalTemplate: the add-in marks it saved after installing.
class Template : public Object {
  public:
    Template();
    bool saved = true;
    long savedWrites = 0;  // how often Saved was set, to tell "set" from "left alone"
};

// Outlook's explorer window; the command bars live here, not on Application.
class Explorer : public Object {
  public:
    Explorer(ObjectRef commandBars, intptr_t window = 0);
    const ObjectRef& commandBars() const { return commandBars_; }

  private:
    ObjectRef commandBars_;
};

// The host's Application object. Excel, Word and Access carry CommandBars;
// Outlook reaches them through ActiveExplorer(). Host-specific object models
// (Excel's sheets, Access's database, Outlook's folders) hang off subclasses.
class Application : public Object {
  public:
    Application(HostKind host, ObjectRef commandBars, const HostOptions& options);

    HostKind host() const { return host_; }
    // The command bars the host shows: the explorer's for Outlook (null when
    // Outlook has no explorer).
    ObjectRef commandBars() const;
    // Word only, otherwise null.
    std::shared_ptr<Template> normalTemplate() const { return normalTemplate_; }
    // Outlook only; null when it runs without an explorer.
    std::shared_ptr<Explorer> explorer() const { return explorer_; }
    // Word only (ActiveWindow), otherwise null.
    std::shared_ptr<Window> activeWindow() const { return activeWindow_; }
    // Outlook only: false while ActiveExplorer gives Nothing although the
    // explorer exists, as during Outlook's start-up and shutdown.
    bool explorerActive = true;

  protected:
    // A host model with a richer explorer (Outlook's folders) puts its own.
    void setExplorer(std::shared_ptr<Explorer> explorer) { explorer_ = std::move(explorer); }

  private:
    HostKind host_;
    ObjectRef commandBars_;
    std::shared_ptr<Template> normalTemplate_;
    std::shared_ptr<Explorer> explorer_;
    std::shared_ptr<Window> activeWindow_;
};

std::shared_ptr<Application> makeApplication(HostKind host, ObjectRef commandBars,
                                             const HostOptions& options = {});

// The add-in's entry in the COM Add-ins dialog, as Office passes it to
// OnConnection (AddInInst).
class COMAddIn : public Object {
  public:
    COMAddIn(std::u16string progId, std::u16string description);
    const std::u16string& progId() const { return progId_; }
    bool connected = false;
    ObjectRef object;  // what the add-in published through Object

  private:
    std::u16string progId_;
    std::u16string description_;
};

}  // namespace torva::model
