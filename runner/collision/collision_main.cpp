#include "collision/collision_main.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "script/script_state.h"
#include "world/object_class.h"
#include "world/object_main.h"
#include "world/room_class.h"
#include "world/world_state.h"

namespace kx {
namespace {

// Ranked candidates, best first: sorting pairs keeps the list order.
using Ranked = std::vector<std::pair<int32_t, CInstance*>>;

void put_back(CInstance& i) {
    set_position(i, i.xprevious, i.yprevious);
    i.path_position = std::clamp(i.path_positionprevious, 0.0, 1.0);
}

// The collision of i with j, both already found to meet: put back, the two
// events, and the move again. False when a transition became pending.
bool collide(CInstance& i, CInstance& j) {
    if (i.solid || j.solid) {
        put_back(i);
        put_back(j);
    }
    perform_event(&i, &j, i.object_index(), ev::Collision, j.object_index());
    if (transition_pending()) return false;
    perform_event(&j, &i, j.object_index(), ev::Collision, i.object_index());
    if (transition_pending()) return false;
    if (i.solid || j.solid) {
        const auto& path = collision().path_step;
        if (path) {
            path(i);
            path(j);
        }
        set_position(i, i.x + i.hspeed, i.y + i.vspeed);
        set_position(j, j.x + j.hspeed, j.y + j.vspeed);
        if (instances_meet(i, j, true)) {
            put_back(i);
            put_back(j);
        }
    }
    return true;
}

// i's turn against the instances of exactly object b. False on a transition.
bool turn_scan(CInstance& i, int32_t b) {
    const size_t n = room_instances().exact(b).size();
    for (size_t k = 0; k < n; ++k) {
        const auto& list = room_instances().exact(b);
        if (k >= list.size()) break;
        CInstance& j = *list[k];
        if (instances_meet(i, j, true) && !collide(i, j)) return false;
    }
    return true;
}

// The same through the grid: the candidates near i in list order, asked
// again after every collision since its events may move anything.
bool turn_index(CInstance& i, int32_t b) {
    CollisionState& c = collision();
    const size_t n = room_instances().exact(b).size();
    std::vector<CInstance*>& near = c.near;
    Ranked& ranked = c.turn_ranked;
    size_t next = 0;
    for (;;) {
        c.index.sync();
        c.index.candidates(box_of(i), near);
        ranked.clear();
        for (CInstance* j : near) {
            if (j->object_index() != b) continue;
            const int32_t r = c.index.exact_rank(j);
            if (r >= 0 && static_cast<size_t>(r) >= next && static_cast<size_t>(r) < n)
                ranked.emplace_back(r, j);
        }
        std::sort(ranked.begin(), ranked.end());
        bool again = false;
        for (auto [r, j] : ranked) {
            if (!instances_meet(i, *j, true)) continue;
            if (!collide(i, *j)) return false;
            next = static_cast<size_t>(r) + 1;
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
CInstance* first_chosen(int32_t obj, const RBox& q, Test test) {
    RoomInstances& list = room_instances();
    if (obj >= kInstanceIdBase) {
        CInstance* i = list.find_id(obj);
        return i && test(*i) ? i : nullptr;
    }
    if (obj < 0 && obj != -3) return nullptr;
    CollisionState& c = collision();
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
    c.index.sync();
    c.index.candidates(q, c.scratch);
    Ranked& ranked = c.ranked;
    ranked.clear();
    for (CInstance* i : c.scratch) {
        const int32_t r = obj == -3 ? c.index.active_rank(i) : c.index.family_rank(obj, i);
        if (r >= 0) ranked.emplace_back(r, i);
    }
    std::sort(ranked.begin(), ranked.end());
    for (auto [r, i] : ranked)
        if (test(*i)) return i;
    return nullptr;
}

// Whether any active instance whose box meets q passes test.
template <class Test>
bool any_in_room(const RBox& q, Test test) {
    CollisionState& c = collision();
    RoomInstances& list = room_instances();
    if (!c.use_index) {
        for (int k = 0; k < list.count(); ++k)
            if (test(*list.at(k))) return true;
        return false;
    }
    c.index.sync();
    c.index.candidates(q, c.scratch);
    for (CInstance* i : c.scratch)
        if (!i->deactivated && test(*i)) return true;
    return false;
}

}  // namespace

CollisionState& collision() {
    return *rt().collision;
}

bool free_at(CInstance& self, double x, double y, bool solid_only) {
    const double ox = self.x, oy = self.y;
    set_position(self, x, y);
    const bool met = any_in_room(box_of(self), [&](CInstance& o) {
        return (!solid_only || o.solid) && instances_meet(self, o, true);
    });
    set_position(self, ox, oy);
    return !met;
}

CInstance* instance_place_at(CInstance& self, double x, double y, int32_t obj) {
    const double ox = self.x, oy = self.y;
    set_position(self, x, y);
    CInstance* found = first_chosen(obj, box_of(self),
                                    [&](CInstance& o) { return instances_meet(self, o, true); });
    set_position(self, ox, oy);
    return found;
}

CInstance* shape_collision(ShapeKind kind, double x1, double y1, double x2, double y2, int32_t obj,
                           bool precise, const CInstance* notme) {
    const RBox q = kind == ShapeKind::Point ? point_box(x1, y1) : rectangle_box(x1, y1, x2, y2);
    return first_chosen(obj, q, [&](CInstance& i) {
        if (&i == notme || i.destroyed()) return false;
        switch (kind) {
            case ShapeKind::Point:
                return point_in(i, x1, y1, precise);
            case ShapeKind::Rectangle:
                return rectangle_meets(i, x1, y1, x2, y2, precise);
            case ShapeKind::Ellipse:
                return ellipse_meets(i, x1, y1, x2, y2, precise);
            case ShapeKind::Line:
                return line_meets(i, x1, y1, x2, y2, precise);
        }
        return false;
    });
}

void collision_events_step() {
    const auto pairs = world().lists.collision_pairs;
    const bool indexed = collision().use_index;
    for (auto [a, b] : pairs) {
        const size_t n = room_instances().exact(a).size();
        for (size_t k = 0; k < n; ++k) {
            const auto& list = room_instances().exact(a);
            if (k >= list.size()) break;
            CInstance& i = *list[k];
            if (i.destroyed()) continue;
            if (!(indexed ? turn_index(i, b) : turn_scan(i, b))) return;
        }
    }
}

void boundary_events_step() {
    const CRoom* room = world().current;
    if (!room) return;
    for (int32_t number : {ev::OutsideRoom, ev::Boundary}) {
        const std::vector<int32_t> objects = world().lists.at(ev::Other, number);
        for (int32_t o : objects) {
            const size_t n = room_instances().exact(o).size();
            for (size_t k = 0; k < n; ++k) {
                const auto& list = room_instances().exact(o);
                if (k >= list.size()) break;
                CInstance* i = list[k];
                if (i->destroyed()) continue;
                const int32_t w = world().current->width, h = world().current->height;
                const bool fires =
                    number == ev::OutsideRoom ? outside_room(*i, w, h) : on_boundary(*i, w, h);
                if (!fires) continue;
                perform_event(i, i, o, ev::Other, number);
                if (transition_pending()) return;
            }
        }
    }
}

void init_collision(Runtime& r) {
    auto state = std::make_shared<CollisionState>();
    const char* scan = std::getenv("KXRUN_COLLISION_SCAN");
    state->use_index = !(scan && std::strcmp(scan, "1") == 0);
    r.collision = state;
    register_function_collision(r.script->functions);
    WorldHooks& h = r.world->hooks;
    h.compute_bbox = [](CInstance& i) {
        compute_instance_bbox(i);
        CollisionState& c = collision();
        if (c.use_index) c.index.moved(i);
    };
    h.point_in_instance = [](CInstance& i, double x, double y) { return point_in(i, x, y, true); };
    h.boundary_events = boundary_events_step;
    h.collision_events = collision_events_step;
}

}  // namespace kx
