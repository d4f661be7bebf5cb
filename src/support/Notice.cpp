#include "support/Notice.h"

#include <optional>
#include <string>

#include "platform/Platform.h"
#include "support/modLog.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"
#include "support/StringIds.h"

namespace torva {

namespace {
constexpr uint32_t kInformationOkOnly = 64;  // MB_OK | MB_ICONINFORMATION
constexpr uint32_t kTaskModal = 0x2000;      // MB_TASKMODAL
}  // namespace

namespace {
// The running press: how to find its owner, and what was found.
OwnerLookup pressLookup;
std::optional<intptr_t> pressOwner;
}  // namespace

PressScope::PressScope(OwnerLookup lookup) {
    pressLookup = std::move(lookup);
    pressOwner.reset();
}

PressScope::~PressScope() {
    pressLookup = nullptr;
    pressOwner.reset();
}

intptr_t pressOwnerWindow() noexcept {
    if (pressOwner) return *pressOwner;
    intptr_t found = 0;
    try {
        if (pressLookup) found = pressLookup();
    } catch (...) {
        // Undocumented members, hosts without a window: the press goes on unowned.
        found = 0;
    }
    pressOwner = found;
    return found;
}

void showInfoMessage(std::u16string_view text) {
    const std::u16string title = GetString(StringId::kNoticeTitle);
    const intptr_t owner = pressOwnerWindow();
    // Without an owner, task-modal keeps the host's windows disabled all the same.
    (void)platform::messageBox(owner, text, title, kInformationOkOnly | (owner ? 0 : kTaskModal));
}

void showFailureNotice(std::u16string_view id, std::initializer_list<std::u16string_view> values,
                       std::u16string_view logText, std::u16string_view description) noexcept {
    try {
        WriteLog(std::u16string(logText) + std::u16string(description), LogError);
        showInfoMessage(FillIn(GetString(id), values));
    } catch (...) {
        // No memory for the text, no box: nothing is left to tell the user with.
    }
}

}  // namespace torva
