// Registration and unregistration of a copy of the DLL, for the machine (DllRegisterServer)
// and for the current user (DllInstall "user"), with the predefined key the registration
// writes below redirected to a private key, so that the prefix's registration stays as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "win/private_classes_root.h"
#include "tests/wine/component/component_support.h"
#include "win/registry.h"

namespace zorvane::test {
namespace {

using win::GuidText;
using win::RegistryKey;
using Microsoft::WRL::ComPtr;

// The private keys live below the user's Software key, opened once before any predefined
// key is redirected, so that the tests read them wherever HKEY_CURRENT_USER points meanwhile.

HKEY SoftwareKey() {
    static const RegistryKey software = [] {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            throw std::runtime_error("HKEY_CURRENT_USER\\Software does not open");
        return RegistryKey(key);
    }();
    return software.get();
}

// Which registration a test makes: the predefined key it writes below (which the test
// redirects to a private key of the scope's own), where the classes root is below it, and
// how the DLL is asked to register and unregister.
struct Scope {
    const char* name;
    HKEY redirected;
    const wchar_t* private_key;  // below HKEY_CURRENT_USER\Software
    const wchar_t* classes;
    HRESULT (*register_server)(const ZorvaneDll&);
    HRESULT (*unregister_server)(const ZorvaneDll&);
};

const Scope kMachineScope{"machine", HKEY_LOCAL_MACHINE, L"ZorvaneRegistrationTest.Machine",
                          L"Software\\Classes\\", [](const ZorvaneDll& dll) { return dll.RegisterServer(); },
                          [](const ZorvaneDll& dll) { return dll.UnregisterServer(); }};
const Scope kUserScope{"user", HKEY_CURRENT_USER, L"ZorvaneRegistrationTest.User", L"Software\\Classes\\",
                       [](const ZorvaneDll& dll) { return dll.Install(true, L"user"); },
                       [](const ZorvaneDll& dll) { return dll.Install(false, L"user"); }};

// Everything below a key, one line a key and one a value ("key\\name = type: data"):
// what a registration leaves, comparable before and after.
void ListTree(HKEY key, const std::wstring& path, std::vector<std::wstring>& lines) {
    lines.push_back(path + L"\\");
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD name_length = 256;
        BYTE data[2048];
        DWORD data_length = sizeof data;
        DWORD type = 0;
        if (RegEnumValueW(key, index, name, &name_length, nullptr, &type, data, &data_length) != ERROR_SUCCESS) break;
        std::wstring text;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            text.assign(reinterpret_cast<const wchar_t*>(data), data_length / sizeof(wchar_t));
            while (!text.empty() && text.back() == L'\0') text.pop_back();
        } else {
            for (DWORD i = 0; i < data_length; ++i) text += std::to_wstring(data[i]) + L" ";
        }
        lines.push_back(path + L"\\" + std::wstring(name, name_length) + L" = " + std::to_wstring(type) + L": " + text);
    }
    std::vector<std::wstring> subkeys;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.emplace_back(name, length);
    }
    for (const std::wstring& name : subkeys) {
        HKEY subkey = nullptr;
        if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, &subkey) != ERROR_SUCCESS) {
            lines.push_back(path + L"\\" + name + L"\\ (does not open)");
            continue;
        }
        const RegistryKey owned(subkey);
        ListTree(subkey, path + L"\\" + name, lines);
    }
}

// The keys the type library's registration writes: its own and its interface's.
std::vector<std::wstring> LibraryKeys() {
    return {L"TypeLib\\" + GuidText(kLibraryId), L"Interface\\" + GuidText(__uuidof(_clsVELTPlugIn))};
}

