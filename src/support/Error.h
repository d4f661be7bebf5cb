#pragma once
// The add-in's failures travel as exceptions inside the DLL and become
// HRESULTs only at the COM boundary.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace torva {

// VB-style error numbers of the add-in's own.
inline constexpr int32_t kErrorHandOffWrite = 27;  // the profile writer refused a key

class Error : public std::runtime_error {
  public:
    // An error of the add-in's own: to a COM caller it is 0x800A0000 | number.
    Error(int32_t number, std::u16string description);

    // A failure that arrived as an HRESULT (a platform or an Office call).
    static Error fromHResult(int32_t hresult, std::u16string description);

    int32_t number() const noexcept { return number_; }
    int32_t hresult() const noexcept { return hresult_; }
    const std::u16string& description() const noexcept { return description_; }

  protected:
    Error(int32_t number, int32_t hresult, std::u16string description);

  private:
    int32_t number_;
    int32_t hresult_;
    std::u16string description_;
};

// The description of any failure: an Error's own, else the exception's text.
std::u16string describeFailure(const std::exception& e);

}  // namespace torva
