#include "ui/win32/form_members.h"

#include <olectl.h>
#include <wrl/client.h>

#include <optional>

#include "common/component_title.h"
#include "common/host_error.h"
#include "ui/win32/form_errors.h"
#include "win/handles.h"

namespace zorvane::ui {
namespace {

using win::Call;
using win::kMethod;
using win::kPropertyGet;
using win::kPropertyPut;

constexpr unsigned kProperty = kPropertyGet | kPropertyPut;

// Identifiers of our own for the members that have no standard one.
enum FormDispId : DISPID {
    kDispShow = 0x60040001,
    kDispHide,
    kDispVisible,
    kDispName,
    kDispTag,
    kDispLeft,
    kDispTop,
    kDispWidth,
    kDispHeight,
    kDispScaleWidth,
    kDispScaleHeight,
    kDispMove,
    kDispWindowState,
    kDispZOrder,
    kDispSetFocus,
};

HWND HandleOf(std::int32_t value) noexcept {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(value));
}

// The window of an object's hWnd property, read as a host's form answers it; null when
// it is no form or names no window.
std::optional<HWND> WindowOfObject(IUnknown* object) {
    Microsoft::WRL::ComPtr<IDispatch> form;
    if (FAILED(object->QueryInterface(IID_PPV_ARGS(&form))) || !form) return std::nullopt;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"hWnd")};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(form->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) id = DISPID_HWND;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    win::Variant handle;
    if (FAILED(form->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, handle.get(),
                            nullptr, nullptr))) {
        return std::nullopt;
    }
    // A reference is followed, never trusted: it may point nowhere.
    win::Variant value;
    win::Variant as_long;
    if (FAILED(win::CopyDereferenced(*handle.get(), *value.get())) ||
        FAILED(VariantChangeType(as_long.get(), value.get(), 0, VT_I4))) {
        return std::nullopt;
    }
    return HandleOf(V_I4(as_long.get()));
}

// OwnerForm: an object with an hWnd, or a window handle as a number.
HWND OwnerWindow(const Call& call, std::size_t i) {
    const VARIANT& value = call.Value(i);
    IUnknown* object = nullptr;
    switch (V_VT(&value)) {
    case VT_DISPATCH: object = V_DISPATCH(&value); break;
    case VT_UNKNOWN: object = V_UNKNOWN(&value); break;
    case VT_DISPATCH | VT_BYREF: object = *V_DISPATCHREF(&value); break;
    case VT_UNKNOWN | VT_BYREF: object = *V_UNKNOWNREF(&value); break;
    default: return HandleOf(call.Long(i));
    }
    if (object == nullptr) throw HostError(kObjectRequired, L"Objekt erforderlich");
    // Not a form: the argument is of the wrong type, and puArgErr says which it is.
    const std::optional<HWND> window = WindowOfObject(object);
    if (!window) call.Mismatch(i, L"Das Besitzerfenster ist kein Formular mit hWnd.");
    return *window;
}

void Show(Form& form, Call& call) {
    bool modal = false;
    if (call.Has(0)) {
        const std::int32_t style = call.Long(0);
        if (style != 0 && style != 1) ThrowInvalidCall(L"Modal ist 0 (ohne) oder 1 (modal).");
        modal = style == 1;
    }
    form.Show(modal, call.Has(1) ? OwnerWindow(call, 1) : nullptr);
}

void Hide(Form& form, Call&) { form.Hide(); }

void GetVisible(Form& form, Call& call) { call.Return(form.Visible()); }
void PutVisible(Form& form, Call& call) {
    if (call.Bool(Call::kPutValue)) {
        form.Show();
    } else {
        form.Hide();
    }
}

void GetHwnd(Form& form, Call& call) {
    call.Return(static_cast<std::int32_t>(reinterpret_cast<LONG_PTR>(form.Handle())));
}

void GetCaption(Form& form, Call& call) { call.Return(form.Caption()); }
void PutCaption(Form& form, Call& call) { form.SetCaption(call.Text(Call::kPutValue)); }

void GetName(Form& form, Call& call) { call.Return(std::wstring_view(form.design().name)); }

void GetTag(Form& form, Call& call) { call.Return(form.Tag()); }
void PutTag(Form& form, Call& call) { form.SetTag(call.Text(Call::kPutValue)); }

std::int32_t Size(const Call& call, std::size_t i) {
    const std::int32_t twips = call.Long(i);
    if (twips < 0) ThrowInvalidPropertyValue();
    return twips;
}

void GetLeft(Form& form, Call& call) { call.Return(form.PlaceTwips().left); }
void PutLeft(Form& form, Call& call) { form.MoveTwips(call.Long(Call::kPutValue), {}, {}, {}); }
void GetTop(Form& form, Call& call) { call.Return(form.PlaceTwips().top); }
void PutTop(Form& form, Call& call) { form.MoveTwips({}, call.Long(Call::kPutValue), {}, {}); }
void GetWidth(Form& form, Call& call) { call.Return(form.PlaceTwips().width); }
void PutWidth(Form& form, Call& call) { form.MoveTwips({}, {}, Size(call, Call::kPutValue), {}); }
void GetHeight(Form& form, Call& call) { call.Return(form.PlaceTwips().height); }
void PutHeight(Form& form, Call& call) { form.MoveTwips({}, {}, {}, Size(call, Call::kPutValue)); }

