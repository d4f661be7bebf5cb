#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "automation/Automation.h"
#include "support/Error.h"
#include "support/Text.h"

using namespace torva;

TEST(Text, Utf8RoundTripKeepsUmlautsAndSurrogatePairs) {
    const std::u16string text = u"f\u00fcr \u201E \U0001F600";
    EXPECT_EQ(toUtf8(text), "f\xC3\xBCr \xE2\x80\x9E \xF0\x9F\x98\x80");
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
}

TEST(Text, BrokenUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(fromUtf8("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(fromUtf8("\xC0\xAF!"), u"\uFFFD\uFFFD!");  // overlong form is refused
    EXPECT_EQ(toUtf8(u"\xD800x"), "\xEF\xBF\xBDx");      // lone surrogate
}

TEST(Error, OwnNumbersBecomeVbHResults) {
    const Error e(kErrorHandOffWrite, u"");
    EXPECT_EQ(static_cast<uint32_t>(e.hresult()), 0x800A001Bu);
    EXPECT_EQ(e.number(), 27);
    const Error back = Error::fromHResult(static_cast<int32_t>(0x800A001Bu), u"x");
    EXPECT_EQ(back.number(), 27);
    const Error com = Error::fromHResult(automation::kENoInterface, u"No such interface");
    EXPECT_EQ(com.hresult(), automation::kENoInterface);
    EXPECT_EQ(com.description(), u"No such interface");
}

TEST(Value, ConversionsFollowVb) {
    using namespace automation;
    EXPECT_TRUE(isNothing(Value{ObjectRef{}}));
    EXPECT_FALSE(isNothing(Value{int32_t{0}}));
    EXPECT_EQ(asInt(Value{u"42"}), 42);
    EXPECT_EQ(asInt(Value{true}), -1);
    EXPECT_EQ(asString(Value{int32_t{-7}}), u"-7");
    EXPECT_EQ(asString(Value{Null{}}), u"");
    EXPECT_TRUE(asBool(Value{u"TRUE"}));
    EXPECT_FALSE(asBool(Value{u"0"}));
    EXPECT_THROW(asInt(Value{u"twelve"}), automation::Error);
    EXPECT_THROW(asObject(Value{int32_t{1}}), automation::Error);
}

TEST(Value, NothingUsedAsAnObjectRaisesError91) {
    using namespace automation;
    const ObjectRef nothing = asObject(Value{Empty{}});
    for (const auto& use : std::vector<std::function<void()>>{
             [&] { nothing->get(u"Name"); }, [&] { (void)nothing->typeName(); },
             [&] { (void)nothing->sameObject(*nothing); }}) {
        try {
            use();
            ADD_FAILURE() << "Nothing was used as an object";
        } catch (const torva::Error& e) {
            EXPECT_EQ(e.number(), 91);
            EXPECT_EQ(static_cast<uint32_t>(e.hresult()), 0x800A005Bu);
            EXPECT_EQ(e.description(), u"Object variable or With block variable not set");
        }
    }
    EXPECT_FALSE(nothing);  // holding Nothing is no error, only using it
}
