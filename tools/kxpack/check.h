#pragma once
// The build-time check: the built game is loaded by the runner's own readers
// and every piece of code is compiled by the runner's own compiler, so a game
// that kxpack accepts loads and compiles in kxrun.
#include <cstdint>
#include <string>
#include <vector>

#include "kxpack/game_source.h"

namespace kx::pack {

// The problems of a built game, one a line, each naming the source file (and,
// for code, the line and position): empty when it would load and compile.
std::vector<std::string> check_game(const GameSource& g, const std::vector<uint8_t>& bytes);

// Line and column (both from 1) of a 1-based position in a text whose lines
// end in LF, CR LF or CR.
void line_and_column(const std::string& text, int position, int& line, int& column);

}  // namespace kx::pack
