#include "RibbonMarkup.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <stdexcept>
#include <string_view>

#include "base/Text.h"

namespace torva::emulator::ribbon {

const std::u16string* Element::attribute(std::u16string_view key) const {
    for (const auto& [k, v] : attributes)
        if (k == key) return &v;
    return nullptr;
}

namespace {

// --- the XML reader ------------------------------------------------------

class Malformed : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }
bool nameStart(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7 && !(c >= 0xD800 && c <= 0xDFFF));
}
bool nameChar(char16_t c) {
    return nameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == 0xB7;
}

class Reader {
  public:
    explicit Reader(std::u16string_view text) : s_(text) {}

    Element document() {
        if (!s_.empty() && s_[0] == 0xFEFF) ++at_;
        checkCharacters();
        if (starts(u"<?xml") && at_ + 5 < s_.size() && isSpace(s_[at_ + 5])) declaration();
        misc();
        if (starts(u"<!DOCTYPE")) fail("a document type declaration is not allowed");
        if (!starts(u"<")) fail("no root element");
        std::vector<std::map<std::u16string, std::u16string>> scopes{{}};
        Element root = element(scopes);
        misc();
        if (at_ < s_.size()) fail("content after the root element");
        return root;
    }

  private:
    [[noreturn]] void fail(const std::string& what) const {
        size_t line = 1, column = 1;
        for (size_t i = 0; i < at_ && i < s_.size(); ++i) {
            if (s_[i] == u'\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        throw Malformed("line " + std::to_string(line) + ", column " + std::to_string(column) +
                        ": " + what);
    }

    // Characters XML allows at all: no controls but TAB, LF, CR; surrogates
    // only in pairs; not U+FFFE or U+FFFF.
    void checkCharacters() {
        for (size_t i = at_; i < s_.size(); ++i) {
            const char16_t c = s_[i];
            const bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
            if (high && i + 1 < s_.size() && s_[i + 1] >= 0xDC00 && s_[i + 1] <= 0xDFFF) {
                ++i;
                continue;
            }
            if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || high || low ||
                c == 0xFFFE || c == 0xFFFF) {
                at_ = i;
                fail("a character XML does not allow (U+" + hex(c) + ")");
            }
        }
    }
    static std::string hex(uint32_t c) {
        char buf[12];
        std::snprintf(buf, sizeof buf, "%04X", c);
        return buf;
    }

    bool starts(std::u16string_view p) const { return s_.substr(at_).starts_with(p); }
    void expect(std::u16string_view p, const char* what) {
        if (!starts(p)) fail(std::string("expected ") + what);
        at_ += p.size();
    }
    void spaces() {
        while (at_ < s_.size() && isSpace(s_[at_])) ++at_;
    }

    std::u16string name() {
        if (at_ >= s_.size() || !nameStart(s_[at_])) fail("expected a name");
        const size_t from = at_;
        while (at_ < s_.size() && nameChar(s_[at_])) ++at_;
        return std::u16string(s_.substr(from, at_ - from));
    }

    void declaration() {
        const size_t end = s_.find(u"?>", at_);
        if (end == std::u16string_view::npos) fail("unterminated XML declaration");
        const std::u16string_view decl = s_.substr(at_, end - at_);
        if (decl.find(u"version") == std::u16string_view::npos)
            fail("the XML declaration has no version");
        at_ = end + 2;
    }

    void comment() {
        at_ += 4;
        const size_t end = s_.find(u"--", at_);
        if (end == std::u16string_view::npos) fail("unterminated comment");
        if (end + 2 >= s_.size() || s_[end + 2] != u'>') {
            at_ = end;
            fail("\"--\" inside a comment");
        }
        at_ = end + 3;
    }

    void instruction() {
        at_ += 2;
        const std::u16string target = name();
        if (equalsAsciiIgnoreCase<char16_t>(target, u"xml"))
            fail("an XML declaration that is not at the start");
        const size_t end = s_.find(u"?>", at_);
        if (end == std::u16string_view::npos) fail("unterminated processing instruction");
        at_ = end + 2;
    }

    void misc() {
        for (;;) {
            spaces();
            if (starts(u"<!--"))
                comment();
            else if (starts(u"<?"))
                instruction();
            else
                return;
        }
    }

    // &amp; &lt; &gt; &quot; &apos; &#N; &#xH; — anything else is an error.
    void reference(std::u16string& out) {
        const size_t semi = s_.find(u';', at_);
        if (semi == std::u16string_view::npos || semi - at_ > 12) fail("a bare '&'");
        const std::u16string_view ref = s_.substr(at_ + 1, semi - at_ - 1);
        static const std::array<std::pair<std::u16string_view, char16_t>, 5> named{
            {{u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''}}};
        for (const auto& [n, c] : named)
            if (ref == n) {
                out += c;
                at_ = semi + 1;
                return;
            }
        if (ref.size() < 2 || ref[0] != u'#') fail("an unknown entity &" + toUtf8(ref) + ";");
        const bool isHex = ref[1] == u'x';
        const std::u16string_view digits = ref.substr(isHex ? 2 : 1);
        if (digits.empty()) fail("an empty character reference");
        uint32_t code = 0;
        for (char16_t d : digits) {
            int v = -1;
            if (d >= u'0' && d <= u'9') v = d - u'0';
            if (isHex && d >= u'a' && d <= u'f') v = d - u'a' + 10;
            if (isHex && d >= u'A' && d <= u'F') v = d - u'A' + 10;
            if (v < 0) fail("a character reference that is not a number");
            code = code * (isHex ? 16 : 10) + static_cast<uint32_t>(v);
            if (code > 0x10FFFF) fail("a character reference past U+10FFFF");
        }
        const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                             (code >= 0x20 && code <= 0xD7FF) ||
                             (code >= 0xE000 && code <= 0xFFFD) || code >= 0x10000;
        if (!allowed) fail("a character reference to U+" + hex(code));
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        at_ = semi + 1;
    }

