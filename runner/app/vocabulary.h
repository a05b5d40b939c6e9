#pragma once
// The built-in vocabulary of a started runtime, as kxrun --list-functions
// prints it and as docs/reference.md is generated from it.
#include <string>

namespace kx {

struct Runtime;

// One line an entry: "function NAME ARGS", "variable NAME read-only|writable",
// "constant NAME VALUE".
std::string vocabulary_text(const Runtime& rt);
// The reference page: the families of functions and whether each is there yet,
// then every function, variable and constant.
std::string vocabulary_markdown(const Runtime& rt);

}  // namespace kx
