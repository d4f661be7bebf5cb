#pragma once
// The host-independent half of the installer: finding and adding the
// add-in's toolbar, its button and its Tools-menu entry in any Office
// host's command bars, reached late-bound. Captions and names are compared
// exactly, letter case included.

#include <cstdint>
#include <string_view>

#include "automation/Automation.h"

namespace torva {

// Office's numbers as the calls send them.
inline constexpr int32_t msoBarTop = 1;
inline constexpr int32_t msoControlButton = 1;
inline constexpr int32_t msoControlPopup = 10;
inline constexpr int32_t msoButtonIconAndCaption = 3;

// The add-in's toolbar (named by string "0900"), found or added.
automation::ObjectRef getAddinCommandBar(const automation::ObjectRef& commandBars);
// The toolbar's button with this caption, found or added with the icon;
// either way it carries the button's own Tag, followed by tagSuffix (Office
// sends a Click to every control of the pressed one's Tag, in every window).
automation::ObjectRef getAddinButton(const automation::ObjectRef& bar, std::u16string_view caption,
                                     std::u16string_view tooltip,
                                     std::u16string_view tagSuffix = {});
// The popup of type 10 with that control ID on the named bar, or nullptr.
// A missing bar makes the call fail.
automation::ObjectRef findMenuPopup(const automation::ObjectRef& commandBars,
                                    std::u16string_view menuBarName, int32_t popupId);
// Replaces every entry with this caption by a fresh one; nullptr (and
// nothing else done) when there is no popup.
automation::ObjectRef addMenuEntry(const automation::ObjectRef& commandBars,
                                   std::u16string_view menuBarName, int32_t popupId,
                                   std::u16string_view caption, std::u16string_view progId,
                                   std::u16string_view hostKeyword,
                                   std::u16string_view tagSuffix = {});
// Deletes the first entry with this caption.
void removeMenuEntry(const automation::ObjectRef& commandBars, std::u16string_view menuBarName,
                     int32_t popupId, std::u16string_view caption);

}  // namespace torva
