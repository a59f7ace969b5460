#pragma once
// Part of the type-library writer (typelib_writer.cpp), not of the DLL.
#include <windows.h>
#include <oleauto.h>

#include <filesystem>

namespace zorvane::typelib_writer {

// Wine's ICreateTypeLib2 records in every function of a library the size a reader needs to
// rebuild its FUNCDESC, measured with the writer's own structures whatever the library's
// kind: a 64-bit writer gives a 32-bit library 64-bit sizes (128 bytes for a property get
// with a BSTR result, where a 32-bit writer writes 76). Rewrites those sizes in the saved
// library to what a writer of the library's own kind writes. Measured against both writers,
// FUNCDESC and ELEMDESC (one a parameter) are all that differ for what we write; parameter
// default values (PARAMDESCEX) and variables (VARDESC) would differ too and are refused.
// Throws std::runtime_error.
void MatchFunctionRecordSizesToKind(const std::filesystem::path& library, SYSKIND kind);

}  // namespace zorvane::typelib_writer
