// The world's built-in variables, instance ones first, in registration order.
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "core/runtime.h"
#include "motion/motion_speed.h"
#include "platform/platform.h"
#include "script/code_error.h"
#include "script/code_operator.h"
#include "script/script_state.h"
#include "world/function_game.h"
#include "world/game_loop.h"
#include "world/input_main.h"
#include "world/object_main.h"
#include "world/room_main.h"
#include "world/world_state.h"

namespace kx {

namespace {

GameState& game() {
    return world().game;
}
int32_t to_int(const RValue& v) {
    return round_to_i32(v.real);
}
bool to_flag(const RValue& v) {
    return round_to_i32(v.real) >= 1;
}
size_t slot(int32_t c, int32_t n) {
    return c >= 0 && c < n ? static_cast<size_t>(c) : 0;
}

CRoom& room() {
    static CRoom none;
    return world().current ? *world().current : none;
}

double sprite_metric(const CInstance& i, int which) {
    const auto& f = world().hooks.sprite_metric;
    return f ? f(i.sprite_index, which) : 0;
}

#define GET(body)                                     \
    +[](CInstance* i, int32_t c, RValue& o) -> bool { \
        (void)i;                                      \
        (void)c;                                      \
        body;                                         \
        return true;                                  \
    }
#define SET(body)                                           \
    +[](CInstance* i, int32_t c, const RValue& v) -> bool { \
        (void)i;                                            \
        (void)c;                                            \
        (void)v;                                            \
        body;                                               \
        return true;                                        \
    }
#define RO(name, expr) \
    { name, GET(o = RValue(expr)), nullptr, false }
// An instance field read and written as a real, an int or a flag.
#define IREAL(name, f)                                     \
    {                                                      \
        name, GET(if (!i) return false; o.set_real(i->f)), \
            SET(if (!i) return false; i->f = v.real), true \
    }
#define IINT(name, f)                                         \
    {                                                         \
        name, GET(if (!i) return false; o.set_real(i->f)),    \
            SET(if (!i) return false; i->f = to_int(v)), true \
    }
#define IFLAG(name, f)                                             \
    {                                                              \
        name, GET(if (!i) return false; o.set_real(i->f ? 1 : 0)), \
            SET(if (!i) return false; i->f = to_flag(v)), true     \
    }
#define IRO(name, expr) \
    { name, GET(if (!i) return false; o.set_real(expr)), nullptr, false }
// The same, with a bounding-box update when the value changes.
#define IBOX(name, f)                                       \
    {                                                       \
        name, GET(if (!i) return false; o.set_real(i->f)),  \
            SET(if (!i) return false; if (i->f != v.real) { \
                i->f = v.real;                              \
                compute_bbox(*i);                           \
            }),                                             \
            true                                            \
    }
#define IPATH(name, f)                                                                        \
    {                                                                                         \
        name, GET(if (!i) return false; o.set_real(i->f)),                                    \
            SET(if (!i) return false; i->f = v.real >= 0 ? std::min(v.real, 1.0) : 0.0), true \
    }

const BuiltinVarDef kInstanceVariables[] = {
    {"x", GET(if (!i) return false; o.set_real(i->x)),
     SET(if (!i) return false; set_position(*i, v.real, i->y)), true},
    {"y", GET(if (!i) return false; o.set_real(i->y)),
     SET(if (!i) return false; set_position(*i, i->x, v.real)), true},
    IREAL("xprevious", xprevious),
    IREAL("yprevious", yprevious),
    IREAL("xstart", xstart),
    IREAL("ystart", ystart),
    {"hspeed", GET(if (!i) return false; o.set_real(i->hspeed)),
     SET(if (!i) return false; motion_rules::set_hspeed(*i, v.real)), true},
    {"vspeed", GET(if (!i) return false; o.set_real(i->vspeed)),
     SET(if (!i) return false; motion_rules::set_vspeed(*i, v.real)), true},
    {"direction", GET(if (!i) return false; o.set_real(i->direction)),
     SET(if (!i) return false; motion_rules::set_direction(*i, v.real)), true},
    {"speed", GET(if (!i) return false; o.set_real(i->speed)),
     SET(if (!i) return false; motion_rules::set_speed(*i, v.real)), true},
    IREAL("friction", friction),
    IREAL("gravity", gravity),
    IREAL("gravity_direction", gravity_direction),
    IRO("object_index", i->object_index()),
    IRO("id", i->id()),
    {"alarm", GET(if (!i) return false; o.set_real(i->alarm[slot(c, 12)])),
     SET(if (!i) return false; i->alarm[slot(c, 12)] = to_int(v)), true},
    IFLAG("solid", solid),
    IFLAG("visible", visible),
    IFLAG("persistent", persistent),
    IREAL("depth", depth),
    IRO("bbox_left", i->bbox_left),
    IRO("bbox_right", i->bbox_right),
    IRO("bbox_top", i->bbox_top),
    IRO("bbox_bottom", i->bbox_bottom),
    {"sprite_index", GET(if (!i) return false; o.set_real(i->sprite_index)),
     SET(if (!i) return false; set_sprite(*i, to_int(v))), true},
    IREAL("image_index", image_index),
    {"image_single",
     GET(if (!i) return false; o.set_real(i->image_speed != 0 ? -1 : i->image_index)),
     SET(if (!i) return false; if (v.real >= 0) {
         i->image_index = v.real;
         i->image_speed = 0;
     } else i->image_speed = 1),
     true},
    IRO("image_number", image_count(*i)),
    IRO("sprite_width", sprite_metric(*i, 0) * i->image_xscale),
    IRO("sprite_height", sprite_metric(*i, 1) * i->image_yscale),
    IRO("sprite_xoffset", sprite_metric(*i, 2) * i->image_xscale),
    IRO("sprite_yoffset", sprite_metric(*i, 3) * i->image_yscale),
    IBOX("image_xscale", image_xscale),
    IBOX("image_yscale", image_yscale),
    IBOX("image_angle", image_angle),
    IREAL("image_alpha", image_alpha),
    IINT("image_blend", image_blend),
    IREAL("image_speed", image_speed),
    {"mask_index", GET(if (!i) return false; o.set_real(i->mask_index)),
     SET(if (!i) return false; i->mask_index = to_int(v); compute_bbox(*i)), true},
    IRO("path_index", i->path_index),
    IPATH("path_position", path_position),
    IPATH("path_positionprevious", path_positionprevious),
    IREAL("path_speed", path_speed),
    IREAL("path_scale", path_scale),
    IREAL("path_orientation", path_orientation),
    IINT("path_endaction", path_endaction),
    IINT("timeline_index", timeline_index),
    IREAL("timeline_position", timeline_position),
    IREAL("timeline_speed", timeline_speed),
};

// Room fields, array fields of the layers and views.
#define RINT(name, f) \
    { name, GET(o.set_real(room().f)), SET(room().f = to_int(v)), true }
#define RFLAG(name, f) \
    { name, GET(o.set_real(room().f ? 1 : 0)), SET(room().f = to_flag(v)), true }
#define BFLAG(name, f)                                             \
    {                                                              \
        name, GET(o.set_real(room().backs[slot(c, 8)].f ? 1 : 0)), \
            SET(room().backs[slot(c, 8)].f = to_flag(v)), true     \
    }
#define BINT(name, f)                                         \
    {                                                         \
        name, GET(o.set_real(room().backs[slot(c, 8)].f)),    \
            SET(room().backs[slot(c, 8)].f = to_int(v)), true \
    }
#define BREAL(name, f)                                     \
    {                                                      \
        name, GET(o.set_real(room().backs[slot(c, 8)].f)), \
            SET(room().backs[slot(c, 8)].f = v.real), true \
    }
#define VFLAG(name, f)                                             \
    {                                                              \
        name, GET(o.set_real(room().views[slot(c, 8)].f ? 1 : 0)), \
            SET(room().views[slot(c, 8)].f = to_flag(v)), true     \
    }
#define VINT(name, f)                                         \
    {                                                         \
        name, GET(o.set_real(room().views[slot(c, 8)].f)),    \
            SET(room().views[slot(c, 8)].f = to_int(v)), true \
    }
#define VREAL(name, f)                                     \
    {                                                      \
        name, GET(o.set_real(room().views[slot(c, 8)].f)), \
            SET(room().views[slot(c, 8)].f = v.real), true \
    }
#define GFLAG(name, f) \
    { name, GET(o.set_real(game().f ? 1 : 0)), SET(game().f = to_flag(v)), true }
#define GSTR(name, f) \
    { name, GET(o.set_string(KxString(game().f))), SET(game().f = v.str.str()), true }

int background_size(int32_t c, bool height) {
    const auto& f = world().hooks.background_size;
    return f ? f(room().backs[slot(c, 8)].index, height) : 0;
}

std::tm local_now() {
    const std::time_t t = std::time(nullptr);
    const std::tm* lt = std::localtime(&t);
    return lt ? *lt : std::tm{};
}

const BuiltinVarDef kGlobalVariables[] = {
    {"room", GET(o.set_real(world().room_index)), SET(request_room(to_int(v))), true},
    RO("room_first", room_first()),
    RO("room_last", room_last()),
    {"transition_kind", GET(o.set_real(game().transition_kind)),
     SET(game().transition_kind = to_int(v)), true},
    {"score", GET(o.set_real(game().score)), SET(game().score = to_int(v)), true},
    {"lives", GET(o.set_real(game().lives)), SET(set_lives(to_int(v))), true},
    {"health", GET(o.set_real(game().health)), SET(set_health(v.real)), true},
    RO("game_id", game().game_id),
    {"working_directory",
     GET(std::error_code ec; o.set_string(KxString(std::filesystem::current_path(ec).string()))),
     nullptr, false},
    {"temp_directory", GET(o.set_string(KxString(game().temp_directory))), nullptr, false},
    RO("instance_count", room_instances().count()),
    {"instance_id",
     GET(RoomInstances& r = room_instances();
         o.set_real(c >= 0 && c < r.count() ? r.at(c)->id() : -4)),
     nullptr, false},
    RO("room_width", room().width),
    RO("room_height", room().height),
    {"room_caption", GET(o.set_string(KxString(room().caption))), SET(room().caption = v.str.str()),
     true},
    {"room_speed", GET(o.set_real(room().speed)),
     SET(const int32_t s = to_int(v);
         if (s <= 0) report_with_context("Trying to set the room speed to a value <= 0.", false);
         else room().speed = s),
     true},
    RFLAG("room_persistent", persistent),
    RINT("background_color", color),
    RFLAG("background_showcolor", show_color),
    BFLAG("background_visible", visible),
    BFLAG("background_foreground", foreground),
    BINT("background_index", index),
    BREAL("background_x", x),
    BREAL("background_y", y),
    {"background_width", GET(o.set_real(background_size(c, false))), nullptr, false},
    {"background_height", GET(o.set_real(background_size(c, true))), nullptr, false},
    BFLAG("background_htiled", htiled),
    BFLAG("background_vtiled", vtiled),
    BREAL("background_xscale", xscale),
    BREAL("background_yscale", yscale),
    BREAL("background_hspeed", hspeed),
    BREAL("background_vspeed", vspeed),
    BINT("background_blend", blend),
    BREAL("background_alpha", alpha),
    RFLAG("view_enabled", views_enabled),
    RO("view_current", game().view_current),
    VFLAG("view_visible", visible),
    VINT("view_xview", xview),
    VINT("view_yview", yview),
    VINT("view_wview", wview),
    VINT("view_hview", hview),
    VINT("view_xport", xport),
    VINT("view_yport", yport),
    VINT("view_wport", wport),
    VINT("view_hport", hport),
    VREAL("view_angle", angle),
    VINT("view_hborder", hborder),
    VINT("view_vborder", vborder),
    VINT("view_hspeed", hspeed),
    VINT("view_vspeed", vspeed),
    VINT("view_object", object),
    // Mapped when read: views may have moved since the last mouse phase.
    {"mouse_x", GET(double x; double y; mouse_room_position(x, y); o.set_real(x)), nullptr, false},
    {"mouse_y", GET(double x; double y; mouse_room_position(x, y); o.set_real(y)), nullptr, false},
    {"mouse_button", GET(o.set_real(game().input.mouse_button)),
     SET(const int32_t b = to_int(v); if (b >= 1 && b <= 3) game().input.mouse_button = b), true},
    {"mouse_lastbutton", GET(o.set_real(game().input.mouse_lastbutton)),
     SET(const int32_t b = to_int(v); if (b >= 1 && b <= 3) game().input.mouse_lastbutton = b),
     true},
    {"keyboard_key", GET(o.set_real(game().input.keyboard_key)),
     SET(const int32_t k = to_int(v); if (k >= 0 && k <= 255) game().input.keyboard_key = k), true},
    {"keyboard_lastkey", GET(o.set_real(game().input.keyboard_lastkey)),
     SET(const int32_t k = to_int(v); if (k >= 0 && k <= 255) game().input.keyboard_lastkey = k),
     true},
    {"keyboard_lastchar", GET(o.set_string(KxString(game().input.keyboard_lastchar))),
     SET(const std::string s = v.str.str();
         if (!s.empty()) game().input.keyboard_lastchar = s.substr(0, 1)),
     true},
    {"keyboard_string", GET(o.set_string(KxString(game().input.keyboard_string))),
     SET(game().input.keyboard_string = v.str.str()), true},
    {"cursor_sprite", GET(o.set_real(game().cursor_sprite)), SET(game().cursor_sprite = to_int(v)),
     true},
    {"show_score", GET(o.set_real(game().show_score ? 1 : 0)),
     SET(game().show_score = to_flag(v); game().show_score_assigned = true), true},
    GFLAG("show_lives", show_lives),
    GFLAG("show_health", show_health),
    GSTR("caption_score", caption_score),
    GSTR("caption_lives", caption_lives),
    GSTR("caption_health", caption_health),
    RO("fps", game().fps),
    RO("current_time", static_cast<double>(rt().platform->clock()->now_us() / 1000)),
    RO("current_year", local_now().tm_year + 1900),
    RO("current_month", local_now().tm_mon + 1),
    RO("current_day", local_now().tm_mday),
    RO("current_weekday", local_now().tm_wday + 1),
    RO("current_hour", local_now().tm_hour),
    RO("current_minute", local_now().tm_min),
    RO("current_second", local_now().tm_sec),
    RO("event_type", rt().script->event.event_type),
    RO("event_number", rt().script->event.event_number),
    RO("event_object", rt().script->event.owner_index),
    RO("event_action", rt().script->event.action_index),
    RO("secure_mode", 0.0),
};

}  // namespace

void register_variables_world(BuiltinVariableTable& table) {
    table.add(kInstanceVariables);
    // The language registers the argument and error variables itself.
    for (const BuiltinVarDef& d : kGlobalVariables)
        if (table.find(d.name) < 0) table.add(d);
}

}  // namespace kx
