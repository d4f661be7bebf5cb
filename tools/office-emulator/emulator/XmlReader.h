#pragma once
// A small XML reader of the emulator's own, for the Ribbon markup an add-in
// returns: it shares no code with the add-in, so a fault in the add-in's
// escaping cannot be mirrored here.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace torva::emulator::ribbon {

// One element of a parsed document: its local name, the namespace it is in
// and its attributes (entity and character references decoded).
struct Element {
    std::u16string name;
    std::u16string ns;
    std::vector<std::pair<std::u16string, std::u16string>> attributes;  // xmlns ones left out
    std::vector<Element> children;
    const std::u16string* attribute(std::u16string_view key) const;
};

// Well-formed XML with namespaces; on failure nullopt and the reason.
std::optional<Element> parseXml(std::u16string_view text, std::string& error);

}  // namespace torva::emulator::ribbon
