// The collision functions of scripts: place and position queries, shape
// collisions, the collision-driven moves and the distances.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "collision/collision_main.h"
#include "collision/collision_shape.h"
#include "core/runtime.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/code_operator.h"
#include "script/function_math.h"
#include "script/function_string.h"
#include "script/script_state.h"
#include "sprites/sprite_state.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {
namespace {

constexpr int32_t kNoone = -4;
constexpr double kFar = 1000000;

void set_bool(RValue& r, bool v) {
    r = RValue(v ? 1.0 : 0.0);
}
void set_id(RValue& r, const CInstance* i) {
    r = RValue(static_cast<double>(i ? i->id() : kNoone));
}

// place_meeting and position_meeting also take self and other.
int32_t self_or_other(int32_t obj, const CInstance* self, const CInstance* other) {
    if (obj == -1) return self ? self->id() : kNoone;
    if (obj == -2) return other ? other->id() : kNoone;
    return obj;
}

void speed_from_components(CInstance& i) {
    i.speed = std::hypot(i.hspeed, i.vspeed);
    if (i.hspeed == 0 && i.vspeed == 0) return;
    double d = std::atan2(-i.vspeed, i.hspeed) * 180 / std::numbers::pi;
    if (d < 0) d += 360;
    i.direction = d;
}
// As an assignment to direction does it.
void set_direction(CInstance& i, double dir) {
    double d = std::fmod(dir, 360.0);
    if (d < 0) d += 360;
    if (d >= 360) d = 0;
    i.direction = d;
    const double r = d * std::numbers::pi / 180;
    i.hspeed = i.speed * std::cos(r);
    i.vspeed = -i.speed * std::sin(r);
}

int32_t step_limit(double maxdist) {
    return maxdist > 0 ? round_to_i32(maxdist) : 1000;
}

// Whether self, past every box it could meet and moving away from them all,
// can meet nothing more however far it goes on.
bool beyond_all(Runtime& r, const CInstance& self, double dx, double dy, bool solid_only) {
    bool any = false;
    RBox u;
    for (const auto& p : room_instances(r.get<WorldState>()).active()) {
        const CInstance& o = *p;
        if (&o == &self || o.destroyed() || (solid_only && !o.solid)) continue;
        const RBox b = box_of(o);
        u = any ? RBox{std::min(u.left, b.left), std::min(u.top, b.top), std::max(u.right, b.right),
                       std::max(u.bottom, b.bottom)}
                : b;
        any = true;
    }
    if (!any) return true;
    // A pixel of margin: boxes are rounded positions.
    const RBox b = box_of(self);
    const int64_t l = b.left, rt = b.right, t = b.top, bt = b.bottom;
    return (dx >= 0 && l > int64_t(u.right) + 1) || (dx <= 0 && rt < int64_t(u.left) - 1) ||
           (dy >= 0 && t > int64_t(u.bottom) + 1) || (dy <= 0 && bt < int64_t(u.top) - 1);
}

void contact(Runtime& r, CInstance& self, double dir, double maxdist, bool solid_only) {
    if (!free_at(r, self, self.x, self.y, solid_only)) return;
    const double dx = std::cos(dir * std::numbers::pi / 180),
                 dy = -std::sin(dir * std::numbers::pi / 180);
    const int32_t limit = step_limit(maxdist);
    for (int32_t k = 0; k < limit; ++k) {
        // A walk of a billion steps into empty space must not take minutes:
        // once nothing can be met, the rest is the same sums without tests.
        if (k % 256 == 255 && beyond_all(r, self, dx, dy, solid_only)) {
            double nx = self.x, ny = self.y;
            for (; k < limit; ++k) {
                nx += dx;
                ny += dy;
            }
            set_position(r, self, nx, ny);
            return;
        }
        const double nx = self.x + dx, ny = self.y + dy;
        if (!free_at(r, self, nx, ny, solid_only)) break;
        set_position(r, self, nx, ny);
    }
}

void outside(Runtime& r, CInstance& self, double dir, double maxdist, bool solid_only) {
    const double dx = std::cos(dir * std::numbers::pi / 180),
                 dy = -std::sin(dir * std::numbers::pi / 180);
    const int32_t limit = step_limit(maxdist);
    for (int32_t k = 0; k < limit && !free_at(r, self, self.x, self.y, solid_only); ++k)
        set_position(r, self, self.x + dx, self.y + dy);
}

void bounce(Runtime& r, CInstance& self, bool advanced, bool solid_only) {
    bool hit = false;
    if (!free_at(r, self, self.x, self.y, solid_only)) {
        set_position(r, self, self.xprevious, self.yprevious);
        hit = true;
    }
    if (!advanced) {
        const bool h = free_at(r, self, self.x + self.hspeed, self.y, solid_only);
        const bool v = free_at(r, self, self.x, self.y + self.vspeed, solid_only);
        if (!h) self.hspeed = -self.hspeed;
        if (!v) self.vspeed = -self.vspeed;
        if (!h || !v) speed_from_components(self);
        return;
    }
    const double m = 10 * std::nearbyint(self.direction / 10);
    auto search = [&](double step) {
        double a = m;
        for (int t = 0; t < 35; ++t) {
            a += step;
            const double rad = a * std::numbers::pi / 180;
            if (free_at(r, self, self.x + std::cos(rad) * self.speed,
                        self.y - std::sin(rad) * self.speed, solid_only))
                return a;
            hit = true;
        }
        return a;
    };
    const double a1 = search(-10);
    const double a2 = search(10);
    if (hit) set_direction(self, a1 + a2 + 180 - m);
}

double box_gap(const CInstance& a, const CInstance& b) {
    double dx = 0, dy = 0;
    if (a.bbox_right < b.bbox_left)
        dx = static_cast<double>(b.bbox_left) - a.bbox_right;
    else if (b.bbox_right < a.bbox_left)
        dx = static_cast<double>(a.bbox_left) - b.bbox_right;
    if (a.bbox_bottom < b.bbox_top)
        dy = static_cast<double>(b.bbox_top) - a.bbox_bottom;
    else if (b.bbox_bottom < a.bbox_top)
        dy = static_cast<double>(a.bbox_top) - b.bbox_bottom;
    return std::sqrt(dx * dx + dy * dy);
}

double distance_to(const CInstance& self, const CInstance* o) {
    if (!o || o == &self || o->destroyed()) return kFar;
    return box_gap(self, *o);
}

// Every instance of the room under the point, each handed to f in list
// order as the list is when its turn comes (f may run events).
template <class F>
void each_at_point(Runtime& r, double x, double y, F f) {
    WorldState& w = r.get<WorldState>();
    const SpriteList& sprites = r.get<SpriteState>().sprites;
    for_each_listed(
        [&]() -> auto& { return room_instances(w).active(); },
        [&](CInstance* i) {
            if (point_in(sprites, *i, x, y, true)) f(i);
            return !transition_pending(r);
        });
}

KX_HANDLER(fn_place_free) {
    set_bool(result, self && free_at(rt(), *self, arg_real(args[0]), arg_real(args[1]), true));
}
KX_HANDLER(fn_place_empty) {
    set_bool(result, self && free_at(rt(), *self, arg_real(args[0]), arg_real(args[1]), false));
}
KX_HANDLER(fn_place_meeting) {
    const int32_t obj = self_or_other(arg_i32(args[2]), self, other);
    set_bool(result,
             self && instance_place_at(rt(), *self, arg_real(args[0]), arg_real(args[1]), obj));
}
KX_HANDLER(fn_instance_place) {
    set_id(result, self ? instance_place_at(rt(), *self, arg_real(args[0]), arg_real(args[1]),
                                            arg_i32(args[2]))
                        : nullptr);
}
KX_HANDLER(fn_position_empty) {
    set_bool(result, !shape_collision(rt(), ShapeKind::Point, arg_real(args[0]), arg_real(args[1]),
                                      0, 0, -3, true, nullptr));
}
KX_HANDLER(fn_position_meeting) {
    const int32_t obj = self_or_other(arg_i32(args[2]), self, other);
    set_bool(result, shape_collision(rt(), ShapeKind::Point, arg_real(args[0]), arg_real(args[1]),
                                     0, 0, obj, true, nullptr));
}
KX_HANDLER(fn_instance_position) {
    set_id(result, shape_collision(rt(), ShapeKind::Point, arg_real(args[0]), arg_real(args[1]), 0,
                                   0, arg_i32(args[2]), true, nullptr));
}
KX_HANDLER(fn_position_destroy) {
    Runtime& r = rt();
    const FunctionTable& functions = r.get<ScriptState>().functions;
    const int f = functions.find("instance_destroy");
    if (f < 0) return;
    const BuiltinHandler destroy = functions.at(f).handler;
    each_at_point(r, arg_real(args[0]), arg_real(args[1]), [&](CInstance* i) {
        RValue ignored;
        destroy(i, i, 0, ignored, nullptr);
    });
}
KX_HANDLER(fn_position_change) {
    Runtime& r = rt();
    const int32_t obj = arg_i32(args[2]);
    if (!object_exists(r.get<WorldState>(), obj)) {
        report_with_context(r, "Asking to change into non-existing object: " + std::to_string(obj),
                            false);
        return;
    }
    const FunctionTable& functions = r.get<ScriptState>().functions;
    const int f = functions.find("instance_change");
    if (f < 0) return;
    const BuiltinHandler change = functions.at(f).handler;
    const RValue change_args[2] = {RValue(static_cast<double>(obj)), RValue(arg_real(args[3]))};
    each_at_point(r, arg_real(args[0]), arg_real(args[1]), [&](CInstance* i) {
        RValue ignored;
        change(i, i, 2, ignored, change_args);
    });
}

void shape_handler(ShapeKind kind, CInstance* self, RValue& result, double x1, double y1, double x2,
                   double y2, const RValue* a, int obj_at) {
    const CInstance* notme = arg_bool(a[obj_at + 2]) ? self : nullptr;
    set_id(result, shape_collision(rt(), kind, x1, y1, x2, y2, arg_i32(a[obj_at]),
                                   arg_bool(a[obj_at + 1]), notme));
}
KX_HANDLER(fn_collision_point) {
    shape_handler(ShapeKind::Point, self, result, arg_real(args[0]), arg_real(args[1]), 0, 0, args,
                  2);
}
KX_HANDLER(fn_collision_rectangle) {
    shape_handler(ShapeKind::Rectangle, self, result, arg_real(args[0]), arg_real(args[1]),
                  arg_real(args[2]), arg_real(args[3]), args, 4);
}
KX_HANDLER(fn_collision_ellipse) {
    shape_handler(ShapeKind::Ellipse, self, result, arg_real(args[0]), arg_real(args[1]),
                  arg_real(args[2]), arg_real(args[3]), args, 4);
}
KX_HANDLER(fn_collision_circle) {
    const double xc = arg_real(args[0]), yc = arg_real(args[1]), rad = arg_real(args[2]);
    shape_handler(ShapeKind::Ellipse, self, result, xc - rad, yc - rad, xc + rad, yc + rad, args,
                  3);
}
KX_HANDLER(fn_collision_line) {
    shape_handler(ShapeKind::Line, self, result, arg_real(args[0]), arg_real(args[1]),
                  arg_real(args[2]), arg_real(args[3]), args, 4);
}

KX_HANDLER(fn_move_contact) {
    if (!self) return;
    if (free_at(rt(), *self, self->x, self->y, true))
        contact(rt(), *self, arg_real(args[0]), -1, true);
    else
        outside(rt(), *self, arg_real(args[0]), -1, true);
}
KX_HANDLER(fn_move_contact_solid) {
    if (self) contact(rt(), *self, arg_real(args[0]), arg_real(args[1]), true);
}
KX_HANDLER(fn_move_contact_all) {
    if (self) contact(rt(), *self, arg_real(args[0]), arg_real(args[1]), false);
}
KX_HANDLER(fn_move_outside_solid) {
    if (self) outside(rt(), *self, arg_real(args[0]), arg_real(args[1]), true);
}
KX_HANDLER(fn_move_outside_all) {
    if (self) outside(rt(), *self, arg_real(args[0]), arg_real(args[1]), false);
}
KX_HANDLER(fn_move_bounce_solid) {
    if (self) bounce(rt(), *self, arg_bool(args[0]), true);
}
KX_HANDLER(fn_move_bounce_all) {
    if (self) bounce(rt(), *self, arg_bool(args[0]), false);
}

KX_HANDLER(fn_distance_to_point) {
    if (!self) return;
    const double x = arg_real(args[0]), y = arg_real(args[1]);
    double dx = 0, dy = 0;
    if (x > self->bbox_right)
        dx = x - self->bbox_right;
    else if (x < self->bbox_left)
        dx = x - self->bbox_left;
    if (y > self->bbox_bottom)
        dy = y - self->bbox_bottom;
    else if (y < self->bbox_top)
        dy = y - self->bbox_top;
    result = RValue(std::sqrt(dx * dx + dy * dy));
}
KX_HANDLER(fn_distance_to_object) {
    result = RValue(kFar);
    if (!self) return;
    const int32_t obj = arg_i32(args[0]);
    RoomInstances& list = room_instances(rt().get<WorldState>());
    double best = kFar;
    if (obj == -2) {
        best = distance_to(*self, other);
    } else if (obj == -3) {
        for (int k = 0; k < list.count(); ++k)
            best = std::min(best, distance_to(*self, list.at(k)));
    } else if (obj >= kInstanceIdBase) {
        best = distance_to(*self, list.find_id(obj));
    } else if (obj >= 0) {
        for (CInstance* i : list.family(obj)) best = std::min(best, distance_to(*self, i));
    }
    result = RValue(best);
}

// move_random lives with the collision functions because it asks the room
// where the instance fits.

// A random integer in lo..hi-1 (lo when the range is empty).
double random_in(int64_t lo, int64_t hi) {
    if (hi - lo <= 0) return static_cast<double>(lo);
    return static_cast<double>(lo + static_cast<int64_t>(rt().get<ScriptState>().random.next_int(
                                        static_cast<uint64_t>(hi - lo))));
}
KX_HANDLER(fn_move_random) {
    if (!self) return;
    Runtime& r = rt();
    const SpriteList& sprites = r.get<SpriteState>().sprites;
    const bool shaped = sprites.exists(self->sprite_index) || sprites.exists(self->mask_index);
    const CRoom* room = r.get<WorldState>().current;
    const double rw = room ? room->width : 0, rh = room ? room->height : 0;
    int64_t x0 = 0, x1 = static_cast<int64_t>(rw), y0 = 0, y1 = static_cast<int64_t>(rh);
    if (shaped) {
        x0 = round_even(self->x - self->bbox_left);
        x1 = round_even(self->x + rw - self->bbox_right);
        y0 = round_even(self->y - self->bbox_top);
        y1 = round_even(self->y + rh - self->bbox_bottom);
    }
    const int64_t hs = round_even(arg_real(args[0])), vs = round_even(arg_real(args[1]));
    for (int attempt = 0; attempt < 100; ++attempt) {
        double cx = random_in(x0, x1);
        double cy = random_in(y0, y1);
        if (hs > 0) cx = static_cast<double>(hs) * std::floor(cx / static_cast<double>(hs));
        if (vs > 0) cy = static_cast<double>(vs) * std::floor(cy / static_cast<double>(vs));
        if (free_at(r, *self, cx, cy, true)) {
            set_position(r, *self, cx, cy);
            return;
        }
    }
}

const BuiltinDef kCollisionFunctions[] = {
    {"place_free", fn_place_free, 2},
    {"place_empty", fn_place_empty, 2},
    {"place_meeting", fn_place_meeting, 3},
    {"instance_place", fn_instance_place, 3},
    {"position_empty", fn_position_empty, 2},
    {"position_meeting", fn_position_meeting, 3},
    {"instance_position", fn_instance_position, 3},
    {"position_destroy", fn_position_destroy, 2},
    {"position_change", fn_position_change, 4},
    {"collision_point", fn_collision_point, 5},
    {"collision_rectangle", fn_collision_rectangle, 7},
    {"collision_circle", fn_collision_circle, 6},
    {"collision_ellipse", fn_collision_ellipse, 7},
    {"collision_line", fn_collision_line, 7},
    {"move_contact", fn_move_contact, 1},
    {"move_contact_solid", fn_move_contact_solid, 2},
    {"move_contact_all", fn_move_contact_all, 2},
    {"move_outside_solid", fn_move_outside_solid, 2},
    {"move_outside_all", fn_move_outside_all, 2},
    {"move_bounce", fn_move_bounce_solid, 1},
    {"move_bounce_solid", fn_move_bounce_solid, 1},
    {"move_bounce_all", fn_move_bounce_all, 1},
    {"distance_to_point", fn_distance_to_point, 2},
    {"distance_to_object", fn_distance_to_object, 1},
    {"move_random", fn_move_random, 2},
};

}  // namespace

void register_function_collision(FunctionTable& table) {
    table.add(kCollisionFunctions);
}

}  // namespace kx
