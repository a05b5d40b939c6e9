#pragma once
// The motion subsystem: the game's paths, following them, and the step's
// motion of every instance.
#include <cstdint>

#include "core/subsystem.h"
#include "motion/path_class.h"

namespace kx {

class CInstance;
class FunctionTable;
struct Runtime;

struct MotionState {
    PathList paths;
};

extern const Subsystem kMotionSubsystem;

// Puts the instance on a path (a negative or unusable path takes it off).
void path_start(Runtime& r, CInstance& inst, int64_t path, double speed, int32_t endaction,
                bool absolute);
// One step along the instance's path; true when an end was reached.
bool path_step(Runtime& r, CInstance& inst);
// The step's motion of one instance: friction, gravity, the path (with its
// End Of Path event) and the move by the speeds.
void move_instance(Runtime& r, CInstance& inst);
// Wrapping as the action library does it: by the sprite's size, only in the
// direction of motion.
void action_wrap(Runtime& r, CInstance& inst, bool horizontal, bool vertical);

void register_function_motion(FunctionTable& table);
void register_function_path(FunctionTable& table);

}  // namespace kx
