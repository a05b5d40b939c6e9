#pragma once
// Shared libraries that games load by name, and calls of their functions
// with plain values: reals travel as doubles, texts as pointers to
// zero-terminated 8-bit strings.
#include <memory>
#include <span>
#include <string>

namespace kx {

// An opaque loaded library; null is none.
using LibraryHandle = void*;
// An opaque function entry of a loaded library.
using LibraryEntry = void*;

enum class ExternalKind { Real, Text };

// One argument: the kind the function was declared with picks the field.
struct ExternalArg {
    double real = 0;
    const char* text = "";
};

// What a call returns: the real, or the text pointer (owned by the library,
// valid until its next call; may be null).
struct ExternalResult {
    double real = 0;
    const char* text = nullptr;
};

class IDynamicLibraries {
public:
    virtual ~IDynamicLibraries() = default;
    // Loads the library at a path, or by the loader's search when the name
    // has no folder. Null on failure, with the loader's reason in error.
    virtual LibraryHandle open(const std::string& path, std::string* error) = 0;
    // The exported function of that exact name; null when there is none.
    virtual LibraryEntry symbol(LibraryHandle lib, const std::string& name) = 0;
    // Releases one open() of the library.
    virtual void close(LibraryHandle lib) = 0;
    // Calls entry with the arguments in order. stdcall picks the convention
    // where the machine has two; elsewhere both are the C convention.
    virtual ExternalResult call(LibraryEntry entry, bool stdcall,
                                std::span<const ExternalKind> kinds,
                                std::span<const ExternalArg> args, ExternalKind result) = 0;
};

// The loader of this system (dlopen) with calls through libffi.
std::unique_ptr<IDynamicLibraries> create_dynamic_libraries();

}  // namespace kx
