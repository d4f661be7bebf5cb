#include "BarsReport.h"

#include "base/Text.h"

namespace torva::emulator {

namespace {
using nlohmann::ordered_json;

std::shared_ptr<model::CommandBarPopup> toolsPopup(const model::CommandBars& bars,
                                                   std::u16string_view menuBar) {
    auto bar = bars.find(menuBar);
    if (!bar) return nullptr;
    for (const auto& c : bar->controls()->list())
        if (c->id() == model::kToolsMenuId && c->controlType() == model::kMsoControlPopup)
            return std::dynamic_pointer_cast<model::CommandBarPopup>(c);
    return nullptr;
}

void remember(const std::shared_ptr<const model::Object>& o, std::set<const model::Object*>& known,
              std::vector<std::shared_ptr<const model::Object>>& held) {
    known.insert(o.get());
    held.push_back(o);
}

void rememberControls(const model::CommandBarControls& controls,
                      std::set<const model::Object*>& known,
                      std::vector<std::shared_ptr<const model::Object>>& held) {
    for (const auto& c : controls.list()) {
        remember(c, known, held);
        if (auto popup = std::dynamic_pointer_cast<model::CommandBarPopup>(c))
            rememberControls(*popup->controls(), known, held);
    }
}

ordered_json controlJson(const model::CommandBarControl& c) {
    ordered_json j;
    j["type"] = c.controlType();
    j["id"] = c.id();
    j["caption"] = toUtf8(c.caption());
    j["tag"] = toUtf8(c.tag());
    j["tooltip"] = toUtf8(c.tooltipText());
    auto button = dynamic_cast<const model::CommandBarButton*>(&c);
    j["style"] = button ? ordered_json(button->style()) : ordered_json(nullptr);
    j["visible"] = c.visible();
    j["hasFace"] = button && button->hasFace();
    return j;
}
}  // namespace

Baseline::Baseline(const model::CommandBars& bars) {
    for (const auto& bar : bars.list()) {
        remember(bar, known_, held_);
        rememberControls(*bar->controls(), known_, held_);
    }
}

ordered_json commandBarsJson(const model::CommandBars& bars, const Baseline& baseline) {
    ordered_json out = ordered_json::array();
    for (const auto& bar : bars.list()) {
        if (baseline.has(*bar)) continue;
        ordered_json controls = ordered_json::array();
        for (const auto& c : bar->controls()->list()) controls.push_back(controlJson(*c));
        ordered_json j;
        j["name"] = toUtf8(bar->name());
        j["visible"] = bar->visible();
        j["temporary"] = bar->temporary();
        j["controls"] = std::move(controls);
        out.push_back(std::move(j));
    }
    return out;
}

ordered_json toolsMenuJson(const model::CommandBars& bars, std::u16string_view menuBar,
                           const Baseline& baseline) {
    ordered_json out = ordered_json::array();
    auto popup = toolsPopup(bars, menuBar);
    if (!popup) return out;
    for (const auto& c : popup->controls()->list()) {
        if (baseline.has(*c)) continue;
        auto button = std::dynamic_pointer_cast<model::CommandBarButton>(c);
        ordered_json j;
        j["type"] = c->controlType();
        j["caption"] = toUtf8(c->caption());
        j["parameter"] = toUtf8(c->parameter());
        j["onAction"] = toUtf8(c->onAction());
        j["tag"] = toUtf8(c->tag());
        j["style"] = button ? ordered_json(button->style()) : ordered_json(nullptr);
        j["visible"] = c->visible();
        j["hasFace"] = button && button->hasFace();
        out.push_back(std::move(j));
    }
    return out;
}

std::shared_ptr<model::CommandBarButton> findToolbarButton(const model::CommandBars& bars,
                                                           const Baseline& baseline) {
    for (const auto& bar : bars.list()) {
        if (baseline.has(*bar)) continue;
        for (const auto& c : bar->controls()->list())
            if (auto button = std::dynamic_pointer_cast<model::CommandBarButton>(c)) return button;
    }
    return nullptr;
}

std::shared_ptr<model::CommandBarButton> findMenuEntry(const model::CommandBars& bars,
                                                       std::u16string_view menuBar) {
    auto popup = toolsPopup(bars, menuBar);
    if (!popup) return nullptr;
    for (const auto& c : popup->controls()->list())
        if (c->tag() == u"ZEBRO" || c->tag().starts_with(u"ZEBRO."))
            if (auto button = std::dynamic_pointer_cast<model::CommandBarButton>(c)) return button;
    return nullptr;
}

}  // namespace torva::emulator
