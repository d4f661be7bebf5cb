// The IDispatch backend against the model shown through COM: every call
// below crosses GetIDsOfNames/Invoke twice (DispatchObject -> ModelDispatch).
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include "ModelDispatch.h"
#include "automation/win/DispatchObject.h"

using namespace torva;
using automation::Arg;
using automation::Args;
using automation::ObjectRef;
using automation::Value;
using model::Params;
using torva::win::ComPtr;

namespace {
constexpr automation::Guid kButtonEvents{0x000C0351, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr automation::Guid kCommandBarButton{0x000C030E, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class Button : public model::Object {
  public:
    explicit Button(std::u16string type = u"CommandBarButton") : Object(std::move(type)) {
        property(
            u"Caption", [this](const Params&) { return Value{caption}; },
            [this](const Value& v) { caption = automation::asString(v); }, {}, 0x60040003);
        method(u"Add", {u"Type", u"Id", u"Parameter", u"Before", u"Temporary"},
               [this](const Params& p) {
                   last = p;
                   return Value{int32_t(p.size())};
               });
        property(u"Me", [this](const Params&) { return Value{ObjectRef(shared_from_this())}; });
        implements(kCommandBarButton);
        sourceOf(kButtonEvents);
    }
    std::u16string caption;
    Params last;
};

// Shows a model object to the add-in side the way the emulator does.
ObjectRef throughCom(const std::shared_ptr<model::Object>& object) {
    ComPtr<IDispatch> d = model::com::dispatchFor(object);
    return automation::win::wrapDispatch(d.get());
}

class AutomationOverCom : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        before_ = model::com::comCounters();
    }
    void TearDown() override {
        EXPECT_EQ(model::com::comCounters().outstandingReferences, before_.outstandingReferences)
            << "COM references left behind";
        EXPECT_EQ(model::com::liveAdapters(), 0u);
        model::com::journal().openItemLimit = 0;
        OleUninitialize();
    }
    model::com::ComCounters before_;
};
}  // namespace

TEST_F(AutomationOverCom, ArgumentsArriveInTheirPlaces) {
    auto button = std::make_shared<Button>();
    ObjectRef o = throughCom(button);

    // Positional, left out and named, in any order of the names.
    Value n = o->call(u"add", {Arg(1), Arg::missing(), Arg::named(u"temporary", true),
                               Arg::named(u"Parameter", Value{u"EXCEL"})});
    EXPECT_EQ(automation::asInt(n), 5);
    EXPECT_EQ(button->last,
              (Params{Value{1}, std::nullopt, Value{u"EXCEL"}, std::nullopt, Value{true}}));

    // Several positional ones keep their order across the reversal.
    o->call(u"Add", {Arg(10), Arg(20), Arg(Value{2.5})});
    button->last.resize(3);  // what follows is left out
    EXPECT_EQ(button->last, (Params{Value{10}, Value{20}, Value{2.5}}));

    o->put(u"Caption", Value{u"Etiketten \u00e4"});
    EXPECT_EQ(button->caption, u"Etiketten \u00e4");
    EXPECT_EQ(automation::asString(o->get(u"CAPTION")), u"Etiketten \u00e4");

    // Text appended in place is what a read gives, a number's too; an object
    // is a type mismatch that leaves the text as it was.
    std::u16string line = u">";
    o->appendText(u"caption", line);
    line += u'|';
    o->appendText(u"Add", line);
    EXPECT_EQ(line, u">Etiketten \u00e4|" + automation::asString(o->call(u"Add")));
    EXPECT_NE(line.back(), u'|');
    const std::u16string before = line;
    EXPECT_THROW(o->appendText(u"Me", line), automation::Error);
    EXPECT_EQ(line, before);

    // An unknown name or argument name is refused with the HRESULT kept.
    try {
        o->get(u"Nope");
        FAIL() << "unknown member accepted";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.hresult(), automation::kDispEUnknownName);
    }
    EXPECT_THROW(o->call(u"Add", {Arg::named(u"Colour", 1)}), automation::Error);
}

