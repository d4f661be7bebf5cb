#pragma once
// Office's command-bar object model in memory: the toolbars, menus and
// buttons that the add-in finds, adds and deletes, with the button's Click
// event. Built on model::Object, so the Office emulator can show the same
// objects to the add-in as IDispatch objects.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ModelObject.h"

namespace torva::model {

// Interfaces of the Office library.
inline constexpr Guid kIidCommandBars = oleIid(0x000C0302);
inline constexpr Guid kIidCommandBar = oleIid(0x000C0304);
inline constexpr Guid kIidCommandBarControls = oleIid(0x000C0306);
inline constexpr Guid kIidCommandBarControl = oleIid(0x000C0308);
inline constexpr Guid kIidCommandBarPopup = oleIid(0x000C030A);
inline constexpr Guid kIidCommandBarButton = oleIid(0x000C030E);
inline constexpr Guid kIidCommandBarButtonEvents = oleIid(0x000C0351);
inline constexpr int32_t kDispIdClick = 1;

// Office's numbers as they travel over automation.
inline constexpr int32_t kMsoControlButton = 1;
inline constexpr int32_t kMsoControlPopup = 10;
inline constexpr int32_t kMsoBarTypeNormal = 0;
inline constexpr int32_t kMsoBarTypeMenuBar = 1;
inline constexpr int32_t kMsoBarTypePopup = 2;
inline constexpr int32_t kMsoButtonAutomatic = 0;
inline constexpr int32_t kMsoBarTop = 1;
inline constexpr int32_t kToolsMenuId = 30007;

// What PasteFace finds on the clipboard. The host decides where that comes
// from (the POSIX recorder in native tests, the real clipboard in the
// emulator); with no source set the clipboard counts as empty.
struct ClipboardPicture {
    int width = 0;
    int height = 0;
};
using ClipboardSource = std::function<std::optional<ClipboardPicture>()>;
void setClipboardSource(ClipboardSource source);

class CommandBarControls;
class CommandBars;

// A bar or a control, which Office's code can delete: once deleted, every
// member fails as Office's do on one that is gone.
class Deletable : public Object {
  public:
    bool deleted() const { return deleted_; }

  protected:
    Deletable(std::u16string typeName, std::u16string gone)
        : Object(std::move(typeName)), gone_(std::move(gone)) {}
    void alive() const;
    void markDeleted() { deleted_ = true; }
    // Properties answered only while the object exists.
    void readOnly(std::u16string name, std::function<Value()> read, int32_t dispid = 0);
    void readWrite(std::u16string name, std::function<Value()> read,
                   std::function<void(const Value&)> write, int32_t dispid = 0);

  private:
    std::u16string gone_;  // what a member says once the object is deleted
    bool deleted_ = false;
};

// A control on a bar or in a popup: a button or a popup.
class CommandBarControl : public Deletable {
  public:
    int32_t controlType() const { return type_; }
    int32_t id() const { return id_; }
    const std::u16string& caption() const { return caption_; }
    bool visible() const { return visible_; }
    bool temporary() const { return temporary_; }
    const std::u16string& tooltipText() const { return tooltip_; }
    const std::u16string& parameter() const { return parameter_; }
    const std::u16string& onAction() const { return onAction_; }
    const std::u16string& tag() const { return tag_; }
    void setVisible(bool v) { visible_ = v; }
    void setCaption(std::u16string c) { caption_ = std::move(c); }
    // Takes the control off its parent, as Delete does.
    void remove();

  protected:
    CommandBarControl(std::u16string typeName, int32_t type, int32_t id, bool temporary,
                      std::weak_ptr<CommandBarControls> parent);
    std::shared_ptr<CommandBarControls> parent() const { return parent_.lock(); }

  private:
    friend class CommandBarControls;
    int32_t type_;
    int32_t id_;
    bool temporary_;
    bool visible_ = true;
    std::u16string caption_, tooltip_, parameter_, onAction_, tag_;
    std::weak_ptr<CommandBarControls> parent_;
};

class CommandBarButton : public CommandBarControl {
  public:
    CommandBarButton(int32_t id, bool temporary, std::weak_ptr<CommandBarControls> parent);
    int32_t style() const { return style_; }
    bool hasFace() const { return face_.has_value(); }
    std::optional<ClipboardPicture> face() const { return face_; }
    // What the user's click does: Click(Ctrl, CancelDefault) to every
    // subscriber of every live control that Office takes for the same one:
    // the same Tag, or with no Tag the same Id (1 for every custom button).
    // Ctrl is the pressed control; returns CancelDefault as they left it.
    bool click();

