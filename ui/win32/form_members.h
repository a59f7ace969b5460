#pragma once
// The members a host may call on a form by name, in one table: name, dispatch
// identifier, how it may be called, and its handler.
#include <windows.h>
#include <oaidl.h>

#include <span>

#include "ui/win32/form.h"
#include "win/automation_call.h"

namespace zorvane::ui {

struct FormMember {
    const wchar_t* name;
    DISPID id;
    win::MemberShape shape;
    void (*get)(Form& form, win::Call& call);  // a method call or a property read
    void (*put)(Form& form, win::Call& call);  // a property write
};

// Show, Hide, Visible, hWnd, Caption, Name, Tag, Left, Top, Width, Height, ScaleWidth,
// ScaleHeight, Move, WindowState, Enabled, ZOrder, SetFocus, Refresh.
std::span<const FormMember> StandardFormMembers() noexcept;

const FormMember* FindMember(std::span<const FormMember> table, const wchar_t* name) noexcept;
const FormMember* FindMember(std::span<const FormMember> table, DISPID id) noexcept;

// One call of a member, every failure answered as Invoke answers it, with error
// information for iid.
HRESULT InvokeFormMember(const FormMember& member, Form& form, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* excep, UINT* arg_error, LCID lcid,
                         REFIID iid) noexcept;

}  // namespace zorvane::ui