void GetScaleWidth(Form& form, Call& call) {
    call.Return(static_cast<std::int32_t>(form.ClientTwips().cx));
}
void GetScaleHeight(Form& form, Call& call) {
    call.Return(static_cast<std::int32_t>(form.ClientTwips().cy));
}

void Move(Form& form, Call& call) {
    const auto given = [&](std::size_t i, bool size) -> std::optional<int> {
        if (!call.Has(i)) return std::nullopt;
        return size ? Size(call, i) : call.Long(i);
    };
    // In parameter order, as ITypeInfo::Invoke converts: the argument named at fault is
    // the first that fails, and no object's value is read after that.
    const std::optional<int> left = given(0, false);
    const std::optional<int> top = given(1, false);
    const std::optional<int> width = given(2, true);
    const std::optional<int> height = given(3, true);
    form.MoveTwips(left, top, width, height);
}

void GetWindowState(Form& form, Call& call) {
    call.Return(static_cast<std::int32_t>(form.State()));
}
void PutWindowState(Form& form, Call& call) {
    const std::int32_t state = call.Long(Call::kPutValue);
    if (state < 0 || state > 2) ThrowInvalidPropertyValue();
    form.SetState(static_cast<WindowState>(state));
}

void GetEnabled(Form& form, Call& call) { call.Return(form.Enabled()); }
void PutEnabled(Form& form, Call& call) { form.SetEnabled(call.Bool(Call::kPutValue)); }

void ZOrder(Form& form, Call& call) {
    const std::int32_t position = call.Has(0) ? call.Long(0) : 0;
    if (position != 0 && position != 1) ThrowInvalidCall(L"Position ist 0 (vorn) oder 1 (hinten).");
    form.ZOrder(position == 1);
}

void SetFocusTo(Form& form, Call&) { form.Activate(); }
void Refresh(Form& form, Call&) { form.Refresh(); }

constexpr FormMember kMembers[] = {
    {L"Show", kDispShow, {kMethod, 0, {L"Modal", L"OwnerForm"}}, &Show, nullptr},
    {L"Hide", kDispHide, {kMethod, 0, {}}, &Hide, nullptr},
    {L"Visible", kDispVisible, {kProperty, 0, {}}, &GetVisible, &PutVisible},
    {L"hWnd", DISPID_HWND, {kPropertyGet, 0, {}}, &GetHwnd, nullptr},
    {L"Caption", DISPID_CAPTION, {kProperty, 0, {}}, &GetCaption, &PutCaption},
    {L"Name", kDispName, {kPropertyGet, 0, {}}, &GetName, nullptr},
    {L"Tag", kDispTag, {kProperty, 0, {}}, &GetTag, &PutTag},
    {L"Left", kDispLeft, {kProperty, 0, {}}, &GetLeft, &PutLeft},
    {L"Top", kDispTop, {kProperty, 0, {}}, &GetTop, &PutTop},
    {L"Width", kDispWidth, {kProperty, 0, {}}, &GetWidth, &PutWidth},
    {L"Height", kDispHeight, {kProperty, 0, {}}, &GetHeight, &PutHeight},
    {L"ScaleWidth", kDispScaleWidth, {kPropertyGet, 0, {}}, &GetScaleWidth, nullptr},
    {L"ScaleHeight", kDispScaleHeight, {kPropertyGet, 0, {}}, &GetScaleHeight, nullptr},
    {L"Move", kDispMove, {kMethod, 1, {L"Left", L"Top", L"Width", L"Height"}}, &Move, nullptr},
    {L"WindowState", kDispWindowState, {kProperty, 0, {}}, &GetWindowState, &PutWindowState},
    {L"Enabled", DISPID_ENABLED, {kProperty, 0, {}}, &GetEnabled, &PutEnabled},
    {L"ZOrder", kDispZOrder, {kMethod, 0, {L"Position"}}, &ZOrder, nullptr},
    {L"SetFocus", kDispSetFocus, {kMethod, 0, {}}, &SetFocusTo, nullptr},
    {L"Refresh", DISPID_REFRESH, {kMethod, 0, {}}, &Refresh, nullptr},
};

}  // namespace

std::span<const FormMember> StandardFormMembers() noexcept {
    return kMembers;
}

const FormMember* FindMember(std::span<const FormMember> table, const wchar_t* name) noexcept {
    for (const FormMember& member : table) {
        if (win::SameName(member.name, name)) return &member;
    }
    return nullptr;
}

const FormMember* FindMember(std::span<const FormMember> table, DISPID id) noexcept {
    for (const FormMember& member : table) {
        if (member.id == id) return &member;
    }
    return nullptr;
}

HRESULT InvokeFormMember(const FormMember& member, Form& form, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* excep, UINT* arg_error, LCID lcid,
                         REFIID iid) noexcept {
    try {
        win::Call call(member.shape, flags, params, lcid, result);
        if (call.kind() == kPropertyPut) {
            member.put(form, call);
        } else {
            member.get(form, call);
        }
        return S_OK;
    } catch (...) {
        if (result != nullptr) VariantClear(result);
        return win::InvokeFailed(excep, arg_error, iid, kComponentTitle);
    }
}

}  // namespace zorvane::ui
