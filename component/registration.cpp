// Registration of the type library and the class table, for the machine under
// HKEY_LOCAL_MACHINE\Software\Classes or for the current user under
// HKEY_CURRENT_USER\Software\Classes, by one writer. A step the registry refuses undoes
// everything this call wrote, and only that: what stood there before the call is put back
// as it was. Unregistration removes only what names this very file.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "component/classes_root.h"
#include "component/component_model.h"
#include "component/type_library_registration.h"
#include "win/com_error.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/this_module.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::component {
namespace {

std::wstring ClassKey(const ClassEntry& entry) {
    return L"CLSID\\" + win::GuidText(*entry.class_id);
}

void RegisterClass(const ClassesRoot& root, const ClassEntry& entry, const RegistrationRecord& record,
                   const wchar_t* threading_model, const std::wstring& module_path) {
    const std::wstring class_key = ClassKey(entry);
    const std::wstring version =
        std::to_wstring(record.library_major) + L"." + std::to_wstring(record.library_minor);
    WriteKey(root, class_key, entry.prog_id);
    WriteKey(root, class_key + L"\\InprocServer32", module_path, L"ThreadingModel", threading_model);
    WriteKey(root, class_key + L"\\ProgID", entry.prog_id);
    WriteKey(root, class_key + L"\\TypeLib", win::GuidText(*record.library_id));
    WriteKey(root, class_key + L"\\Version", version);
    WriteKey(root, entry.prog_id, entry.prog_id);
    WriteKey(root, std::wstring(entry.prog_id) + L"\\CLSID", win::GuidText(*entry.class_id));
}

// The keys every class, library and interface is registered below, in the views they are
// written in. The machine's classes always hold others; a user's may lack them, and then
// they are ours to remove again.
std::vector<ClassesKey> Containers(const ClassesRoot& root) {
    std::vector<ClassesKey> containers{{root, L"CLSID"}, {root, L"Interface"}, {root, L"TypeLib"}};
    if (std::optional<ClassesRoot> other = InTheOtherView(root)) containers.push_back({*other, L"Interface"});
    return containers;
}

// The keys a registration writes: the library's and its interfaces', each class's and
// ProgID's.
std::vector<ClassesKey> KeysWritten(const ClassesRoot& root, const RegistrationRecord& record, ITypeLib* library) {
    std::vector<ClassesKey> keys = LibraryKeys(root, record, library);
    for (const ClassEntry& entry : record.classes) {
        keys.push_back({root, ClassKey(entry)});
        keys.push_back({root, entry.prog_id});
    }
    return keys;
}

// Asks a path-conversion function of the Get...PathNameW kind; nullopt when it cannot say.
template <class Convert>
std::optional<std::wstring> Converted(const std::wstring& path, Convert convert) {
    const DWORD length = convert(path, nullptr, 0);
    if (length == 0) return std::nullopt;
    std::wstring converted(length, L'\0');
    const DWORD written = convert(path, converted.data(), length);
    if (written == 0 || written >= length) return std::nullopt;
    converted.resize(written);
    return converted;
}

// One writing of a file's path: unquoted, full, and long where the file is there to ask.
std::wstring ComparablePath(std::wstring path) {
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
    if (auto full = Converted(path, [](const std::wstring& p, wchar_t* out, DWORD size) {
            return GetFullPathNameW(p.c_str(), size, out, nullptr);
        })) {
        path = std::move(*full);
    }
    if (auto long_form = Converted(path, [](const std::wstring& p, wchar_t* out, DWORD size) {
            return GetLongPathNameW(p.c_str(), out, size);
        })) {
        path = std::move(*long_form);
    }
    return path;
}

// File names are the same whatever their case.
bool SameFile(const std::wstring& a, const std::wstring& b) {
    const std::wstring first = ComparablePath(a);
    const std::wstring second = ComparablePath(b);
    return CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

// Whether a class is registered as an in-process server in the registry view of the other
// kind of program, where the system has one.
bool RegisteredInTheOtherView(const ClassesRoot& root, const std::wstring& class_key) {
    const std::optional<ClassesRoot> other = InTheOtherView(root);
    return other && ReadDefaultText(*other, class_key + L"\\InprocServer32").has_value();
}

void AddSentence(std::wstring& text, const std::wstring& sentence) {
    if (!text.empty()) text += L' ';
    text += sentence;
}

HRESULT Register(const ComponentDescriptor& component, const ClassesRoot& root) noexcept {
    return win::ComBoundary(GUID_NULL, component.name, [&] {
        const RegistrationRecord& record = component.registration;
        const std::wstring path = win::ModuleFileName(win::ThisModule());
        ComPtr<ITypeLib> library;
        win::ThrowIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library));

        std::vector<std::pair<ClassesKey, win::RegistryTree>> before;
        for (ClassesKey& key : KeysWritten(root, record, library.Get())) {
            win::RegistryTree tree = ReadTree(key.root, key.path);
            before.emplace_back(std::move(key), std::move(tree));
        }
        std::vector<ClassesKey> new_containers;
        for (ClassesKey& container : Containers(root)) {
            if (!KeyExists(container.root, container.path)) new_containers.push_back(std::move(container));
        }
        try {
            RegisterLibrary(root, record, library.Get(), path);
            for (const ClassEntry& entry : record.classes) {
                RegisterClass(root, entry, record, component.threading_model, path);
            }
        } catch (...) {
            for (auto it = before.rbegin(); it != before.rend(); ++it) {
                RestoreTree(it->first.root, it->first.path, it->second);
            }
            for (const ClassesKey& container : new_containers) DeleteIfEmpty(container.root, container.path);
            throw;
        }
        return S_OK;
    });
}

