#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "automation/Automation.h"
#include "base/Error.h"

using namespace torva;

TEST(Value, ConversionsFollowVbAndNothingUsedAsAnObjectRaisesError91) {
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

    // Nothing used as an object raises error 91.
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
