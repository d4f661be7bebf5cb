#include "support/StringFile.h"

#include "base/Text.h"
#include "support/modDecode.h"
#include "support/modStringTables.h"

namespace torva {

StringLine parseStringLine(std::u16string_view raw) {
    StringLine line{StringLineKind::Blank, TrimWhitespace(raw), {}, {}};
    if (line.stripped.empty()) {
        return line;
    }
    if (line.stripped.front() == u'#') {
        line.kind = StringLineKind::Comment;
        return line;
    }
    line.kind = StringLineKind::Entry;
    line.id = line.stripped.substr(0, 4);
    // The fifth character only separates ID and text, whatever it is.
    if (line.stripped.size() > 5) {
        line.text = line.stripped.substr(5);
    }
    return line;
}

std::u16string textFromUtf16Le(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                      (static_cast<uint8_t>(bytes[i + 1]) << 8));
    }
    if (!text.empty() && text.front() == u'\uFEFF') {
        text.erase(0, 1);
    }
    return text;
}

std::string utf16LeWithBom(std::u16string_view text) { return "\xFF\xFE" + toUtf16Le(text); }

std::vector<std::u16string_view> splitStringFileLines(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    // Only CR LF ends a line: a lone CR or LF is part of the line's text.
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(u"\r\n", start);
        if (end == std::u16string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::u16string stringIdKey(std::u16string_view id) {
    // IDs are digits in practice; folding ASCII and Latin-1 letters covers
    // what a hand-written ID can hold.
    std::u16string key(id);
    for (char16_t& c : key) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
            c = static_cast<char16_t>(c - 0x20);
        }
    }
    return key;
}

void scrambleBytes(std::span<uint8_t> bytes) {
    uint8_t previous = kDecodeStartByte;
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(b ^ previous);
        previous = b;
    }
}

void unscrambleBytes(std::span<uint8_t> bytes) {
    ChainedXorDecoder decode;
    for (uint8_t& b : bytes) b = decode(b);
}

}  // namespace torva
