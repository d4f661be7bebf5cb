#pragma once
// The rules by which a decoded string file becomes entries. Pure functions, so
// that the add-in's loader and the translators' tool read a file the same way.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torva {

enum class StringLineKind { Blank, Comment, Entry };

struct StringLine {
    StringLineKind kind;
    std::u16string stripped;  // the line after TrimWhitespace, ID included
    std::u16string id;        // first four characters (fewer if the line is shorter)
    std::u16string text;      // from the sixth character on, escapes still in place
};

// One raw line, without its line end.
StringLine parseStringLine(std::u16string_view raw);

// The decoded file's bytes as UTF-16LE text: a leading byte-order mark is not
// part of the first line; an odd last byte is no character.
std::u16string textFromUtf16Le(std::string_view bytes);
// The text as UTF-16LE bytes behind a byte-order mark.
std::string utf16LeWithBom(std::u16string_view text);

// Raw lines, split at CR LF only: a lone CR or LF stays inside its line.
std::vector<std::u16string_view> splitStringFileLines(std::u16string_view text);

// The key under which an ID is compared: letter case is not significant.
std::u16string stringIdKey(std::u16string_view id);

// The chained XOR of the string file, in place. Stored byte s[i] is plain
// byte p[i] XOR s[i-1], with the start byte standing before s[0].
void scrambleBytes(std::span<uint8_t> bytes);
void unscrambleBytes(std::span<uint8_t> bytes);

}  // namespace torva
