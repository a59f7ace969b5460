// Zorvane.dll as a file: version block, custom resource, resource languages, the headers of
// its kind, export and import tables. Only read, never loaded: these tests check a DLL of
// either kind (ZORVANE_DLL_UNDER_TEST).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/wine/component/component_support.h"
#include "tests/wine/component/windows_imports.h"
#include "ui/win32/ui_resource_ids.h"

namespace zorvane::test {
namespace {

// One node of a version block: key, value and children, in file order.
struct VersionNode {
    std::wstring key;
    WORD type = 0;
    std::vector<BYTE> value;
    std::vector<VersionNode> children;
};

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

VersionNode ParseVersionNode(const BYTE* block, size_t offset, size_t* end) {
    WORD length, value_length;
    VersionNode node;
    std::memcpy(&length, block + offset, 2);
    std::memcpy(&value_length, block + offset + 2, 2);
    std::memcpy(&node.type, block + offset + 4, 2);
    size_t position = offset + 6;
    for (wchar_t c; std::memcpy(&c, block + position, 2), position += 2, c != L'\0';) node.key.push_back(c);
    position = Align4(position);
    // Text values count their length in characters, binary ones in bytes.
    const size_t value_bytes = node.type == 1 ? value_length * 2u : value_length;
    node.value.assign(block + position, block + position + value_bytes);
    position = Align4(position + value_bytes);
    *end = offset + length;
    while (position < *end) {
        size_t child_end = 0;
        node.children.push_back(ParseVersionNode(block, position, &child_end));
        position = Align4(child_end);
    }
    return node;
}

std::wstring TextValue(const VersionNode& node) {
    std::wstring text(reinterpret_cast<const wchar_t*>(node.value.data()), node.value.size() / 2);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

struct ResourceEntry {
    std::wstring type;  // a name, or "#n" for an identifier
    std::wstring name;
    WORD language;
    std::vector<BYTE> bytes;
};

// The PE file's headers, read from disk: PE32 or PE32+, as the optional header's magic says.
class PeFile {
    // A field of the optional header, which has its own layout in PE32 and in PE32+.
    template <class Read>
    decltype(auto) Optional(Read read) const {
        return magic_ == IMAGE_NT_OPTIONAL_HDR32_MAGIC ? read(*optional32_) : read(*optional64_);
    }

public:
    explicit PeFile(const std::wstring& path) {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        if (!in) throw std::runtime_error("the DLL does not open");
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        const auto* dos = At<IMAGE_DOS_HEADER>(0);
        if (dos->e_magic != IMAGE_DOS_SIGNATURE) throw std::runtime_error("no DOS header");
        const size_t nt = static_cast<size_t>(dos->e_lfanew);
        if (*At<DWORD>(nt) != IMAGE_NT_SIGNATURE) throw std::runtime_error("no PE signature");
        file_header_ = At<IMAGE_FILE_HEADER>(nt + sizeof(DWORD));
        const size_t optional = nt + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
        magic_ = *At<WORD>(optional);
        if (magic_ == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
            optional32_ = At<IMAGE_OPTIONAL_HEADER32>(optional);
        } else if (magic_ == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
            optional64_ = At<IMAGE_OPTIONAL_HEADER64>(optional);
        } else {
            throw std::runtime_error("an optional header neither PE32 nor PE32+");
        }
        sections_ = optional + file_header_->SizeOfOptionalHeader;
    }
    const IMAGE_FILE_HEADER& file_header() const { return *file_header_; }
    WORD optional_header_magic() const { return magic_; }
    WORD MajorImageVersion() const { return Optional([](const auto& h) { return h.MajorImageVersion; }); }
    WORD MinorImageVersion() const { return Optional([](const auto& h) { return h.MinorImageVersion; }); }
    WindowsVersion OperatingSystemVersion() const {
        return Optional([](const auto& h) { return WindowsVersion{h.MajorOperatingSystemVersion, h.MinorOperatingSystemVersion}; });
    }
    WindowsVersion SubsystemVersion() const {
        return Optional([](const auto& h) { return WindowsVersion{h.MajorSubsystemVersion, h.MinorSubsystemVersion}; });
    }

    // Every function imported by name, with its library, from the import table's name thunks
    // (4 bytes wide in PE32, 8 in PE32+).
    std::vector<std::pair<std::string, std::string>> ImportsByName() const {
        std::vector<std::pair<std::string, std::string>> found;
        const auto* entry = AtRva<IMAGE_IMPORT_DESCRIPTOR>(Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress);
        for (; entry->Name != 0; ++entry) {
            const std::string library = TextAt(entry->Name);
            const DWORD thunks = entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk : entry->FirstThunk;
            const bool wide = magic_ == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
            for (DWORD at = thunks;; at += wide ? 8 : 4) {
                const ULONGLONG thunk = wide ? *AtRva<ULONGLONG>(at) : *AtRva<DWORD>(at);
                if (thunk == 0) break;
                const ULONGLONG by_ordinal = wide ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32;
                if (thunk & by_ordinal) {
                    std::string ordinal = std::to_string(thunk & 0xFFFF);
                    found.emplace_back(library, ordinal.insert(0, 1, '#'));
                } else {
                    found.emplace_back(library, TextAt(static_cast<DWORD>(thunk) + offsetof(IMAGE_IMPORT_BY_NAME, Name)));
                }
            }
        }
        return found;
    }

    template <class T>
    const T* AtRva(DWORD rva) const {
        for (WORD i = 0; i < file_header_->NumberOfSections; ++i) {
            const auto* section = At<IMAGE_SECTION_HEADER>(sections_ + i * sizeof(IMAGE_SECTION_HEADER));
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize)
                return At<T>(rva - section->VirtualAddress + section->PointerToRawData);
        }
        throw std::runtime_error("address outside every section");
    }
    std::string TextAt(DWORD rva) const { return AtRva<char>(rva); }

    // Every resource, walked entry by entry: what the file holds, all languages included.
    std::vector<ResourceEntry> Resources() const {
        std::vector<ResourceEntry> found;
        const DWORD root = Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE).VirtualAddress;
        for (const auto& [type, type_offset] : Entries(root, 0)) {
            for (const auto& [name, name_offset] : Entries(root, type_offset)) {
                for (const auto& [language, data_offset] : Entries(root, name_offset)) {
                    const auto* data = AtRva<IMAGE_RESOURCE_DATA_ENTRY>(root + data_offset);
                    const BYTE* bytes = AtRva<BYTE>(data->OffsetToData);
                    found.push_back({type, name, static_cast<WORD>(std::stoi(language.substr(1))),
                                     std::vector<BYTE>(bytes, bytes + data->Size)});
                }
            }
        }
        return found;
    }
    const IMAGE_DATA_DIRECTORY& Directory(int index) const {
        return Optional([index](const auto& h) -> const IMAGE_DATA_DIRECTORY& {
            if (static_cast<DWORD>(index) >= h.NumberOfRvaAndSizes) throw std::runtime_error("no such directory");
            return h.DataDirectory[index];
        });
    }

private:
    // The entries of one resource directory: names as text, identifiers as "#n".
    std::vector<std::pair<std::wstring, DWORD>> Entries(DWORD root, DWORD offset) const {
        const auto* directory = AtRva<IMAGE_RESOURCE_DIRECTORY>(root + offset);
        const auto* entry = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(directory + 1);
        std::vector<std::pair<std::wstring, DWORD>> entries;
        for (int i = 0; i < directory->NumberOfNamedEntries + directory->NumberOfIdEntries; ++i, ++entry) {
            std::wstring key;
            if (entry->NameIsString) {
                const auto* name = AtRva<IMAGE_RESOURCE_DIR_STRING_U>(root + entry->NameOffset);
                key.assign(name->NameString, name->Length);
            } else {
                key = L"#" + std::to_wstring(entry->Id);
            }
            entries.emplace_back(key, entry->OffsetToDirectory);
        }
        return entries;
    }

