#pragma once
#include "core/runtime.h"
#include "motion/path_class.h"

namespace kx {

class CStream;
class CInstance;
class FunctionTable;

struct MotionState {
    PathList paths;
};

MotionState& motion();

// Creates rt.motion, registers the motion and path functions and fills the
// world's motion hook and the collision step's path step. After init_world
// and init_collision.
void init_motion(Runtime& rt);
// The game data's path section.
bool read_paths_section(CStream& s);

// Puts the instance on a path (a negative or unusable path takes it off).
void path_start(CInstance& inst, int64_t path, double speed, int32_t endaction, bool absolute);
// One step along the instance's path; true when an end was reached.
bool path_step(CInstance& inst);
// The step's motion of one instance: friction, gravity, the path (with its
// End Of Path event) and the move by the speeds.
void move_instance(CInstance& inst);
// Wrapping as the action library does it: by the sprite's size, only in the
// direction of motion.
void action_wrap(CInstance& inst, bool horizontal, bool vertical);

void register_function_motion(FunctionTable& table);
void register_function_path(FunctionTable& table);

}  // namespace kx
