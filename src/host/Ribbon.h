#pragma once
// The add-in's Ribbon: which Office versions show it instead of the toolbar,
// and the markup each host gets from GetCustomUI. Portable: the COM face in
// com/ only carries the text across.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace torva {

// One tab that receives the add-in's group. The custom ids are unique within
// one host's markup.
struct RibbonTab {
    std::u16string_view idMso;           // the built-in tab, "TabHome"
    std::u16string_view insertAfterMso;  // empty: the group goes last on the tab
    std::u16string_view groupId;
    std::u16string_view buttonId;
};

struct RibbonInfo {
    // The first Application.Version whose window shows the markup.
    int sinceVersion;
    // The one ribbon ID that gets the markup; empty: whatever ID the host
    // asks for (hosts with a single ribbon).
    std::u16string_view ribbonId;
    std::span<const RibbonTab> tabs;
};

extern const RibbonInfo kExcelRibbon;
extern const RibbonInfo kWordRibbon;
extern const RibbonInfo kAccessRibbon;
extern const RibbonInfo kOutlookRibbon;

// Office 2010 and later read the newer namespace; Office 2007 knows only
// the first and would drop markup in the newer one, whole.
inline constexpr std::u16string_view kCustomUiNamespace =
    u"http://schemas.microsoft.com/office/2009/07/customui";
inline constexpr std::u16string_view kCustomUi2007Namespace =
    u"http://schemas.microsoft.com/office/2006/01/customui";
inline constexpr int kFirstVersionOfNewerNamespace = 14;

// The major number of a version text such as "16.0" or "14.0.4760";
// nothing for a text that does not start with one.
std::optional<int> majorVersion(std::u16string_view version);

// Text for an XML attribute value: markup characters and the line breaks
// and tabs as references, the characters XML forbids left out.
std::u16string xmlEscaped(std::u16string_view text);

// The customUI document for ribbonId in the namespace that the Office of
// that major version reads, or "" for an ID the add-in does not customise.
// The texts go in escaped.
std::u16string customUI(const RibbonInfo& ribbon, int officeVersion, std::u16string_view ribbonId,
                        std::u16string_view groupLabel, std::u16string_view buttonLabel,
                        std::u16string_view supertip);

}  // namespace torva
