#pragma once
// The add-in's one information message, and the press it belongs to.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>

namespace torva {

// A modal information box (style 64) titled with string "2300", owned by the
// press's owner window; task-modal when the press has none.
void showInfoMessage(std::u16string_view text);

// --- A press and the way it ends --------------------------------------------
// Every press of the button or the menu entry ends in a launch or in exactly
// one notice. The notices and the dialog of a press belong to the host's main
// window; the host action says how to find it, and it is asked for when the
// first window of the press is about to show, so a press that only launches
// asks the host for nothing more.

using OwnerLookup = std::function<intptr_t()>;

// The press that runs: while it lives, pressOwnerWindow() finds the owner
// with its lookup (once). One press at a time, on the host's thread.
class PressScope {
  public:
    explicit PressScope(OwnerLookup lookup);
    ~PressScope();
    PressScope(const PressScope&) = delete;
    PressScope& operator=(const PressScope&) = delete;
};

// The running press's owner window; 0 outside a press, and when the lookup
// failed or found none. A failing lookup never stops the press.
intptr_t pressOwnerWindow() noexcept;

// A press that ends in a failure: one log entry at level LogError (logText
// followed by the failure's description), then the notice of string `id`
// with its %1, %2 ... filled in. Never throws.
void showFailureNotice(std::u16string_view id, std::initializer_list<std::u16string_view> values,
                       std::u16string_view logText, std::u16string_view description) noexcept;

}  // namespace torva
