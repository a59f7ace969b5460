#pragma once
// A small base for our COM objects: reference count starting at 1, QueryInterface over
// the listed interfaces, and the module kept loaded while the object lives.
#include <windows.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <new>
#include <type_traits>
#include <utility>

#include "win/module_count.h"

namespace zorvane::win {

// The interface whose identifier a listed base answers: the base itself, or the
// interface a mixin implements (a mixin names it as `InterfaceType`).
template <class I, class = void>
struct InterfaceOf {
    using type = I;
};
template <class I>
struct InterfaceOf<I, std::void_t<typename I::InterfaceType>> {
    using type = typename I::InterfaceType;
};

// Derived may declare `static constexpr bool kHoldsModule = false;` for objects that
// must not keep the module loaded by merely existing, and may define
// `void* QueryOther(REFIID iid) noexcept` to answer further interface identifiers.
template <class Derived, class First, class... Rest>
class ComObject : public First, public Rest... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        void* found = nullptr;
        if (iid == __uuidof(IUnknown)) {
            found = static_cast<First*>(this);
        } else {
            found = Find<First, Rest...>(iid);
            if (found == nullptr) found = static_cast<Derived*>(this)->QueryOther(iid);
        }
        if (found == nullptr) return E_NOINTERFACE;
        AddRef();
        *out = found;
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }

    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --references_;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

    // The count without touching it; for the rare owner that needs to know whether
    // anyone else holds the object.
    ULONG ReferenceCount() const noexcept { return references_; }

    void* QueryOther(REFIID) noexcept { return nullptr; }

protected:
    static constexpr bool kHoldsModule = true;

    ComObject() noexcept {
        if constexpr (Derived::kHoldsModule) ModuleCount::Increment();
    }
    virtual ~ComObject() {
        if constexpr (Derived::kHoldsModule) ModuleCount::Decrement();
    }

private:
    template <class I, class... More>
    void* Find(REFIID iid) noexcept {
        if (iid == __uuidof(typename InterfaceOf<I>::type)) return static_cast<I*>(this);
        if constexpr (std::is_base_of_v<IDispatch, I> && !std::is_same_v<I, IDispatch>) {
            // IDispatch is answered by the first dual interface listed.
            if (iid == __uuidof(IDispatch) && IsFirstDispatch<I>()) return static_cast<I*>(this);
        }
        if constexpr (sizeof...(More) > 0) return Find<More...>(iid);
        return nullptr;
    }

    template <class I>
    static constexpr bool IsFirstDispatch() noexcept {
        return std::is_same_v<I, FirstDispatch<First, Rest...>>;
    }

    template <class I, class... More>
    struct FirstDispatchOf {
        using type = std::conditional_t<std::is_base_of_v<IDispatch, I>, I,
                                        typename FirstDispatchOf<More...>::type>;
    };
    template <class I>
    struct FirstDispatchOf<I> {
        using type = I;
    };
    template <class... Is>
    using FirstDispatch = typename FirstDispatchOf<Is...>::type;

    ULONG references_ = 1;
};

// Creates an object with its one reference owned by the returned pointer.
template <class T, class... Args>
Microsoft::WRL::ComPtr<T> Make(Args&&... args) {
    Microsoft::WRL::ComPtr<T> object;
    // Not Attach: MinGW's ComPtr::Attach adds a reference of its own.
    *object.ReleaseAndGetAddressOf() = new T(std::forward<Args>(args)...);
    return object;
}

}  // namespace zorvane::win
