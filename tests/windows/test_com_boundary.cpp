// What a COM caller learns of a failure inside the add-in: the HRESULT the
// failure carries, and its description where the caller looks for one.
#include <windows.h>
#include <oaidl.h>

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "base/Error.h"
#include "platform/win/Com.h"
#include "platform/win/ComBoundary.h"
#include "platform/win/ComObject.h"

using namespace torva;

namespace {

// The thread's error info, taken (as a caller does, which also clears it).
std::wstring takeErrorDescription(GUID* guid = nullptr) {
    win::ComPtr<IErrorInfo> info;
    win::Bstr text;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return L"(none)";
    info->GetDescription(text.put());
    if (guid) info->GetGUID(guid);
    return text.get() ? text.get() : L"";
}

// What loading a type library from a folder that is not there fails with.
HRESULT loadMissingLibrary() {
    win::ComPtr<ITypeLib> library;
    return LoadTypeLibEx(L"Z:\\no\\such\\folder\\TorvaAddIn.tlb", REGKIND_NONE, library.put());
}

const IID kSomeIid = {0x000C0396, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// An object whose type library cannot be loaded, as a connect object's
// would be if its DLL lost the library.
class NeedsALibrary final : public win::ComObject<NeedsALibrary, IUnknown> {
  public:
    NeedsALibrary() { win::throwIfFailed(loadMissingLibrary()); }
    void* interfaceFor(REFIID iid) {
        return IsEqualIID(iid, IID_IUnknown) ? static_cast<IUnknown*>(this) : nullptr;
    }
};

}  // namespace

TEST(ComBoundary, EachKindOfFailureKeepsItsHresultAndItsText) {
    struct Case {
        const char* thrown;
        std::function<void()> raise;
        HRESULT hr;
        std::wstring description;
    };
    const Case cases[] = {
        {"an add-in error", [] { throw Error(27, u"Hand-off refused"); }, HRESULT(0x800A001B),
         L"Hand-off refused"},
        {"an HRESULT it met", [] { throw Error::fromHResult(0x80030002, u"Datei fehlt"); },
         HRESULT(0x80030002), L"Datei fehlt"},
        {"a success code thrown", [] { throw Error::fromHResult(1, u"S_FALSE"); }, E_FAIL,
         L"S_FALSE"},
        {"no memory", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY, L"Out of memory"},
        {"a library's failure", [] { throw std::out_of_range("map::at"); }, E_FAIL, L"map::at"},
        {"anything else", [] { throw 42; }, E_UNEXPECTED, L"Unexpected failure in TorvaAddIn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.thrown);
        // Each reply as the catch handler at the boundary makes it.
        const auto caught = [&](const std::function<HRESULT()>& reply) {
            try {
                c.raise();
            } catch (...) {
                return reply();
            }
            return S_OK;
        };
        // A vtable call: the HRESULT, and the text as the thread's error info.
        EXPECT_EQ(caught([] { return win::failFromCaught(kSomeIid); }), c.hr);
        GUID guid{};
        EXPECT_EQ(takeErrorDescription(&guid), c.description);
        EXPECT_TRUE(IsEqualGUID(guid, kSomeIid));

        // IDispatch::Invoke: in EXCEPINFO where the caller gave one, else bare.
        EXCEPINFO excep{};
        EXPECT_EQ(caught([&] { return win::invokeFailFromCaught(&excep); }), DISP_E_EXCEPTION);
        EXPECT_EQ(excep.scode, c.hr);
        EXPECT_EQ(std::wstring(excep.bstrDescription ? excep.bstrDescription : L""), c.description);
        EXPECT_EQ(std::wstring(excep.bstrSource ? excep.bstrSource : L""), L"TorvaAddIn");
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrSource);
        EXPECT_EQ(caught([] { return win::invokeFailFromCaught(nullptr); }), c.hr);
    }
}

// The caller of a failing creation (Office, through the class factory) gets
// the type library's own HRESULT, not a general failure.
TEST(ComBoundary, AFailingTypeLibraryLoadReachesTheCallerWithItsOwnHresult) {
    const HRESULT expected = loadMissingLibrary();
    ASSERT_TRUE(FAILED(expected));
    ASSERT_NE(expected, E_FAIL);
    const long modulesBefore = win::moduleCount().load();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(NeedsALibrary::createInstance(IID_IUnknown, &out), expected);
    EXPECT_EQ(out, nullptr);
    EXPECT_NE(takeErrorDescription(), L"(none)");
    EXPECT_EQ(win::moduleCount().load(), modulesBefore) << "the half-made object is gone";
}
