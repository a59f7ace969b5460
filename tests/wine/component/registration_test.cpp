// Registration and unregistration of a copy of the DLL, with HKEY_CLASSES_ROOT of this
// process redirected to a private key so that the prefix's registration stays as it is.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "tests/wine/component/component_support.h"
#include "win/registry.h"

namespace zorvane::test {
namespace {

using win::GuidText;
using win::RegistryKey;

inline constexpr wchar_t kPrivateRoot[] = L"Software\\ZorvaneRegistrationTest";

// Redirects HKEY_CLASSES_ROOT to a fresh private key for its lifetime.
class PrivateClassesRoot {
public:
    PrivateClassesRoot() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kPrivateRoot);
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kPrivateRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("no private key");
        root_.reset(key);
        if (RegOverridePredefKey(HKEY_CLASSES_ROOT, root_.get()) != ERROR_SUCCESS)
            throw std::runtime_error("RegOverridePredefKey failed");
    }
    ~PrivateClassesRoot() {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        root_.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, kPrivateRoot);
    }
    PrivateClassesRoot(const PrivateClassesRoot&) = delete;
    PrivateClassesRoot& operator=(const PrivateClassesRoot&) = delete;

private:
    RegistryKey root_;
};

// The text of a value under the private root; nullopt when the key or value is absent.
std::optional<std::wstring> ReadText(const std::wstring& path, const wchar_t* name = nullptr) {
    const std::wstring full = std::wstring(kPrivateRoot) + L"\\" + path;
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CURRENT_USER, full.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

// A key under the private root, opened for reading; empty when absent.
RegistryKey OpenKey(const std::wstring& path) {
    HKEY key = nullptr;
    const std::wstring full = std::wstring(kPrivateRoot) + L"\\" + path;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) key = nullptr;
    return RegistryKey(key);
}

bool KeyExists(const std::wstring& path) { return static_cast<bool>(OpenKey(path)); }

// Counts subkeys of a key under the private root (0 when absent).
DWORD SubkeyCount(const std::wstring& path) {
    const RegistryKey key = OpenKey(path);
    DWORD count = 0;
    if (key) {
        RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr);
    }
    return count;
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

TEST_F(RegistrationTest, RegistersTheClassAndLibraryAndRemovesThemAgain) {
    const std::wstring clsid = GuidText(kPlugInClassId);
    const std::wstring libid = GuidText(kLibraryId);
    const std::wstring iid = GuidText(__uuidof(_clsVELTPlugIn));
    PrivateClassesRoot root;
    {
        ZorvaneDll dll(copy_);
        ASSERT_EQ(dll.RegisterServer(), S_OK);
    }

    struct Value {
        std::wstring key;
        const wchar_t* name;
        std::wstring expected;
    };
    const Value values[] = {
        {L"CLSID\\" + clsid + L"\\InprocServer32", nullptr, copy_},
        {L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {L"CLSID\\" + clsid + L"\\ProgID", nullptr, L"Zorvane.clsVELTPlugIn"},
        {L"CLSID\\" + clsid + L"\\TypeLib", nullptr, libid},
        {L"CLSID\\" + clsid + L"\\Version", nullptr, L"1.0"},
        {L"Zorvane.clsVELTPlugIn\\CLSID", nullptr, clsid},
        {L"TypeLib\\" + libid + L"\\1.0", nullptr, L"Zorvane"},
        {L"TypeLib\\" + libid + L"\\1.0\\0\\win32", nullptr, copy_},
        {L"Interface\\" + iid, nullptr, L"_clsVELTPlugIn"},
        {L"Interface\\" + iid + L"\\TypeLib", nullptr, libid},
    };
    for (const Value& value : values) {
        SCOPED_TRACE(testing::Message() << value.key.c_str() << " " << (value.name ? value.name : L"(default)"));
        const std::optional<std::wstring> text = ReadText(value.key, value.name);
        ASSERT_TRUE(text.has_value());
        EXPECT_TRUE(CompareStringOrdinal(text->c_str(), -1, value.expected.c_str(), -1, TRUE) == CSTR_EQUAL)
            << "read back: " << text->c_str();
    }
    // The windows and the shared module are private: the only class is the plug-in.
    EXPECT_EQ(SubkeyCount(L"CLSID"), 1u);

    {
        ZorvaneDll dll(copy_);
        ASSERT_EQ(dll.UnregisterServer(), S_OK);
        EXPECT_EQ(dll.UnregisterServer(), S_OK) << "unregistering twice is not an error";
    }
    for (const std::wstring& key : {L"CLSID\\" + clsid, std::wstring(L"Zorvane.clsVELTPlugIn"),
                                    L"TypeLib\\" + libid, L"Interface\\" + iid}) {
        EXPECT_FALSE(KeyExists(key)) << "left behind: " << key.c_str();
    }
    for (const wchar_t* container : {L"CLSID", L"TypeLib", L"Interface"}) {
        EXPECT_EQ(SubkeyCount(container), 0u) << container;
    }
}

// The registry refuses a lasting key below a volatile one; the refusal is the result.
TEST_F(RegistrationTest, ARefusedRegistryStepIsTheResult) {
    PrivateClassesRoot root;
    const std::wstring class_key = std::wstring(kPrivateRoot) + L"\\CLSID\\" + GuidText(kPlugInClassId);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, class_key.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ZorvaneDll dll(copy_);
    EXPECT_EQ(dll.RegisterServer(), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
    EXPECT_EQ(SubkeyCount(L"CLSID\\" + GuidText(kPlugInClassId)), 0u);
}

}  // namespace
}  // namespace zorvane::test