    template <class T>
    const T* At(size_t offset) const {
        if (offset + sizeof(T) > bytes_.size()) throw std::runtime_error("outside the file");
        return reinterpret_cast<const T*>(bytes_.data() + offset);
    }
    std::vector<char> bytes_;
    const IMAGE_FILE_HEADER* file_header_ = nullptr;
    WORD magic_ = 0;
    const IMAGE_OPTIONAL_HEADER32* optional32_ = nullptr;
    const IMAGE_OPTIONAL_HEADER64* optional64_ = nullptr;
    size_t sections_ = 0;
};

class ModuleFileTest : public testing::Test {
protected:
    // The resources of one type and name, in every language present.
    std::vector<ResourceEntry> Resources(const std::wstring& type, const std::wstring& name = L"#1") const {
        std::vector<ResourceEntry> matching;
        for (ResourceEntry& entry : file_.Resources()) {
            if (entry.type == type && entry.name == name) matching.push_back(std::move(entry));
        }
        return matching;
    }

    PeFile file_{ZorvaneDllPath()};
};

TEST_F(ModuleFileTest, VersionStringsReadByTheSystem) {
    const std::wstring path = ZorvaneDllPath();
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(2, 0));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(4, 0));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(2, 0));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(4, 0));
    EXPECT_EQ(fixed->dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"CompanyName", L"Ulvmar"},       {L"ProductName", L"Zorvane"},
        {L"FileVersion", L"0.02.0004"},    {L"ProductVersion", L"0.02.0004"},
        {L"InternalName", L"Zorvane"},     {L"OriginalFilename", L"Zorvane.dll"},
        {L"OLESelfRegister", L""},
    };
    for (const auto& [name, expected] : strings) {
        SCOPED_TRACE(testing::Message() << name);
        wchar_t* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040704B0\\") + name;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length));
        EXPECT_STREQ(text, expected);
    }

    // The raw block: VarFileInfo first, then one string table with exactly those
    // entries in that order.
    size_t end = 0;
    const VersionNode root = ParseVersionNode(block.data(), 0, &end);
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");
    ASSERT_EQ(root.children.size(), 2u);
    const VersionNode& variables = root.children[0];
    const VersionNode& texts = root.children[1];
    EXPECT_EQ(variables.key, L"VarFileInfo");
    EXPECT_EQ(texts.key, L"StringFileInfo");
    ASSERT_EQ(variables.children.size(), 1u);
    EXPECT_EQ(variables.children[0].key, L"Translation");
    EXPECT_EQ(variables.children[0].value, (std::vector<BYTE>{0x07, 0x04, 0xB0, 0x04}));
    ASSERT_EQ(texts.children.size(), 1u);
    EXPECT_EQ(texts.children[0].key, L"040704B0");
    const std::vector<VersionNode>& entries = texts.children[0].children;
    ASSERT_EQ(entries.size(), std::size(strings));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].key, strings[i].first);
        EXPECT_EQ(TextValue(entries[i]), strings[i].second);
    }
}

