// The COM helpers and the emulator's adapter seen from raw COM, as Office
// code and the add-in's sinks see them.
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "ModelDispatch.h"
#include "platform/win/Com.h"

using namespace torva;
using automation::Value;
using model::Params;
using torva::win::Bstr;
using torva::win::ComPtr;
using torva::win::ExcepInfo;
using torva::win::Variant;

namespace {
constexpr automation::Guid kButtonEvents{0x000C0351, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class Control : public model::Object {
  public:
    std::u16string caption;
    Control() : Object(u"CommandBarButton") {
        method(u"Add", {u"Type", u"Id", u"Parameter"},
               [](const Params& p) { return Value{int32_t(p.size())}; });
        method(u"Boom", {}, [](const Params&) -> Value {
            throw automation::Error(automation::kEFail, u"boom");
        });
        property(
            u"Caption", [this](const Params&) { return Value{caption}; },
            [this](const Value& v) { caption = model::toText(v); });
        property(u"Id", [](const Params&) { return Value{int32_t(7)}; });
        sourceOf(kButtonEvents);
        enumerableAs([] {
            return std::vector<Value>{Value{int32_t(1)}, Value{int32_t(2)}, Value{int32_t(3)}};
        });
    }
};

long outstanding() { return model::com::comCounters().outstandingReferences; }

// A sink as Office add-ins write it, recording what Invoke received.
class RecordingSink final : public IDispatch {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch ||
            riid == torva::win::toGuid(kButtonEvents)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        dispid = id;
        args = p->cArgs;
        if (p->cArgs == 2) {
            types[0] = V_VT(&p->rgvarg[0]);
            types[1] = V_VT(&p->rgvarg[1]);
            if (types[0] == (VT_BOOL | VT_BYREF)) *V_BOOLREF(&p->rgvarg[0]) = VARIANT_TRUE;
        }
        return S_OK;
    }
    ULONG refs = 0;
    DISPID dispid = 0;
    UINT args = 0;
    VARTYPE types[2] = {};
};
}  // namespace

TEST(ComHelpers, PointerCountsEveryReferenceItTakesAndGives) {
    auto control = std::make_shared<Control>();
    const long base = outstanding();
    {
        ComPtr<IDispatch> a = model::com::dispatchFor(control);
        EXPECT_EQ(outstanding(), base + 1);
        ComPtr<IDispatch> b = a;  // copy takes one
        EXPECT_EQ(outstanding(), base + 2);
        ComPtr<IConnectionPointContainer> c = a.query<IConnectionPointContainer>();
        ASSERT_TRUE(c);
        EXPECT_EQ(outstanding(), base + 3);
        EXPECT_FALSE(a.query<IEnumVARIANT>());
        EXPECT_EQ(outstanding(), base + 3);
        // put() lets go of what it held before handing out the slot.
        ASSERT_TRUE(SUCCEEDED(a->QueryInterface(IID_IDispatch, b.putVoid())));
        EXPECT_EQ(outstanding(), base + 3);
        IDispatch* raw = b.detach();
        EXPECT_FALSE(b);
        auto adopted = ComPtr<IDispatch>::attach(raw);
        EXPECT_EQ(outstanding(), base + 3);
        ComPtr<IDispatch> moved = std::move(adopted);
        EXPECT_FALSE(adopted);
        EXPECT_EQ(outstanding(), base + 3);
    }
    EXPECT_EQ(outstanding(), base);
    EXPECT_EQ(model::com::liveAdapters(), 0u);
}

