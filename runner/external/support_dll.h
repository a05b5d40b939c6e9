#pragma once
// The table of external functions that games define: each entry names a
// library, an exported function, its convention and the kinds of its
// arguments and result. An entry is never removed; its index is the number
// the game calls it by.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dynamic_library.h"
#include "script/rvalue.h"

namespace kx {

struct Runtime;
class IDynamicLibraries;

constexpr int kMaxExternalArgs = 12;
// More arguments than this may only be reals.
constexpr int kMaxTextArgs = 4;

struct RFunction {
    std::string library_name;         // as the game gave it
    LibraryHandle library = nullptr;  // null once the library was freed
    std::string function_name;
    LibraryEntry entry = nullptr;
    int64_t convention = 0;  // 0 dll_cdecl, 1 dll_stdcall
    std::vector<ExternalKind> args;
    ExternalKind result = ExternalKind::Real;
};

// Where a library name is looked for besides the loader's own path.
struct LibrarySearch {
    std::string game_dir;     // the folder of the game file
    std::string working_dir;  // the game's working folder
    // Files of the libraries kxrun brings itself, by the name's stem in lower
    // case ("velunor"): tried first, in order, when they exist.
    std::vector<std::pair<std::string, std::vector<std::string>>> own;
};

// The files and loader names a library name is tried as, in order: for
// "sound.dll", our own library of that name, then sound.so and libsound.so
// beside the game, in the working folder, then by the loader's path. Folder
// parts may use either slash; a drive letter stands for the root. Names in
// folders match without regard to case when the exact name is missing.
std::vector<std::string> library_candidates(std::string_view name, const LibrarySearch& where);

// A script value's kind code (ty_real 0, ty_string 1; anything else is real).
inline ExternalKind external_kind(int64_t code) {
    return code == 1 ? ExternalKind::Text : ExternalKind::Real;
}

struct ExternalState {
    ExternalState() = default;
    ExternalState(const ExternalState&) = delete;
    ExternalState& operator=(const ExternalState&) = delete;

    IDynamicLibraries* loader = nullptr;  // the platform's; null: nothing loads
    LibrarySearch search;
    std::vector<RFunction> functions;
    // Every successful load, released once each by external_free or at the end.
    std::vector<LibraryHandle> loaded;
};

// Defines a function; its number, or -1 when it cannot be defined (too many
// arguments, texts among more than four, the library or the function missing).
int32_t define_external(ExternalState& st, std::string_view library, std::string_view function,
                        int64_t convention, ExternalKind result, std::vector<ExternalKind> args);
// Calls function id with the values; does nothing (a zero of the declared
// result kind) for an unknown id, a different count or a freed library.
RValue call_external(ExternalState& st, int64_t id, std::span<const RValue> values);
// Frees the library of every entry with that name (any case).
void free_external(ExternalState& st, std::string_view library);
// Releases every library still loaded.
void release_all_externals(ExternalState& st);

}  // namespace kx
