#include "host/OutlookExplorers.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <string>

#include "base/Error.h"
#include "support/modLog.h"

namespace torva {

using automation::asInt;
using automation::asObject;
using automation::Value;

TorvaOutlookConnect::TorvaOutlookConnect() : ConnectClass(kOutlookHost) {}

TorvaOutlookConnect::~TorvaOutlookConnect() = default;

const CommandBarSet& TorvaOutlookConnect::installed() const {
    static const CommandBarSet none;
    return windows_.empty() ? none : windows_.front()->controls;
}

// Into every explorer open now; the ones that open later follow through
// NewExplorer. Outlook without a window (-Embedding) installs nothing yet
// and fails nothing.
void TorvaOutlookConnect::CreateCommandBars() {
    const ObjectRef explorers = asObject(OutlookInstance()->get(u"Explorers"));
    if (!explorersEvents_)
        explorersEvents_ = explorers->subscribe(
            kExplorersEvents, [this](int32_t dispid, std::vector<Value>& args) {
                if (dispid == kDispIdNewExplorer)
                    Explorers_NewExplorer(args.empty() ? ObjectRef() : asObject(args[0]));
            });
    const int32_t count = asInt(explorers->get(u"Count"));
    for (int32_t i = 1; i <= count; ++i)
        installIn(windowFor(asObject(explorers->call(u"Item", {i}))));
}

// From every window, and no window that opens from now on gets them.
void TorvaOutlookConnect::RemoveCommandBars() {
    explorersEvents_.reset();
    for (const auto& window : windows_) {
        const OutlookWindow* w = window.get();
        removeFrom(w->controls, [w] { return asObject(w->explorer->get(u"CommandBars")); });
    }
}

OutlookWindow& TorvaOutlookConnect::windowFor(const ObjectRef& explorer) {
    for (const auto& window : windows_)
        if (window->explorer->sameObject(*explorer)) return *window;
    auto window = std::make_unique<OutlookWindow>();
    window->explorer = explorer;
    if (windowsMade_ > 0) {
        const std::string n = std::to_string(windowsMade_ + 1);
        window->tagSuffix = u"." + std::u16string(n.begin(), n.end());
    }
    const OutlookWindow* w = window.get();
    window->closeEvents =
        explorer->subscribe(kExplorerEvents10, [this, w](int32_t dispid, std::vector<Value>&) {
            if (dispid == kDispIdExplorerClose) Explorer_Close(w);
        });
    ++windowsMade_;
    windows_.push_back(std::move(window));
    return *windows_.back();
}

void TorvaOutlookConnect::installIn(OutlookWindow& window) {
    const OutlookWindow* w = &window;
    installInto(
        window.controls, [w] { return asObject(w->explorer->get(u"CommandBars")); },
        window.tagSuffix, [this, w] { pressIn(w->explorer); }, [this, w] { pressIn(w->explorer); });
}

// An event has no caller to fail back to: a window that cannot be dressed
// stays without the add-in, and the log says why.
void TorvaOutlookConnect::Explorers_NewExplorer(const ObjectRef& explorer) noexcept {
    try {
        installIn(windowFor(explorer));
    } catch (const std::exception& e) {
        WriteLog(u"Could not add Commandbars to an Outlook window: " + describeFailure(e),
                 LogError);
    } catch (...) {
    }
}

// The window and its command bars are going: nothing to delete, only to let go.
void TorvaOutlookConnect::Explorer_Close(const OutlookWindow* window) noexcept {
    std::erase_if(windows_, [window](const auto& w) { return w.get() == window; });
}

}  // namespace torva
