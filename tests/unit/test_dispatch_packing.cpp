// Where a late-bound call's arguments go in DISPPARAMS, and back.
#include <gtest/gtest.h>

#include "automation/DispatchPacking.h"

using namespace torva::automation;

TEST(DispatchPacking, PositionalArgumentsAreReversed) {
    const auto l = layoutArgs(u"Item", {Arg(5), Arg(2), Arg(Value{u"x"})});
    ASSERT_EQ(l.slots.size(), 3u);
    EXPECT_EQ(l.slots[0].arg, 2u);
    EXPECT_EQ(l.slots[1].arg, 1u);
    EXPECT_EQ(l.slots[2].arg, 0u);
    EXPECT_EQ(l.namedCount, 0u);
    EXPECT_EQ(l.names, std::vector<std::u16string>{u"Item"});
}

TEST(DispatchPacking, NamedArgumentsComeFirstWithTheirNamesInTheSameOrder) {
    // Address(True, ReferenceStyle:=xlR1C1, External:=False)
    const auto l = layoutArgs(u"Address", {Arg(true), Arg::named(u"ReferenceStyle", -4150),
                                           Arg::named(u"External", false)});
    ASSERT_EQ(l.slots.size(), 3u);
    ASSERT_EQ(l.namedCount, 2u);
    ASSERT_EQ(l.names.size(), 3u);
    EXPECT_EQ(l.names[0], u"Address");
    // rgvarg[k] for k < namedCount pairs with names[1 + k].
    EXPECT_EQ(l.slots[0].arg, 2u);
    EXPECT_EQ(l.names[1], u"External");
    EXPECT_EQ(l.slots[1].arg, 1u);
    EXPECT_EQ(l.names[2], u"ReferenceStyle");
    EXPECT_EQ(l.slots[2].arg, 0u);
}

TEST(DispatchPacking, LeftOutArguments) {
    // A left-out positional keeps its slot; a left-out named is not sent.
    Arg namedMissing = Arg::missing();
    namedMissing.name = u"Before";
    const auto l = layoutArgs(u"Add", {Arg(1), Arg::missing(), Arg(3), namedMissing});
    ASSERT_EQ(l.slots.size(), 3u);
    EXPECT_EQ(l.namedCount, 0u);
    EXPECT_EQ(l.names.size(), 1u);
    EXPECT_FALSE(l.slots[0].omitted);
    EXPECT_EQ(l.slots[0].arg, 2u);
    EXPECT_TRUE(l.slots[1].omitted);
    EXPECT_EQ(l.slots[1].arg, 1u);
    EXPECT_FALSE(l.slots[2].omitted);
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
    const std::vector<std::u16string> a{u"Address", u"ReferenceStyle"};
    const std::vector<std::u16string> b{u"ADDRESS", u"referencestyle"};
    const std::vector<std::u16string> c{u"Address"};
    const std::vector<std::u16string> d{u"Address", u"External"};
    EXPECT_EQ(dispidCacheKey(u"T1", a), dispidCacheKey(u"T1", b));
    EXPECT_NE(dispidCacheKey(u"T1", a), dispidCacheKey(u"T2", a));
    EXPECT_NE(dispidCacheKey(u"T1", a), dispidCacheKey(u"T1", c));
    EXPECT_NE(dispidCacheKey(u"T1", a), dispidCacheKey(u"T1", d));
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
    const Args args{Arg(10), Arg(20), Arg(30), Arg::named(u"Temporary", true)};
    const auto l = layoutArgs(u"Add", args);
    const auto back = positionalSlots(l.slots.size(), l.namedCount);
    ASSERT_EQ(back.size(), 3u);
    for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(l.slots[back[i]].arg, i);
}
