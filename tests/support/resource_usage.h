#pragma once
// What the process holds, for checks that nothing grows over many rounds or a long run.
// Wine answers GetGuiResources with ERROR_CALL_NOT_IMPLEMENTED and GetProcessHandleCount
// and PrivateUsage with 0; where the system does not count, the figure is counted here.
#include <cstddef>
#include <map>
#include <string>

namespace zorvane::test {

struct ResourceUsage {
    long kernel_handles = 0;  // GetProcessHandleCount, or valid handles in the handle table
    long gdi_objects = 0;     // GetGuiResources, or live entries of Wine's GDI handle table
    long user_objects = 0;    // GetGuiResources, or the process's windows, children included
    std::size_t private_bytes = 0;  // PrivateUsage, or committed private pages (VirtualQuery)
    long tls_slots = 0;  // TLS indexes in use (the PEB's bitmaps); a process has 1088
    // As the system reports them; under Wine the resident anonymous memory and all
    // resident memory of the Linux process.
    std::size_t pagefile_bytes = 0;
    std::size_t working_set_bytes = 0;
};

ResourceUsage SampleResources();

// The process's kernel handles by type ("Event", "Thread", "File"...), from a scan of the
// handle table.
std::map<std::wstring, long> HandlesByType();

// How each figure was taken, for the report.
std::wstring ResourceSources();

// "handles 31, GDI 24, USER 15, private 6.1 MiB, TLS 5"
std::string Describe(const ResourceUsage& usage);

}  // namespace zorvane::test
