#pragma once
// The Ribbon markup an add-in returns from GetCustomUI, read and checked as
// Office does before it applies any of it: read by the emulator's own XML
// reader, then held to the schema rules that matter for a tab, group and
// button. One error and Office applies nothing.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "XmlReader.h"

namespace torva::emulator::ribbon {

inline constexpr char16_t kNamespace2006[] =
    u"http://schemas.microsoft.com/office/2006/01/customui";
inline constexpr char16_t kNamespace2009[] =
    u"http://schemas.microsoft.com/office/2009/07/customui";

// A callback named in the markup, with the element it belongs to.
struct Callback {
    std::u16string attribute;  // onLoad, onAction, getImage, getLabel ...
    std::u16string name;       // the method the add-in must answer
    std::u16string control;    // the element's id ("" for customUI)
};

struct Button {
    std::u16string id;
    std::u16string tab;  // the tab's idMso, or its id for a custom tab
    std::u16string group;
    std::u16string groupLabel;
    std::u16string groupInsertAfterMso;
    std::u16string groupInsertBeforeMso;
    std::u16string label;
    std::u16string supertip;
    std::u16string screentip;
    std::u16string size;  // "normal" when not given
    std::u16string tag;
    std::u16string onAction, getImage, getLabel, getSupertip;
};

struct Markup {
    std::vector<std::string> errors;  // empty: Office would apply it
    std::vector<Button> buttons;      // empty when there are errors
    std::u16string onLoad;
    std::vector<Callback> callbacks;
};

// The built-in tabs a ribbon ID shows ("Microsoft.Excel.Workbook" ...); empty
// for an ID the emulator does not know.
std::vector<std::u16string> builtInTabs(std::u16string_view ribbonId);

// Checks MARKUP for the ribbon ID; RESOLVES says whether the add-in's
// GetIDsOfNames finds a callback's name. Office 2007 knows only the 2006/01
// namespace; 2010 and later know both.
Markup checkMarkup(std::u16string_view markup, std::u16string_view ribbonId,
                   const std::function<bool(const std::u16string&)>& resolves,
                   bool knows2009 = true);

}  // namespace torva::emulator::ribbon
