#include "ui/win32/form_errors.h"

#include "common/host_error.h"

namespace zorvane::ui {

void ThrowInvalidCall(const std::wstring& description) {
    throw HostError(kInvalidProcedureCall, description);
}

void ThrowInvalidPropertyValue() {
    throw HostError(kInvalidPropertyValue, L"Ung\u00FCltiger Eigenschaftswert.");
}

void ThrowAlreadyShown() {
    throw HostError(kFormAlreadyShown,
                    L"Das Fenster wird bereits angezeigt und kann nicht modal angezeigt werden.");
}

}  // namespace zorvane::ui
