#include "RibbonMarkup.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string_view>

#include "base/Text.h"

namespace torva::emulator::ribbon {

namespace {

// What Office's schema says of a tab, a group and a button.

// Attributes each element may carry (schema of 2006/01, which 2009/07 extends
// for these elements only by a few we do not expect).
const std::map<std::u16string_view, std::set<std::u16string_view>>& allowedAttributes() {
    static const std::set<std::u16string_view> placement{u"insertAfterMso", u"insertBeforeMso",
                                                         u"insertAfterQ", u"insertBeforeQ"};
    static const std::map<std::u16string_view, std::set<std::u16string_view>> table = [] {
        std::map<std::u16string_view, std::set<std::u16string_view>> t;
        t[u"customUI"] = {u"onLoad", u"loadImage"};
        t[u"ribbon"] = {u"startFromScratch"};
        t[u"tabs"] = {};
        t[u"tab"] = {u"id",       u"idMso",   u"idQ",        u"tag",    u"label",
                     u"getLabel", u"visible", u"getVisible", u"keytip", u"getKeytip"};
        t[u"group"] = {u"id",
                       u"idMso",
                       u"idQ",
                       u"tag",
                       u"label",
                       u"getLabel",
                       u"image",
                       u"imageMso",
                       u"getImage",
                       u"screentip",
                       u"getScreentip",
                       u"supertip",
                       u"getSupertip",
                       u"visible",
                       u"getVisible",
                       u"keytip",
                       u"getKeytip",
                       u"autoScale",
                       u"centerVertically"};
        t[u"button"] = {u"id",        u"idMso",        u"idQ",         u"tag",
                        u"label",     u"getLabel",     u"image",       u"imageMso",
                        u"getImage",  u"size",         u"getSize",     u"onAction",
                        u"enabled",   u"getEnabled",   u"visible",     u"getVisible",
                        u"screentip", u"getScreentip", u"supertip",    u"getSupertip",
                        u"keytip",    u"getKeytip",    u"showLabel",   u"getShowLabel",
                        u"showImage", u"getShowImage", u"description", u"getDescription"};
        for (const char16_t* e : {u"tab", u"group", u"button"})
            t[e].insert(placement.begin(), placement.end());
        return t;
    }();
    return table;
}

// The one child element each element may hold.
std::u16string_view childOf(std::u16string_view element) {
    if (element == u"customUI") return u"ribbon";
    if (element == u"ribbon") return u"tabs";
    if (element == u"tabs") return u"tab";
    if (element == u"tab") return u"group";
    if (element == u"group") return u"button";
    return {};
}

// Callback attributes: onLoad, loadImage, onAction and every get...
bool isCallback(std::u16string_view attribute) {
    return attribute == u"onLoad" || attribute == u"loadImage" || attribute == u"onAction" ||
           (attribute.size() > 3 && attribute.starts_with(u"get") && attribute[3] >= u'A' &&
            attribute[3] <= u'Z');
}

// Attributes that exclude each other on one element.
constexpr std::array<std::array<std::u16string_view, 3>, 9> kExclusive{{
    {u"id", u"idMso", u"idQ"},
    {u"image", u"imageMso", u"getImage"},
    {u"label", u"getLabel", {}},
    {u"supertip", u"getSupertip", {}},
    {u"screentip", u"getScreentip", {}},
    {u"size", u"getSize", {}},
    {u"visible", u"getVisible", {}},
    {u"enabled", u"getEnabled", {}},
    {u"keytip", u"getKeytip", {}},
}};

constexpr size_t kLongestText = 1024;  // ST_String and ST_LongString cap labels and tips

bool customIdOk(std::u16string_view id) {
    if (id.empty() || id.size() > kLongestText) return false;
    if (!((id[0] >= u'a' && id[0] <= u'z') || (id[0] >= u'A' && id[0] <= u'Z') || id[0] == u'_'))
        return false;
    return std::all_of(id.begin(), id.end(), [](char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'_';
    });
}

struct TabsOf {
    std::u16string_view ribbonId;
    std::vector<std::u16string_view> tabs;
};

// Built-in tab ids per ribbon ID (Office 2013 to 365), from Microsoft's lists
// of control IDs; TabAddIns is in every one.
const std::vector<TabsOf>& tabTable() {
    static const std::vector<TabsOf> t{
        {u"Microsoft.Excel.Workbook",
         {u"TabHome", u"TabInsert", u"TabPageLayoutExcel", u"TabFormulas", u"TabData", u"TabReview",
          u"TabView", u"TabDeveloper", u"TabAddIns"}},
        {u"Microsoft.Word.Document",
         {u"TabHome", u"TabInsert", u"TabPageLayoutWord", u"TabReferences", u"TabMailings",
          u"TabReviewWord", u"TabView", u"TabDeveloper", u"TabAddIns"}},
        {u"Microsoft.Access.Database",
         {u"TabHomeAccess", u"TabCreate", u"TabExternalData", u"TabDatabaseTools", u"TabAddIns"}},
        {u"Microsoft.Outlook.Explorer",
         {u"TabMail", u"TabCalendar", u"TabContacts", u"TabTasks", u"TabSendReceive", u"TabFolder",
          u"TabView", u"TabDeveloper", u"TabAddIns"}},
        {u"Microsoft.Outlook.Mail.Read", {u"TabReadMessage", u"TabDeveloper", u"TabAddIns"}},
        {u"Microsoft.Outlook.Mail.Compose",
         {u"TabNewMailMessage", u"TabInsert", u"TabOptions", u"TabFormatText", u"TabReview",
          u"TabDeveloper", u"TabAddIns"}},
        {u"Microsoft.Outlook.Contact",
         {u"TabContact", u"TabInsert", u"TabFormatText", u"TabReview", u"TabDeveloper",
          u"TabAddIns"}},
    };
    return t;
}

class Checker {
  public:
    Checker(std::u16string_view ribbonId,
            const std::function<bool(const std::u16string&)>& resolves)
        : tabs_(builtInTabs(ribbonId)), ribbonId_(ribbonId), resolves_(resolves) {}