  private:
    int32_t style_ = kMsoButtonAutomatic;
    std::optional<ClipboardPicture> face_;
};

class CommandBarPopup : public CommandBarControl {
  public:
    CommandBarPopup(int32_t id, bool temporary, std::weak_ptr<CommandBarControls> parent);
    std::shared_ptr<CommandBarControls> controls() const { return controls_; }

  private:
    std::shared_ptr<CommandBarControls> controls_;
};

class CommandBarControls : public Object {
  public:
    CommandBarControls();
    // Add(Type, Id, Parameter, Before, Temporary): Before is 1-based.
    std::shared_ptr<CommandBarControl> add(int32_t type, int32_t id = 1, bool temporary = false,
                                           std::optional<int32_t> before = std::nullopt);
    const std::vector<std::shared_ptr<CommandBarControl>>& list() const { return controls_; }
    // Controls whose caption equals the text exactly.
    std::vector<std::shared_ptr<CommandBarControl>> withCaption(std::u16string_view caption) const;

  private:
    friend class CommandBarControl;
    friend class CommandBarButton;
    friend class CommandBarPopup;
    friend class CommandBar;
    std::vector<std::shared_ptr<CommandBarControl>> controls_;
    std::weak_ptr<CommandBars> owner_;  // the bars this list is on, for routing a Click
};

class CommandBar : public Deletable {
  public:
    CommandBar(std::u16string name, int32_t type, bool temporary, std::weak_ptr<CommandBars> owner);
    const std::u16string& name() const { return name_; }
    bool visible() const { return visible_; }
    void setVisible(bool v) { visible_ = v; }
    bool temporary() const { return temporary_; }
    int32_t barType() const { return type_; }
    int32_t position() const { return position_; }
    std::shared_ptr<CommandBarControls> controls() const { return controls_; }

  private:
    friend class CommandBars;
    std::u16string name_;
    int32_t type_;
    bool temporary_;
    bool visible_ = false;  // Office adds toolbars hidden
    int32_t position_ = kMsoBarTop;
    std::shared_ptr<CommandBarControls> controls_;
    std::weak_ptr<CommandBars> owner_;
};

class CommandBars : public Object {
  public:
    CommandBars();
    // Add(Name, Position, MenuBar, Temporary); a name in use fails as in Office.
    std::shared_ptr<CommandBar> add(std::u16string name, int32_t position, bool menuBar,
                                    bool temporary);
    // Item by name (without regard to case, as Office) or nullptr.
    std::shared_ptr<CommandBar> find(std::u16string_view name) const;
    const std::vector<std::shared_ptr<CommandBar>>& list() const { return bars_; }

    // Every live button on every bar, popups included.
    std::vector<std::shared_ptr<CommandBarButton>> buttons() const;

    // Bars that take each other's Clicks by Tag, as Outlook routes them
    // across its explorer windows; without a group the bars are alone.
    using ClickGroup = std::vector<std::weak_ptr<CommandBars>>;
    void joinClicks(std::shared_ptr<ClickGroup> group);
    void leaveClicks();
    // The bars a Click on these reaches.
    std::vector<std::shared_ptr<CommandBars>> clickScope();

  private:
    friend class CommandBar;
    std::shared_ptr<ClickGroup> clickGroup_;
    std::vector<std::shared_ptr<CommandBar>> bars_;
    int customBars_ = 0;
};

// A host's command bars as Office starts them: the main menu bar
// ("Worksheet Menu Bar" in Excel, "Menu Bar" elsewhere) with a Tools popup
// (Id 30007) holding built-in entries, and a built-in "Standard" toolbar.
// host: "Excel", "Word", "Access" or "Outlook".
std::shared_ptr<CommandBars> makeHostCommandBars(std::u16string_view host);
std::u16string mainMenuBarName(std::u16string_view host);

}  // namespace torva::model