// Keys below a classes root in both registry views, listed and sorted; a key that is not
// there says so.
std::vector<std::wstring> ListKeys(HKEY parent, const std::wstring& classes, const std::vector<std::wstring>& keys) {
    std::vector<std::wstring> lines;
    for (const WindowsKind* view : {&kWin32, &kWin64}) {
        for (const std::wstring& key : keys) {
            const std::wstring name = std::wstring(view->platform_key) + L": " + key;
            HKEY opened = nullptr;
            if (RegOpenKeyExW(parent, (classes + key).c_str(), 0, KEY_READ | view->registry_view, &opened) !=
                ERROR_SUCCESS) {
                lines.push_back(name + L" (not there)");
                continue;
            }
            const RegistryKey owned(opened);
            ListTree(opened, name, lines);
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The keys of ours below a classes root.
std::vector<std::wstring> OurKeys(HKEY parent, const std::wstring& classes) {
    std::vector<std::wstring> keys = LibraryKeys();
    keys.push_back(L"CLSID\\" + GuidText(kPlugInClassId));
    keys.push_back(kPlugInProgId);
    return ListKeys(parent, classes, keys);
}

// Our keys in the classes root the scope leaves alone: the machine's (the prefix holds the
// DLL as built, registered before the tests) while the user's is redirected; the user's
// own while the machine's is.
std::vector<std::wstring> OtherScopesKeys(const Scope& scope) {
    return scope.redirected == HKEY_CURRENT_USER ? OurKeys(HKEY_LOCAL_MACHINE, L"Software\\Classes\\")
                                                 : OurKeys(SoftwareKey(), L"Classes\\");
}

std::string Lines(const std::vector<std::wstring>& lines) {
    std::string text;
    for (const std::wstring& line : lines) text += "\n  " + std::string(line.begin(), line.end());
    return text;
}

// What two sorted listings do not share, each line marked with where it is.
std::string Changes(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after) {
    std::vector<std::wstring> gone;
    std::vector<std::wstring> added;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    return "\ngone:" + Lines(gone) + "\nnew:" + Lines(added);
}

// Redirects the scope's predefined key to a fresh private key for its lifetime, and reads
// and writes below the classes root there; paths are relative to that root.
class PrivateClasses {
public:
    explicit PrivateClasses(const Scope& scope) : scope_(scope) {
        RegDeleteTreeW(SoftwareKey(), scope.private_key);
        HKEY key = nullptr;
        if (RegCreateKeyExW(SoftwareKey(), scope.private_key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("no private key");
        root_.reset(key);
        // Every machine and every user has the key of the classes.
        CreateKey(L"", false);
        if (RegOverridePredefKey(scope.redirected, root_.get()) != ERROR_SUCCESS)
            throw std::runtime_error("RegOverridePredefKey failed");
    }
    ~PrivateClasses() {
        RegOverridePredefKey(scope_.redirected, nullptr);
        root_.reset();
        RegDeleteTreeW(SoftwareKey(), scope_.private_key);
    }
    PrivateClasses(const PrivateClasses&) = delete;
    PrivateClasses& operator=(const PrivateClasses&) = delete;

    // The text of a value; nullopt when the key or value is absent.
    std::optional<std::wstring> ReadText(const std::wstring& path, const wchar_t* name = nullptr) const {
        wchar_t buffer[1024];
        DWORD size = sizeof(buffer);
        if (RegGetValueW(root_.get(), Full(path).c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return std::wstring(buffer);
    }

    bool KeyExists(const std::wstring& path) const { return static_cast<bool>(OpenKey(path)); }

    // The number of subkeys of a key (0 when absent).
    DWORD SubkeyCount(const std::wstring& path) const {
        const RegistryKey key = OpenKey(path);
        DWORD count = 0;
        if (key) {
            RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr);
        }
        return count;
    }

    // A key with its default value and named values, lasting or volatile (and then, the
    // registry says, refusing lasting keys below it).
    void MakeKey(const std::wstring& path, bool is_volatile,
                 const std::vector<std::pair<const wchar_t*, std::wstring>>& values = {}) const {
        const RegistryKey key = CreateKey(path, is_volatile);
        ASSERT_TRUE(key) << "cannot create " << std::string(path.begin(), path.end());
        for (const auto& [name, text] : values) {
            ASSERT_EQ(RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                      ERROR_SUCCESS);
        }
    }

    LSTATUS DeleteKey(const std::wstring& path) const { return RegDeleteTreeW(root_.get(), Full(path).c_str()); }

    // The classes root itself, for reading and writing.
    RegistryKey OpenClasses() const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root_.get(), Full(L"").c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            throw std::runtime_error("the private classes do not open");
        return RegistryKey(key);
    }

    // Everything below the private key, sorted.
    std::vector<std::wstring> Tree() const {
        std::vector<std::wstring> lines;
        ListTree(root_.get(), L"", lines);
        std::sort(lines.begin(), lines.end());
        return lines;
    }

private:
    std::wstring Full(const std::wstring& path) const {
        std::wstring full = scope_.classes + path;
        if (!full.empty() && full.back() == L'\\') full.pop_back();
        return full;
    }
    RegistryKey OpenKey(const std::wstring& path) const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root_.get(), Full(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) key = nullptr;
        return RegistryKey(key);
    }
    RegistryKey CreateKey(const std::wstring& path, bool is_volatile) const {
        HKEY key = nullptr;
        if (RegCreateKeyExW(root_.get(), Full(path).c_str(), 0, nullptr,
                            is_volatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) != ERROR_SUCCESS)
            key = nullptr;
        return RegistryKey(key);
    }

    const Scope& scope_;
    RegistryKey root_;
};

// HKEY_CLASSES_ROOT as Windows shows it to a user who holds the per-user registration: the
// user's classes merged over the machine's, so that for each key of ours a read finds the
// user's and a write goes to the user's. Stood in for, while alive, by the user's private
// classes themselves.
class MergedClassesRoot {
public:
    explicit MergedClassesRoot(const PrivateClasses& user) : users_(user.OpenClasses()) {
        if (RegOverridePredefKey(HKEY_CLASSES_ROOT, users_.get()) != ERROR_SUCCESS)
            throw std::runtime_error("RegOverridePredefKey failed");
    }
    ~MergedClassesRoot() { RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr); }
    MergedClassesRoot(const MergedClassesRoot&) = delete;
    MergedClassesRoot& operator=(const MergedClassesRoot&) = delete;

private:
    RegistryKey users_;
};

// The values a registration of the DLL at dll_path leaves below a classes root.
void ExpectRegisteredAs(const PrivateClasses& root, const std::wstring& dll_path) {
    const std::wstring clsid = GuidText(kPlugInClassId);
    const std::wstring libid = GuidText(kLibraryId);
    const std::wstring iid = GuidText(__uuidof(_clsVELTPlugIn));
    struct Value {
        std::wstring key;
        const wchar_t* name;
        std::wstring expected;
    };
    const Value values[] = {
        {L"CLSID\\" + clsid + L"\\InprocServer32", nullptr, dll_path},
        {L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {L"CLSID\\" + clsid + L"\\ProgID", nullptr, L"Zorvane.clsVELTPlugIn"},
        {L"CLSID\\" + clsid + L"\\TypeLib", nullptr, libid},
        {L"CLSID\\" + clsid + L"\\Version", nullptr, L"1.0"},
        {L"Zorvane.clsVELTPlugIn\\CLSID", nullptr, clsid},
        {L"TypeLib\\" + libid + L"\\1.0", nullptr, L"Zorvane"},
        {L"TypeLib\\" + libid + L"\\1.0\\0\\" + ZorvaneDllKind().platform_key, nullptr, dll_path},
        {L"Interface\\" + iid, nullptr, L"_clsVELTPlugIn"},
        {L"Interface\\" + iid + L"\\TypeLib", nullptr, libid},
    };
    for (const Value& value : values) {
        SCOPED_TRACE(testing::Message() << value.key.c_str() << " " << (value.name ? value.name : L"(default)"));
        const std::optional<std::wstring> text = root.ReadText(value.key, value.name);
        ASSERT_TRUE(text.has_value());
        EXPECT_TRUE(CompareStringOrdinal(text->c_str(), -1, value.expected.c_str(), -1, TRUE) == CSTR_EQUAL)
            << "read back: " << text->c_str();
    }
}

class RegistrationTest : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::filesystem::path(temp) / L"zorvane-registration-test";
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        copy_ = (folder_ / L"Zorvane.dll").wstring();
        std::filesystem::copy_file(ZorvaneDllPath(), copy_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    std::filesystem::path folder_;
    std::wstring copy_;
};

// The tests that hold for either registration alike.
class ScopedRegistrationTest : public RegistrationTest, public testing::WithParamInterface<const Scope*> {
protected:
    const Scope& scope() const { return *GetParam(); }
    HRESULT Register(const std::wstring& dll_path) const { return scope().register_server(ZorvaneDll(dll_path)); }
    HRESULT Unregister(const std::wstring& dll_path) const {
        return scope().unregister_server(ZorvaneDll(dll_path));
    }
};

INSTANTIATE_TEST_SUITE_P(Scopes, ScopedRegistrationTest, testing::Values(&kMachineScope, &kUserScope),
                         [](const testing::TestParamInfo<const Scope*>& info) { return info.param->name; });

// What a registration of copy_ writes (the same for the machine and for the user), and that
// unregistering removes all of it; the other scope's keys meanwhile stay as they were.
TEST_P(ScopedRegistrationTest, RegistersTheClassAndLibraryAndRemovesThemAgain) {
    const std::wstring clsid = GuidText(kPlugInClassId);
    const std::wstring libid = GuidText(kLibraryId);
    const std::wstring iid = GuidText(__uuidof(_clsVELTPlugIn));
    const std::vector<std::wstring> others = OtherScopesKeys(scope());
    PrivateClasses root(scope());
    ASSERT_EQ(Register(copy_), S_OK);
    ExpectRegisteredAs(root, copy_);
    if (HasFatalFailure()) return;
    // The windows and the shared module are private: the only class is the plug-in.
    EXPECT_EQ(root.SubkeyCount(L"CLSID"), 1u);
    // The library for its own kind of program only.
    EXPECT_EQ(root.SubkeyCount(L"TypeLib\\" + libid + L"\\1.0\\0"), 1u);
    EXPECT_EQ(OtherScopesKeys(scope()), others) << "the other registration changed";

    ASSERT_EQ(Unregister(copy_), S_OK);
    EXPECT_EQ(Unregister(copy_), S_OK) << "unregistering twice is not an error";
    for (const std::wstring& key : {L"CLSID\\" + clsid, std::wstring(L"Zorvane.clsVELTPlugIn"),
                                    L"TypeLib\\" + libid, L"Interface\\" + iid}) {
        EXPECT_FALSE(root.KeyExists(key)) << "left behind: " << key.c_str();
    }
    for (const wchar_t* container : {L"CLSID", L"TypeLib", L"Interface"}) {
        EXPECT_EQ(root.SubkeyCount(container), 0u) << container;
    }
    EXPECT_EQ(OtherScopesKeys(scope()), others) << "the other registration changed";
}

// The description of the thread's error information, taken from it; empty when there is none.
std::wstring TakeErrorDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.GetAddressOf()) != S_OK || !info) return {};
    win::Bstr description;
    if (FAILED(info->GetDescription(description.put())) || description.get() == nullptr) return {};
    return std::wstring(description.get());
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

// The places a registration records a file: the class's server and its library's path.
std::vector<std::wstring> FileValues(const WindowsKind& kind) {
    return {L"CLSID\\" + GuidText(kPlugInClassId) + L"\\InprocServer32",
            L"TypeLib\\" + GuidText(kLibraryId) + L"\\1.0\\0\\" + kind.platform_key};
}

// The type library's keys are the ones oleaut32's RegisterTypeLib writes for the same file,
// below either root, values and all (FLAGS, HELPDIR, the interface's marshalers). Where the
// system has a second registry view, Wine's RegisterTypeLib also writes the interface there,
// past the redirection, into the prefix's own classes: that key is put back as it was.
TEST_P(ScopedRegistrationTest, TheLibrarysKeysAreTheOnesOleaut32Writes) {
    const ZorvaneDll dll(copy_);
    std::vector<std::wstring> ours;
    {
        PrivateClasses root(scope());
        ASSERT_EQ(scope().register_server(dll), S_OK);
        ours = ListKeys(root.OpenClasses().get(), L"", LibraryKeys());
    }

    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx(copy_.c_str(), REGKIND_NONE, &library), S_OK);
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(dll.module(), path.data(), MAX_PATH));
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    const REGSAM other_view = &kThisProgram == &kWin64 ? KEY_WOW64_32KEY : wow64 ? KEY_WOW64_64KEY : 0;
    const std::wstring machines_interface = L"Software\\Classes\\" + LibraryKeys()[1];
    const win::RegistryTree machines = win::ReadRegistryTree(HKEY_LOCAL_MACHINE, machines_interface, other_view);
    std::vector<std::wstring> oleaut32s;
    HRESULT registered = E_FAIL;
    {
        const win::PrivateClassesRoot classes(L"Software\\ZorvaneRegistrationTest.RegisterTypeLib");
        registered = RegisterTypeLib(library.Get(), path.data(), nullptr);
        oleaut32s = ListKeys(classes.get(), L"", LibraryKeys());
    }
    if (other_view != 0) win::RestoreRegistryTree(HKEY_LOCAL_MACHINE, machines_interface, machines, other_view);
    ASSERT_EQ(registered, S_OK);
    EXPECT_TRUE(ours == oleaut32s) << "oleaut32's, then ours:" << Changes(oleaut32s, ours);
}

