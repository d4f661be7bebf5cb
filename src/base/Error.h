#pragma once
// The add-in's failures travel as exceptions inside the DLL and become
// HRESULTs only at the COM boundary.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace torva {

// The VB run-time error numbers the add-in raises, in one table, so that a
// number means the same everywhere; to a COM caller each is 0x800A0000 | n.
namespace vb {
inline constexpr int32_t kInvalidCall = 5;             // Invalid procedure call or argument
inline constexpr int32_t kOverflow = 6;                // Overflow
inline constexpr int32_t kOutOfMemory = 7;             // Out of memory
inline constexpr int32_t kSubscriptOutOfRange = 9;     // Subscript out of range
inline constexpr int32_t kTypeMismatch = 13;           // Type mismatch
inline constexpr int32_t kHandOffWrite = 27;           // the profile writer refused a key
inline constexpr int32_t kDeviceIo = 57;               // Device I/O error
inline constexpr int32_t kPastEndOfFile = 62;          // Input past end of file
inline constexpr int32_t kObjectNotSet = 91;           // Object variable ... not set
inline constexpr int32_t kInvalidPropertyValue = 380;  // Invalid property value
inline constexpr int32_t kInvalidArrayIndex = 381;     // Invalid property array index
inline constexpr int32_t kNotSupported = 438;          // Object doesn't support ...
inline constexpr int32_t kDuplicateKey = 457;          // key already in the collection
inline constexpr int32_t kInvalidPicture = 481;        // Invalid picture
}  // namespace vb
inline constexpr int32_t kErrorHandOffWrite = vb::kHandOffWrite;

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
