// Built-in functions that read and edit the current room's tile list.
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "core/runtime.h"
#include "graphics/graphics_state.h"
#include "graphics/room_draw.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/function_math.h"
#include "script/function_string.h"
#include "sprites/sprite_state.h"
#include "world/world_state.h"

namespace kx {
namespace {

// An infinite number gives 0 here rather than saturating.
int32_t finite_i32(const RValue& v) {
    return std::isfinite(arg_real(v)) ? arg_i32(v) : 0;
}

std::vector<RTile>* tiles() {
    CRoom* room = rt().get<WorldState>().current;
    return room ? &room->tiles : nullptr;
}

// The tile with the id in args[0], or null after reporting.
RTile* tile_or_report(const RValue* a) {
    CRoom* room = rt().get<WorldState>().current;
    const int pos = room ? room->find_tile(finite_i32(a[0])) : -1;
    if (pos < 0) {
        report_with_context(rt(), "Tile does not exist.", false);
        return nullptr;
    }
    return &room->tiles[static_cast<size_t>(pos)];
}
bool background_or_report(int32_t index) {
    if (rt().get<SpriteState>().backgrounds.exists(index)) return true;
    report_with_context(rt(), "Background does not exist.", false);
    return false;
}

template <class F>
void set_real(RValue& result, const RValue* a, double none, F field) {
    const RTile* t = tile_or_report(a);
    result = t ? field(*t) : none;
}

KX_HANDLER(fn_tile_get_x) {
    set_real(result, args, 0, [](const RTile& t) { return t.x; });
}
KX_HANDLER(fn_tile_get_y) {
    set_real(result, args, 0, [](const RTile& t) { return t.y; });
}
KX_HANDLER(fn_tile_get_left) {
    set_real(result, args, 0, [](const RTile& t) { return double(t.left); });
}
KX_HANDLER(fn_tile_get_top) {
    set_real(result, args, 0, [](const RTile& t) { return double(t.top); });
}
KX_HANDLER(fn_tile_get_width) {
    set_real(result, args, 0, [](const RTile& t) { return double(t.width); });
}
KX_HANDLER(fn_tile_get_height) {
    set_real(result, args, 0, [](const RTile& t) { return double(t.height); });
}
KX_HANDLER(fn_tile_get_depth) {
    set_real(result, args, 0, [](const RTile& t) { return t.depth; });
}
KX_HANDLER(fn_tile_get_visible) {
    set_real(result, args, 0, [](const RTile& t) { return t.visible ? 1.0 : 0.0; });
}
KX_HANDLER(fn_tile_get_xscale) {
    set_real(result, args, 0, [](const RTile& t) { return t.xscale; });
}
KX_HANDLER(fn_tile_get_yscale) {
    set_real(result, args, 0, [](const RTile& t) { return t.yscale; });
}
KX_HANDLER(fn_tile_get_blend) {
    set_real(result, args, 0, [](const RTile& t) { return double(t.blend); });
}
KX_HANDLER(fn_tile_get_alpha) {
    set_real(result, args, 0, [](const RTile& t) { return t.alpha; });
}
KX_HANDLER(fn_tile_get_background) {
    set_real(result, args, -1, [](const RTile& t) { return double(t.background); });
}

KX_HANDLER(fn_tile_set_visible) {
    if (RTile* t = tile_or_report(args)) t->visible = arg_bool(args[1]);
}
KX_HANDLER(fn_tile_set_background) {
    if (RTile* t = tile_or_report(args))
        if (background_or_report(finite_i32(args[1]))) t->background = finite_i32(args[1]);
}
KX_HANDLER(fn_tile_set_region) {
    if (RTile* t = tile_or_report(args)) {
        t->left = finite_i32(args[1]);
        t->top = finite_i32(args[2]);
        t->width = finite_i32(args[3]);
        t->height = finite_i32(args[4]);
    }
}
KX_HANDLER(fn_tile_set_position) {
    if (RTile* t = tile_or_report(args)) {
        t->x = arg_real(args[1]);
        t->y = arg_real(args[2]);
    }
}
KX_HANDLER(fn_tile_set_depth) {
    if (RTile* t = tile_or_report(args)) t->depth = arg_real(args[1]);
}
KX_HANDLER(fn_tile_set_scale) {
    if (RTile* t = tile_or_report(args)) {
        t->xscale = arg_real(args[1]);
        t->yscale = arg_real(args[2]);
    }
}
KX_HANDLER(fn_tile_set_blend) {
    if (RTile* t = tile_or_report(args)) t->blend = finite_i32(args[1]);
}
KX_HANDLER(fn_tile_set_alpha) {
    if (RTile* t = tile_or_report(args)) t->alpha = arg_real(args[1]);
}

KX_HANDLER(fn_tile_add) {
    result = -1.0;
    if (!background_or_report(finite_i32(args[0]))) return;
    CRoom* room = rt().get<WorldState>().current;
    if (!room) return;
    RTile t;
    t.background = finite_i32(args[0]);
    t.left = finite_i32(args[1]);
    t.top = finite_i32(args[2]);
    t.width = finite_i32(args[3]);
    t.height = finite_i32(args[4]);
    t.x = arg_real(args[5]);
    t.y = arg_real(args[6]);
    t.depth = arg_real(args[7]);
    result = double(room->add_tile(t, rt().get<WorldState>().last_tile_id));
}

bool inside_open(const RTile& t, double px, double py) {
    return t.x <= px && px < t.x + t.width && t.y <= py && py < t.y + t.height;
}
bool inside_closed(const RTile& t, double px, double py) {
    return t.x <= px && px <= t.x + t.width && t.y <= py && py <= t.y + t.height;
}

template <class Pred>
double first_id(Pred pred) {
    if (std::vector<RTile>* list = tiles())
        for (const RTile& t : *list)
            if (pred(t)) return t.id;
    return -1;
}
template <class Pred>
void erase_where(Pred pred) {
    if (std::vector<RTile>* list = tiles()) {
        std::erase_if(*list, pred);
        rt().get<WorldState>().current->last_found_tile = -1;
    }
}
template <class F>
void each_of_depth(double depth, F f) {
    if (std::vector<RTile>* list = tiles())
        for (RTile& t : *list)
            if (t.depth == depth) f(t);
}

KX_HANDLER(fn_tile_find) {
    const double px = arg_real(args[0]), py = arg_real(args[1]);
    const bool fg = arg_bool(args[2]);
    result =
        first_id([&](const RTile& t) { return inside_open(t, px, py) && (t.depth < 0) == fg; });
}
KX_HANDLER(fn_tile_exists) {
    CRoom* room = rt().get<WorldState>().current;
    result = room && room->find_tile(finite_i32(args[0])) >= 0 ? 1.0 : 0.0;
}
KX_HANDLER(fn_tile_delete) {
    CRoom* room = rt().get<WorldState>().current;
    const int pos = room ? room->find_tile(finite_i32(args[0])) : -1;
    if (pos < 0) {
        report_with_context(rt(), "Tile does not exist.", false);
        return;
    }
    room->tiles.erase(room->tiles.begin() + pos);
    room->last_found_tile = -1;
}
KX_HANDLER(fn_tile_delete_at) {
    const double px = arg_real(args[0]), py = arg_real(args[1]);
    const bool fg = arg_bool(args[2]);
    erase_where([&](const RTile& t) {
        return inside_closed(t, px, py) && (fg ? t.depth <= 0 : t.depth >= 0);
    });
}
KX_HANDLER(fn_tile_layer_hide) {
    each_of_depth(arg_real(args[0]), [](RTile& t) { t.visible = false; });
}
KX_HANDLER(fn_tile_layer_show) {
    each_of_depth(arg_real(args[0]), [](RTile& t) { t.visible = true; });
}
KX_HANDLER(fn_tile_layer_delete) {
    const double d = arg_real(args[0]);
    erase_where([&](const RTile& t) { return t.depth == d; });
}
KX_HANDLER(fn_tile_layer_shift) {
    const double dx = arg_real(args[1]), dy = arg_real(args[2]);
    each_of_depth(arg_real(args[0]), [&](RTile& t) {
        t.x += dx;
        t.y += dy;
    });
}
KX_HANDLER(fn_tile_layer_find) {
    const double d = arg_real(args[0]), px = arg_real(args[1]), py = arg_real(args[2]);
    result = first_id([&](const RTile& t) { return t.depth == d && inside_open(t, px, py); });
}
KX_HANDLER(fn_tile_layer_delete_at) {
    const double d = arg_real(args[0]), px = arg_real(args[1]), py = arg_real(args[2]);
    erase_where([&](const RTile& t) { return t.depth == d && inside_open(t, px, py); });
}
KX_HANDLER(fn_tile_layer_depth) {
    const double nd = arg_real(args[1]);
    each_of_depth(arg_real(args[0]), [&](RTile& t) { t.depth = nd; });
}

const BuiltinDef kTileFunctions[] = {
    {"tile_get_x", fn_tile_get_x, 1},
    {"tile_get_y", fn_tile_get_y, 1},
    {"tile_get_left", fn_tile_get_left, 1},
    {"tile_get_top", fn_tile_get_top, 1},
    {"tile_get_width", fn_tile_get_width, 1},
    {"tile_get_height", fn_tile_get_height, 1},
    {"tile_get_depth", fn_tile_get_depth, 1},
    {"tile_get_visible", fn_tile_get_visible, 1},
    {"tile_get_xscale", fn_tile_get_xscale, 1},
    {"tile_get_yscale", fn_tile_get_yscale, 1},
    {"tile_get_blend", fn_tile_get_blend, 1},
    {"tile_get_alpha", fn_tile_get_alpha, 1},
    {"tile_get_background", fn_tile_get_background, 1},
    {"tile_set_visible", fn_tile_set_visible, 2},
    {"tile_set_background", fn_tile_set_background, 2},
    {"tile_set_region", fn_tile_set_region, 5},
    {"tile_set_position", fn_tile_set_position, 3},
    {"tile_set_depth", fn_tile_set_depth, 2},
    {"tile_set_scale", fn_tile_set_scale, 3},
    {"tile_set_blend", fn_tile_set_blend, 2},
    {"tile_set_alpha", fn_tile_set_alpha, 2},
    {"tile_add", fn_tile_add, 8},
    {"tile_find", fn_tile_find, 3},
    {"tile_exists", fn_tile_exists, 1},
    {"tile_delete", fn_tile_delete, 1},
    {"tile_delete_at", fn_tile_delete_at, 3},
    {"tile_layer_hide", fn_tile_layer_hide, 1},
    {"tile_layer_show", fn_tile_layer_show, 1},
    {"tile_layer_delete", fn_tile_layer_delete, 1},
    {"tile_layer_shift", fn_tile_layer_shift, 3},
    {"tile_layer_find", fn_tile_layer_find, 3},
    {"tile_layer_delete_at", fn_tile_layer_delete_at, 3},
    {"tile_layer_depth", fn_tile_layer_depth, 2},
};

}  // namespace

void register_function_tile(FunctionTable& table) {
    table.add(kTileFunctions);
}

}  // namespace kx
