#include "collision/collision_main.h"

namespace kx {

void init_collision(Runtime&) {}

}  // namespace kx
