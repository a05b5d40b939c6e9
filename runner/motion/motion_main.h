#pragma once
#include "core/runtime.h"

namespace kx {

class CStream;

// Creates rt.motion, registers the motion and path functions and fills the
// world's motion hook. After init_world.
void init_motion(Runtime& rt);
// The game data's path section.
bool read_paths_section(CStream& s);

}  // namespace kx
