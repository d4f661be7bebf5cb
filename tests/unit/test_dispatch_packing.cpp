// Where a late-bound call's arguments go in DISPPARAMS, and back.
#include <gtest/gtest.h>

#include "automation/DispatchPacking.h"

using namespace torva::automation;

namespace {
// Which argument each rgvarg slot holds, and whether it is left out.
std::vector<std::pair<size_t, bool>> slotsOf(const DispatchLayout& l) {
    std::vector<std::pair<size_t, bool>> slots;
    for (const auto& s : l.slots) slots.emplace_back(s.arg, s.omitted);
    return slots;
}
using Slots = std::vector<std::pair<size_t, bool>>;
using Names = std::vector<std::u16string>;
}  // namespace

TEST(DispatchPacking, PositionalArgumentsAreReversed) {
    const auto l = layoutArgs(u"Item", {Arg(5), Arg(2), Arg(Value{u"x"})});
    EXPECT_EQ(slotsOf(l), (Slots{{2, false}, {1, false}, {0, false}}));
    EXPECT_EQ(l.namedCount, 0u);
    EXPECT_EQ(l.names, Names{u"Item"});
}

TEST(DispatchPacking, NamedArgumentsComeFirstWithTheirNamesInTheSameOrder) {
    // Address(True, ReferenceStyle:=xlR1C1, External:=False): rgvarg[k] for
    // k < namedCount pairs with names[1 + k].
    const auto l = layoutArgs(u"Address", {Arg(true), Arg::named(u"ReferenceStyle", -4150),
                                           Arg::named(u"External", false)});
    EXPECT_EQ(slotsOf(l), (Slots{{2, false}, {1, false}, {0, false}}));
    EXPECT_EQ(l.namedCount, 2u);
    EXPECT_EQ(l.names, (Names{u"Address", u"External", u"ReferenceStyle"}));
}

TEST(DispatchPacking, LeftOutArguments) {
    // A left-out positional keeps its slot; a left-out named is not sent.
    Arg namedMissing = Arg::missing();
    namedMissing.name = u"Before";
    const auto l = layoutArgs(u"Add", {Arg(1), Arg::missing(), Arg(3), namedMissing});
    EXPECT_EQ(slotsOf(l), (Slots{{2, false}, {1, true}, {0, false}}));
    EXPECT_EQ(l.namedCount, 0u);
    EXPECT_EQ(l.names.size(), 1u);
}

TEST(DispatchPacking, PositionalAfterNamedIsRefused) {
    try {
        layoutArgs(u"Add", {Arg::named(u"Type", 1), Arg(2)});
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult(), kEInvalidArg);
    }
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

TEST(DispatchPacking, IncomingPositionalSlotsUndoTheReversal) {
    // Click(Ctrl, CancelDefault): rgvarg[1] is Ctrl, rgvarg[0] CancelDefault.
    EXPECT_EQ(positionalSlots(2, 0), (std::vector<size_t>{1, 0}));
    // With two named ones in rgvarg[0..1], positionals are the rest, reversed.
    EXPECT_EQ(positionalSlots(5, 2), (std::vector<size_t>{4, 3, 2}));
    EXPECT_TRUE(positionalSlots(2, 2).empty());
    EXPECT_TRUE(positionalSlots(0, 0).empty());

    // Packing and unpacking agree on where each positional argument lives.
    const auto l = layoutArgs(u"Add", {Arg(10), Arg(20), Arg(30), Arg::named(u"Temporary", true)});
    const auto back = positionalSlots(l.slots.size(), l.namedCount);
    ASSERT_EQ(back.size(), 3u);
    for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(l.slots[back[i]].arg, i);
}
