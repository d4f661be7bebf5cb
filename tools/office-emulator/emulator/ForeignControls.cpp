#include "ForeignControls.h"

#include <windows.h>

#include "base/Error.h"
#include "base/Text.h"

namespace torva::emulator {

ForeignControls::ForeignControls(model::CommandBars& bars,
                                 const std::vector<ForeignControl>& controls) {
    for (const auto& c : controls) {
        auto bar = bars.find(c.bar);
        if (!bar) throw Error::fromHResult(E_INVALIDARG, u"no bar " + c.bar);
        auto button = std::static_pointer_cast<model::CommandBarButton>(
            bar->controls()->add(model::kMsoControlButton));
        button->setCaption(c.caption);
        button->put(u"Tag", model::Value{c.tag});
        buttons_.push_back(std::move(button));
    }
}

void ForeignControls::countClicks() {
    for (const auto& button : buttons_) {
        const std::string caption = toUtf8(button->caption());
        clicks_[caption] = 0;
        sinks_.push_back(
            button->subscribe(model::kIidCommandBarButtonEvents,
                              [this, caption](int32_t dispid, std::vector<model::Value>&) {
                                  if (dispid == model::kDispIdClick) ++clicks_[caption];
                              }));
    }
}

std::shared_ptr<model::CommandBarButton> ForeignControls::find(
    const std::u16string& caption) const {
    for (const auto& b : buttons_)
        if (b->caption() == caption && !b->deleted()) return b;
    return nullptr;
}

}  // namespace torva::emulator
