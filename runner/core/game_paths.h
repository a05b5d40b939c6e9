#pragma once
// Where a game's own files live. Relative names resolve against the game's
// folder (RunOptions::working_dir; the process's folder when unset). When that
// folder cannot be written, writes go to the game's writable folder
// (RunOptions::write_dir) and reads find a file there before the game's
// folder, so the game sees one folder. Saves, INI files, high scores and the
// file functions all resolve through these two calls.
#include <string>
#include <string_view>

namespace kx {

struct RunOptions;

std::string game_read_path(const RunOptions& o, std::string_view name);
std::string game_write_path(const RunOptions& o, std::string_view name);

}  // namespace kx
