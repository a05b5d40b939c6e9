#pragma once
// What the command line and the program's surroundings decide for one run.
// The program fills it before the subsystems start; any subsystem reads it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx {

struct RunOptions {
    std::string game_file;    // the file the game data comes from
    std::string working_dir;  // where the game runs (extra files, relative paths)
    // Where the game's writes go when working_dir cannot be written (the
    // per-game folder under $XDG_DATA_HOME/kxrun/games/); empty or equal to
    // working_dir otherwise. See core/game_paths.h.
    std::string write_dir;
    std::string temp_dir;  // the run's temporary folder; empty when none could be made
    std::vector<std::string> parameters;  // game arguments
    long long steps = -1;                 // end the game after this many steps (-1: never)
    std::optional<uint64_t> seed;         // every game start seeds the generator with it
    std::string input_file;               // replay recorded input
    std::string record_file;              // record the input
    std::string dump_frames_dir;          // every presented frame as PNG
    std::string dump_audio;               // the whole mix as a WAV file
    bool fullscreen = false;              // in place of the game's setting when set
    std::optional<double> scale;          // percent, in place of the game's setting
    // Decided once when the runner starts: no writing outside the game's
    // folder, no programs, no libraries.
    bool secure_mode = false;
};

}  // namespace kx