    Markup run(const Element& root) {
        if (root.name != u"customUI")
            error("the root element is <" + toUtf8(root.name) + ">, not <customUI>");
        else if (root.ns != kNamespace2006 && root.ns != kNamespace2009)
            error("<customUI> is in the namespace \"" + toUtf8(root.ns) +
                  "\", not in a customUI namespace");
        else
            walk(root, root.ns, nullptr, nullptr);
        if (!out_.errors.empty()) out_.buttons.clear();
        return std::move(out_);
    }

  private:
    void error(std::string what) { out_.errors.push_back(std::move(what)); }

    void walk(const Element& e, const std::u16string& ns, const Element* tab,
              const Element* group) {
        const std::string where = "<" + toUtf8(e.name) + ">";
        const auto& allowed = allowedAttributes().at(e.name);
        for (const auto& [key, value] : e.attributes) {
            if (!allowed.count(key)) {
                error(where + ": the attribute " + toUtf8(key) + " is not allowed");
                continue;
            }
            if (isCallback(key)) {
                const std::u16string* id = e.attribute(u"id");
                out_.callbacks.push_back({key, value, id ? *id : u""});
                if (value.empty() || !resolves_(value))
                    error(where + ": the callback " + toUtf8(key) + "=\"" + toUtf8(value) +
                          "\" is not found by GetIDsOfNames");
            }
            if (value.size() > kLongestText)
                error(where + ": " + toUtf8(key) + " is longer than 1024 characters");
        }
        for (const auto& group : kExclusive) {
            std::vector<std::u16string_view> present;
            for (auto a : group)
                if (!a.empty() && e.attribute(a)) present.push_back(a);
            if (present.size() > 1)
                error(where + ": " + toUtf8(present[0]) + " and " + toUtf8(present[1]) +
                      " together");
        }
        if (e.name == u"tab" || e.name == u"group" || e.name == u"button") identity(e, where);
        if (e.name == u"tab") tabName(e, where);
        if (e.name == u"button") {
            if (auto* size = e.attribute(u"size"); size && *size != u"normal" && *size != u"large")
                error(where + ": size \"" + toUtf8(*size) + "\" is neither normal nor large");
            if (!e.attribute(u"idMso")) button(e, *tab, *group);
        }
        if (e.name == u"customUI")
            if (auto* onLoad = e.attribute(u"onLoad")) out_.onLoad = *onLoad;
        const std::u16string_view child = childOf(e.name);
        int count = 0;
        for (const auto& c : e.children) {
            if (c.ns != ns) {
                error(where + ": the child <" + toUtf8(c.name) +
                      "> is not in the namespace of "
                      "<customUI>");
                continue;
            }
            if (c.name != child) {
                error(where + ": <" + toUtf8(c.name) + "> is not allowed here");
                continue;
            }
            if (++count > 1 && (child == u"ribbon" || child == u"tabs")) {
                error(where + ": more than one <" + toUtf8(c.name) + ">");
                continue;
            }
            walk(c, ns, e.name == u"tab" ? &e : tab, e.name == u"group" ? &e : group);
        }
    }