TEST(ComHelpers, TextAndVariantsOwnTheirContent) {
    Bstr empty;
    EXPECT_EQ(empty.str(), u"");
    Bstr text(std::u16string(u"a\0b", 3));
    EXPECT_EQ(SysStringLen(text.get()), 3u);
    EXPECT_EQ(text.str(), std::u16string(u"a\0b", 3));

    Variant v;
    V_VT(v.get()) = VT_BSTR;
    V_BSTR(v.get()) = Bstr(u"Etikett").detach();
    Variant copy = v;
    EXPECT_NE(V_BSTR(copy.get()), V_BSTR(v.get()));  // a deep copy, freed separately
    EXPECT_EQ(Bstr::attach(SysAllocString(V_BSTR(copy.get()))).str(), u"Etikett");
    Variant moved = std::move(v);
    EXPECT_EQ(V_VT(v.get()), VT_EMPTY);
    EXPECT_EQ(V_VT(moved.get()), VT_BSTR);

    EXPECT_EQ(torva::win::fromGuid(torva::win::toGuid(kButtonEvents)), kButtonEvents);
    EXPECT_TRUE(torva::win::toGuid(automation::Guid{
                    0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}) == IID_IDispatch);
    EXPECT_FALSE(torva::win::hresultText(E_NOINTERFACE).empty());
    try {
        torva::win::throwIfFailed(E_ACCESSDENIED, u"Open");
        FAIL() << "no throw";
    } catch (const torva::Error& e) {
        EXPECT_EQ(e.hresult(), static_cast<int32_t>(E_ACCESSDENIED));
        EXPECT_EQ(e.description().rfind(u"Open: ", 0), 0u);
    }
}

namespace {
int deferredCalls = 0;
HRESULT STDMETHODCALLTYPE fillLater(EXCEPINFO* e) {
    ++deferredCalls;
    e->bstrDescription = SysAllocString(L"filled later");
    e->scode = DISP_E_OVERFLOW;
    return S_OK;
}
}  // namespace

TEST(ComHelpers, ExceptionInfoIsFilledInOnDemand) {
    ExcepInfo e;
    e.get()->pfnDeferredFillIn = fillLater;
    EXPECT_EQ(e.description(), u"filled later");
    EXPECT_EQ(e.hresult(E_FAIL), DISP_E_OVERFLOW);
    EXPECT_EQ(deferredCalls, 1);

    ExcepInfo vb;
    vb.get()->wCode = 1004;
    EXPECT_EQ(vb.hresult(E_FAIL), static_cast<HRESULT>(0x800A03EC));
    ExcepInfo nothing;
    EXPECT_EQ(nothing.hresult(E_FAIL), E_FAIL);
}

TEST(ModelDispatchRaw, NamesParametersAndFailuresAsOfficeReportsThem) {
    auto control = std::make_shared<Control>();
    ComPtr<IDispatch> d = model::com::dispatchFor(control);

    const wchar_t* names[] = {L"ADD", L"parameter", L"Type"};
    DISPID ids[3] = {};
    ASSERT_EQ(d->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(names), 3, 0, ids), S_OK);
    EXPECT_EQ(ids[0], control->findMember(u"Add")->dispid);
    EXPECT_EQ(ids[1], 2);
    EXPECT_EQ(ids[2], 0);
    const wchar_t* bad[] = {L"Add", L"Colour"};
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(bad), 2, 0, ids),
              DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);

    // A failing member: DISP_E_EXCEPTION with the description and the HRESULT.
    const wchar_t* boom[] = {L"Boom"};
    ASSERT_EQ(d->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(boom), 1, 0, ids), S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ExcepInfo excep;
    Variant result;
    EXPECT_EQ(
        d->Invoke(ids[0], IID_NULL, 0, DISPATCH_METHOD, &none, result.get(), excep.get(), nullptr),
        DISP_E_EXCEPTION);
    EXPECT_EQ(excep.description(), u"boom");
    EXPECT_EQ(excep.hresult(S_OK), E_FAIL);
    // Without an EXCEPINFO the HRESULT itself comes back.
    EXPECT_EQ(
        d->Invoke(ids[0], IID_NULL, 0, DISPATCH_METHOD, &none, result.put(), nullptr, nullptr),
        E_FAIL);
    EXPECT_EQ(
        d->Invoke(0x7777, IID_NULL, 0, DISPATCH_METHOD, &none, result.put(), nullptr, nullptr),
        DISP_E_MEMBERNOTFOUND);
}

