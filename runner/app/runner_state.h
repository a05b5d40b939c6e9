#pragma once
// Process-wide runner facts from the game data's header and container.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gamedata/game_info.h"

namespace kx {

class TempFolder;

struct RunnerState {
    bool debug_mode = false;
    int32_t game_id = 0;
    std::array<uint8_t, 16> game_identifier{};
    bool delete_extra_files = false;
    std::vector<std::string> extra_files;
    std::string temp_dir;                 // empty when it could not be made
    std::string game_file;                // the file the game data came from
    std::vector<std::string> parameters;  // game arguments for parameter_string
    // Read here until the information window lands; the library code and the
    // room order live in the world's state.
    GameInformation game_info;
};

}  // namespace kx