    std::u16string attributeValue() {
        if (at_ >= s_.size() || (s_[at_] != u'"' && s_[at_] != u'\''))
            fail("an attribute value not in quotes");
        const char16_t quote = s_[at_++];
        std::u16string out;
        for (;;) {
            if (at_ >= s_.size()) fail("unterminated attribute value");
            const char16_t c = s_[at_];
            if (c == quote) {
                ++at_;
                return out;
            }
            if (c == u'<') fail("'<' in an attribute value");
            if (c == u'&') {
                reference(out);
                continue;
            }
            // Attribute-value normalisation: a line end (CR LF counts once) or tab is a space.
            if (c == u'\r' && at_ + 1 < s_.size() && s_[at_ + 1] == u'\n') ++at_;
            out += isSpace(c) ? u' ' : c;
            ++at_;
        }
    }

    static std::pair<std::u16string, std::u16string> split(const std::u16string& qname) {
        const size_t colon = qname.find(u':');
        if (colon == std::u16string::npos) return {u"", qname};
        return {qname.substr(0, colon), qname.substr(colon + 1)};
    }

    Element element(std::vector<std::map<std::u16string, std::u16string>>& scopes) {
        expect(u"<", "'<'");
        const std::u16string qname = name();
        std::vector<std::pair<std::u16string, std::u16string>> raw;
        bool empty = false;
        for (;;) {
            const size_t before = at_;
            spaces();
            if (starts(u"/>")) {
                at_ += 2;
                empty = true;
                break;
            }
            if (starts(u">")) {
                ++at_;
                break;
            }
            if (at_ == before) fail("expected whitespace, '>' or '/>'");
            const std::u16string key = name();
            spaces();
            expect(u"=", "'=' after an attribute name");
            spaces();
            std::u16string value = attributeValue();
            for (const auto& [k, v] : raw)
                if (k == key) fail("the attribute " + toUtf8(key) + " twice");
            raw.emplace_back(key, std::move(value));
        }
        // Declarations first: they hold for the element's own name too.
        scopes.push_back(scopes.back());
        Element e;
        for (const auto& [key, value] : raw) {
            if (key == u"xmlns") {
                scopes.back()[u""] = value;
            } else if (key.starts_with(u"xmlns:")) {
                if (value.empty()) fail("an empty namespace for a prefix");
                scopes.back()[key.substr(6)] = value;
            }
        }
        for (const auto& [key, value] : raw) {
            if (key == u"xmlns" || key.starts_with(u"xmlns:")) continue;
            const auto [prefix, local] = split(key);
            if (!prefix.empty() && prefix != u"xml" && !scopes.back().count(prefix))
                fail("the prefix " + toUtf8(prefix) + " is not declared");
            e.attributes.emplace_back(key, value);
        }
        const auto [prefix, local] = split(qname);
        auto ns = scopes.back().find(prefix);
        if (!prefix.empty() && ns == scopes.back().end())
            fail("the prefix " + toUtf8(prefix) + " is not declared");
        e.name = local;
        e.ns = ns == scopes.back().end() ? u"" : ns->second;
        if (!empty) {
            content(e, scopes);
            expect(u"</", "an end tag");
            if (name() != qname) fail("the end tag does not match <" + toUtf8(qname) + ">");
            spaces();
            expect(u">", "'>'");
        }
        scopes.pop_back();
        return e;
    }

    // Text between elements: only white space matters to the ribbon, but it
    // must be well-formed all the same.
    void content(Element& e, std::vector<std::map<std::u16string, std::u16string>>& scopes) {
        std::u16string text;
        for (;;) {
            if (at_ >= s_.size()) fail("the element <" + toUtf8(e.name) + "> is not closed");
            if (starts(u"</")) return;
            if (starts(u"<!--")) {
                comment();
            } else if (starts(u"<![CDATA[")) {
                const size_t end = s_.find(u"]]>", at_);
                if (end == std::u16string_view::npos) fail("unterminated CDATA section");
                at_ = end + 3;
            } else if (starts(u"<?")) {
                instruction();
            } else if (starts(u"<")) {
                e.children.push_back(element(scopes));
            } else if (s_[at_] == u'&') {
                reference(text);
            } else {
                if (starts(u"]]>")) fail("\"]]>\" in text");
                ++at_;
            }
        }
    }

    std::u16string_view s_;
    size_t at_ = 0;
};

// --- what Office's schema says -------------------------------------------

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

std::optional<Element> parseXml(std::u16string_view text, std::string& error) {
    try {
        return Reader(text).document();
    } catch (const Malformed& e) {
        error = e.what();
        return std::nullopt;
    }
}

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
