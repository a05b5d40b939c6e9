#pragma once
// The folder a game's writes go to.
#include <cstdint>
#include <string>

namespace kx {

// True when a file can be made in dir (read-only media and folders of other
// users answer false whatever the mode bits say).
bool folder_writable(const std::string& dir);

// working_dir when it can be written; else $XDG_DATA_HOME/kxrun/games/<game id>/
// ($HOME/.local/share when XDG_DATA_HOME is unset or relative), made when
// missing. Falls back to working_dir when no such folder can be made.
std::string choose_write_dir(const std::string& working_dir, int32_t game_id);

}  // namespace kx
