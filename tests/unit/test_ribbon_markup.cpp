// The emulator's own reading of Ribbon markup: what Office refuses, and the
// texts it shows once the references are decoded.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "RibbonMarkup.h"
#include "base/Text.h"

using namespace torva;
using namespace torva::emulator::ribbon;

namespace {

const std::u16string k2009 = u"http://schemas.microsoft.com/office/2009/07/customui";
const std::u16string k2006 = u"http://schemas.microsoft.com/office/2006/01/customui";

// A document around one tab, as the ribbon ID Excel passes.
std::u16string doc(std::u16string_view tab, std::u16string_view ns = k2009) {
    return u"<customUI xmlns=\"" + std::u16string(ns) + u"\" onLoad=\"onLoad\"><ribbon><tabs>" +
           std::u16string(tab) + u"</tabs></ribbon></customUI>";
}
std::u16string tab(std::u16string_view buttonAttributes, std::u16string_view tabId = u"TabHome",
                   std::u16string_view buttonId = u"B1") {
    return u"<tab idMso=\"" + std::u16string(tabId) +
           u"\"><group id=\"G1\" label=\"Gruppe\"><button id=\"" + std::u16string(buttonId) +
           u"\" " + std::u16string(buttonAttributes) + u"/></group></tab>";
}
const auto kKnown = [](const std::u16string& name) {
    return name == u"onLoad" || name == u"onAction" || name == u"getImage";
};

}  // namespace

TEST(EmulatorRibbonMarkup, RefusesWhatOfficeRefuses) {
    const struct {
        const char* what;
        std::u16string markup;
        const char* error;  // a part of the one error expected
    } cases[] = {
        {"bare ampersand", doc(tab(u"label=\"Sales & more\"")), "a bare '&'"},
        {"unknown entity", doc(tab(u"label=\"&nbsp;\"")), "unknown entity &nbsp;"},
        {"'<' in a value", doc(tab(u"label=\"a<b\"")), "'<' in an attribute value"},
        {"quote inside the value", doc(tab(u"label=\"say \"hi\"\"")), "expected whitespace"},
        {"unclosed element", u"<customUI xmlns=\"" + k2009 + u"\"><ribbon>", "not closed"},
        {"mismatched end tag", u"<customUI xmlns=\"" + k2009 + u"\"><ribbon></tabs></customUI>",
         "does not match"},
        {"second root", doc(u"") + u"<customUI/>", "content after the root"},
        {"control character", doc(tab(u"label=\"a\u0001b\"")), "U+0001"},
        {"reference to NUL", doc(tab(u"label=\"&#0;\"")), "character reference to U+0000"},
        {"duplicate attribute", doc(tab(u"label=\"a\" label=\"b\"")), "the attribute label twice"},
        {"no namespace", u"<customUI><ribbon/></customUI>", "not in a customUI namespace"},
        {"foreign namespace", doc(u"", u"http://example.org/ui"), "not in a customUI namespace"},
        {"wrong root", u"<ribbon xmlns=\"" + k2006 + u"\"/>", "not <customUI>"},
        {"child in another namespace",
         u"<customUI xmlns=\"" + k2009 + u"\" xmlns:x=\"" + k2006 + u"\"><x:ribbon/></customUI>",
         "not in the namespace of <customUI>"},
        {"button straight under the tab", doc(u"<tab idMso=\"TabHome\"><button id=\"B1\"/></tab>"),
         "<button> is not allowed here"},
        {"id and idMso together", doc(tab(u"idMso=\"Copy\"")), "id and idMso together"},
        {"no id at all", doc(u"<tab idMso=\"TabHome\"><group label=\"x\"/></tab>"),
         "none of id, idMso, idQ"},
        {"id used twice",
         doc(u"<tab idMso=\"TabHome\"><group id=\"G1\"><button id=\"G1\"/></group></tab>"),
         "the id \"G1\" is used twice"},
        {"id not alphanumeric", doc(tab(u"", u"TabHome", u"B-1")), "not alphanumeric"},
        {"id starting with a digit", doc(tab(u"", u"TabHome", u"1B")), "not alphanumeric"},
        {"tab the host lacks", doc(tab(u"", u"TabMailings")),
         "Microsoft.Excel.Workbook has no tab \"TabMailings\""},
        {"Access's home is not TabHome", doc(tab(u"", u"TabHome")),
         "Microsoft.Access.Database has no tab \"TabHome\""},
        {"unresolved callback", doc(tab(u"onAction=\"OnAction2\"")),
         "onAction=\"OnAction2\" is not found"},
        {"image and getImage", doc(tab(u"image=\"pic\" getImage=\"getImage\"")),
         "image and getImage together"},
        {"unknown attribute", doc(tab(u"caption=\"x\"")), "the attribute caption is not allowed"},
        {"size neither normal nor large", doc(tab(u"size=\"huge\"")),
         "is neither normal nor large"},
        {"label past 1024 characters", doc(tab(u"label=\"" + std::u16string(1025, u'x') + u"\"")),
         "longer than 1024"},
        {"document type declaration", u"<!DOCTYPE customUI>" + doc(u""),
         "document type declaration"},
    };
    // Office 2007 does not know the namespace of 2010.
    EXPECT_EQ(checkMarkup(doc(tab(u"")), u"Microsoft.Excel.Workbook", kKnown, false).errors,
              std::vector<std::string>{"Office 2007 does not know the namespace "
                                       "\"http://schemas.microsoft.com/office/2009/07/customui\""});
    EXPECT_TRUE(checkMarkup(doc(tab(u""), k2006), u"Microsoft.Excel.Workbook", kKnown, false)
                    .errors.empty());
    for (const auto& c : cases) {
        const std::u16string id = std::string(c.what).find("Access") != std::string::npos
                                      ? u"Microsoft.Access.Database"
                                      : u"Microsoft.Excel.Workbook";
        const Markup m = checkMarkup(c.markup, id, kKnown);
        ASSERT_FALSE(m.errors.empty()) << c.what;
        EXPECT_NE(m.errors[0].find(c.error), std::string::npos) << c.what << ": " << m.errors[0];
        EXPECT_TRUE(m.buttons.empty()) << c.what << ": nothing applied";
    }
}

