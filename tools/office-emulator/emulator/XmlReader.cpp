// The emulator's own XML reader: well-formedness and namespaces, as strict
// as Office's parser is with customUI markup.

#include "XmlReader.h"

#include <array>
#include <cstdio>
#include <map>
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

}  // namespace

std::optional<Element> parseXml(std::u16string_view text, std::string& error) {
    try {
        return Reader(text).document();
    } catch (const Malformed& e) {
        error = e.what();
        return std::nullopt;
    }
}

}  // namespace torva::emulator::ribbon
