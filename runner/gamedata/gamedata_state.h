#pragma once
// The game data subsystem: what the container and the game data's header
// say, the game settings and the game information page.
#include <string>
#include <vector>

#include "core/subsystem.h"
#include "gamedata/game_data.h"
#include "gamedata/game_info.h"
#include "gamedata/game_settings.h"

namespace kx {

struct Runtime;

struct GameDataState {
    GameHeader header;
    GameSettings settings;
    GameInformation info;
    bool delete_extra_files = false;
    std::vector<std::string> extra_files;  // every target path of the container's extra files
};

extern const Subsystem kGameDataSubsystem;

// Readers for every section that a subsystem of this runtime reads; the
// other sections accept only an empty one.
GameDataHandlers section_readers(Runtime& r);

}  // namespace kx
