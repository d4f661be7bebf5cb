#include <gtest/gtest.h>

#include "ModelObject.h"

using namespace torva;
using namespace torva::model;
using automation::Arg;

namespace {
constexpr Guid kEvents{0x000C0351, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class Probe : public Object {
  public:
    Probe() : Object(u"Probe") {
        property(
            u"Caption", [this](const Params&) { return Value{caption}; },
            [this](const Value& v) { caption = toText(v); });
        method(u"Add", {u"Type", u"Id", u"Parameter", u"Before", u"Temporary"},
               [this](const Params& p) {
                   last = p;
                   return Value{int32_t(p.size())};
               });
        sourceOf(kEvents);
    }
    std::u16string caption;
    Params last;
};
}  // namespace

TEST(ModelObject, NamedAndOmittedArgumentsLandInTheirPlaces) {
    auto probe = std::make_shared<Probe>();
    probe->call(u"add", {Arg(1), Arg::missing(), Arg::named(u"temporary", true),
                         Arg::named(u"Parameter", Value{u"EXCEL"})});
    ASSERT_EQ(probe->last.size(), 5u);
    EXPECT_EQ(std::get<int32_t>(*probe->last[0]), 1);
    EXPECT_FALSE(probe->last[1].has_value());
    EXPECT_EQ(std::get<std::u16string>(*probe->last[2]), u"EXCEL");
    EXPECT_FALSE(probe->last[3].has_value());
    EXPECT_TRUE(std::get<bool>(*probe->last[4]));
    EXPECT_THROW(probe->call(u"Add", {Arg::named(u"Nope", 1)}), automation::Error);
}

TEST(ModelObject, PropertiesAreFoundWithoutRegardToCaseAndUnknownNamesFail) {
    auto probe = std::make_shared<Probe>();
    probe->put(u"CAPTION", Value{u"x"});
    EXPECT_EQ(toText(probe->get(u"caption")), u"x");
    EXPECT_THROW(probe->get(u"Missing"), automation::Error);
    EXPECT_THROW(probe->items(), automation::Error);
}

TEST(ModelObject, SubscriptionEndsWithItsHandleAndSurvivesTheObject) {
    auto probe = std::make_shared<Probe>();
    int clicks = 0;
    {
        auto sub = probe->subscribe(kEvents,
                                    [&](int32_t dispid, std::vector<Value>&) { clicks += dispid; });
        std::vector<Value> args;
        probe->fire(kEvents, 1, args);
        EXPECT_EQ(clicks, 1);
    }
    std::vector<Value> args;
    probe->fire(kEvents, 1, args);
    EXPECT_EQ(clicks, 1);
    auto late = probe->subscribe(kEvents, [](int32_t, std::vector<Value>&) {});
    probe.reset();  // the handle outlives the object without harm
    late.reset();
    EXPECT_THROW(std::make_shared<Probe>()->subscribe(Guid{1, 2, 3, {}}, {}), automation::Error);
}

TEST(ModelObject, QueryInterfaceAnswersOnlyWhatTheObjectOffers) {
    auto probe = std::make_shared<Probe>();
    const Guid dispatch{0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    EXPECT_TRUE(probe->queryInterface(dispatch)->sameObject(*probe));
    try {
        probe->queryInterface(kEvents);
        FAIL() << "an interface the object does not offer was granted";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.hresult(), automation::kENoInterface);
    }
}

// What Office makes of an argument declared with a type: the emulator's own
// coercion, so that a conversion fault on the add-in's side shows.
TEST(ModelObject, ArgumentsAreCoercedAsOfficeCoercesThem) {
    using automation::Empty;
    using automation::Null;
    EXPECT_EQ(toInt(Value{2.5}), 2);  // ties to even
    EXPECT_EQ(toInt(Value{3.5}), 4);
    EXPECT_EQ(toInt(Value{true}), -1);
    EXPECT_EQ(toInt(Value{std::u16string(u" 12 ")}), 12);
    EXPECT_EQ(toInt(Value{Empty{}}), 0);
    EXPECT_EQ(toText(Value{int32_t{-7}}), u"-7");
    EXPECT_EQ(toText(Value{false}), u"False");
    EXPECT_EQ(toText(Value{0.5}), u"0.5");
    EXPECT_TRUE(toBool(Value{std::u16string(u"true")}));
    EXPECT_FALSE(toBool(Value{std::u16string(u"0")}));
    EXPECT_TRUE(toBool(Value{int32_t{2}}));
    EXPECT_EQ(toObject(Value{ObjectRef{}}), nullptr);  // Nothing is an object
    const auto code = [](auto f) {
        try {
            f();
        } catch (const automation::Error& e) {
            return static_cast<uint32_t>(e.hresult());
        }
        return 0u;
    };
    EXPECT_EQ(code([] { toInt(Value{std::u16string(u"12a")}); }), 0x80020005u);
    EXPECT_EQ(code([] { toInt(Value{3e10}); }), 0x8002000Au);
    EXPECT_EQ(code([] { toText(Value{Null{}}); }), 0x80020005u);
    EXPECT_EQ(code([] { toObject(Value{int32_t{1}}); }), 0x80020005u);
    EXPECT_EQ(code([] { toBool(Value{std::u16string(u"ja")}); }), 0x80020005u);
}
