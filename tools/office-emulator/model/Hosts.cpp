#include "Hosts.h"

namespace torva::model {

namespace {
constexpr int32_t kDispidActiveExplorer = 0x111;

struct HostFacts {
    HostKind host;
    const char16_t* name;
    const char16_t* applicationName;  // Application.Name as the host answers it
    Guid iid;
};

constexpr HostFacts kHosts[] = {
    {HostKind::Excel, u"Excel", u"Microsoft Excel", oleIid(0x000208D5)},
    {HostKind::Word, u"Word", u"Microsoft Word", oleIid(0x00020970)},
    {HostKind::Access,
     u"Access",
     u"Microsoft Access",
     {0x68CCE6C0, 0x6129, 0x101B, {0xAF, 0x4E, 0x00, 0xAA, 0x00, 0x3F, 0x0F, 0x07}}},
    {HostKind::Outlook, u"Outlook", u"Outlook", oleIid(0x00063001)},
};

const HostFacts& facts(HostKind host) {
    for (const auto& f : kHosts)
        if (f.host == host) return f;
    return kHosts[0];
}

Value objectValue(ObjectRef o) { return Value{std::move(o)}; }

// A window handle as Office's Long properties give it: the low 32 bits, which
// is all of a handle even in 64-bit Windows.
Value handleValue(intptr_t handle) { return Value{static_cast<int32_t>(handle)}; }
}  // namespace

Window::Window(intptr_t handle) : Object(u"Window") {
    property(u"Hwnd", [handle](const Params&) { return handleValue(handle); });
}

std::optional<HostKind> hostFromName(std::u16string_view name) {
    for (const auto& f : kHosts)
        if (name == f.name) return f.host;
    return std::nullopt;
}

std::u16string hostName(HostKind host) { return facts(host).name; }

Guid applicationIid(HostKind host) { return facts(host).iid; }

Template::Template() : Object(u"Template") {
    property(u"Name", [](const Params&) { return Value{std::u16string(u"Normal.dot")}; });
    property(
        u"Saved", [this](const Params&) { return Value{saved}; },
        [this](const Value& v) {
            saved = toBool(v);
            ++savedWrites;
        });
}

Explorer::Explorer(ObjectRef commandBars, intptr_t window)
    : Object(u"Explorer"), commandBars_(std::move(commandBars)) {
    property(u"CommandBars", [this](const Params&) { return objectValue(commandBars_); });
    windowFrom([window] { return window; });
}

Application::Application(HostKind host, ObjectRef commandBars, const HostOptions& options)
    : Object(u"Application"), host_(host) {
    if (!options.wrongApplication) implements(facts(host).iid);
    property(u"Name",
             [host](const Params&) { return Value{std::u16string(facts(host).applicationName)}; });
    property(u"Version", [version = options.version](const Params&) { return Value{version}; });
    if (host == HostKind::Outlook) {
        if (options.explorer)
            explorer_ = std::make_shared<Explorer>(std::move(commandBars), options.mainWindow);
        method(
            u"ActiveExplorer", {},
            [this](const Params&) { return objectValue(explorerActive ? explorer_ : nullptr); },
            kDispidActiveExplorer);
    } else {
        commandBars_ = std::move(commandBars);
        property(u"CommandBars", [this](const Params&) { return objectValue(commandBars_); });
    }
    if (host == HostKind::Word) {
        normalTemplate_ = std::make_shared<Template>();
        property(u"NormalTemplate", [this](const Params&) { return objectValue(normalTemplate_); });
        activeWindow_ = std::make_shared<Window>(options.mainWindow);
        property(u"ActiveWindow", [this](const Params&) { return objectValue(activeWindow_); });
    }
    const intptr_t mainWindow = options.mainWindow;
    if (host == HostKind::Excel)
        property(u"Hwnd", [mainWindow](const Params&) { return handleValue(mainWindow); });
    // A method in Access's object model, not a property.
    if (host == HostKind::Access)
        method(u"hWndAccessApp", {},
               [mainWindow](const Params&) { return handleValue(mainWindow); });
}

ObjectRef Application::commandBars() const {
    if (host_ != HostKind::Outlook) return commandBars_;
    return explorer_ ? explorer_->commandBars() : nullptr;
}

std::shared_ptr<Application> makeApplication(HostKind host, ObjectRef commandBars,
                                             const HostOptions& options) {
    return std::make_shared<Application>(host, std::move(commandBars), options);
}

COMAddIn::COMAddIn(std::u16string progId, std::u16string description)
    : Object(u"COMAddIn"), progId_(std::move(progId)), description_(std::move(description)) {
    property(
        u"Description", [this](const Params&) { return Value{description_}; },
        [this](const Value& v) { description_ = toText(v); });
    property(u"ProgID", [this](const Params&) { return Value{progId_}; });
    property(
        u"Connect", [this](const Params&) { return Value{connected}; },
        [this](const Value& v) { connected = toBool(v); });
    property(
        u"Object", [this](const Params&) { return objectValue(object); },
        [this](const Value& v) { object = toObject(v); });
}

}  // namespace torva::model