TEST(EmulatorRibbonMarkup, DecodesTextsAndPlacesTheButtonOnTheHostsTabs) {
    // Every reference form, Hebrew as is and as numbers, an astral character.
    const std::u16string label =
        u"A&amp;B &lt;C&gt; &quot;D&quot; &apos;E&apos; &#65;&#x42; \u05E9\u05DC\u05D5\u05DD "
        u"&#x5E9;&#1500; &#x1F600;";
    const std::u16string markup =
        u"<?xml version=\"1.0\" encoding=\"utf-16\"?><!-- a comment -->" +
        doc(u"<tab idMso=\"TabMailings\"><group id=\"G_1\" label=\"Gruppe\" "
            u"insertAfterMso=\"GroupEnvelopeLabelCreate\"><button id=\"B1\" label='" +
                label +
                u"' supertip=\"line&#13;&#10;two\" onAction=\"onAction\" "
                u"getImage=\"getImage\"/></group></tab>",
            k2006);
    const Markup m = checkMarkup(markup, u"Microsoft.Word.Document", kKnown);
    ASSERT_TRUE(m.errors.empty()) << m.errors[0];
    ASSERT_EQ(m.buttons.size(), 1u);
    const Button& b = m.buttons[0];
    EXPECT_EQ(b.label, u"A&B <C> \"D\" 'E' AB \u05E9\u05DC\u05D5\u05DD \u05E9\u05DC \U0001F600");
    EXPECT_EQ(b.supertip, u"line\r\ntwo");
    EXPECT_EQ(b.tab, u"TabMailings");
    EXPECT_EQ(b.group, u"G_1");
    EXPECT_EQ(b.groupInsertAfterMso, u"GroupEnvelopeLabelCreate");
    EXPECT_EQ(b.size, u"normal");
    EXPECT_EQ(m.onLoad, u"onLoad");
    EXPECT_EQ(m.callbacks.size(), 3u);

    // Microsoft's control IDs: each host's tabs by the ribbon ID it passes.
    EXPECT_EQ(builtInTabs(u"Microsoft.Outlook.Explorer").front(), u"TabMail");
    for (const auto& [id, tab] : {std::pair{u"Microsoft.Excel.Workbook", u"TabHome"},
                                  {u"Microsoft.Word.Document", u"TabMailings"},
                                  {u"Microsoft.Access.Database", u"TabExternalData"},
                                  {u"Microsoft.Access.Database", u"TabHomeAccess"},
                                  {u"Microsoft.Outlook.Explorer", u"TabContacts"}}) {
        const auto tabs = builtInTabs(id);
        EXPECT_NE(std::find(tabs.begin(), tabs.end(), std::u16string(tab)), tabs.end())
            << toUtf8(id);
    }
    EXPECT_TRUE(builtInTabs(u"Microsoft.Outlook.Unknown").empty());
}
