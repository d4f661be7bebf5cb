#include "automation/DispatchPacking.h"

#include "base/Text.h"

namespace torva::automation {

DispatchLayout layoutArgs(std::u16string_view member, const Args& args) {
    DispatchLayout out;
    out.names.emplace_back(member);
    bool namedSeen = false;
    for (const auto& a : args) {
        if (!a.name.empty())
            namedSeen = true;
        else if (namedSeen)
            throw Error(kEInvalidArg, u"Positional argument after a named argument");
    }
    // Walking the arguments backwards gives rgvarg order; named ones are last
    // in the call, so they come first.
    for (size_t i = args.size(); i-- > 0;) {
        const Arg& a = args[i];
        if (a.name.empty()) {
            out.slots.push_back({i, a.omitted});
        } else if (!a.omitted) {
            out.slots.push_back({i, false});
            out.names.push_back(a.name);
            ++out.namedCount;
        }
    }
    return out;
}

// Names first: keys of one type share the type's long prefix, and a lookup
// should tell them apart at the first characters.
void dispidCacheKey(std::u16string& key, std::u16string_view typeKey,
                    const std::vector<std::u16string>& names) {
    key.clear();
    for (const auto& n : names) {
        for (char16_t c : n) key += asciiLower(c);
        key += u'\n';
    }
    key += typeKey;
}

std::u16string dispidCacheKey(std::u16string_view typeKey,
                              const std::vector<std::u16string>& names) {
    std::u16string key;
    dispidCacheKey(key, typeKey, names);
    return key;
}

std::vector<size_t> positionalSlots(size_t argCount, size_t namedCount) {
    std::vector<size_t> out;
    for (size_t i = 0; i + namedCount < argCount; ++i) out.push_back(positionalSlot(argCount, i));
    return out;
}

}  // namespace torva::automation
