#pragma once
// Outlook's explorer windows as the add-in follows them: each has command
// bars of its own, so each gets the toolbar and the Tools entry, from the
// explorers open at installation and from Explorers' NewExplorer; an
// explorer's Close lets go of what the add-in holds of it.

#include <cstdint>
#include <string>

#include "host/ConnectClass.h"

namespace torva {

// ExplorersEvents: NewExplorer(Explorer), before the new window shows.
inline constexpr automation::Guid kExplorersEvents{
    0x00063078, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr int32_t kDispIdNewExplorer = 0xF001;
// ExplorerEvents_10: Close(), as the window closes.
inline constexpr automation::Guid kExplorerEvents10{
    0x0006300F, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr int32_t kDispIdExplorerClose = 0xF008;

// One explorer window and what the add-in put into it.
struct OutlookWindow {
    ObjectRef explorer;
    CommandBarSet controls;
    automation::Subscription closeEvents;
    // Ends the controls' Tags: empty in the first window, ".2", ".3" ... in
    // later ones. Office sends a Click to every control of the pressed one's
    // Tag in every window, so a shared Tag would run one press per window.
    std::u16string tagSuffix;
};

}  // namespace torva
