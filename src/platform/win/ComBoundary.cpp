#include "platform/win/ComBoundary.h"

#include <exception>
#include <new>
#include <stdexcept>

#include "base/Error.h"
#include "platform/win/Com.h"

namespace torva::win {

CaughtFailure caughtFailure() noexcept {
    try {
        try {
            throw;
        } catch (const torva::Error& e) {
            // A success code thrown as an error is still a failure to the caller.
            return {FAILED(e.hresult()) ? static_cast<HRESULT>(e.hresult()) : E_FAIL,
                    e.description()};
        } catch (const std::bad_alloc&) {
            return {E_OUTOFMEMORY, u"Out of memory"};
        } catch (const std::exception& e) {
            const std::string what = e.what();
            return {E_FAIL, std::u16string(what.begin(), what.end())};
        } catch (...) {
            return {E_UNEXPECTED, u"Unexpected failure in TorvaAddIn"};
        }
    } catch (...) {
        // No memory even for the description.
        return {E_OUTOFMEMORY, {}};
    }
}

HRESULT failFromCaught(REFIID iid) noexcept {
    const CaughtFailure failure = caughtFailure();
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.put()))) {
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(L"TorvaAddIn"));
        create->SetDescription(
            const_cast<LPOLESTR>(reinterpret_cast<const wchar_t*>(failure.description.c_str())));
        if (auto info = create.query<IErrorInfo>()) SetErrorInfo(0, info.get());
    }
    return failure.hr;
}

HRESULT invokeFailFromCaught(EXCEPINFO* excep, std::u16string_view source) noexcept {
    return invokeFail(caughtFailure(), excep, source);
}

HRESULT invokeFail(const CaughtFailure& failure, EXCEPINFO* excep,
                   std::u16string_view source) noexcept {
    if (!excep) return failure.hr;
    *excep = EXCEPINFO{};
    excep->scode = failure.hr;
    excep->bstrSource = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(source.data()),
                                          static_cast<UINT>(source.size()));
    excep->bstrDescription =
        SysAllocStringLen(reinterpret_cast<const OLECHAR*>(failure.description.data()),
                          static_cast<UINT>(failure.description.size()));
    return DISP_E_EXCEPTION;
}

}  // namespace torva::win
