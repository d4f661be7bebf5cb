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
constexpr automation::Guid kRange{0x00020846, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

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
        method(u"Fail", {}, [](const Params&) -> Value {
            throw automation::Error(static_cast<int32_t>(0x800A03EC), u"The cell is locked");
        });
        property(u"Me", [this](const Params&) { return Value{ObjectRef(shared_from_this())}; });
        property(
            u"Partner", [this](const Params&) { return Value{partner}; },
            [this](const Value& v) { partner = automation::asObject(v); });
        implements(kCommandBarButton);
        sourceOf(kButtonEvents);
        enumerableAs([] {
            return std::vector<Value>{Value{int32_t(1)}, Value{u"two"},
                                      Value{automation::Date{2.5}}};
        });
    }
    std::u16string caption;
    Params last;
    ObjectRef partner;
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
    ASSERT_EQ(button->last.size(), 5u);
    EXPECT_EQ(std::get<int32_t>(*button->last[0]), 1);
    EXPECT_FALSE(button->last[1].has_value());
    EXPECT_EQ(std::get<std::u16string>(*button->last[2]), u"EXCEL");
    EXPECT_FALSE(button->last[3].has_value());
    EXPECT_TRUE(std::get<bool>(*button->last[4]));

    // Several positional ones keep their order across the reversal.
    o->call(u"Add", {Arg(10), Arg(20), Arg(Value{2.5})});
    ASSERT_GE(button->last.size(), 3u);
    EXPECT_EQ(std::get<int32_t>(*button->last[0]), 10);
    EXPECT_EQ(std::get<int32_t>(*button->last[1]), 20);
    EXPECT_EQ(std::get<double>(*button->last[2]), 2.5);

    o->put(u"Caption", Value{u"Etiketten \u00e4"});
    EXPECT_EQ(button->caption, u"Etiketten \u00e4");
    EXPECT_EQ(automation::asString(o->get(u"CAPTION")), u"Etiketten \u00e4");

    // An unknown name or argument name is refused with the HRESULT kept.
    try {
        o->get(u"Nope");
        FAIL() << "unknown member accepted";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.hresult(), automation::kDispEUnknownName);
    }
    EXPECT_THROW(o->call(u"Add", {Arg::named(u"Colour", 1)}), automation::Error);
}

TEST_F(AutomationOverCom, ObjectsKeepTheirIdentityBothWays) {
    auto button = std::make_shared<Button>();
    auto other = std::make_shared<Button>();
    ObjectRef o = throughCom(button);
    ObjectRef again = throughCom(button);
    ObjectRef me = automation::asObject(o->get(u"Me"));
    EXPECT_TRUE(o->sameObject(*again));
    EXPECT_TRUE(o->sameObject(*me));
    EXPECT_FALSE(o->sameObject(*throughCom(other)));

    // An adapter handed back comes home as its model object.
    o->put(u"Partner", Value{throughCom(other)});
    EXPECT_EQ(button->partner, ObjectRef(other));
    o->put(u"Partner", Value{ObjectRef()});
    EXPECT_EQ(button->partner, nullptr);
    EXPECT_TRUE(automation::isNothing(o->get(u"Partner")));
}

TEST_F(AutomationOverCom, CollectionsTypeNamesAndInterfaces) {
    auto button = std::make_shared<Button>();
    ObjectRef o = throughCom(button);

    auto items = o->items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(std::get<int32_t>(items[0]), 1);
    EXPECT_EQ(std::get<std::u16string>(items[1]), u"two");
    EXPECT_EQ(std::get<automation::Date>(items[2]).oleDate, 2.5);

    EXPECT_EQ(o->typeName(), u"CommandBarButton");

    ObjectRef asButton = o->queryInterface(kCommandBarButton);
    EXPECT_TRUE(asButton->sameObject(*o));
    try {
        o->queryInterface(kRange);
        FAIL() << "an interface the object lacks was granted";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.hresult(), automation::kENoInterface);
        EXPECT_FALSE(e.description().empty());
    }
}

TEST_F(AutomationOverCom, FailuresCarryTheObjectsDescription) {
    auto button = std::make_shared<Button>();
    ObjectRef o = throughCom(button);
    try {
        o->call(u"Fail");
        FAIL() << "failure lost";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.hresult(), static_cast<int32_t>(0x800A03EC));
        EXPECT_EQ(e.number(), 1004);  // VB's own facility reports the low word
        EXPECT_EQ(e.description(), u"The cell is locked");
    }
    // Not a collection.
    auto plain = std::make_shared<model::Object>(u"Plain");
    EXPECT_THROW(throughCom(plain)->items(), automation::Error);
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
    EXPECT_THROW(o->subscribe(kRange, [](int32_t, std::vector<Value>&) {}), automation::Error);
}

namespace {

// An event source that keeps the sink it is given, so that the test calls
// the sink as Office does, with or without somewhere to put an error.
class SinkCatcher final : public IDispatch,
                          public IConnectionPointContainer,
                          public IConnectionPoint {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
        if (iid == IID_IConnectionPointContainer)
            *out = static_cast<IConnectionPointContainer*>(this);
        if (iid == IID_IConnectionPoint) *out = static_cast<IConnectionPoint*>(this);
        return *out ? S_OK : E_NOINTERFACE;
    }
    // Lives on the test's stack.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID, IConnectionPoint** point) override {
        *point = this;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* s, DWORD* cookie) override {
        *cookie = 1;
        return s->QueryInterface(IID_IDispatch, sink.putVoid());
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override {
        sink.reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    ComPtr<IDispatch> sink;
};

}  // namespace

// A failing Click goes back to the source as an automation server reports
// a failure: DISP_E_EXCEPTION with the error in EXCEPINFO (the VB-style
// HRESULT and the description); with no EXCEPINFO, the HRESULT itself.
TEST_F(AutomationOverCom, AFailingClickIsADispatchExceptionWithItsDescription) {
    SinkCatcher source;
    ObjectRef o = automation::win::wrapDispatch(&source);
    auto sub = o->subscribe(kButtonEvents, [](int32_t, std::vector<Value>&) {
        throw torva::Error(torva::kErrorHandOffWrite, u"hand-off refused");
    });
    ASSERT_TRUE(source.sink);
    VARIANT_BOOL cancelDefault = VARIANT_FALSE;
    VARIANT args[2];  // reversed: CancelDefault, then Ctrl
    V_VT(&args[0]) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&args[0]) = &cancelDefault;
    V_VT(&args[1]) = VT_DISPATCH;
    V_DISPATCH(&args[1]) = &source;
    DISPPARAMS params{args, nullptr, 2, 0};

    torva::win::ExcepInfo excep;
    EXPECT_EQ(source.sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                  nullptr, excep.get(), nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<uint32_t>(excep.get()->scode), 0x800A001Bu);
    EXPECT_EQ(excep.description(), u"hand-off refused");

    EXPECT_EQ(source.sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                  nullptr, nullptr, nullptr),
              static_cast<HRESULT>(0x800A001Bu));
    sub.reset();
    EXPECT_FALSE(source.sink) << "unsubscribing ends the connection";
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
