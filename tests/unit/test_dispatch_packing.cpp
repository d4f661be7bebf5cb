// Where a late-bound call's arguments go in DISPPARAMS, and back.
#include <gtest/gtest.h>

#include "automation/DispatchPacking.h"
#include "base/Text.h"

using namespace torva::automation;

namespace {
using Slots = std::vector<std::pair<size_t, bool>>;
using Names = std::vector<std::u16string>;
// Which argument each rgvarg slot holds, and whether it is left out.
Slots slotsOf(const DispatchLayout& l) {
    Slots slots;
    for (const auto& s : l.slots) slots.emplace_back(s.arg, s.omitted);
    return slots;
}
}  // namespace

// Positionals go in reversed, named ones first; a left-out positional keeps its
// slot, a left-out named one is not sent, a positional after a named one fails.
TEST(DispatchPacking, PositionalsGoInReversedAndComeBackInOrder) {
    Arg namedMissing = Arg::missing();
    namedMissing.name = u"Before";
    const struct {
        Args args;
        Slots slots;
        Names names;  // the member's, then those of rgvarg[0..namedCount)
    } cases[] = {
        // clang-format off
        {{Arg(5), Arg(2), Arg(Value{u"x"})}, {{2, false}, {1, false}, {0, false}}, {u"Item"}},
        // Address(True, ReferenceStyle:=xlR1C1, External:=False)
        {{Arg(true), Arg::named(u"ReferenceStyle", -4150), Arg::named(u"External", false)},
         {{2, false}, {1, false}, {0, false}}, {u"Address", u"External", u"ReferenceStyle"}},
        {{Arg(1), Arg::missing(), Arg(3), namedMissing}, {{2, false}, {1, true}, {0, false}},
         {u"Add"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        const auto l = layoutArgs(c.names[0], c.args);
        EXPECT_EQ(slotsOf(l), c.slots) << torva::toUtf8(c.names[0]);
        EXPECT_EQ(l.names, c.names);
        EXPECT_EQ(l.namedCount, c.names.size() - 1);
    }
    try {
        layoutArgs(u"Add", {Arg::named(u"Type", 1), Arg(2)});
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult(), kEInvalidArg);
    }

    // Coming in, Click(Ctrl, CancelDefault) has Ctrl in rgvarg[1], CancelDefault
    // in rgvarg[0]; with two named ones in rgvarg[0..1], positionals are the
    // rest, reversed.
    EXPECT_EQ(positionalSlots(2, 0), (std::vector<size_t>{1, 0}));
    EXPECT_EQ(positionalSlots(5, 2), (std::vector<size_t>{4, 3, 2}));
    EXPECT_TRUE(positionalSlots(2, 2).empty());
    EXPECT_TRUE(positionalSlots(0, 0).empty());
    // Packing and unpacking agree on where each positional argument lives.
    const auto l = layoutArgs(u"Add", {Arg(10), Arg(20), Arg(30), Arg::named(u"Temporary", true)});
    const auto back = positionalSlots(l.slots.size(), l.namedCount);
    ASSERT_EQ(back.size(), 3u);
    for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(l.slots[back[i]].arg, i);
}

TEST(DispatchPacking, CacheKeysIgnoreCaseButNotTypeOrNames) {
    const Names a{u"Address", u"ReferenceStyle"}, c{u"Address"};
    EXPECT_EQ(dispidCacheKey(u"T1", a), dispidCacheKey(u"T1", {u"ADDRESS", u"referencestyle"}));
    EXPECT_NE(dispidCacheKey(u"T1", a), dispidCacheKey(u"T2", a));
    EXPECT_NE(dispidCacheKey(u"T1", a), dispidCacheKey(u"T1", c));
    EXPECT_NE(dispidCacheKey(u"T1", a), dispidCacheKey(u"T1", {u"Address", u"External"}));
    // Names joined without a separator would make these two equal.
    EXPECT_NE(dispidCacheKey(u"T", {u"ab", u"c"}), dispidCacheKey(u"T", {u"a", u"bc"}));
    // A reused buffer keeps nothing of the key before.
    std::u16string buffer = u"a much longer key from an earlier lookup";
    dispidCacheKey(buffer, u"T1", c);
    EXPECT_EQ(buffer, dispidCacheKey(u"T1", c));
}
