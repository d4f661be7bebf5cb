#pragma once
// The localised texts, keyed by four-character IDs, loaded from Torva.Sys.

#include <initializer_list>
#include <string>
#include <string_view>

namespace torva {

// Decodes and reads Torva.Sys beside the add-in; false on the failure path.
bool LoadStringTable() noexcept;
// The text under id with its escapes resolved; empty when absent.
std::u16string GetString(std::u16string_view id);
std::u16string UnescapeText(std::u16string_view text);
// The text with each "%1" to "%9" replaced by that value (a place without a
// value stays as written); the values themselves are not searched again.
std::u16string FillIn(std::u16string_view text, std::initializer_list<std::u16string_view> values);
std::u16string TrimWhitespace(std::u16string_view text);

}  // namespace torva
