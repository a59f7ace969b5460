#pragma once
// Creating one of our COM objects with exactly one reference, owned by the result.
// win::Make hands its object to ComPtr::Attach, which in MinGW's WRL takes a reference
// of its own, leaving one too many; this writes the pointer in place instead.
#include <wrl/client.h>

#include <utility>

namespace zorvane::standin {

template <class T, class... Args>
Microsoft::WRL::ComPtr<T> NewObject(Args&&... args) {
    Microsoft::WRL::ComPtr<T> object;
    *object.GetAddressOf() = new T(std::forward<Args>(args)...);
    return object;
}

}  // namespace zorvane::standin
