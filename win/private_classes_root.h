#pragma once
// HKEY_CLASSES_ROOT of this process redirected to a fresh private key below
// HKEY_CURRENT_USER for as long as this lives: what registers there (a test's
// registration, a library that oleaut32 registers on its own) leaves the machine's classes
// as they were.
#include <windows.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "win/handles.h"

namespace zorvane::win {

class PrivateClassesRoot {
public:
    // path: below HKEY_CURRENT_USER, emptied first. Throws std::runtime_error.
    explicit PrivateClassesRoot(std::wstring path) : path_(std::move(path)) {
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            throw std::runtime_error("no private key");
        }
        root_.reset(key);
        if (RegOverridePredefKey(HKEY_CLASSES_ROOT, root_.get()) != ERROR_SUCCESS) {
            throw std::runtime_error("RegOverridePredefKey failed");
        }
    }
    ~PrivateClassesRoot() {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        root_.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    PrivateClassesRoot(const PrivateClassesRoot&) = delete;
    PrivateClassesRoot& operator=(const PrivateClassesRoot&) = delete;

    HKEY get() const noexcept { return root_.get(); }
    // A key below the private root, opened for reading; empty when absent.
    UniqueRegistryKey Open(const std::wstring& path) const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root_.get(), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) key = nullptr;
        return UniqueRegistryKey(key);
    }

private:
    std::wstring path_;
    UniqueRegistryKey root_;
};

}  // namespace zorvane::win
