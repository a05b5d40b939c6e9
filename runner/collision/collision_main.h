#pragma once
#include "core/runtime.h"

namespace kx {

// Creates rt.collision, registers the collision functions and fills the
// world's collision hooks. After init_world and init_graphics_resources.
void init_collision(Runtime& rt);

}  // namespace kx