TEST_F(AutomationOverCom, ClickReachesTheHandlerWithCtrlAndCancelDefault) {
    auto button = std::make_shared<Button>();
    ObjectRef o = throughCom(button);
    int clicks = 0;
    ObjectRef ctrlSeen;
    {
        auto sub = o->subscribe(kButtonEvents, [&](int32_t dispid, std::vector<Value>& args) {
            ++clicks;
            EXPECT_EQ(dispid, 1);
            ASSERT_EQ(args.size(), 2u);
            ctrlSeen = automation::asObject(args[0]);
            EXPECT_FALSE(automation::asBool(args[1]));
            args[1] = true;  // CancelDefault goes back to the source
        });
        EXPECT_EQ(button->subscriberCount(kButtonEvents), 1u);
        std::vector<Value> args{Value{ObjectRef(button)}, Value{false}};
        button->fire(kButtonEvents, 1, args);
        EXPECT_EQ(clicks, 1);
        ASSERT_TRUE(ctrlSeen);
        EXPECT_TRUE(ctrlSeen->sameObject(*o));
        EXPECT_TRUE(std::get<bool>(args[1]));
        ctrlSeen.reset();
    }
    // The subscription's end unadvises: nothing more arrives.
    EXPECT_EQ(button->subscriberCount(kButtonEvents), 0u);
    std::vector<Value> args{Value{ObjectRef(button)}, Value{false}};
    button->fire(kButtonEvents, 1, args);
    EXPECT_EQ(clicks, 1);

    // Only sourced interfaces can be subscribed.
    EXPECT_THROW(o->subscribe(kCommandBarButton, [](int32_t, std::vector<Value>&) {}),
                 automation::Error);
}

TEST_F(AutomationOverCom, NamesAreResolvedOncePerTypeAndMember) {
    std::vector<std::shared_ptr<Button>> buttons;
    // A type of its own, so that no other test has filled the cache for it.
    for (int i = 0; i < 5; ++i) buttons.push_back(std::make_shared<Button>(u"CountedButton"));
    const long invokes = model::com::comCounters().invoke;
    const long lookups = model::com::comCounters().getIDsOfNames;
    for (const auto& b : buttons) {
        ObjectRef o = throughCom(b);
        o->put(u"Caption", Value{u"x"});
        o->get(u"Caption");
        o->call(u"Add", {Arg(1), Arg::named(u"Temporary", true)});
    }
    EXPECT_EQ(model::com::comCounters().invoke - invokes, 15);
    // Caption (put and get share it) and Add with its argument name, once each
    // for all five objects.
    EXPECT_EQ(model::com::comCounters().getIDsOfNames - lookups, 2);
    // A different argument name is a different question.
    throughCom(buttons[0])->call(u"Add", {Arg(1), Arg::named(u"Before", 2)});
    EXPECT_EQ(model::com::comCounters().getIDsOfNames - lookups, 3);
}

// As strict as an Exchange server: past the open-item limit a new item is
// refused with MAPI_E_TOO_BIG, and a released item frees its place.
TEST_F(AutomationOverCom, ItemsPastTheOpenItemLimitAreRefusedUntilOneIsReleased) {
    struct Item : model::Object {
        Item() : Object(u"ContactItem") {}
        bool isOpenItem() const override { return true; }
    };
    struct Folder : model::Object {
        Folder() : Object(u"Items") {
            method(u"Item", {},
                   [](const Params&) { return Value{ObjectRef(std::make_shared<Item>())}; });
        }
    };
    model::com::journal().openItemLimit = 2;
    ObjectRef items = throughCom(std::make_shared<Folder>());
    ObjectRef first = automation::asObject(items->call(u"Item"));
    ObjectRef second = automation::asObject(items->call(u"Item"));
    try {
        items->call(u"Item");
        FAIL() << "a third open item was handed out";
    } catch (const automation::Error& e) {
        EXPECT_EQ(static_cast<uint32_t>(e.hresult()), 0x80040305u);
    }
    first.reset();
    EXPECT_TRUE(automation::asObject(items->call(u"Item")));
}