TEST_F(ModuleFileTest, ResourcesStandInTheirLanguages) {
    struct Case {
        const wchar_t* type;
        WORD language;
    };
    const Case cases[] = {
        {L"#16", MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)},  // the version block
        {L"TYPELIB", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)},
        {L"_IID_CLSVELTPLUGIN", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type);
        const std::vector<ResourceEntry> found = Resources(c.type);
        ASSERT_EQ(found.size(), 1u) << "one language only";
        EXPECT_EQ(found[0].language, c.language);
    }
}

TEST_F(ModuleFileTest, CustomResourceHoldsTheDefaultInterfaceIdentifier) {
    const std::vector<ResourceEntry> found = Resources(L"_IID_CLSVELTPLUGIN");
    ASSERT_EQ(found.size(), 1u);
    const std::vector<BYTE>& bytes = found[0].bytes;
    const std::vector<BYTE> expected = {0x10, 0x00, 0x00, 0x00, 0x16, 0x70, 0xC7, 0xFE, 0x8D, 0x7A,
                                        0x5A, 0x42, 0x87, 0xBF, 0xC6, 0x1D, 0xE3, 0xC5, 0xA5, 0xF3};
    EXPECT_EQ(bytes, expected);
    ASSERT_EQ(bytes.size(), 20u);
    GUID stored;
    std::memcpy(&stored, bytes.data() + 4, sizeof(stored));
    EXPECT_EQ(stored, __uuidof(_clsVELTPlugIn));
}

// The windows' resources come with the component's own.
TEST_F(ModuleFileTest, CarriesTheWindowsResources) {
    const std::vector<ResourceEntry> pictures = Resources(L"#10", L"#" + std::to_wstring(ZORVANE_IDR_ABOUT_PICTURE));
    ASSERT_EQ(pictures.size(), 1u);
    ASSERT_GE(pictures[0].bytes.size(), 2u);
    EXPECT_EQ(pictures[0].bytes[0], 0xFF) << "a JPEG image";
    EXPECT_EQ(pictures[0].bytes[1], 0xD8);
}

