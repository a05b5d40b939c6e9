#include "motion/motion_main.h"

#include "gamedata/game_data.h"

namespace kx {

void init_motion(Runtime&) {}

bool read_paths_section(CStream& s) { return read_empty_section(Section::Paths, s); }

}  // namespace kx