// The DLL as built registered; then a copy of it in another folder unregistered, as an
// old copy's uninstaller or "regsvr32 /u" would: the copy names nothing of the built DLL's
// registration, so all of it stays, and the error information says what stayed and where
// it points, while the answer is still S_OK.
TEST_P(ScopedRegistrationTest, UnregisteringACopyElsewhereLeavesTheOtherCopysRegistration) {
    const std::wstring registered_dll = ZorvaneDllPath();
    PrivateClasses root(scope());
    ASSERT_EQ(Register(registered_dll), S_OK);
    const std::vector<std::wstring> registered = root.Tree();
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(Unregister(copy_), S_OK);
    const std::wstring description = TakeErrorDescription();
    const std::vector<std::wstring> after = root.Tree();
    EXPECT_EQ(after, registered) << "registered:" << Lines(registered) << "\nafter:" << Lines(after);
    for (const std::wstring& key : FileValues(ZorvaneDllKind())) {
        const std::optional<std::wstring> text = root.ReadText(key);
        EXPECT_TRUE(text && CompareStringOrdinal(text->c_str(), -1, registered_dll.c_str(), -1, TRUE) == CSTR_EQUAL)
            << std::string(key.begin(), key.end()) << " no longer names the built DLL";
    }
    EXPECT_EQ(root.ReadText(L"Zorvane.clsVELTPlugIn\\CLSID"), std::optional<std::wstring>(GuidText(kPlugInClassId)));
    // What stayed, and the file it belongs to.
    std::printf("error information: %ls\n", description.c_str());
    for (const std::wstring& part : {std::wstring(L"Zorvane.clsVELTPlugIn"), std::wstring(L"Typbibliothek"),
                                     registered_dll, copy_}) {
        EXPECT_TRUE(Contains(description, part)) << "the error information does not name " << part.c_str()
                                                 << ": \"" << description.c_str() << "\"";
    }
}