HRESULT Unregister(const ComponentDescriptor& component, const ClassesRoot& root) noexcept {
    return win::ComBoundary(GUID_NULL, component.name, [&] {
        const RegistrationRecord& record = component.registration;
        const std::wstring path = win::ModuleFileName(win::ThisModule());
        // Another copy's registration (an installed one, say) is not ours to remove: what
        // stays is said in the error information, and the answer is S_OK all the same.
        std::wstring left;
        for (const ClassEntry& entry : record.classes) {
            const std::wstring class_key = ClassKey(entry);
            const std::optional<std::wstring> server = ReadDefaultText(root, class_key + L"\\InprocServer32");
            if (server && !SameFile(*server, path)) {
                AddSentence(left, L"Die Klasse " + std::wstring(entry.prog_id) +
                                      L" bleibt registriert: Sie verweist auf " + *server +
                                      L", nicht auf diese Datei (" + path + L").");
                continue;
            }
            DeleteTree(root, class_key);
            // One ProgID serves the class in both registry views.
            if (!RegisteredInTheOtherView(root, class_key)) DeleteTree(root, entry.prog_id);
        }

        // The library as it was recorded for the kind of our own library (win32 or win64);
        // the other kind's registration belongs to the other DLL.
        ComPtr<ITypeLib> library;
        win::ThrowIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library));
        TLIBATTR* attributes = nullptr;
        win::ThrowIfFailed(library->GetLibAttr(&attributes));
        const SYSKIND kind = attributes->syskind;
        library->ReleaseTLibAttr(attributes);
        const std::optional<std::wstring> library_path =
            ReadDefaultText(root, LibraryPathKey(record, kind));
        if (library_path && !SameFile(*library_path, path)) {
            win::Bstr name;
            win::ThrowIfFailed(library->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr));
            AddSentence(left, L"Die Typbibliothek " + std::wstring(name.view()) + L" " +
                                  std::to_wstring(record.library_major) + L"." +
                                  std::to_wstring(record.library_minor) +
                                  L" bleibt registriert: Sie verweist auf " + *library_path +
                                  L", nicht auf diese Datei (" + path + L").");
        } else if (library_path) {
            UnregisterLibrary(root, record, library.Get(), kind);
        }
        if (root.for_user) {
            for (const ClassesKey& container : Containers(root)) DeleteIfEmpty(container.root, container.path);
        }

        if (left.empty()) {
            SetErrorInfo(0, nullptr);
            return S_OK;
        }
        return win::SetErrorInfoFor(GUID_NULL, S_OK, component.name, left);
    });
}

// The one command line DllInstall understands, in any case.
bool NamesTheUser(const wchar_t* command_line) noexcept {
    return command_line != nullptr &&
           CompareStringOrdinal(command_line, -1, L"user", -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

HRESULT RegisterServer(const ComponentDescriptor& component) noexcept {
    return Register(component, kMachineClasses);
}

HRESULT UnregisterServer(const ComponentDescriptor& component) noexcept {
    return Unregister(component, kMachineClasses);
}

HRESULT InstallServer(const ComponentDescriptor& component, bool install, const wchar_t* command_line) noexcept {
    if (!NamesTheUser(command_line)) {
        // Which registration a missing or unknown word means is not ours to guess.
        return win::ComBoundary(GUID_NULL, component.name, [&] {
            return win::SetErrorInfoFor(
                GUID_NULL, E_INVALIDARG, component.name,
                L"DllInstall kennt nur \"user\": regsvr32 /n /i:user registriert für den angemeldeten "
                L"Benutzer, regsvr32 /u /n /i:user entfernt das wieder; für alle Benutzer registriert "
                L"regsvr32 ohne /n und /i. Erhalten: \"" +
                    std::wstring(command_line != nullptr ? command_line : L"") + L"\".");
        });
    }
    return install ? Register(component, kUserClasses) : Unregister(component, kUserClasses);
}

}  // namespace zorvane::component