// The imports name their libraries by the file names they were loaded from.
TEST_F(ModuleFileTest, TypeLibraryRecordsItsImportsByFileName) {
    const std::vector<ResourceEntry> found = Resources(L"TYPELIB");
    ASSERT_EQ(found.size(), 1u);
    const std::vector<BYTE>& library = found[0].bytes;
    const std::string text(library.begin(), library.end());
    EXPECT_EQ(text.substr(0, 4), "MSFT");
    for (const char* file : {"stdole2.tlb", "VELTTypeLib.dll"}) {
        EXPECT_NE(text.find(file), std::string::npos) << file;
    }
}

// What a type library's binary form ("MSFT") stores in the sizes of its kind: the kind, and
// for its first type the size of the vtable and the offset of the first function. A 32-bit
// host calls through these offsets as stored.
struct StoredLibrary {
    int syskind;
    int first_type_vtable_bytes;
    int first_function_offset;
};

StoredLibrary ReadStoredLibrary(const std::vector<BYTE>& library) {
    auto read = [&](size_t offset, auto value) {
        if (offset + sizeof(value) > library.size()) throw std::runtime_error("outside the type library");
        std::memcpy(&value, library.data() + offset, sizeof(value));
        return value;
    };
    // The header (0x54 bytes): flags at 0x14, their low nibble the kind; the number of types
    // at 0x20. After it a help DLL's name when flag 0x100 is set, the offset of each type in
    // the type segment, then the segment directory, whose first entry is the type segment.
    const INT flags = read(0x14, INT{});
    const INT types = read(0x20, INT{});
    size_t position = 0x54 + ((flags & 0x100) != 0 ? 4 : 0);
    const INT first_type_offset = read(position, INT{});
    position += 4 * static_cast<size_t>(types);
    const size_t type = static_cast<size_t>(read(position, INT{}) + first_type_offset);
    // A type (0x64 bytes): its members' data at 4, the vtable's size at 0x4E. The members'
    // data: its length, then each function's record: size, return type, flags, then the
    // vtable offset, whose lowest bit is a flag.
    const size_t members = static_cast<size_t>(read(type + 4, INT{}));
    return {flags & 0xF, read(type + 0x4E, SHORT{}), read(members + 16, SHORT{}) & ~1};
}

TEST_F(ModuleFileTest, TypeLibraryStoresItsKindAndVtableInSlotsOfThatKind) {
    const std::vector<ResourceEntry> found = Resources(L"TYPELIB");
    ASSERT_EQ(found.size(), 1u);
    const WindowsKind& kind = ZorvaneDllKind();
    const StoredLibrary stored = ReadStoredLibrary(found[0].bytes);
    EXPECT_EQ(stored.syskind, kind.syskind);
    // _clsVELTPlugIn: IUnknown's three slots, IDispatch's four, then PluginName.
    EXPECT_EQ(stored.first_type_vtable_bytes, static_cast<int>(8 * kind.pointer_bytes));
    EXPECT_EQ(stored.first_function_offset, static_cast<int>(7 * kind.pointer_bytes));
}

TEST(ModuleHeadersTest, IsADllForTheMachineOfItsKind) {
    const PeFile file(ZorvaneDllPath());
    const WindowsKind& kind = ZorvaneDllKind();
    SCOPED_TRACE(kind.name);
    EXPECT_EQ(file.file_header().Machine, kind.machine);
    EXPECT_EQ(file.optional_header_magic(), kind.optional_header_magic);
    EXPECT_NE(file.file_header().Characteristics & IMAGE_FILE_DLL, 0);
}