// A registration of this very file, its path written the way the registry may hold it:
// unregistering the file removes all of it, and leaves no error information.
TEST_P(ScopedRegistrationTest, UnregisteringRemovesThisFilesRegistrationInAnyWritingOfItsPath) {
    const std::wstring clsid = GuidText(kPlugInClassId);
    const std::wstring libid = GuidText(kLibraryId);
    const std::wstring iid = GuidText(__uuidof(_clsVELTPlugIn));
    wchar_t short_path[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(copy_.c_str(), short_path, MAX_PATH), 0u);
    std::wstring upper = copy_;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    const std::wstring folder = folder_.wstring();
    struct Form {
        const char* name;
        std::wstring path;
    };
    const Form forms[] = {
        {"as registered", copy_},
        {"in capitals", upper},
        {"in its short form", short_path},
        {"through a detour", folder + L"\\.\\elsewhere\\..\\Zorvane.dll"},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(testing::Message() << form.name << ": " << form.path.c_str());
        PrivateClasses root(scope());
        ASSERT_EQ(Register(copy_), S_OK);
        for (const std::wstring& key : FileValues(ZorvaneDllKind())) {
            ASSERT_TRUE(root.ReadText(key).has_value()) << std::string(key.begin(), key.end());
            root.MakeKey(key, false, {{nullptr, form.path}});
        }
        SetErrorInfo(0, nullptr);
        EXPECT_EQ(Unregister(copy_), S_OK);
        const std::wstring description = TakeErrorDescription();
        EXPECT_EQ(description, L"") << description.c_str();
        for (const std::wstring& key : {L"CLSID\\" + clsid, std::wstring(L"Zorvane.clsVELTPlugIn"),
                                        L"TypeLib\\" + libid, L"Interface\\" + iid}) {
            EXPECT_FALSE(root.KeyExists(key)) << "left behind: " << key.c_str();
        }
    }
}

