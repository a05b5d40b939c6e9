#pragma once
// The collision subsystem: the room-wide queries that script code and other
// subsystems call, and the per-step collision and boundary events.
#include <cstdint>
#include <utility>
#include <vector>

#include "collision/collision_shape.h"
#include "core/subsystem.h"

namespace kx {

struct Runtime;

struct CollisionState {
    // Room queries go through the world's grid; false: every query scans the
    // lists (KXRUN_COLLISION_SCAN=1), which must give the same answers.
    bool use_index = true;
    // Reused buffers: room queries, and the collision step's own (events it
    // runs make room queries).
    std::vector<CInstance*> scratch, near;
    std::vector<std::pair<int32_t, CInstance*>> ranked, turn_ranked;
};

extern const Subsystem kCollisionSubsystem;

// Whether self could stand at (x, y) without meeting a solid instance
// (solid_only) or any instance. Self ends where it was.
bool free_at(Runtime& r, CInstance& self, double x, double y, bool solid_only);
// The first instance chosen by obj (-3 all, an object, an id) that self at
// (x, y) meets, or null.
CInstance* instance_place_at(Runtime& r, CInstance& self, double x, double y, int32_t obj);

enum class ShapeKind { Point, Rectangle, Ellipse, Line };
// The first instance chosen by obj, not destroyed and not notme, that meets
// the shape; a point uses x1, y1 only.
CInstance* shape_collision(Runtime& r, ShapeKind kind, double x1, double y1, double x2, double y2,
                           int32_t obj, bool precise, const CInstance* notme);

// The collision functions of scripts.
class FunctionTable;
void register_function_collision(FunctionTable& table);

}  // namespace kx
