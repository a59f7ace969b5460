#include "component/type_library_registration.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <optional>

#include "win/com_error.h"
#include "win/handles.h"
#include "win/registry.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::component {
namespace {

// The marshalers of automation: for a dispinterface alone, and for an interface whose
// vtable automation describes (dual or oleautomation).
constexpr wchar_t kDispatchMarshaler[] = L"{00020420-0000-0000-C000-000000000046}";
constexpr wchar_t kAutomationMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";

struct AutomationInterface {
    std::wstring key;
    std::wstring name;
    const wchar_t* marshaler;
};

// The interfaces a registration of the library records, picked as RegisterTypeLib picks them.
std::vector<AutomationInterface> AutomationInterfaces(ITypeLib* library) {
    std::vector<AutomationInterface> interfaces;
    for (UINT i = 0, count = library->GetTypeInfoCount(); i < count; ++i) {
        ComPtr<ITypeInfo> info;
        TYPEATTR* attributes = nullptr;
        win::ThrowIfFailed(library->GetTypeInfo(i, &info));
        win::ThrowIfFailed(info->GetTypeAttr(&attributes));
        const TYPEKIND kind = attributes->typekind;
        const WORD flags = attributes->wTypeFlags;
        const GUID id = attributes->guid;
        info->ReleaseTypeAttr(attributes);
        const bool dual = (flags & TYPEFLAG_FDUAL) != 0;
        if (kind != TKIND_DISPATCH && !(kind == TKIND_INTERFACE && (dual || (flags & TYPEFLAG_FOLEAUTOMATION)))) {
            continue;
        }
        win::Bstr name;
        win::ThrowIfFailed(library->GetDocumentation(static_cast<INT>(i), name.put(), nullptr, nullptr, nullptr));
        interfaces.push_back({L"Interface\\" + win::GuidText(id), std::wstring(name.view()),
                              kind == TKIND_DISPATCH && !dual ? kDispatchMarshaler : kAutomationMarshaler});
    }
    return interfaces;
}

std::wstring LibraryKey(const RegistrationRecord& record) {
    return L"TypeLib\\" + win::GuidText(*record.library_id);
}

std::wstring VersionText(const RegistrationRecord& record) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%x.%x", static_cast<unsigned>(record.library_major),
                  static_cast<unsigned>(record.library_minor));
    return text;
}

std::wstring VersionKey(const RegistrationRecord& record) {
    return LibraryKey(record) + L"\\" + VersionText(record);
}

std::wstring LocaleKey(const RegistrationRecord& record) {
    wchar_t locale[16];
    std::swprintf(locale, 16, L"%lx", static_cast<unsigned long>(record.library_locale));
    return VersionKey(record) + L"\\" + locale;
}

// The root itself and, where the system has two registry views, the same root in the other:
// the interfaces are recorded in both, so that programs of either kind marshal them.
std::vector<ClassesRoot> BothViews(const ClassesRoot& root) {
    std::vector<ClassesRoot> views{root};
    if (std::optional<ClassesRoot> other = InTheOtherView(root)) views.push_back(*other);
    return views;
}

}  // namespace

std::vector<ClassesKey> LibraryKeys(const ClassesRoot& root, const RegistrationRecord& record, ITypeLib* library) {
    std::vector<ClassesKey> keys{{root, LibraryKey(record)}};
    for (const AutomationInterface& automation : AutomationInterfaces(library)) {
        for (const ClassesRoot& view : BothViews(root)) keys.push_back({view, automation.key});
    }
    return keys;
}

std::wstring LibraryPathKey(const RegistrationRecord& record, SYSKIND kind) {
    return LocaleKey(record) + (kind == SYS_WIN64 ? L"\\win64" : L"\\win32");
}

void RegisterLibrary(const ClassesRoot& root, const RegistrationRecord& record, ITypeLib* library,
                     const std::wstring& path) {
    TLIBATTR* attributes = nullptr;
    win::ThrowIfFailed(library->GetLibAttr(&attributes));
    const SYSKIND kind = attributes->syskind;
    const unsigned flags = attributes->wLibFlags;
    library->ReleaseTLibAttr(attributes);
    win::Bstr name;
    win::Bstr description;
    win::ThrowIfFailed(library->GetDocumentation(-1, name.put(), description.put(), nullptr, nullptr));

    const std::wstring version_key = VersionKey(record);
    WriteKey(root, version_key, std::wstring(description.get() != nullptr ? description.view() : name.view()));
    WriteKey(root, version_key + L"\\FLAGS", std::to_wstring(flags));
    WriteKey(root, version_key + L"\\HELPDIR", path.substr(0, path.find_last_of(L'\\')));
    WriteKey(root, LibraryPathKey(record, kind), path);
    for (const AutomationInterface& automation : AutomationInterfaces(library)) {
        for (const ClassesRoot& view : BothViews(root)) {
            WriteKey(view, automation.key, automation.name);
            WriteKey(view, automation.key + L"\\ProxyStubClsid", automation.marshaler);
            WriteKey(view, automation.key + L"\\ProxyStubClsid32", automation.marshaler);
            WriteKey(view, automation.key + L"\\TypeLib", win::GuidText(*record.library_id), L"Version",
                     VersionText(record));
        }
    }
}

void UnregisterLibrary(const ClassesRoot& root, const RegistrationRecord& record, ITypeLib* library,
                       SYSKIND kind) {
    DeleteTree(root, LibraryPathKey(record, kind));
    DeleteIfEmpty(root, LocaleKey(record));
    // The version's subkeys that name a locale hold a registration still.
    for (const std::wstring& subkey : SubkeyNames(root, VersionKey(record))) {
        if (CompareStringOrdinal(subkey.c_str(), -1, L"FLAGS", -1, TRUE) != CSTR_EQUAL &&
            CompareStringOrdinal(subkey.c_str(), -1, L"HELPDIR", -1, TRUE) != CSTR_EQUAL) {
            return;
        }
    }
    DeleteTree(root, VersionKey(record));
    DeleteIfEmpty(root, LibraryKey(record));
    const std::wstring library_id = win::GuidText(*record.library_id);
    for (const AutomationInterface& automation : AutomationInterfaces(library)) {
        for (const ClassesRoot& view : BothViews(root)) {
            // An interface that another library claims now is not ours to remove.
            const std::optional<std::wstring> owner = ReadDefaultText(view, automation.key + L"\\TypeLib");
            if (owner && CompareStringOrdinal(owner->c_str(), -1, library_id.c_str(), -1, TRUE) == CSTR_EQUAL) {
                DeleteTree(view, automation.key);
            }
        }
    }
}

}  // namespace zorvane::component
