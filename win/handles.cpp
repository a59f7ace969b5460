#include "win/handles.h"

#include <new>

namespace zorvane::win {

Bstr::Bstr(std::wstring_view text)
    : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (value_ == nullptr) throw std::bad_alloc();
}

}  // namespace zorvane::win
