#include "contract/type_library_cache.h"

namespace zorvane {

HRESULT TypeLibraryCache::TypeInfo(REFGUID guid, ITypeInfo** info) noexcept {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (library_ == nullptr) {
        const HRESULT hr = load_(&library_);
        if (FAILED(hr)) {
            library_ = nullptr;
            return hr;
        }
    }
    return library_->GetTypeInfoOfGuid(guid, info);
}

void TypeLibraryCache::Release() noexcept {
    if (library_ != nullptr) {
        library_->Release();
        library_ = nullptr;
    }
}

}  // namespace zorvane
