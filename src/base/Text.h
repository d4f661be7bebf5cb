#pragma once
// UTF-8 <-> UTF-16 for the places where the core meets narrow text that is not
// ANSI: tool command lines, JSON, POSIX file names. ANSI is the platform's.

#include <string>
#include <string_view>

namespace torva {

std::string toUtf8(std::u16string_view text);
// Invalid UTF-8 sequences become U+FFFD.
std::u16string fromUtf8(std::string_view text);
// The code units as UTF-16LE bytes, no byte-order mark.
std::string toUtf16Le(std::u16string_view text);

// Case folding as COM names, VB truth words and profile keys compare: ASCII
// letters only, so no locale can make two names equal that Office keeps apart.
template <typename Char>
constexpr Char asciiLower(Char c) noexcept {
    return (c >= Char('A') && c <= Char('Z')) ? Char(c + ('a' - 'A')) : c;
}
template <typename Char>
constexpr bool equalsAsciiIgnoreCase(std::basic_string_view<Char> a,
                                     std::basic_string_view<Char> b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

}  // namespace torva