// The class as regsvr32 of the DLL's own kind registered it in the prefix before the tests:
// in the registry view of that kind, and, where the system has two views, not in the
// other. Only the class tells: Windows keeps one set of type libraries and ProgIDs for both
// views.
TEST(RegistryViewTest, TheClassIsRegisteredInTheViewOfItsKindOnly) {
    const WindowsKind& kind = ZorvaneDllKind();
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    const bool two_views = &kThisProgram == &kWin64 || wow64;
    const std::wstring server_key = L"CLSID\\" + GuidText(kPlugInClassId) + L"\\InprocServer32";
    for (const WindowsKind* view : {&kWin32, &kWin64}) {
        SCOPED_TRACE(testing::Message() << "the view of " << view->name);
        HKEY key = nullptr;
        const LONG opened =
            RegOpenKeyExW(HKEY_CLASSES_ROOT, server_key.c_str(), 0, KEY_READ | view->registry_view, &key);
        const RegistryKey owned(opened == ERROR_SUCCESS ? key : nullptr);
        if (view != &kind && two_views) {
            EXPECT_EQ(opened, ERROR_FILE_NOT_FOUND) << "registered in the other view too";
            continue;
        }
        ASSERT_EQ(opened, ERROR_SUCCESS);
        wchar_t path[MAX_PATH] = {};
        DWORD size = sizeof(path);
        ASSERT_EQ(RegGetValueW(key, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, path, &size), ERROR_SUCCESS);
        EXPECT_EQ(CompareStringOrdinal(path, -1, ZorvaneDllPath().c_str(), -1, TRUE), CSTR_EQUAL)
            << "registered: " << path;
    }
}

