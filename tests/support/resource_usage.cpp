#include "tests/support/resource_usage.h"

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>

#include "tests/support/windows_kind.h"

namespace zorvane::test {
namespace {

// Where the PEB holds what is read here, in the layout of this program's kind (Windows'
// layout, which Wine keeps): TlsBitmap, TlsExpansionBitmap, GdiSharedHandleTable.
struct PebOffsets {
    std::size_t tls_bitmap;
    std::size_t tls_expansion_bitmap;
    std::size_t gdi_handle_table;
};
constexpr PebOffsets kPeb = kThisProgram.pointer_bytes == 8 ? PebOffsets{0x78, 0x238, 0xF8}
                                                            : PebOffsets{0x40, 0x150, 0x94};

// Wine keeps the GDI handle table in memory shared with the process (the PEB's
// GdiSharedHandleTable), 0x10000 entries of 24 bytes in either kind of process (Wine's
// ntgdi.h); a live entry has a type.
struct WineGdiEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;  // bit 7: stock object
    std::uint8_t type;
    std::uint8_t flags;
    std::uint64_t user;
};
static_assert(sizeof(WineGdiEntry) == 24);
constexpr int kWineGdiEntries = 0x10000;

bool GuiResourcesCounted() {
    SetLastError(ERROR_SUCCESS);
    const DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    return count != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
}

long WineGdiObjects() {
    PROCESS_BASIC_INFORMATION basic{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return -1;
    const auto* peb = reinterpret_cast<const std::uint8_t*>(basic.PebBaseAddress);
    const auto* table = *reinterpret_cast<const WineGdiEntry* const*>(peb + kPeb.gdi_handle_table);
    if (table == nullptr) return -1;
    long live = 0;
    for (int i = 0; i < kWineGdiEntries; ++i) {
        if (table[i].type != 0 && (table[i].unique & 0x80) == 0) ++live;
    }
    return live;
}

// TlsAlloc takes the first clear bit of the PEB's TlsBitmap (64 slots), then of its
// TlsExpansionBitmap (1024), both RTL_BITMAP, in Windows and in Wine alike.
struct TlsBitmap {
    ULONG size;
    const ULONG* bits;
};

long TlsSlotsInUse() {
    PROCESS_BASIC_INFORMATION basic{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return -1;
    const auto* peb = reinterpret_cast<const std::uint8_t*>(basic.PebBaseAddress);
    long used = 0;
    for (const std::size_t offset : {kPeb.tls_bitmap, kPeb.tls_expansion_bitmap}) {
        const auto* bitmap = *reinterpret_cast<const TlsBitmap* const*>(peb + offset);
        if (bitmap == nullptr) continue;
        for (ULONG i = 0; i < bitmap->size; ++i) used += (bitmap->bits[i / 32] >> (i % 32)) & 1;
    }
    return used;
}

// Handles are handed out lowest free first: a long run of invalid values ends the table.
template <class Visit>
void ScanHandleTable(Visit visit) {
    int misses = 0;
    for (std::uintptr_t value = 4; misses < 1024; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            visit(reinterpret_cast<HANDLE>(value));
            misses = 0;
        } else {
            ++misses;
        }
    }
}

long ScannedKernelHandles() {
    long valid = 0;
    ScanHandleTable([&](HANDLE) { ++valid; });
    return valid;
}

std::wstring TypeOfHandle(HANDLE handle) {
    alignas(8) unsigned char buffer[1024];
    ULONG length = 0;
    if (NtQueryObject(handle, ObjectTypeInformation, buffer, sizeof buffer, &length) != 0) return L"?";
    const auto* type = reinterpret_cast<const PUBLIC_OBJECT_TYPE_INFORMATION*>(buffer);
    return std::wstring(type->TypeName.Buffer, type->TypeName.Length / sizeof(wchar_t));
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<long*>(count);
    return TRUE;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        ++*reinterpret_cast<long*>(count);
        // Children of this window, all levels (EnumChildWindows descends by itself).
        EnumChildWindows(window, CountChild, count);
    }
    return TRUE;
}

long WindowsOfProcess() {
    long count = 0;
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

std::size_t CommittedPrivateBytes() {
    std::size_t total = 0;
    MEMORY_BASIC_INFORMATION region{};
    const char* at = nullptr;
    while (VirtualQuery(at, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

}  // namespace

ResourceUsage SampleResources() {
    ResourceUsage usage;
    DWORD handles = 0;
    usage.kernel_handles = GetProcessHandleCount(GetCurrentProcess(), &handles) && handles != 0
                               ? static_cast<long>(handles)
                               : ScannedKernelHandles();
    if (GuiResourcesCounted()) {
        usage.gdi_objects = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
        usage.user_objects = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    } else {
        usage.gdi_objects = WineGdiObjects();
        usage.user_objects = WindowsOfProcess();
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    const bool reported = GetProcessMemoryInfo(GetCurrentProcess(),
                                               reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    usage.private_bytes = reported && memory.PrivateUsage != 0 ? memory.PrivateUsage : CommittedPrivateBytes();
    if (reported) {
        usage.pagefile_bytes = memory.PagefileUsage;
        usage.working_set_bytes = memory.WorkingSetSize;
    }
    usage.tls_slots = TlsSlotsInUse();
    return usage;
}

std::map<std::wstring, long> HandlesByType() {
    std::map<std::wstring, long> types;
    ScanHandleTable([&](HANDLE handle) { ++types[TypeOfHandle(handle)]; });
    return types;
}

std::wstring ResourceSources() {
    DWORD handles = 0;
    std::wstring text = GetProcessHandleCount(GetCurrentProcess(), &handles) && handles != 0
                            ? L"handles: GetProcessHandleCount"
                            : L"handles: table scan (GetProcessHandleCount answers 0)";
    text += GuiResourcesCounted() ? L"; GDI/USER: GetGuiResources"
                                  : L"; GDI: Wine's GDI handle table, USER: windows of the process "
                                    L"(GetGuiResources not implemented)";
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    const bool counted = GetProcessMemoryInfo(GetCurrentProcess(),
                                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory) &&
                         memory.PrivateUsage != 0;
    text += counted ? L"; private: PrivateUsage" : L"; private: committed private pages (PrivateUsage answers 0)";
    return text + L"; TLS: the PEB's TLS bitmaps";
}

std::string Describe(const ResourceUsage& usage) {
    char text[160];
    std::snprintf(text, sizeof text, "handles %ld, GDI %ld, USER %ld, private %.2f MiB, TLS %ld", usage.kernel_handles,
                  usage.gdi_objects, usage.user_objects, static_cast<double>(usage.private_bytes) / (1024.0 * 1024.0),
                  usage.tls_slots);
    return text;
}

}  // namespace zorvane::test
