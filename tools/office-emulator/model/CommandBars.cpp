#include "CommandBars.h"

#include <algorithm>

namespace torva::model {

namespace {

// Office's answer to a bad index, a taken name or a control that is gone.
constexpr int32_t kEInvalidArg = static_cast<int32_t>(0x80070057);

// CommandBarControl and CommandBarButton members, as in the Office library.
constexpr int32_t kDispCaption = 0x60040003;
constexpr int32_t kDispId = 0x60040013;
constexpr int32_t kDispOnAction = 0x6004001A;
constexpr int32_t kDispParameter = 0x6004001D;
constexpr int32_t kDispTag = 0x60040023;
constexpr int32_t kDispTooltipText = 0x60040025;
constexpr int32_t kDispType = 0x60040028;
constexpr int32_t kDispVisible = 0x60040029;
constexpr int32_t kDispDelete = 0x60040007;
constexpr int32_t kDispFaceId = 0x60050003;
constexpr int32_t kDispPasteFace = 0x60050005;
constexpr int32_t kDispStyle = 0x6005000A;
constexpr int32_t kDispControlsAdd = 0x60030000;
constexpr int32_t kDispBarControls = 0x60040003;
constexpr int32_t kDispBarsAdd = 0x60030002;

ClipboardSource& clipboardSource() {
    static ClipboardSource source;
    return source;
}

[[noreturn]] void invalid(std::u16string text) {
    throw automation::Error(kEInvalidArg, std::move(text));
}

std::u16string textOf(const Value& v) { return toText(v); }

// Item(Index): a 1-based number, or a name matched by the given rule.
template <class List, class NameOf>
auto itemOf(const List& list, const Value& index, NameOf nameOf) -> typename List::value_type {
    if (std::holds_alternative<std::u16string>(index)) {
        const auto& name = std::get<std::u16string>(index);
        for (const auto& entry : list)
            if (equalsIgnoreCase(nameOf(*entry), name)) return entry;
        invalid(u"Invalid procedure call or argument");
    }
    const int32_t n = toInt(index);
    if (n < 1 || static_cast<size_t>(n) > list.size()) invalid(u"Invalid index");
    return list[static_cast<size_t>(n - 1)];
}

template <class List>
std::vector<Value> valuesOf(const List& list) {
    std::vector<Value> out;
    for (const auto& entry : list) out.emplace_back(ObjectRef(entry));
    return out;
}

}  // namespace

void setClipboardSource(ClipboardSource source) { clipboardSource() = std::move(source); }

// --- Deletable -----------------------------------------------------------

void Deletable::alive() const {
    if (deleted_) invalid(gone_);
}

void Deletable::readOnly(std::u16string name, std::function<Value()> read, int32_t dispid) {
    property(
        std::move(name),
        [this, read = std::move(read)](const Params&) {
            alive();
            return read();
        },
        {}, {}, dispid);
}

void Deletable::readWrite(std::u16string name, std::function<Value()> read,
                          std::function<void(const Value&)> write, int32_t dispid) {
    property(
        std::move(name),
        [this, read = std::move(read)](const Params&) {
            alive();
            return read();
        },
        [this, write = std::move(write)](const Value& v) {
            alive();
            write(v);
        },
        {}, dispid);
}

// --- CommandBarControl ---------------------------------------------------

CommandBarControl::CommandBarControl(std::u16string typeName, int32_t type, int32_t id,
                                     bool temporary, std::weak_ptr<CommandBarControls> parent)
    : Deletable(std::move(typeName), u"The control has been deleted"),
      type_(type),
      id_(id),
      temporary_(temporary),
      parent_(std::move(parent)) {
    implements(kIidCommandBarControl);
    auto text = [this](std::u16string CommandBarControl::*field, std::u16string name,
                       int32_t dispid) {
        readWrite(
            std::move(name), [this, field] { return Value{this->*field}; },
            [this, field](const Value& v) { this->*field = textOf(v); }, dispid);
    };
    text(&CommandBarControl::caption_, u"Caption", kDispCaption);
    text(&CommandBarControl::tooltip_, u"TooltipText", kDispTooltipText);
    text(&CommandBarControl::parameter_, u"Parameter", kDispParameter);
    text(&CommandBarControl::onAction_, u"OnAction", kDispOnAction);
    text(&CommandBarControl::tag_, u"Tag", kDispTag);
    readOnly(
        u"Id", [this] { return Value{id_}; }, kDispId);
    readOnly(
        u"Type", [this] { return Value{type_}; }, kDispType);
    readWrite(
        u"Visible", [this] { return Value{visible_}; },
        [this](const Value& v) { visible_ = toBool(v); }, kDispVisible);
    method(
        u"Delete", {u"Temporary"},
        [this](const Params&) {
            alive();
            remove();
            return Value{};
        },
        kDispDelete);
}

void CommandBarControl::remove() {
    markDeleted();
    if (auto parent = parent_.lock())
        std::erase_if(parent->controls_, [this](const auto& c) { return c.get() == this; });
}

// --- CommandBarButton ----------------------------------------------------

CommandBarButton::CommandBarButton(int32_t id, bool temporary,
                                   std::weak_ptr<CommandBarControls> parent)
    : CommandBarControl(u"CommandBarButton", kMsoControlButton, id, temporary, std::move(parent)) {
    implements(kIidCommandBarButton);
    sourceOf(kIidCommandBarButtonEvents);
    readWrite(
        u"Style", [this] { return Value{style_}; }, [this](const Value& v) { style_ = toInt(v); },
        kDispStyle);
    readOnly(
        u"FaceId", [] { return Value{int32_t(0)}; }, kDispFaceId);
    method(
        u"PasteFace", {},
        [this](const Params&) {
            alive();
            auto& source = clipboardSource();
            auto picture = source ? source() : std::nullopt;
            // Office refuses a clipboard without a picture the same way.
            if (!picture) throw automation::Error(automation::kEFail, u"Method 'PasteFace' failed");
            face_ = picture;
            return Value{};
        },
        kDispPasteFace);
}

bool CommandBarButton::click() {
    auto self = std::static_pointer_cast<CommandBarButton>(shared_from_this());
    std::vector<std::shared_ptr<CommandBarButton>> targets{self};
    auto parent = this->parent();
    if (auto owner = parent ? parent->owner_.lock() : nullptr) {
        targets.clear();
        for (const auto& bars : owner->clickScope())
            for (auto& b : bars->buttons())
                if (b->tag() == tag() && (!tag().empty() || b->id() == id()))
                    targets.push_back(std::move(b));
    }
    std::vector<Value> args{Value{ObjectRef(self)}, Value{false}};
    for (const auto& b : targets) b->fire(kIidCommandBarButtonEvents, kDispIdClick, args);
    return toBool(args[1]);
}

// --- CommandBarPopup -----------------------------------------------------

CommandBarPopup::CommandBarPopup(int32_t id, bool temporary,
                                 std::weak_ptr<CommandBarControls> parent)
    : CommandBarControl(u"CommandBarPopup", kMsoControlPopup, id, temporary, std::move(parent)),
      controls_(std::make_shared<CommandBarControls>()) {
    if (auto list = this->parent()) controls_->owner_ = list->owner_;
    implements(kIidCommandBarPopup);
    property(u"Controls", [this](const Params&) {
        alive();
        return Value{ObjectRef(controls_)};
    });  // a DISPID of its own: the bar's number is the control's Caption
}

// --- CommandBarControls --------------------------------------------------

CommandBarControls::CommandBarControls() : Object(u"CommandBarControls") {
    implements(kIidCommandBarControls);
    property(
        u"Item",
        [this](const Params& p) {
            return Value{ObjectRef(itemOf(controls_, param(p, 0),
                                          [](const CommandBarControl& c) { return c.caption(); }))};
        },
        {}, {u"Index"}, 0);
    property(u"Count", [this](const Params&) { return Value{int32_t(controls_.size())}; });
    method(
        u"Add", {u"Type", u"Id", u"Parameter", u"Before", u"Temporary"},
        [this](const Params& p) {
            const int32_t type = toInt(paramOr(p, 0, Value{kMsoControlButton}));
            const int32_t id = toInt(paramOr(p, 1, Value{int32_t(1)}));
            std::optional<int32_t> before;
            if (p.size() > 3 && p[3]) before = toInt(*p[3]);
            auto control = add(type, id, toBool(paramOr(p, 4, Value{false})), before);
            if (p.size() > 2 && p[2]) control->parameter_ = toText(*p[2]);
            return Value{ObjectRef(control)};
        },
        kDispControlsAdd);
    enumerableAs([this] { return valuesOf(controls_); });
}

std::shared_ptr<CommandBarControl> CommandBarControls::add(int32_t type, int32_t id, bool temporary,
                                                           std::optional<int32_t> before) {
    auto self = std::static_pointer_cast<CommandBarControls>(shared_from_this());
    std::shared_ptr<CommandBarControl> control;
    if (type == kMsoControlButton)
        control = std::make_shared<CommandBarButton>(id ? id : 1, temporary, self);
    else if (type == kMsoControlPopup)
        control = std::make_shared<CommandBarPopup>(id ? id : 1, temporary, self);
    else
        invalid(u"Unsupported control type");
    size_t at = controls_.size();
    if (before) {
        if (*before < 1 || static_cast<size_t>(*before) > controls_.size() + 1)
            invalid(u"Invalid index");
        at = static_cast<size_t>(*before - 1);
    }
    controls_.insert(controls_.begin() + static_cast<std::ptrdiff_t>(at), control);
    return control;
}

std::vector<std::shared_ptr<CommandBarControl>> CommandBarControls::withCaption(
    std::u16string_view caption) const {
    std::vector<std::shared_ptr<CommandBarControl>> out;
    for (const auto& c : controls_)
        if (c->caption() == caption) out.push_back(c);
    return out;
}

// --- CommandBar ----------------------------------------------------------

CommandBar::CommandBar(std::u16string name, int32_t type, bool temporary,
                       std::weak_ptr<CommandBars> owner)
    : Deletable(u"CommandBar", u"The command bar has been deleted"),
      name_(std::move(name)),
      type_(type),
      temporary_(temporary),
      controls_(std::make_shared<CommandBarControls>()),
      owner_(std::move(owner)) {
    controls_->owner_ = owner_;
    implements(kIidCommandBar);
    readWrite(
        u"Name", [this] { return Value{name_}; }, [this](const Value& v) { name_ = toText(v); });
    readWrite(
        u"Visible", [this] { return Value{visible_}; },
        [this](const Value& v) { visible_ = toBool(v); });
    readOnly(u"Temporary", [this] { return Value{temporary_}; });
    readOnly(u"Type", [this] { return Value{type_}; });
    readOnly(u"Position", [this] { return Value{position_}; });
    readOnly(
        u"Controls", [this] { return Value{ObjectRef(controls_)}; }, kDispBarControls);
    method(u"Delete", {}, [this](const Params&) {
        alive();
        markDeleted();
        if (auto owner = owner_.lock())
            std::erase_if(owner->bars_, [this](const auto& b) { return b.get() == this; });
        return Value{};
    });
}

// --- CommandBars ---------------------------------------------------------

CommandBars::CommandBars() : Object(u"CommandBars") {
    implements(kIidCommandBars);
    property(
        u"Item",
        [this](const Params& p) {
            return Value{ObjectRef(
                itemOf(bars_, param(p, 0), [](const CommandBar& b) { return b.name(); }))};
        },
        {}, {u"Index"}, 0);
    property(u"Count", [this](const Params&) { return Value{int32_t(bars_.size())}; });
    method(
        u"Add", {u"Name", u"Position", u"MenuBar", u"Temporary"},
        [this](const Params& p) {
            return Value{ObjectRef(add(toText(paramOr(p, 0, Value{std::u16string()})),
                                       toInt(paramOr(p, 1, Value{kMsoBarTop})),
                                       toBool(paramOr(p, 2, Value{false})),
                                       toBool(paramOr(p, 3, Value{false}))))};
        },
        kDispBarsAdd);
    enumerableAs([this] { return valuesOf(bars_); });
}

std::shared_ptr<CommandBar> CommandBars::add(std::u16string name, int32_t position, bool menuBar,
                                             bool temporary) {
    // Office names a nameless toolbar itself, "Custom 1", "Custom 2" ...
    if (name.empty()) {
        const std::string number = std::to_string(++customBars_);
        name = u"Custom " + std::u16string(number.begin(), number.end());
    }
    if (find(name)) invalid(u"Invalid procedure call or argument");
    auto bar = std::make_shared<CommandBar>(
        std::move(name), menuBar ? kMsoBarTypeMenuBar : kMsoBarTypeNormal, temporary,
        std::static_pointer_cast<CommandBars>(shared_from_this()));
    bar->position_ = position;
    bars_.push_back(bar);
    return bar;
}

namespace {
void collectButtons(const CommandBarControls& controls,
                    std::vector<std::shared_ptr<CommandBarButton>>& out) {
    for (const auto& c : controls.list()) {
        if (auto b = std::dynamic_pointer_cast<CommandBarButton>(c))
            out.push_back(std::move(b));
        else if (auto p = std::dynamic_pointer_cast<CommandBarPopup>(c))
            collectButtons(*p->controls(), out);
    }
}
}  // namespace

std::vector<std::shared_ptr<CommandBarButton>> CommandBars::buttons() const {
    std::vector<std::shared_ptr<CommandBarButton>> out;
    for (const auto& bar : bars_) collectButtons(*bar->controls(), out);
    return out;
}

void CommandBars::joinClicks(std::shared_ptr<ClickGroup> group) {
    leaveClicks();
    group->push_back(std::static_pointer_cast<CommandBars>(shared_from_this()));
    clickGroup_ = std::move(group);
}

void CommandBars::leaveClicks() {
    if (!clickGroup_) return;
    std::erase_if(*clickGroup_, [this](const auto& w) {
        auto b = w.lock();
        return !b || b.get() == this;
    });
    clickGroup_.reset();
}

std::vector<std::shared_ptr<CommandBars>> CommandBars::clickScope() {
    std::vector<std::shared_ptr<CommandBars>> out;
    if (clickGroup_)
        for (const auto& w : *clickGroup_)
            if (auto b = w.lock()) out.push_back(std::move(b));
    if (out.empty()) out.push_back(std::static_pointer_cast<CommandBars>(shared_from_this()));
    return out;
}

std::shared_ptr<CommandBar> CommandBars::find(std::u16string_view name) const {
    for (const auto& b : bars_)
        if (equalsIgnoreCase(b->name(), name)) return b;
    return nullptr;
}

// --- A host's start-up bars ----------------------------------------------

std::u16string mainMenuBarName(std::u16string_view host) {
    return host == u"Excel" ? u"Worksheet Menu Bar" : u"Menu Bar";
}

std::shared_ptr<CommandBars> makeHostCommandBars(std::u16string_view host) {
    auto bars = std::make_shared<CommandBars>();
    auto menu = bars->add(mainMenuBarName(host), kMsoBarTop, true, false);
    menu->setVisible(true);
    auto addPopup = [&](int32_t id, std::u16string caption) {
        auto popup = std::static_pointer_cast<CommandBarPopup>(
            menu->controls()->add(kMsoControlPopup, id, false));
        popup->setCaption(std::move(caption));
        return popup;
    };
    addPopup(30002, u"&File");
    addPopup(30003, u"&Edit");
    auto tools = addPopup(kToolsMenuId, u"&Tools");
    // Built-in entries of the Tools menu: Spelling and Options.
    tools->controls()->add(kMsoControlButton, 2)->setCaption(u"&Spelling...");
    tools->controls()->add(kMsoControlButton, 522)->setCaption(u"&Options...");
    addPopup(30010, u"&Help");

    auto standard = bars->add(u"Standard", kMsoBarTop, false, false);
    standard->setVisible(true);
    standard->controls()->add(kMsoControlButton, 3)->setCaption(u"&Save");
    return bars;
}

}  // namespace torva::model
