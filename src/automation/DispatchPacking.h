#pragma once
// How a late-bound call's arguments sit in DISPPARAMS, both ways. Kept apart
// from the Windows code so that the rules are tested natively:
// - rgvarg holds the arguments in reverse order;
// - the named ones come first in rgvarg, each with its DISPID in
//   rgdispidNamedArgs at the same index;
// - a left-out positional argument keeps its slot (VT_ERROR /
//   DISP_E_PARAMNOTFOUND); a left-out named one is not sent at all.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/Automation.h"

namespace torva::automation {

inline constexpr int32_t kDispidPropertyPut = -3;
inline constexpr int32_t kDispidNewEnum = -4;
inline constexpr int32_t kEInvalidArg = static_cast<int32_t>(0x80070057);

struct DispatchLayout {
    // For one GetIDsOfNames call: the member, then the named arguments in
    // rgvarg order, so that rgdispidNamedArgs[k] is the DISPID of names[1 + k].
    std::vector<std::u16string> names;
    struct Slot {
        size_t arg;    // index into the Args
        bool omitted;  // send VT_ERROR / DISP_E_PARAMNOTFOUND
    };
    std::vector<Slot> slots;  // in rgvarg order
    size_t namedCount = 0;    // slots[0 .. namedCount) are the named arguments
};

// Throws Error(kEInvalidArg) for a positional argument after a named one,
// which VB does not allow either.
DispatchLayout layoutArgs(std::u16string_view member, const Args& args);

// The DISPID cache key of a member and its argument names, for objects of one
// type: names compare as GetIDsOfNames compares them, without regard to case.
std::u16string dispidCacheKey(std::u16string_view typeKey,
                              const std::vector<std::u16string>& names);
// The same, into a buffer the caller reuses.
void dispidCacheKey(std::u16string& key, std::u16string_view typeKey,
                    const std::vector<std::u16string>& names);

// The rgvarg slot of the positional argument at `index` (in declaration
// order) of a call with `argCount` arguments: reverse order, behind the
// named ones.
constexpr size_t positionalSlot(size_t argCount, size_t index) { return argCount - 1 - index; }

// The other way, for the side that receives Invoke: the rgvarg slot of each
// positional argument in declaration order. The named ones are slots
// 0 .. namedCount-1, matching rgdispidNamedArgs.
std::vector<size_t> positionalSlots(size_t argCount, size_t namedCount);

}  // namespace torva::automation
