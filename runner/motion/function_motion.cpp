// Built-in functions that set an instance's motion or move it directly.
#include <cmath>

#include "core/runtime.h"
#include "motion/motion_main.h"
#include "script/builtin_args.h"
#include "script/code_function.h"
#include "script/function_math.h"
#include "script/function_string.h"
#include "script/script_state.h"
#include "world/instance_main.h"
#include "world/motion_rules.h"
#include "world/world_state.h"

namespace kx {
namespace {

double room_width() {
    const CRoom* room = rt().get<WorldState>().current;
    return room ? room->width : 0;
}
double room_height() {
    const CRoom* room = rt().get<WorldState>().current;
    return room ? room->height : 0;
}

KX_HANDLER(fn_motion_set) {
    if (self) motion_rules::motion_set(*self, arg_real(args[0]), arg_real(args[1]));
}
KX_HANDLER(fn_motion_add) {
    if (self) motion_rules::motion_add(*self, arg_real(args[0]), arg_real(args[1]));
}
KX_HANDLER(fn_move_towards_point) {
    if (!self) return;
    motion_rules::set_hspeed(*self, arg_real(args[0]) - self->x);
    motion_rules::set_vspeed(*self, arg_real(args[1]) - self->y);
    motion_rules::set_speed(*self, arg_real(args[2]));
}

double snapped(double v, double snap) {
    return snap * round_even_real(v / snap);
}
KX_HANDLER(fn_move_snap) {
    if (!self) return;
    const double hs = arg_real(args[0]), vs = arg_real(args[1]);
    double x = self->x, y = self->y;
    if (hs > 0) x = snapped(x, hs);
    if (vs > 0) y = snapped(y, vs);
    set_position(rt(), *self, x, y);
}
KX_HANDLER(fn_place_snapped) {
    if (!self) return;
    const double hs = arg_real(args[0]), vs = arg_real(args[1]);
    const bool ok = (!(hs > 0) || std::fabs(self->x - snapped(self->x, hs)) < 0.001) &&
                    (!(vs > 0) || std::fabs(self->y - snapped(self->y, vs)) < 0.001);
    result.set_real(ok ? 1 : 0);
}

KX_HANDLER(fn_move_wrap) {
    if (!self) return;
    const double m = arg_real(args[2]), rw = room_width(), rh = room_height();
    double x = self->x, y = self->y;
    if (arg_bool(args[0])) {
        if (x < -m) x += rw + 2 * m;
        if (x > rw + m) x -= rw + 2 * m;
    }
    if (arg_bool(args[1])) {
        if (y < -m) y += rh + 2 * m;
        if (y > rh + m) y -= rh + 2 * m;
    }
    set_position(rt(), *self, x, y);
}

KX_HANDLER(fn_path_start) {
    if (!self) return;
    const int64_t endaction = round_even(arg_real(args[2]));
    path_start(rt(), *self, round_even(arg_real(args[0])), arg_real(args[1]),
               endaction < INT32_MIN || endaction > INT32_MAX ? 0 : static_cast<int32_t>(endaction),
               arg_bool(args[3]));
}
KX_HANDLER(fn_path_end) {
    if (self) self->path_index = -1;
}

const BuiltinDef kMotionFunctions[] = {
    {"motion_set", fn_motion_set, 2},
    {"motion_add", fn_motion_add, 2},
    {"move_towards_point", fn_move_towards_point, 3},
    {"move_snap", fn_move_snap, 2},
    {"place_snapped", fn_place_snapped, 2},
    {"move_wrap", fn_move_wrap, 3},
    {"path_start", fn_path_start, 4},
    {"path_end", fn_path_end, 0},
};

}  // namespace

void register_function_motion(FunctionTable& table) {
    table.add(kMotionFunctions);
}

}  // namespace kx
