#pragma once

#include <filesystem>
#include <string>

namespace platform {

// A shared library loaded at run time (dlopen/dlsym), released on
// destruction. Move-only: exactly one owner closes the handle.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // A name with a '/' is loaded from that path, a bare name through the
    // normal library search. Symbols stay local to this library.
    bool open(const std::string& fileOrName);
    bool isOpen() const { return handle_ != nullptr; }
    void close();

    // Address of an exported function or variable, or null.
    void* symbol(const char* name) const;

    // The loader's text for the last failure of open().
    const std::string& lastError() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace platform