// Office's type information refuses a call of the wrong kind or with too
// many arguments before the member runs, and leaves EXCEPINFO alone then;
// an injected fault answers the member's n-th call.
TEST(ModelDispatchRaw, WrongKindsAndCountsFailAsTypeInformationDoes) {
    auto control = std::make_shared<Control>();
    ComPtr<IDispatch> d = model::com::dispatchFor(control);
    const DISPID add = control->findMember(u"Add")->dispid;
    const DISPID caption = control->findMember(u"Caption")->dispid;
    const DISPID id = control->findMember(u"Id")->dispid;
    Variant args[4];
    for (auto& a : args) {
        V_VT(a.get()) = VT_I4;
        V_I4(a.get()) = 1;
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS none{nullptr, nullptr, 0, 0}, four{args[0].get(), nullptr, 4, 0},
        put{args[0].get(), &putId, 1, 1};
    struct Case {
        DISPID member;
        WORD flags;
        DISPPARAMS* params;
        HRESULT expected;
    } cases[] = {
        {add, DISPATCH_PROPERTYGET, &none, DISP_E_MEMBERNOTFOUND},
        {add, DISPATCH_METHOD, &four, DISP_E_BADPARAMCOUNT},
        {add, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, S_OK},
        {caption, DISPATCH_METHOD, &none, DISP_E_MEMBERNOTFOUND},
        {caption, DISPATCH_PROPERTYGET, &four, DISP_E_BADPARAMCOUNT},
        {caption, DISPATCH_PROPERTYPUTREF, &put, DISP_E_MEMBERNOTFOUND},
        {caption, DISPATCH_PROPERTYPUT, &none, DISP_E_BADPARAMCOUNT},
        {caption, DISPATCH_PROPERTYPUT, &put, S_OK},
        {id, DISPATCH_PROPERTYPUT, &put, DISP_E_MEMBERNOTFOUND},
    };
    for (const auto& c : cases) {
        ExcepInfo excep;
        Variant result;
        EXPECT_EQ(
            d->Invoke(c.member, IID_NULL, 0, c.flags, c.params, result.get(), excep.get(), nullptr),
            c.expected)
            << c.member << " flags " << c.flags;
        EXPECT_EQ(excep.description(), u"");
    }
    EXPECT_EQ(control->caption, u"1");

    auto& journal = model::com::journal();
    journal = {};
    journal.faults.push_back({u"caption", 2, false, static_cast<int32_t>(0x800A001B), u"Nein"});
    journal.faults.push_back({u"Id", 1, true, 0, {}});
    ExcepInfo excep;
    Variant result;
    EXPECT_EQ(d->Invoke(caption, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.get(),
                        excep.get(), nullptr),
              S_OK);
    EXPECT_EQ(d->Invoke(caption, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.put(),
                        excep.get(), nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.hresult(S_OK), static_cast<HRESULT>(0x800A001B));
    EXPECT_EQ(excep.description(), u"Nein");
    EXPECT_EQ(
        d->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.put(), nullptr, nullptr),
        S_OK);
    EXPECT_TRUE(V_VT(result.get()) == VT_DISPATCH && V_DISPATCH(result.get()) == nullptr);
    ASSERT_EQ(journal.calls.size(), 3u);
    EXPECT_EQ(journal.calls[1].member, u"Caption");
    EXPECT_TRUE(journal.calls[1].faulted && journal.calls[2].faulted &&
                journal.calls[2].returnedObject);
    journal = {};
}

TEST(ModelDispatchRaw, EnumeratorWalksSkipsAndClones) {
    auto control = std::make_shared<Control>();
    const long base = outstanding();
    {
        ComPtr<IDispatch> d = model::com::dispatchFor(control);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        Variant result;
        ASSERT_EQ(d->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                            &none, result.get(), nullptr, nullptr),
                  S_OK);
        ASSERT_EQ(V_VT(result.get()), VT_UNKNOWN);
        ComPtr<IEnumVARIANT> e;
        ASSERT_EQ(V_UNKNOWN(result.get())->QueryInterface(IID_IEnumVARIANT, e.putVoid()), S_OK);
        VARIANT two[2];
        ULONG got = 0;
        ASSERT_EQ(e->Next(2, two, &got), S_OK);
        EXPECT_EQ(got, 2u);
        EXPECT_EQ(V_I4(&two[0]), 1);
        EXPECT_EQ(V_I4(&two[1]), 2);
        ComPtr<IEnumVARIANT> clone;
        ASSERT_EQ(e->Clone(clone.put()), S_OK);
        EXPECT_EQ(e->Next(2, two, &got), S_FALSE);
        EXPECT_EQ(got, 1u);
        EXPECT_EQ(V_I4(&two[0]), 3);
        EXPECT_EQ(clone->Skip(5), S_FALSE);
        ASSERT_EQ(clone->Reset(), S_OK);
        ASSERT_EQ(clone->Next(1, two, &got), S_OK);
        EXPECT_EQ(V_I4(&two[0]), 1);
    }
    EXPECT_EQ(outstanding(), base);
}

