#include "support/Error.h"

#include "support/Text.h"

namespace torva {

namespace {
constexpr uint32_t kVbFacility = 0x800A0000u;
}

Error::Error(int32_t number, std::u16string description)
    : Error(number, static_cast<int32_t>(kVbFacility | static_cast<uint32_t>(number & 0xFFFF)),
            std::move(description)) {}

Error::Error(int32_t number, int32_t hresult, std::u16string description)
    : std::runtime_error(toUtf8(description)),
      number_(number),
      hresult_(hresult),
      description_(std::move(description)) {}

Error Error::fromHResult(int32_t hresult, std::u16string description) {
    // VB reports an HRESULT of its own facility by the number in its low word.
    const auto u = static_cast<uint32_t>(hresult);
    const int32_t number =
        (u & 0xFFFF0000u) == kVbFacility ? static_cast<int32_t>(u & 0xFFFF) : hresult;
    return Error(number, hresult, std::move(description));
}

std::u16string describeFailure(const std::exception& e) {
    if (const auto* own = dynamic_cast<const Error*>(&e)) return own->description();
    return fromUtf8(e.what());
}

}  // namespace torva
