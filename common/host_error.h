#pragma once
// A failed step of an operation: the code the host or the platform reported and its
// own words. Thrown inside; turned back into an error result at every boundary.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace zorvane {

class HostError : public std::runtime_error {
public:
    HostError(std::int32_t code, std::wstring description, std::wstring source = {})
        : std::runtime_error("host call failed"),
          code_(code),
          description_(std::move(description)),
          source_(std::move(source)) {}

    std::int32_t code() const noexcept { return code_; }
    const std::wstring& description() const noexcept { return description_; }
    const std::wstring& source() const noexcept { return source_; }

private:
    std::int32_t code_;
    std::wstring description_;
    std::wstring source_;
};

// Codes used where the platform's own are not at hand (the same values as on Windows).
inline constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005);  // DISP_E_TYPEMISMATCH
inline constexpr std::int32_t kOverflow = static_cast<std::int32_t>(0x8002000A);      // DISP_E_OVERFLOW
inline constexpr std::int32_t kObjectRequired = static_cast<std::int32_t>(0x800A01A8); // no object

}  // namespace zorvane