TEST(ModelDispatchRaw, ClickArrivesReversedWithCancelDefaultByReference) {
    auto control = std::make_shared<Control>();
    RecordingSink sink;
    const long base = outstanding();
    {
        ComPtr<IDispatch> d = model::com::dispatchFor(control);
        auto container = d.query<IConnectionPointContainer>();
        ASSERT_TRUE(container);
        ComPtr<IConnectionPoint> point;
        EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.put()),
                  CONNECT_E_NOCONNECTION);
        ASSERT_EQ(container->FindConnectionPoint(torva::win::toGuid(kButtonEvents), point.put()),
                  S_OK);
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
        EXPECT_GT(sink.refs, 0u);
        point.reset();  // the connection outlives the connection point object

        std::vector<Value> args{Value{automation::ObjectRef(control)}, Value{false}};
        control->fire(kButtonEvents, 1, args);
        EXPECT_EQ(sink.dispid, 1);
        EXPECT_EQ(sink.args, 2u);
        EXPECT_EQ(sink.types[1], VT_DISPATCH);
        EXPECT_EQ(sink.types[0], VT_BOOL | VT_BYREF);
        EXPECT_TRUE(std::get<bool>(args[1]));  // the sink's answer came back

        ASSERT_EQ(container->FindConnectionPoint(torva::win::toGuid(kButtonEvents), point.put()),
                  S_OK);
        EXPECT_EQ(point->Unadvise(cookie + 100), CONNECT_E_NOCONNECTION);
        ASSERT_EQ(point->Unadvise(cookie), S_OK);
        EXPECT_EQ(sink.refs, 0u);
        EXPECT_EQ(control->subscriberCount(kButtonEvents), 0u);
    }
    EXPECT_EQ(outstanding(), base);
}

TEST(ModelDispatchRaw, ReleasingTheSourceEndsItsConnections) {
    auto control = std::make_shared<Control>();
    RecordingSink sink;
    {
        ComPtr<IDispatch> d = model::com::dispatchFor(control);
        ComPtr<IConnectionPoint> point;
        ASSERT_EQ(d.query<IConnectionPointContainer>()->FindConnectionPoint(
                      torva::win::toGuid(kButtonEvents), point.put()),
                  S_OK);
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    }
    EXPECT_EQ(sink.refs, 0u);
    EXPECT_EQ(control->subscriberCount(kButtonEvents), 0u);
    EXPECT_EQ(model::com::liveAdapters(), 0u);
}
