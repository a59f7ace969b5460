#pragma once
// What type libraries and their types describe themselves with (TLIBATTR, TYPEATTR,
// FUNCDESC), held for a scope and given back at its end to the object that handed it out,
// for the tests that read a library as a host's tools do.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <ostream>
#include <utility>

#include "win/com_error.h"

namespace zorvane::test {

// Read from owner by Read(arguments..., &description) and released by Release; throws
// win::ComError when it cannot be read.
template <class Owner, class Description, auto Read, auto Release>
class HeldDescription {
public:
    template <class... Arguments>
    explicit HeldDescription(Microsoft::WRL::ComPtr<Owner> owner, Arguments... arguments)
        : owner_(std::move(owner)) {
        win::ThrowIfFailed((owner_.Get()->*Read)(arguments..., &description_));
    }
    ~HeldDescription() {
        if (description_ != nullptr) (owner_.Get()->*Release)(description_);
    }
    HeldDescription(const HeldDescription&) = delete;
    HeldDescription& operator=(const HeldDescription&) = delete;

    Owner* owner() const noexcept { return owner_.Get(); }
    const Description* operator->() const noexcept { return description_; }
    const Description& operator*() const noexcept { return *description_; }

private:
    Microsoft::WRL::ComPtr<Owner> owner_;
    Description* description_ = nullptr;
};

using LibAttr = HeldDescription<ITypeLib, TLIBATTR, &ITypeLib::GetLibAttr, &ITypeLib::ReleaseTLibAttr>;
using TypeAttr = HeldDescription<ITypeInfo, TYPEATTR, &ITypeInfo::GetTypeAttr, &ITypeInfo::ReleaseTypeAttr>;
using FuncDesc = HeldDescription<ITypeInfo, FUNCDESC, &ITypeInfo::GetFuncDesc, &ITypeInfo::ReleaseFuncDesc>;

// What tells one type library from another, for comparing a library with the one expected
// in one step: which library, which version, in which language and for which system.
struct LibraryIdentity {
    GUID guid;
    WORD major;
    WORD minor;
    LCID lcid;
    SYSKIND syskind;

    friend bool operator==(const LibraryIdentity&, const LibraryIdentity&) = default;
};

inline LibraryIdentity IdentityOf(const TLIBATTR& attr) {
    return {attr.guid, attr.wMajorVerNum, attr.wMinorVerNum, attr.lcid, attr.syskind};
}

inline std::ostream& operator<<(std::ostream& out, const LibraryIdentity& identity) {
    wchar_t guid[40] = {};
    StringFromGUID2(identity.guid, guid, 40);
    for (const wchar_t* c = guid; *c != L'\0'; ++c) out << static_cast<char>(*c);  // hex digits only
    return out << " " << identity.major << "." << identity.minor << " lcid " << identity.lcid << " syskind "
               << static_cast<int>(identity.syskind);
}

}  // namespace zorvane::test