    // Exactly one of id, idQ, idMso; a custom id unique and alphanumeric.
    void identity(const Element& e, const std::string& where) {
        const auto* id = e.attribute(u"id");
        if (!id && !e.attribute(u"idMso") && !e.attribute(u"idQ"))
            error(where + ": none of id, idMso, idQ");
        if (!id) return;
        if (!customIdOk(*id))
            error(where + ": the id \"" + toUtf8(*id) + "\" is not alphanumeric");
        else if (!ids_.insert(*id).second)
            error(where + ": the id \"" + toUtf8(*id) + "\" is used twice");
    }

    void tabName(const Element& e, const std::string& where) {
        const auto* idMso = e.attribute(u"idMso");
        if (!idMso) return;
        if (std::find(tabs_.begin(), tabs_.end(), *idMso) == tabs_.end())
            error(where + ": " + toUtf8(ribbonId_) + " has no tab \"" + toUtf8(*idMso) + "\"");
    }

    void button(const Element& e, const Element& tab, const Element& group) {
        auto text = [](const Element& of, std::u16string_view key) {
            const auto* v = of.attribute(key);
            return v ? *v : std::u16string();
        };
        Button b;
        b.id = text(e, u"id");
        b.tab = tab.attribute(u"idMso") ? text(tab, u"idMso") : text(tab, u"id");
        b.group = group.attribute(u"id") ? text(group, u"id") : text(group, u"idMso");
        b.groupLabel = text(group, u"label");
        b.groupInsertAfterMso = text(group, u"insertAfterMso");
        b.groupInsertBeforeMso = text(group, u"insertBeforeMso");
        b.label = text(e, u"label");
        b.supertip = text(e, u"supertip");
        b.screentip = text(e, u"screentip");
        b.size = e.attribute(u"size") ? text(e, u"size") : u"normal";
        b.tag = text(e, u"tag");
        b.onAction = text(e, u"onAction");
        b.getImage = text(e, u"getImage");
        b.getLabel = text(e, u"getLabel");
        b.getSupertip = text(e, u"getSupertip");
        out_.buttons.push_back(std::move(b));
    }

    std::vector<std::u16string> tabs_;
    std::u16string ribbonId_;
    const std::function<bool(const std::u16string&)>& resolves_;
    std::set<std::u16string> ids_;
    Markup out_;
};

}  // namespace

std::vector<std::u16string> builtInTabs(std::u16string_view ribbonId) {
    for (const auto& t : tabTable())
        if (t.ribbonId == ribbonId) return {t.tabs.begin(), t.tabs.end()};
    return {};
}

Markup checkMarkup(std::u16string_view markup, std::u16string_view ribbonId,
                   const std::function<bool(const std::u16string&)>& resolves, bool knows2009) {
    std::string error;
    auto root = parseXml(markup, error);
    if (!root) {
        Markup m;
        m.errors.push_back("not well-formed XML: " + error);
        return m;
    }
    if (!knows2009 && root->ns == kNamespace2009) {
        Markup m;
        m.errors.push_back("Office 2007 does not know the namespace \"" + toUtf8(root->ns) + "\"");
        return m;
    }
    return Checker(ribbonId, resolves).run(*root);
}

}  // namespace torva::emulator::ribbon
