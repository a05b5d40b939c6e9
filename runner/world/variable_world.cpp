// The world's built-in variables, instance ones first, in registration order.
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "core/runtime.h"
#include "gamedata/gamedata_state.h"
#include "platform/platform.h"
#include "script/code_error.h"
#include "script/code_operator.h"
#include "script/script_state.h"
#include "sprites/sprite_state.h"
#include "world/function_game.h"
#include "world/game_loop.h"
#include "world/motion_rules.h"
#include "world/object_main.h"
#include "world/room_main.h"
#include "world/world_state.h"

namespace kx {

namespace {

WorldState& world(Runtime& r) {
    return r.get<WorldState>();
}
GameState& game(Runtime& r) {
    return r.get<WorldState>().game;
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

// While no room is current, room variables read and write a room of nobody's.
CRoom& room(Runtime& r) {
    static CRoom none;
    return world(r).current ? *world(r).current : none;
}

// 0 width, 1 height, 2 x origin, 3 y origin of the instance's sprite (0 for none).
double sprite_metric(Runtime& r, const CInstance& i, int which) {
    const CSprite* s = r.get<SpriteState>().sprites.get(i.sprite_index);
    if (!s) return 0;
    switch (which) {
        case 0:
            return s->width();
        case 1:
            return s->height();
        case 2:
            return s->xoffset();
        default:
            return s->yoffset();
    }
}

// Getters and setters follow the built-in handler convention, which reaches
// the runtime through rt().
#define GET(body)                                     \
    +[](CInstance* i, int32_t c, RValue& o) -> bool { \
        [[maybe_unused]] Runtime& r = rt();           \
        (void)i;                                      \
        (void)c;                                      \
        body;                                         \
        return true;                                  \
    }
#define SET(body)                                           \
    +[](CInstance* i, int32_t c, const RValue& v) -> bool { \
        [[maybe_unused]] Runtime& r = rt();                 \
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
                compute_bbox(r, *i);                        \
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
     SET(if (!i) return false; set_position(r, *i, v.real, i->y)), true},
    {"y", GET(if (!i) return false; o.set_real(i->y)),
     SET(if (!i) return false; set_position(r, *i, i->x, v.real)), true},
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
     SET(if (!i) return false; set_sprite(r, *i, to_int(v))), true},
    IREAL("image_index", image_index),
    {"image_single",
     GET(if (!i) return false; o.set_real(i->image_speed != 0 ? -1 : i->image_index)),
     SET(if (!i) return false; if (v.real >= 0) {
         i->image_index = v.real;
         i->image_speed = 0;
     } else i->image_speed = 1),
     true},
    IRO("image_number", image_count(r, *i)),
    IRO("sprite_width", sprite_metric(r, *i, 0) * i->image_xscale),
    IRO("sprite_height", sprite_metric(r, *i, 1) * i->image_yscale),
    IRO("sprite_xoffset", sprite_metric(r, *i, 2) * i->image_xscale),
    IRO("sprite_yoffset", sprite_metric(r, *i, 3) * i->image_yscale),
    IBOX("image_xscale", image_xscale),
    IBOX("image_yscale", image_yscale),
    IBOX("image_angle", image_angle),
    IREAL("image_alpha", image_alpha),
    IINT("image_blend", image_blend),
    IREAL("image_speed", image_speed),
    {"mask_index", GET(if (!i) return false; o.set_real(i->mask_index)),
     SET(if (!i) return false; i->mask_index = to_int(v); compute_bbox(r, *i)), true},
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
    { name, GET(o.set_real(room(r).f)), SET(room(r).f = to_int(v)), true }
#define RFLAG(name, f) \
    { name, GET(o.set_real(room(r).f ? 1 : 0)), SET(room(r).f = to_flag(v)), true }
#define BFLAG(name, f)                                              \
    {                                                               \
        name, GET(o.set_real(room(r).backs[slot(c, 8)].f ? 1 : 0)), \
            SET(room(r).backs[slot(c, 8)].f = to_flag(v)), true     \
    }
#define BINT(name, f)                                          \
    {                                                          \
        name, GET(o.set_real(room(r).backs[slot(c, 8)].f)),    \
            SET(room(r).backs[slot(c, 8)].f = to_int(v)), true \
    }
#define BREAL(name, f)                                      \
    {                                                       \
        name, GET(o.set_real(room(r).backs[slot(c, 8)].f)), \
            SET(room(r).backs[slot(c, 8)].f = v.real), true \
    }
#define VFLAG(name, f)                                              \
    {                                                               \
        name, GET(o.set_real(room(r).views[slot(c, 8)].f ? 1 : 0)), \
            SET(room(r).views[slot(c, 8)].f = to_flag(v)), true     \
    }
#define VINT(name, f)                                          \
    {                                                          \
        name, GET(o.set_real(room(r).views[slot(c, 8)].f)),    \
            SET(room(r).views[slot(c, 8)].f = to_int(v)), true \
    }
#define VREAL(name, f)                                      \
    {                                                       \
        name, GET(o.set_real(room(r).views[slot(c, 8)].f)), \
            SET(room(r).views[slot(c, 8)].f = v.real), true \
    }
#define GFLAG(name, f) \
    { name, GET(o.set_real(game(r).f ? 1 : 0)), SET(game(r).f = to_flag(v)), true }
#define GSTR(name, f) \
    { name, GET(o.set_string(KxString(game(r).f))), SET(game(r).f = v.str.str()), true }

int background_size(Runtime& r, int32_t c, bool height) {
    const CBackground* b = r.get<SpriteState>().backgrounds.get(room(r).backs[slot(c, 8)].index);
    return b ? (height ? b->height() : b->width()) : 0;
}

std::tm local_now() {
    const std::time_t t = std::time(nullptr);
    const std::tm* lt = std::localtime(&t);
    return lt ? *lt : std::tm{};
}

const BuiltinVarDef kGlobalVariables[] = {
    {"room", GET(o.set_real(world(r).room_index)), SET(request_room(r, to_int(v))), true},
    RO("room_first", room_first(world(r))),
    RO("room_last", room_last(world(r))),
    {"transition_kind", GET(o.set_real(game(r).transition_kind)),
     SET(game(r).transition_kind = to_int(v)), true},
    {"score", GET(o.set_real(game(r).score)), SET(game(r).score = to_int(v)), true},
    {"lives", GET(o.set_real(game(r).lives)), SET(set_lives(r, to_int(v))), true},
    {"health", GET(o.set_real(game(r).health)), SET(set_health(r, v.real)), true},
    RO("game_id", r.get<GameDataState>().header.game_id),
    {"working_directory",
     GET(std::error_code ec; o.set_string(KxString(std::filesystem::current_path(ec).string()))),
     nullptr, false},
    {"temp_directory", GET(o.set_string(KxString(r.options.temp_dir))), nullptr, false},
    RO("instance_count", room_instances(world(r)).count()),
    {"instance_id",
     GET(const RoomInstances& list = room_instances(world(r));
         o.set_real(c >= 0 && c < list.count() ? list.at(c)->id() : -4)),
     nullptr, false},
    RO("room_width", room(r).width),
    RO("room_height", room(r).height),
    {"room_caption", GET(o.set_string(KxString(room(r).caption))),
     SET(room(r).caption = v.str.str()), true},
    {"room_speed", GET(o.set_real(room(r).speed)),
     SET(const int32_t s = to_int(v);
         if (s <= 0) report_with_context(r, "Trying to set the room speed to a value <= 0.", false);
         else room(r).speed = s),
     true},
    RFLAG("room_persistent", persistent),
    RINT("background_color", color),
    RFLAG("background_showcolor", show_color),
    BFLAG("background_visible", visible),
    BFLAG("background_foreground", foreground),
    BINT("background_index", index),
    BREAL("background_x", x),
    BREAL("background_y", y),
    {"background_width", GET(o.set_real(background_size(r, c, false))), nullptr, false},
    {"background_height", GET(o.set_real(background_size(r, c, true))), nullptr, false},
    BFLAG("background_htiled", htiled),
    BFLAG("background_vtiled", vtiled),
    BREAL("background_xscale", xscale),
    BREAL("background_yscale", yscale),
    BREAL("background_hspeed", hspeed),
    BREAL("background_vspeed", vspeed),
    BINT("background_blend", blend),
    BREAL("background_alpha", alpha),
    RFLAG("view_enabled", views_enabled),
    RO("view_current", game(r).view_current),
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
    {"cursor_sprite", GET(o.set_real(game(r).cursor_sprite)),
     SET(game(r).cursor_sprite = to_int(v)), true},
    {"show_score", GET(o.set_real(game(r).show_score ? 1 : 0)),
     SET(game(r).show_score = to_flag(v); game(r).show_score_assigned = true), true},
    GFLAG("show_lives", show_lives),
    GFLAG("show_health", show_health),
    GSTR("caption_score", caption_score),
    GSTR("caption_lives", caption_lives),
    GSTR("caption_health", caption_health),
    RO("fps", game(r).fps),
    RO("current_time", static_cast<double>(r.platform->clock()->now_us() / 1000)),
    RO("current_year", local_now().tm_year + 1900),
    RO("current_month", local_now().tm_mon + 1),
    RO("current_day", local_now().tm_mday),
    RO("current_weekday", local_now().tm_wday + 1),
    RO("current_hour", local_now().tm_hour),
    RO("current_minute", local_now().tm_min),
    RO("current_second", local_now().tm_sec),
    RO("event_type", r.get<ScriptState>().event.event_type),
    RO("event_number", r.get<ScriptState>().event.event_number),
    RO("event_object", r.get<ScriptState>().event.owner_index),
    RO("event_action", r.get<ScriptState>().event.action_index),
    RO("secure_mode", r.options.secure_mode ? 1.0 : 0.0),
};

}  // namespace

void register_variables_world(BuiltinVariableTable& table) {
    table.add(kInstanceVariables);
    // The language registers the argument and error variables itself.
    for (const BuiltinVarDef& d : kGlobalVariables)
        if (table.find(d.name) < 0) table.add(d);
}

}  // namespace kx
