#include "collision/collision_main.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/runtime.h"
#include "motion/motion_main.h"
#include "script/script_state.h"
#include "sprites/sprite_state.h"
#include "world/object_class.h"
#include "world/object_main.h"
#include "world/room_class.h"
#include "world/world_state.h"

namespace kx {
namespace {

// Ranked candidates, best first: sorting pairs keeps the list order.
using Ranked = std::vector<std::pair<int32_t, CInstance*>>;

const SpriteList& sprites(const Runtime& r) {
    return r.get<SpriteState>().sprites;
}

void put_back(Runtime& r, CInstance& i) {
    set_position(r, i, i.xprevious, i.yprevious);
    i.path_position = std::clamp(i.path_positionprevious, 0.0, 1.0);
}

// The collision of i with j, both already found to meet: put back, the two
// events, and the move again. False when a transition became pending.
bool collide(Runtime& r, CInstance& i, CInstance& j) {
    if (i.solid || j.solid) {
        put_back(r, i);
        put_back(r, j);
    }
    perform_event(r, &i, &j, i.object_index(), ev::Collision, j.object_index());
    if (transition_pending(r)) return false;
    perform_event(r, &j, &i, j.object_index(), ev::Collision, i.object_index());
    if (transition_pending(r)) return false;
    if (i.solid || j.solid) {
        // Instances that met a solid one take their path step again.
        path_step(r, i);
        path_step(r, j);
        set_position(r, i, i.x + i.hspeed, i.y + i.vspeed);
        set_position(r, j, j.x + j.hspeed, j.y + j.vspeed);
        if (instances_meet(sprites(r), i, j, true)) {
            put_back(r, i);
            put_back(r, j);
        }
    }
    return true;
}

// i's turn against the instances of exactly object b. False on a transition.
bool turn_scan(Runtime& r, CInstance& i, int32_t b) {
    WorldState& w = r.get<WorldState>();
    bool going = true;
    for_each_live(
        [&]() -> auto& { return room_instances(w).exact(b); },
        [&](CInstance* j) {
            going = !instances_meet(sprites(r), i, *j, true) || collide(r, i, *j);
            return going;
        });
    return going;
}

// The same through the grid: the candidates near i in list order, asked
// again after every collision since its events may move anything.
bool turn_index(Runtime& r, CInstance& i, int32_t b) {
    CollisionState& c = r.get<CollisionState>();
    WorldState& w = r.get<WorldState>();
    BoxGrid& grid = w.grid;
    const size_t n = room_instances(w).exact(b).size();
    std::vector<CInstance*>& near = c.near;
    Ranked& ranked = c.turn_ranked;
    size_t next = 0;
    for (;;) {
        grid.sync(w);
        grid.candidates(box_of(i), near);
        ranked.clear();
        for (CInstance* j : near) {
            if (j->object_index() != b) continue;
            const int32_t rank = grid.exact_rank(w, j);
            if (rank >= 0 && static_cast<size_t>(rank) >= next && static_cast<size_t>(rank) < n)
                ranked.emplace_back(rank, j);
        }
        std::sort(ranked.begin(), ranked.end());
        bool again = false;
        for (auto [rank, j] : ranked) {
            if (!instances_meet(sprites(r), i, *j, true)) continue;
            if (!collide(r, i, *j)) return false;
            next = static_cast<size_t>(rank) + 1;
            again = true;
            break;
        }
        if (!again) return true;
    }
}

bool outside_room(const CInstance& i, int32_t w, int32_t h) {
    return !(i.bbox_right >= 0 && i.bbox_left <= w && i.bbox_bottom >= 0 && i.bbox_top <= h);
}
bool on_boundary(const CInstance& i, int32_t w, int32_t h) {
    return !(i.bbox_left >= 0 && i.bbox_right <= w && i.bbox_top >= 0 && i.bbox_bottom <= h);
}

// The first instance chosen by obj in its list's order whose box meets q
// and that passes test.
template <class Test>
CInstance* first_chosen(Runtime& r, int32_t obj, const RBox& q, Test test) {
    WorldState& w = r.get<WorldState>();
    RoomInstances& list = room_instances(w);
    if (obj >= kInstanceIdBase) {
        CInstance* i = list.find_id(obj);
        return i && test(*i) ? i : nullptr;
    }
    if (obj < 0 && obj != -3) return nullptr;
    CollisionState& c = r.get<CollisionState>();
    if (!c.use_index) {
        if (obj == -3) {
            for (int k = 0; k < list.count(); ++k)
                if (test(*list.at(k))) return list.at(k);
        } else {
            for (CInstance* i : list.family(obj))
                if (test(*i)) return i;
        }
        return nullptr;
    }
    w.grid.sync(w);
    w.grid.candidates(q, c.scratch);
    Ranked& ranked = c.ranked;
    ranked.clear();
    for (CInstance* i : c.scratch) {
        const int32_t rank = obj == -3 ? w.grid.active_rank(w, i) : w.grid.family_rank(w, obj, i);
        if (rank >= 0) ranked.emplace_back(rank, i);
    }
    std::sort(ranked.begin(), ranked.end());
    for (auto [rank, i] : ranked)
        if (test(*i)) return i;
    return nullptr;
}

// Whether any active instance whose box meets q passes test.
template <class Test>
bool any_in_room(Runtime& r, const RBox& q, Test test) {
    CollisionState& c = r.get<CollisionState>();
    WorldState& w = r.get<WorldState>();
    RoomInstances& list = room_instances(w);
    if (!c.use_index) {
        for (int k = 0; k < list.count(); ++k)
            if (test(*list.at(k))) return true;
        return false;
    }
    w.grid.sync(w);
    w.grid.candidates(q, c.scratch);
    for (CInstance* i : c.scratch)
        if (!i->deactivated && test(*i)) return true;
    return false;
}

void collision_events_step(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    const auto pairs = w.lists.collision_pairs;
    const bool indexed = r.get<CollisionState>().use_index;
    for (const auto& pair : pairs) {
        // Plain copies: Clang 14 lambdas cannot capture structured bindings.
        const int32_t a = pair.first, b = pair.second;
        bool going = true;
        for_each_live(
            [&]() -> auto& { return room_instances(w).exact(a); },
            [&](CInstance* i) {
                going = indexed ? turn_index(r, *i, b) : turn_scan(r, *i, b);
                return going;
            });
        if (!going) return;
    }
}

void boundary_events_step(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    if (!w.current) return;
    for (int32_t number : {ev::OutsideRoom, ev::Boundary}) {
        const std::vector<int32_t> objects = w.lists.at(ev::Other, number);
        for (int32_t o : objects) {
            bool stop = false;
            for_each_live(
                [&]() -> auto& { return room_instances(w).exact(o); },
                [&](CInstance* i) {
                    const int32_t rw = w.current->width, rh = w.current->height;
                    const bool fires = number == ev::OutsideRoom ? outside_room(*i, rw, rh)
                                                                 : on_boundary(*i, rw, rh);
                    if (!fires) return true;
                    perform_event(r, i, i, o, ev::Other, number);
                    stop = transition_pending(r);
                    return !stop;
                });
            if (stop) return;
        }
    }
}

void create(Runtime& r) {
    CollisionState& state = r.emplace<CollisionState>();
    const char* scan = std::getenv("KXRUN_COLLISION_SCAN");
    state.use_index = !(scan && std::strcmp(scan, "1") == 0);
}

void register_builtins(Runtime& r) {
    register_function_collision(r.get<ScriptState>().functions);
}

constexpr PhaseStep kPhases[] = {
    {Phase::Boundary, boundary_events_step},
    {Phase::Collision, collision_events_step},
};

}  // namespace

const Subsystem kCollisionSubsystem{
    .name = "collision",
    .create = create,
    .register_builtins = register_builtins,
    .phases = kPhases,
};

bool free_at(Runtime& r, CInstance& self, double x, double y, bool solid_only) {
    const double ox = self.x, oy = self.y;
    set_position(r, self, x, y);
    const bool met = any_in_room(r, box_of(self), [&](CInstance& o) {
        return (!solid_only || o.solid) && instances_meet(sprites(r), self, o, true);
    });
    set_position(r, self, ox, oy);
    return !met;
}

CInstance* instance_place_at(Runtime& r, CInstance& self, double x, double y, int32_t obj) {
    const double ox = self.x, oy = self.y;
    set_position(r, self, x, y);
    CInstance* found = first_chosen(r, obj, box_of(self), [&](CInstance& o) {
        return instances_meet(sprites(r), self, o, true);
    });
    set_position(r, self, ox, oy);
    return found;
}

CInstance* shape_collision(Runtime& r, ShapeKind kind, double x1, double y1, double x2, double y2,
                           int32_t obj, bool precise, const CInstance* notme) {
    const RBox q = kind == ShapeKind::Point ? point_box(x1, y1) : rectangle_box(x1, y1, x2, y2);
    const SpriteList& s = sprites(r);
    return first_chosen(r, obj, q, [&](CInstance& i) {
        if (&i == notme || i.destroyed()) return false;
        switch (kind) {
            case ShapeKind::Point:
                return point_in(s, i, x1, y1, precise);
            case ShapeKind::Rectangle:
                return rectangle_meets(s, i, x1, y1, x2, y2, precise);
            case ShapeKind::Ellipse:
                return ellipse_meets(s, i, x1, y1, x2, y2, precise);
            case ShapeKind::Line:
                return line_meets(s, i, x1, y1, x2, y2, precise);
        }
        return false;
    });
}

}  // namespace kx
