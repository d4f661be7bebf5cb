#pragma once
// The one translation of an exception caught where a call leaves the add-in
// for COM (a host's call into a connect class, an event sink, the class
// factory, registration): the HRESULT the failure carries survives, and its
// description goes where a COM caller looks for one. Everything here is for
// use inside a catch block only.

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

namespace torva::win {

struct CaughtFailure {
    HRESULT hr;
    std::u16string description;
};

// What the exception being handled comes to: an add-in error its own
// HRESULT, bad_alloc E_OUTOFMEMORY, any other std::exception E_FAIL with its
// text, anything else E_UNEXPECTED.
CaughtFailure caughtFailure() noexcept;

// For a vtable call: the HRESULT, with the description as the thread's error
// info naming `iid`.
HRESULT failFromCaught(REFIID iid) noexcept;

// For IDispatch::Invoke: the failure in EXCEPINFO and DISP_E_EXCEPTION where
// the caller gave somewhere to put it (the caller frees its strings), the
// bare HRESULT where not.
HRESULT invokeFailFromCaught(EXCEPINFO* excep, std::u16string_view source = u"TorvaAddIn") noexcept;
// The same for a failure already translated.
HRESULT invokeFail(const CaughtFailure& failure, EXCEPINFO* excep,
                   std::u16string_view source) noexcept;

}  // namespace torva::win
