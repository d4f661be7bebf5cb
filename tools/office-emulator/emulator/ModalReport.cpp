#include "ModalReport.h"

#include "base/Text.h"

namespace torva::emulator {

using nlohmann::ordered_json;

ordered_json handleJson(HWND h) {
    if (!h) return nullptr;
    return static_cast<long long>(reinterpret_cast<intptr_t>(h));
}

ordered_json rectJson(const RECT& r) {
    return {{"x", r.left}, {"y", r.top}, {"width", r.right - r.left}, {"height", r.bottom - r.top}};
}

ordered_json messageBoxesJson(const ModalWatch& boxes) {
    ordered_json out = ordered_json::array();
    for (const auto& b : boxes.seen())
        out.push_back({{"title", toUtf8(b.title)},
                       {"text", toUtf8(b.text)},
                       {"style", b.style},
                       {"pressed", b.pressed},
                       {"answered", b.answered},
                       {"owner", handleJson(b.window.owner)},
                       {"hostWindowDisabledWhileShown", b.window.hostDisabledWhileShown},
                       {"rect", rectJson(b.window.rect)}});
    return out;
}

ordered_json dialogsJson(const ModalWatch& boxes) {
    ordered_json out = ordered_json::array();
    for (const auto& d : boxes.seenDialogs()) {
        ordered_json entries = ordered_json::array();
        for (const auto& e : d.entries) entries.push_back(toUtf8(e));
        out.push_back({{"title", toUtf8(d.title)},
                       {"entries", std::move(entries)},
                       {"okEnabled", d.okEnabled},
                       {"optionsEnabled", d.optionsEnabled},
                       {"businessChecked", d.businessChecked},
                       {"rightToLeft", d.rightToLeft},
                       {"hasIcon", d.hasIcon},
                       {"selectedAtOpen", d.selectedAtOpen},
                       {"selected", d.selected},
                       {"option", d.option},
                       {"pressed", d.pressed},
                       {"answered", d.answered},
                       {"hostWindow",
                        {{"disabledWhileShown", d.hostDisabledWhileShown},
                         {"enabledAfter", d.hostEnabledAfter},
                         {"activeAfter", d.hostActiveAfter},
                         {"secondPress", d.secondPress.empty() ? ordered_json(nullptr)
                                                               : ordered_json(d.secondPress)}}},
                       {"owner", handleJson(d.window.owner)},
                       {"hostWindowDisabledWhileShown", d.window.hostDisabledWhileShown},
                       {"rect", rectJson(d.window.rect)},
                       {"taskbarButton", d.window.taskbarButton}});
    }
    return out;
}

}  // namespace torva::emulator