// The registry refuses a lasting key below a volatile one; the refusal is the result.
TEST_P(ScopedRegistrationTest, ARefusedRegistryStepIsTheResult) {
    PrivateClasses root(scope());
    const std::wstring class_key = L"CLSID\\" + GuidText(kPlugInClassId);
    root.MakeKey(class_key, true);
    if (HasFatalFailure()) return;
    EXPECT_EQ(Register(copy_), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
    EXPECT_EQ(root.SubkeyCount(class_key), 0u);
}

// A key the registry will not let the registration create makes a step fail wherever it
// stands. Every key the call wrote is undone, and every key that stood before it, ours from
// an earlier registration or another program's, is as it was: the whole classes root reads
// the same before and after.
TEST_P(ScopedRegistrationTest, ARefusedStepLeavesTheClassesRootAsItWas) {
    const std::wstring clsid = GuidText(kPlugInClassId);
    const std::wstring libid = GuidText(kLibraryId);
    const std::wstring iid = GuidText(__uuidof(_clsVELTPlugIn));
    const std::wstring class_key = L"CLSID\\" + clsid;
    const std::wstring prog_id = L"Zorvane.clsVELTPlugIn";
    const std::filesystem::path earlier_folder = folder_ / L"earlier";
    std::filesystem::create_directories(earlier_folder);
    const std::wstring earlier_copy = (earlier_folder / L"Zorvane.dll").wstring();
    std::filesystem::copy_file(copy_, earlier_copy);

    struct Case {
        const char* name;
        std::function<void(const PrivateClasses&)> arrange;
        std::optional<HRESULT> refused;  // the result, when the refusal is ours to pass on
        bool bare = false;               // without the containers (a user's classes may lack them)
    };
    const HRESULT child_must_be_volatile = HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE);
    const Case cases[] = {
        {"the class key volatile and empty", [&](const PrivateClasses& root) { root.MakeKey(class_key, true); },
         child_must_be_volatile},
        {"the class key volatile, another program's values in it",
         [&](const PrivateClasses& root) {
             root.MakeKey(class_key, true,
                          {{nullptr, L"Fremde.Klasse"}, {L"AppID", L"{00000000-0000-0000-0000-0000000000A1}"}});
         },
         child_must_be_volatile},
        {"the ProgID's key volatile, a description in it",
         [&](const PrivateClasses& root) { root.MakeKey(prog_id, true, {{nullptr, L"Ein anderes Plugin"}}); },
         child_must_be_volatile},
        {"the type library's key volatile",
         [&](const PrivateClasses& root) { root.MakeKey(L"TypeLib\\" + libid, true); }, std::nullopt},
        {"the interface's key another program's, the class key volatile",
         [&](const PrivateClasses& root) {
             root.MakeKey(L"Interface\\" + iid, false, {{nullptr, L"IFremd"}});
             root.MakeKey(L"Interface\\" + iid + L"\\Eigenes", false, {{L"Wert", L"1"}});
             root.MakeKey(class_key, true);
         },
         child_must_be_volatile},
        {"registered from another folder before, the class key volatile without Version",
         [&](const PrivateClasses& root) {
             ASSERT_EQ(Register(earlier_copy), S_OK);
             ASSERT_EQ(root.DeleteKey(class_key), ERROR_SUCCESS);
             root.MakeKey(class_key, true, {{nullptr, prog_id}});
             root.MakeKey(class_key + L"\\InprocServer32", true,
                          {{nullptr, earlier_copy}, {L"ThreadingModel", L"Apartment"}});
             root.MakeKey(class_key + L"\\ProgID", true, {{nullptr, prog_id}});
             root.MakeKey(class_key + L"\\TypeLib", true, {{nullptr, libid}});
         },
         child_must_be_volatile},
        {"no containers yet, the ProgID's key volatile",
         [&](const PrivateClasses& root) { root.MakeKey(prog_id, true); }, child_must_be_volatile, true},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PrivateClasses root(scope());
        // The containers every machine's classes root has.
        if (!c.bare) {
            for (const wchar_t* container : {L"CLSID", L"Interface", L"TypeLib"}) root.MakeKey(container, false);
        }
        c.arrange(root);
        if (testing::Test::HasFatalFailure()) return;
        const std::vector<std::wstring> before = root.Tree();
        const HRESULT result = Register(copy_);
        std::printf("%s, %s: 0x%08lX\n", scope().name, c.name, static_cast<unsigned long>(result));
        EXPECT_TRUE(FAILED(result)) << "registered over a key the registry refuses to extend";
        if (c.refused) {
            EXPECT_EQ(result, *c.refused);
        }
        const std::vector<std::wstring> after = root.Tree();
        EXPECT_EQ(after, before) << "before:" << Lines(before) << "\nafter:" << Lines(after);
    }
}