// The four standard entry points kept at their ordinals, and DllInstall (registration for
// one user) after them.
TEST(ModuleHeadersTest, ExportsExactlyTheFiveEntryPointsByName) {
    const PeFile file(ZorvaneDllPath());
    EXPECT_EQ(file.MajorImageVersion(), 0);
    EXPECT_EQ(file.MinorImageVersion(), 2);

    const auto* exports = file.AtRva<IMAGE_EXPORT_DIRECTORY>(file.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress);
    EXPECT_EQ(file.TextAt(exports->Name), "Zorvane.dll");
    const std::pair<std::string, DWORD> expected[] = {
        {"DllCanUnloadNow", 1}, {"DllGetClassObject", 2}, {"DllInstall", 5}, {"DllRegisterServer", 3},
        {"DllUnregisterServer", 4}};
    EXPECT_EQ(exports->NumberOfFunctions, std::size(expected));
    ASSERT_EQ(exports->NumberOfNames, std::size(expected));
    const DWORD* names = file.AtRva<DWORD>(exports->AddressOfNames);
    const WORD* ordinals = file.AtRva<WORD>(exports->AddressOfNameOrdinals);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        EXPECT_EQ(file.TextAt(names[i]), expected[i].first);
        EXPECT_EQ(ordinals[i] + exports->Base, expected[i].second) << expected[i].first;
    }
}

// The system's folder of libraries of the given kind, as this program names it.
std::wstring SystemFolderOf(const WindowsKind& kind) {
    wchar_t folder[MAX_PATH] = {};
    if (&kind == &kThisProgram) {
        GetSystemDirectoryW(folder, MAX_PATH);
        return folder;
    }
    if (&kind == &kWin32) {
        // The 32-bit half of a 64-bit system. 64-bit Wine without its 32-bit half leaves it
        // empty; the names are then found among the 64-bit libraries, which are named alike.
        GetSystemWow64DirectoryW(folder, MAX_PATH);
        if (GetFileAttributesW((std::wstring(folder) + L"\\kernel32.dll").c_str()) != INVALID_FILE_ATTRIBUTES)
            return folder;
        std::printf("no 32-bit libraries in %ls: imports looked up among the system's own\n", folder);
        GetSystemDirectoryW(folder, MAX_PATH);
        return folder;
    }
    // A 32-bit program sees the 64-bit folder under this name.
    GetWindowsDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\Sysnative";
}

// Linked statically: every imported library is one the system itself provides.
TEST(ModuleHeadersTest, ImportsOnlySystemLibraries) {
    const PeFile file(ZorvaneDllPath());
    const std::wstring system = SystemFolderOf(ZorvaneDllKind());
    const auto* entry = file.AtRva<IMAGE_IMPORT_DESCRIPTOR>(file.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress);
    size_t count = 0;
    for (; entry->Name != 0; ++entry, ++count) {
        std::string name = file.TextAt(entry->Name);
        SCOPED_TRACE(name);
        for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        for (const char* runtime : {"libgcc", "libstdc++", "libwinpthread"}) {
            EXPECT_NE(name.rfind(runtime, 0), 0u);
        }
        const std::wstring in_system = std::wstring(system) + L"\\" + std::wstring(name.begin(), name.end());
        EXPECT_NE(GetFileAttributesW(in_system.c_str()), INVALID_FILE_ATTRIBUTES) << "not in the system folder";
    }
    EXPECT_GT(count, 0u);
}

// An older Windows refuses the module by its header, not by a missing entry point.
TEST(ModuleHeadersTest, HeadersNameTheOldestWindowsItRunsOn) {
    const PeFile file(ZorvaneDllPath());
    EXPECT_EQ(file.OperatingSystemVersion(), kWindows7);
    EXPECT_EQ(file.SubsystemVersion(), kWindows7);
}

// Statically linked runtimes bring imports of their own: each must exist in the oldest
// Windows the headers name, else the loader there fails on it.
TEST(ModuleHeadersTest, ImportsNothingTheOldestWindowsItRunsOnLacks) {
    const PeFile file(ZorvaneDllPath());
    const auto imports = file.ImportsByName();
    ASSERT_FALSE(imports.empty());
    for (const auto& [library, function] : imports) {
        const std::optional<WindowsVersion> brought = WindowsVersionThatBrought(library, function);
        if (!brought) {
            ADD_FAILURE() << library << "!" << function
                          << ": not in tests/wine/component/windows_imports.cpp; add it with the Windows that brought it";
        } else if (*brought > kWindows7) {
            ADD_FAILURE() << library << "!" << function << " came with Windows " << brought->major << "."
                          << brought->minor << ", newer than the 6.1 the module claims";
        }
    }
}

}  // namespace
}  // namespace zorvane::test
