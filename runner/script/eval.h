#pragma once
// Runs a piece of program text outside any game loop and prints its result.
#include <string_view>

namespace kx {

struct Runtime;

// Compiles the text as a program (with whatever the loaded game defines), runs
// it with a temporary instance as self and other, and prints the result slot
// on the console: 0. On a compile or run-time error prints the message, every
// CR (or CR LF) written as one line feed: 1.
int eval_program(Runtime& rt, std::string_view code);

}  // namespace kx