// The premise of the tests above, as the registry of this system has it.
TEST(VolatileKeyTest, RefusesALastingKeyBelowIt) {
    PrivateClasses root(kMachineScope);
    root.MakeKey(L"Fluechtig", true);
    HKEY key = nullptr;
    const std::wstring child =
        std::wstring(kMachineScope.private_key) + L"\\" + kMachineScope.classes + L"Fluechtig\\Bleibend";
    EXPECT_EQ(RegCreateKeyExW(SoftwareKey(), child.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_CHILD_MUST_BE_VOLATILE);
    if (key != nullptr) RegCloseKey(key);
    EXPECT_EQ(RegCreateKeyExW(SoftwareKey(), child.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << "a volatile key below it";
    if (key != nullptr) RegCloseKey(key);
}

// Both kinds of DLL registered for the user share the library's version key and the
// interfaces: removing one kind's registration leaves them, and the other kind's path, to
// the other.
TEST_F(RegistrationTest, UnregisteringForTheUserKeepsWhatTheOtherKindShares) {
    const WindowsKind& kind = ZorvaneDllKind();
    const WindowsKind& other = &kind == &kWin32 ? kWin64 : kWin32;
    const std::wstring version_key = L"TypeLib\\" + GuidText(kLibraryId) + L"\\1.0";
    const std::wstring other_path = folder_.wstring() + L"\\other\\Zorvane.dll";
    PrivateClasses root(kUserScope);
    root.MakeKey(version_key + L"\\0\\" + other.platform_key, false, {{nullptr, other_path}});
    ASSERT_EQ(ZorvaneDll(copy_).Install(true, L"user"), S_OK);
    ASSERT_EQ(ZorvaneDll(copy_).Install(false, L"user"), S_OK);

    EXPECT_FALSE(root.KeyExists(version_key + L"\\0\\" + kind.platform_key));
    EXPECT_FALSE(root.KeyExists(L"CLSID\\" + GuidText(kPlugInClassId)));
    EXPECT_EQ(root.ReadText(version_key + L"\\0\\" + other.platform_key), std::optional<std::wstring>(other_path));
    EXPECT_EQ(root.ReadText(version_key), std::optional<std::wstring>(L"Zorvane"));
    EXPECT_TRUE(root.KeyExists(version_key + L"\\FLAGS"));
    EXPECT_EQ(root.ReadText(L"Interface\\" + GuidText(__uuidof(_clsVELTPlugIn)) + L"\\TypeLib"),
              std::optional<std::wstring>(GuidText(kLibraryId)));
}

// A user who holds the per-user registration runs the machine-wide one (the setup for all
// users, elevated or not). The classes root that user's processes see is merged, the user's
// keys winning, so the machine's registration must not go through it: it writes and removes
// the machine's classes only, and the user's registration stays as it was, to the byte. A
// step: which copy calls which export, then whether the machine's classes hold the machine's
// copy's registration and whether the error information tells of a registration that stays.
TEST_F(RegistrationTest, TheMachinesRegistrationLeavesTheUsersAlone) {
    const std::filesystem::path machine_folder = folder_ / L"machine";
    std::filesystem::create_directories(machine_folder);
    const std::wstring machine_copy = (machine_folder / L"Zorvane.dll").wstring();
    std::filesystem::copy_file(copy_, machine_copy);
    PrivateClasses user(kUserScope);
    PrivateClasses machine(kMachineScope);
    // The containers every machine's classes root has.
    for (const wchar_t* container : {L"CLSID", L"Interface", L"TypeLib"}) machine.MakeKey(container, false);
    ASSERT_EQ(ZorvaneDll(copy_).Install(true, L"user"), S_OK);
    const std::vector<std::wstring> users = user.Tree();
    const std::vector<std::wstring> machines = machine.Tree();
    const MergedClassesRoot merged(user);

    struct Step {
        const char* what;
        const std::wstring& dll;
        bool registers;
        bool machine_registered;
        bool tells_what_stays;
    };
    const Step steps[] = {
        {"the machine's copy registers", machine_copy, true, true, false},
        {"the user's copy unregisters for the machine", copy_, false, true, true},
        {"the machine's copy unregisters", machine_copy, false, false, false},
        {"the machine's copy unregisters again", machine_copy, false, false, false},
        {"the machine's copy registers again", machine_copy, true, true, false},
        {"the machine's copy unregisters once more", machine_copy, false, false, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const ZorvaneDll dll(step.dll);
        SetErrorInfo(0, nullptr);
        EXPECT_EQ(step.registers ? dll.RegisterServer() : dll.UnregisterServer(), S_OK);
        const std::wstring description = TakeErrorDescription();
        const std::vector<std::wstring> users_now = user.Tree();
        EXPECT_TRUE(users_now == users) << "the user's registration changed:" << Changes(users, users_now);
        if (step.machine_registered) {
            ExpectRegisteredAs(machine, machine_copy);
        } else {
            const std::vector<std::wstring> machines_now = machine.Tree();
            EXPECT_TRUE(machines_now == machines) << "the machine's classes changed:" << Changes(machines, machines_now);
        }
        EXPECT_EQ(Contains(description, machine_copy), step.tells_what_stays) << description.c_str();
    }
}

// DllInstall registers for the user only when told "user" (in any case); any other command
// line, none included, is refused with E_INVALIDARG and error information saying what it
// takes, whether installing or removing, and changes nothing.
TEST_F(RegistrationTest, DllInstallTakesOnlyUser) {
    PrivateClasses root(kUserScope);
    const std::vector<std::wstring> empty = root.Tree();
    const ZorvaneDll dll(copy_);
    const wchar_t* const refused[] = {nullptr, L"", L"machine", L"user ", L" user", L"/user", L"users", L"Benutzer"};
    const auto expect_refused = [&](const std::vector<std::wstring>& tree) {
        for (const wchar_t* line : refused) {
            for (const bool install : {true, false}) {
                SCOPED_TRACE(testing::Message() << (install ? "install " : "uninstall ")
                                                << (line != nullptr ? line : L"(none)"));
                SetErrorInfo(0, nullptr);
                EXPECT_EQ(dll.Install(install, line), E_INVALIDARG);
                const std::wstring description = TakeErrorDescription();
                EXPECT_TRUE(Contains(description, L"\"user\"")) << description.c_str();
                EXPECT_EQ(root.Tree(), tree);
            }
        }
    };
    expect_refused(empty);
    ASSERT_EQ(dll.Install(true, L"User"), S_OK);
    const std::vector<std::wstring> registered = root.Tree();
    EXPECT_TRUE(root.KeyExists(L"CLSID\\" + GuidText(kPlugInClassId)));
    expect_refused(registered);
    EXPECT_EQ(dll.Install(false, L"USER"), S_OK);
    EXPECT_EQ(root.Tree(), empty);
}

}  // namespace
}  // namespace zorvane::test
