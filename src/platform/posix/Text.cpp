#include <array>
#include <string_view>

#include "platform/Platform.h"

namespace torva::platform {

namespace {

// Windows-1252 at 0x80-0x9F; the five unassigned bytes map to the C1 controls
// of the same value, as Windows' own table does. The rest is Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Like Windows, the conversion writes letters with marks the code page lacks
// (U+0100 to U+017F) as their plain look-alike without saying so; '?' here
// marks none, or a letter the code page has (those are in the table above).
constexpr std::string_view kBestFitLatinA =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGg"
    "GgGgHhHhIiIiIiIiIi??JjKk?LlLlLlL"
    "lLlNnNnNn???OoOoOo??RrRrRrSsSsSs"
    "??TtTtTtUuUuUuUuUuUuWwYy?ZzZz???";

char16_t fromByte(unsigned char b) {
    return b >= 0x80 && b <= 0x9F ? kHighControls[b - 0x80] : static_cast<char16_t>(b);
}

}  // namespace

std::string toAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        char byte = '?';  // what the system puts for a character it cannot map
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            byte = static_cast<char>(c);
        } else if (c >= 0x100 && c < 0x100 + kBestFitLatinA.size() &&
                   kBestFitLatinA[c - 0x100] != '?') {
            byte = kBestFitLatinA[c - 0x100];
        } else {
            for (size_t i = 0; i < kHighControls.size(); ++i) {
                if (kHighControls[i] == c) {
                    byte = static_cast<char>(0x80 + i);
                    break;
                }
            }
        }
        out += byte;
    }
    return out;
}

std::u16string fromAnsi(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) {
        out += fromByte(static_cast<unsigned char>(c));
    }
    return out;
}

NumberSeparators numberSeparators() { return {u'.', u','}; }

}  // namespace torva::platform
