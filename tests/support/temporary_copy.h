#pragma once
// A file copied into a fresh folder of its own in the temporary folder, for a test that
// registers or changes a copy rather than the build's file; the folder goes at the end of
// the scope.
#include <filesystem>
#include <string>
#include <system_error>

namespace zorvane::test {

class TemporaryCopy {
public:
    // Throws std::filesystem::filesystem_error.
    TemporaryCopy(const std::wstring& folder_name, const std::filesystem::path& source)
        : folder_(std::filesystem::temp_directory_path() / folder_name),
          path_((folder_ / source.filename()).wstring()) {
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        std::filesystem::copy_file(source, path_);
    }
    ~TemporaryCopy() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;

    const std::wstring& path() const noexcept { return path_; }

private:
    std::filesystem::path folder_;
    std::wstring path_;
};

}  // namespace zorvane::test
