#pragma once
// The collision subsystem: its state, the room-wide queries that script code
// and other subsystems call, and the per-step collision and boundary events.
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "collision/collision_index.h"
#include "collision/collision_shape.h"
#include "core/runtime.h"

namespace kx {

struct CollisionState {
    // Room queries go through the grid; false: every query scans the lists
    // (KXRUN_COLLISION_SCAN=1), which must give the same answers.
    bool use_index = true;
    CollisionIndex index;
    // The path step run for instances that meet a solid one; filled by the
    // motion subsystem (empty: instances are not on paths).
    std::function<void(CInstance&)> path_step;
    // Reused buffers: room queries, and the collision step's own (events it
    // runs make room queries).
    std::vector<CInstance*> scratch, near;
    std::vector<std::pair<int32_t, CInstance*>> ranked, turn_ranked;
};

CollisionState& collision();

// Creates rt.collision, registers the collision functions and fills the
// world's collision hooks. After init_world and init_graphics_resources.
void init_collision(Runtime& rt);

// Whether self could stand at (x, y) without meeting a solid instance
// (solid_only) or any instance. Self ends where it was.
bool free_at(CInstance& self, double x, double y, bool solid_only);
// The first instance chosen by obj (-3 all, an object, an id) that self at
// (x, y) meets, or null.
CInstance* instance_place_at(CInstance& self, double x, double y, int32_t obj);

enum class ShapeKind { Point, Rectangle, Ellipse, Line };
// The first instance chosen by obj, not destroyed and not notme, that meets
// the shape; a point uses x1, y1 only.
CInstance* shape_collision(ShapeKind kind, double x1, double y1, double x2, double y2, int32_t obj,
                           bool precise, const CInstance* notme);

// The step parts the game loop calls. Each stops when a transition becomes pending.
void collision_events_step();
void boundary_events_step();

// The collision functions of scripts.
class FunctionTable;
void register_function_collision(FunctionTable& table);

}  // namespace kx
