#include "modOffice.h"

#include "frmPicStore.h"
#include "support/modStringTables.h"
#include "support/StringIds.h"

namespace torva {

using automation::Arg;
using automation::asInt;
using automation::asObject;
using automation::asString;
using automation::ObjectRef;
using automation::Value;

namespace {

ObjectRef controlsOf(const ObjectRef& barOrPopup) { return asObject(barOrPopup->get(u"Controls")); }

bool isButtonWithCaption(const ObjectRef& control, std::u16string_view caption) {
    return asInt(control->get(u"Type")) == msoControlButton &&
           asString(control->get(u"Caption")) == caption;
}

// The face comes from the clipboard: Office has no other way to take a
// picture that works in every host of this generation.
void pasteSmallIcon(const ObjectRef& button) {
    frmPicStore::putSmallIconOnClipboard();
    button->call(u"PasteFace");
}

}  // namespace

ObjectRef getAddinCommandBar(const ObjectRef& commandBars) {
    const std::u16string name = GetString(StringId::kToolbarName);
    for (const Value& item : commandBars->items()) {
        ObjectRef bar = asObject(item);
        if (asString(bar->get(u"Name")) == name) return bar;
    }
    return asObject(commandBars->call(
        u"Add", {Arg::named(u"Name", Value{name}), Arg::named(u"Position", Value{msoBarTop}),
                 Arg::named(u"MenuBar", Value{false}), Arg::named(u"Temporary", Value{true})}));
}

ObjectRef getAddinButton(const ObjectRef& bar, std::u16string_view caption,
                         std::u16string_view tooltip, std::u16string_view tagSuffix) {
    ObjectRef controls = controlsOf(bar);
    ObjectRef button;
    for (const Value& item : controls->items()) {
        ObjectRef control = asObject(item);
        if (isButtonWithCaption(control, caption)) {
            button = std::move(control);
            break;
        }
    }
    const bool added = !button;
    if (added)
        button = asObject(controls->call(u"Add", {Arg::named(u"Type", Value{msoControlButton}),
                                                  Arg::named(u"Temporary", Value{true})}));
    try {
        if (added) {
            button->put(u"Style", Value{msoButtonIconAndCaption});
            button->put(u"Caption", caption);
        }
        // Office sends a Click to every control with the pressed one's Tag, and
        // matches untagged custom buttons by their Id, which is 1 for all of
        // them: without a Tag of its own another add-in's button would start our
        // action and ours theirs. Not the menu entry's Tag either, or one press
        // would run the action twice.
        button->put(u"Tag", u"ZEBRO.BUTTON" + std::u16string(tagSuffix));
        if (added) {
            button->put(u"TooltipText", tooltip);
            pasteSmallIcon(button);
        }
    } catch (...) {
        // A button left half made would take presses that nobody hears.
        if (added) {
            try {
                button->call(u"Delete");
            } catch (...) {
            }
        }
        throw;
    }
    return button;
}

ObjectRef findMenuPopup(const ObjectRef& commandBars, std::u16string_view menuBarName,
                        int32_t popupId) {
    ObjectRef bar = asObject(commandBars->get(u"Item", {Arg(Value{std::u16string(menuBarName)})}));
    for (const Value& item : controlsOf(bar)->items()) {
        ObjectRef control = asObject(item);
        if (asInt(control->get(u"Id")) == popupId &&
            asInt(control->get(u"Type")) == msoControlPopup)
            return control;
    }
    return nullptr;
}

ObjectRef addMenuEntry(const ObjectRef& commandBars, std::u16string_view menuBarName,
                       int32_t popupId, std::u16string_view caption, std::u16string_view progId,
                       std::u16string_view hostKeyword, std::u16string_view tagSuffix) {
    ObjectRef popup = findMenuPopup(commandBars, menuBarName, popupId);
    if (!popup) return nullptr;
    ObjectRef controls = controlsOf(popup);
    // Entries left behind by an earlier session (or another copy of the
    // add-in) would otherwise pile up in the menu.
    for (const Value& item : controls->items()) {
        ObjectRef control = asObject(item);
        if (isButtonWithCaption(control, caption)) control->call(u"Delete");
    }
    ObjectRef entry = asObject(
        controls->call(u"Add", {Arg::named(u"Type", Value{msoControlButton}),
                                Arg::named(u"Parameter", Value{std::u16string(hostKeyword)}),
                                Arg::named(u"Temporary", Value{true})}));
    entry->put(u"Style", Value{msoButtonIconAndCaption});
    entry->put(u"Caption", caption);
    pasteSmallIcon(entry);
    entry->put(u"OnAction", u"!<" + std::u16string(progId) + u">");
    entry->put(u"Tag", u"ZEBRO" + std::u16string(tagSuffix));
    return entry;
}

void removeMenuEntry(const ObjectRef& commandBars, std::u16string_view menuBarName, int32_t popupId,
                     std::u16string_view caption) {
    ObjectRef popup = findMenuPopup(commandBars, menuBarName, popupId);
    if (!popup) return;
    for (const Value& item : controlsOf(popup)->items()) {
        ObjectRef control = asObject(item);
        if (isButtonWithCaption(control, caption)) {
            control->call(u"Delete");
            return;
        }
    }
}

}  // namespace torva
