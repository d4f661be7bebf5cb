#include "Ribbon.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

namespace torva {

namespace {

constexpr std::array kExcelTabs{
    RibbonTab{u"TabHome", u"", u"TorvaGroup", u"TorvaButton"},
};
// Word's own label commands sit in that group.
constexpr std::array kWordTabs{
    RibbonTab{u"TabMailings", u"GroupEnvelopeLabelCreate", u"TorvaGroup", u"TorvaButton"},
};
constexpr std::array kAccessTabs{
    RibbonTab{u"TabExternalData", u"GroupExport", u"TorvaGroup", u"TorvaButton"},
};
// The explorer shows one Home tab per folder kind.
constexpr std::array kOutlookTabs{
    RibbonTab{u"TabContacts", u"", u"TorvaGroupContacts", u"TorvaButtonContacts"},
    RibbonTab{u"TabMail", u"", u"TorvaGroupMail", u"TorvaButtonMail"},
};

}  // namespace

const RibbonInfo kExcelRibbon{12, u"", kExcelTabs};
const RibbonInfo kWordRibbon{12, u"", kWordTabs};
const RibbonInfo kAccessRibbon{12, u"", kAccessTabs};
// Outlook 2007's main window has no Ribbon: its inspectors ask, the
// explorer keeps the toolbar.
const RibbonInfo kOutlookRibbon{14, u"Microsoft.Outlook.Explorer", kOutlookTabs};

std::optional<int> majorVersion(std::u16string_view version) {
    int major = 0;
    size_t i = 0;
    for (; i < version.size() && version[i] >= u'0' && version[i] <= u'9'; ++i) {
        if (i == 4) return std::nullopt;  // no Office has such a number
        major = major * 10 + (version[i] - u'0');
    }
    if (i == 0 || (i < version.size() && version[i] != u'.')) return std::nullopt;
    return major;
}

std::u16string xmlEscaped(std::u16string_view text) {
    // A parser turns a raw line break or tab in an attribute into a blank.
    static constexpr std::pair<char16_t, std::u16string_view> kReferences[] = {
        {u'&', u"&amp;"},   {u'<', u"&lt;"},   {u'>', u"&gt;"},   {u'"', u"&quot;"},
        {u'\'', u"&apos;"}, {u'\r', u"&#13;"}, {u'\n', u"&#10;"}, {u'\t', u"&#9;"},
    };
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        const auto* ref = std::find_if(std::begin(kReferences), std::end(kReferences),
                                       [c](const auto& r) { return r.first == c; });
        if (ref != std::end(kReferences)) {
            out += ref->second;
        } else if (c >= 0x20 && c != 0xFFFE && c != 0xFFFF) {
            // XML 1.0 allows no other control character, not even as a reference.
            out += c;
        }
    }
    return out;
}

std::u16string customUI(const RibbonInfo& ribbon, int officeVersion, std::u16string_view ribbonId,
                        std::u16string_view groupLabel, std::u16string_view buttonLabel,
                        std::u16string_view supertip) {
    if (!ribbon.ribbonId.empty() && ribbonId != ribbon.ribbonId) return {};
    const std::u16string group = xmlEscaped(groupLabel);
    const std::u16string label = xmlEscaped(buttonLabel);
    const std::u16string tip = xmlEscaped(supertip);
    std::u16string xml = u"<customUI xmlns=\"";
    xml += officeVersion >= kFirstVersionOfNewerNamespace ? kCustomUiNamespace
                                                          : kCustomUi2007Namespace;
    xml += u"\" onLoad=\"onLoad\"><ribbon><tabs>";
    for (const RibbonTab& tab : ribbon.tabs) {
        xml += u"<tab idMso=\"";
        xml += tab.idMso;
        xml += u"\"><group id=\"";
        xml += tab.groupId;
        xml += u"\" label=\"" + group + u"\"";
        if (!tab.insertAfterMso.empty()) {
            xml += u" insertAfterMso=\"";
            xml += tab.insertAfterMso;
            xml += u"\"";
        }
        xml += u"><button id=\"";
        xml += tab.buttonId;
        xml += u"\" size=\"large\" label=\"" + label + u"\" supertip=\"" + tip +
               u"\" onAction=\"onAction\" getImage=\"getImage\"/></group></tab>";
    }
    xml += u"</tabs></ribbon></customUI>";
    return xml;
}

}  // namespace torva
