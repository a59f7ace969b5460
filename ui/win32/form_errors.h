#pragma once
// The errors a form reports to a host that asks for what a form cannot do, with the
// codes an automation client knows from forms.
#include <string>

namespace zorvane::ui {

inline constexpr long kInvalidProcedureCall = static_cast<long>(0x800A0005);
inline constexpr long kInvalidPropertyValue = static_cast<long>(0x800A017C);
inline constexpr long kFormAlreadyShown = static_cast<long>(0x800A0190);

[[noreturn]] void ThrowInvalidCall(const std::wstring& description);
[[noreturn]] void ThrowInvalidPropertyValue();
[[noreturn]] void ThrowAlreadyShown();

}  // namespace zorvane::ui
