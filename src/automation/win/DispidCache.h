#pragma once
// The DISPIDs of Office's types, shared by every object of a type: a cell
// asked for its Text costs one GetIDsOfNames for a whole export.

#include <windows.h>
#include <oaidl.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Text.h"

namespace torva::automation::win {

// Member names compare as GetIDsOfNames compares them, without regard to
// case; a name is looked up as the caller spelled it, without a key built.
struct FoldedHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view s) const noexcept {
        uint64_t h = 14695981039346656037ull;  // FNV-1a
        for (char16_t c : s) h = (h ^ asciiLower(c)) * 1099511628211ull;
        return static_cast<size_t>(h ^ (h >> 32));
    }
};
struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const noexcept {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (asciiLower(a[i]) != asciiLower(b[i])) return false;
        return true;
    }
};

// The DISPIDs of one type: a member called without named arguments by its
// name alone, one with named arguments by the member and argument names.
// Entries stay where they are, so callers may hold on to them.
struct TypeTable {
    std::unordered_map<std::u16string, DISPID, FoldedHash, FoldedEqual> members;
    std::map<std::u16string, std::vector<DISPID>> withNamedArgs;
    // Callers name members with literals: the same address holding the same
    // text is the same member, found again without hashing the name.
    struct Spelling {
        const char16_t* at = nullptr;
        std::u16string text;
        DISPID id = DISPID_UNKNOWN;
    };
    std::array<Spelling, 32> spellings;
    Spelling& spellingSlot(std::u16string_view name) {
        const auto at = reinterpret_cast<uintptr_t>(name.data());
        return spellings[((at >> 1) ^ (at >> 7)) % spellings.size()];
    }
    size_t size() const { return members.size() + withNamedArgs.size(); }
};

// The shared table of the type `info` describes, or null for a type without
// a GUID (whose objects must each keep their own).
TypeTable* sharedTypeTable(ITypeInfo* info);

// Every wrapper of an IDispatch counts itself: with none left, no type
// information of the host is held any more.
void wrapperCreated() noexcept;
void wrapperGone() noexcept;

}  // namespace torva::automation::win
