#pragma once
// Owning wrappers for the few raw handles and automation values we hold.
#include <windows.h>
#include <oleauto.h>

#include <string_view>
#include <utility>

namespace zorvane::win {

// One owned handle, released by Close (a function taking the handle); move-only.
template <class Handle, auto Close>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, Handle{}));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Handle{}; }
    Handle release() noexcept { return std::exchange(handle_, Handle{}); }
    void reset(Handle handle = Handle{}) noexcept {
        if (handle_ != Handle{}) Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_{};
};

using UniqueWindow = UniqueHandle<HWND, &DestroyWindow>;
using UniqueFont = UniqueHandle<HFONT, &DeleteObject>;
using UniquePen = UniqueHandle<HPEN, &DeleteObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, &DeleteObject>;
using UniqueModule = UniqueHandle<HMODULE, &FreeLibrary>;
using UniqueKernelHandle = UniqueHandle<HANDLE, &CloseHandle>;
using UniqueHook = UniqueHandle<HHOOK, &UnhookWindowsHookEx>;
using UniqueRegistryKey = UniqueHandle<HKEY, &RegCloseKey>;

// An owned BSTR.
class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text);
    Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) {
            SysFreeString(value_);
            value_ = std::exchange(other.value_, nullptr);
        }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }

    BSTR get() const noexcept { return value_; }
    BSTR* put() noexcept {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    BSTR release() noexcept { return std::exchange(value_, nullptr); }
    std::wstring_view view() const noexcept { return {value_ ? value_ : L"", SysStringLen(value_)}; }

private:
    BSTR value_ = nullptr;
};

// An owned VARIANT, cleared on destruction.
class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            VariantClear(&value_);
            value_ = other.value_;
            VariantInit(&other.value_);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }
    VARIANT* put() noexcept {
        VariantClear(&value_);
        return &value_;
    }
    VARTYPE type() const noexcept { return V_VT(&value_); }

private:
    VARIANT value_;
};

// Copies a value, following a reference (VT_BYREF, one level of VT_VARIANT included) to
// what it points at. DISP_E_TYPEMISMATCH for a reference that points nowhere.
HRESULT CopyDereferenced(const VARIANT& from, VARIANT& to) noexcept;

}  // namespace zorvane::win
