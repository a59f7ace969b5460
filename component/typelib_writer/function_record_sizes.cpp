#include "component/typelib_writer/function_record_sizes.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvane::typelib_writer {
namespace {

// Where the parts of a library file (MSFT) are that lead to its function records.
constexpr size_t kHeaderSize = 0x54;
constexpr size_t kLibraryFlagsAt = 0x14;
constexpr size_t kTypeCountAt = 0x20;
constexpr uint32_t kHasHelpLibrary = 0x100;  // one more field after the header
constexpr size_t kTypeSize = 100;            // a type's entry in the type table
constexpr size_t kTypeRecordsAt = 4;         // in the entry: the offset of its records
constexpr size_t kTypeMemberCountsAt = 24;   // in the entry: functions (low), variables (high)
constexpr size_t kRecordSizeAt = 0;          // in a function record: its length (low half)
constexpr size_t kDescriptionSizeAt = 14;
constexpr size_t kRecordFlagsAt = 16;
constexpr size_t kParameterCountAt = 20;
constexpr uint32_t kHasDefaultValues = 0x1000;

struct StructureSizes {
    int function;   // FUNCDESC
    int parameter;  // ELEMDESC
};

StructureSizes SizesOf(SYSKIND kind) {
    switch (kind) {
    case SYS_WIN32: return {52, 16};
    case SYS_WIN64: return {88, 32};
    default: throw std::runtime_error("function record sizes: neither a 32- nor a 64-bit library");
    }
}

class LibraryBytes {
public:
    explicit LibraryBytes(const std::filesystem::path& path) : path_(path) {
        std::ifstream in(path, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in && !in.eof()) throw std::runtime_error("function record sizes: cannot read " + path.string());
    }

    template <class T>
    T Read(size_t at) const {
        Check(at, sizeof(T));
        T value;
        std::memcpy(&value, bytes_.data() + at, sizeof(T));
        return value;
    }
    template <class T>
    void Write(size_t at, T value) {
        Check(at, sizeof(T));
        std::memcpy(bytes_.data() + at, &value, sizeof(T));
    }

    void Save() const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
        if (!out) throw std::runtime_error("function record sizes: cannot write " + path_.string());
    }

private:
    void Check(size_t at, size_t size) const {
        if (at > bytes_.size() || size > bytes_.size() - at) {
            throw std::runtime_error("function record sizes: " + path_.string() + " ends before offset " +
                                     std::to_string(at + size));
        }
    }

    std::filesystem::path path_;
    std::vector<char> bytes_;
};

}  // namespace

void MatchFunctionRecordSizesToKind(const std::filesystem::path& library, SYSKIND kind) {
    const StructureSizes wanted = SizesOf(kind);
    const StructureSizes written = {static_cast<int>(sizeof(FUNCDESC)), static_cast<int>(sizeof(ELEMDESC))};
    if (wanted.function == written.function && wanted.parameter == written.parameter) return;

    LibraryBytes bytes(library);
    const uint32_t type_count = bytes.Read<uint32_t>(kTypeCountAt);
    size_t directory = kHeaderSize + (bytes.Read<uint32_t>(kLibraryFlagsAt) & kHasHelpLibrary ? 4 : 0);
    directory += 4 * static_cast<size_t>(type_count);  // the offsets of the types
    const size_t type_table = bytes.Read<uint32_t>(directory);  // the directory's first part

    for (uint32_t type = 0; type < type_count; ++type) {
        const size_t entry = type_table + type * kTypeSize;
        const uint32_t counts = bytes.Read<uint32_t>(entry + kTypeMemberCountsAt);
        if (counts >> 16 != 0) throw std::runtime_error("function record sizes: variables are not handled");
        size_t record = bytes.Read<uint32_t>(entry + kTypeRecordsAt) + 4;  // after the records' length
        for (uint32_t function = 0; function < (counts & 0xFFFF); ++function) {
            if (bytes.Read<uint32_t>(record + kRecordFlagsAt) & kHasDefaultValues) {
                throw std::runtime_error("function record sizes: default values are not handled");
            }
            const int parameters = bytes.Read<int16_t>(record + kParameterCountAt);
            const int size = bytes.Read<int16_t>(record + kDescriptionSizeAt) +
                             (wanted.function - written.function) +
                             parameters * (wanted.parameter - written.parameter);
            bytes.Write<int16_t>(record + kDescriptionSizeAt, static_cast<int16_t>(size));
            const uint16_t length = bytes.Read<uint16_t>(record + kRecordSizeAt);
            if (length == 0) throw std::runtime_error("function record sizes: a function record of no length");
            record += length;
        }
    }
    bytes.Save();
}

}  // namespace zorvane::typelib_writer
