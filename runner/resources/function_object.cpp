// Built-in functions that inspect and change objects and room templates.
// A changed template shows the next time its room is entered from it.
#include <cmath>
#include <string>

#include "core/runtime.h"
#include "resources/resources_main.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/script_state.h"
#include "sprites/sprite_state.h"
#include "world/game_loop.h"
#include "world/instance.h"
#include "world/instance_main.h"
#include "world/object_main.h"
#include "world/room_class.h"
#include "world/room_main.h"
#include "world/world_state.h"

namespace kx {
namespace {

WorldState& world() {
    return rt().get<WorldState>();
}
void report(const char* message) {
    report_with_context(rt(), message, false);
}
CObject* object_arg(const RValue& v) {
    return object_get(world(), arg_id(v));
}
CRoom* room_arg(const RValue& v) {
    WorldState& w = world();
    const int32_t i = arg_id(v);
    return room_exists(w, i) ? w.rooms[static_cast<size_t>(i)].get() : nullptr;
}

// ------------------------------------------------------------ objects

KX_HANDLER(fn_object_exists) {
    result = RValue(object_arg(args[0]) ? 1.0 : 0.0);
}
KX_HANDLER(fn_object_get_name) {
    result = RValue(KxString(object_name(world(), arg_id(args[0]))));
}
template <class F>
void object_field(RValue& result, const RValue& id, F f) {
    const CObject* o = object_arg(id);
    result = RValue(o ? double(f(*o)) : -1.0);
}
#define OBJECT_GETTER(fn, expr)                                               \
    KX_HANDLER(fn) {                                                          \
        object_field(result, args[0], [](const CObject& o) { return expr; }); \
    }
OBJECT_GETTER(fn_object_get_sprite, o.sprite)
OBJECT_GETTER(fn_object_get_solid, o.solid ? 1 : 0)
OBJECT_GETTER(fn_object_get_visible, o.visible ? 1 : 0)
OBJECT_GETTER(fn_object_get_depth, o.depth)
OBJECT_GETTER(fn_object_get_persistent, o.persistent ? 1 : 0)
OBJECT_GETTER(fn_object_get_mask, o.mask)
OBJECT_GETTER(fn_object_get_parent, o.parent)
#undef OBJECT_GETTER

KX_HANDLER(fn_object_is_ancestor) {
    WorldState& w = world();
    const int32_t a = arg_id(args[0]);
    result = RValue(!object_exists(w, a)                        ? -1.0
                    : object_is_ancestor(w, a, arg_id(args[1])) ? 1.0
                                                                : 0.0);
}
KX_HANDLER(fn_object_set_sprite) {
    if (CObject* o = object_arg(args[0])) o->sprite = arg_id(args[1]);
}
KX_HANDLER(fn_object_set_solid) {
    if (CObject* o = object_arg(args[0])) o->solid = arg_bool(args[1]);
}
KX_HANDLER(fn_object_set_visible) {
    if (CObject* o = object_arg(args[0])) o->visible = arg_bool(args[1]);
}
KX_HANDLER(fn_object_set_depth) {
    if (CObject* o = object_arg(args[0])) o->depth = arg_i32(args[1]);
}
KX_HANDLER(fn_object_set_persistent) {
    if (CObject* o = object_arg(args[0])) o->persistent = arg_bool(args[1]);
}
KX_HANDLER(fn_object_set_mask) {
    if (CObject* o = object_arg(args[0])) o->mask = arg_id(args[1]);
}
KX_HANDLER(fn_object_set_parent) {
    if (CObject* o = object_arg(args[0])) {
        o->parent = arg_id(args[1]);
        build_event_lists(rt());
    }
}
KX_HANDLER(fn_object_add) {
    result = RValue(double(object_add(world())));
    build_event_lists(rt());
}
KX_HANDLER(fn_object_delete) {
    if (!object_delete(world(), arg_id(args[0])))
        return report("Trying to delete non-existing object.");
    build_event_lists(rt());
    result = RValue(1.0);
}
bool event_key(const RValue* a, int32_t& type, int32_t& number) {
    const int64_t t = arg_int(a[1]), n = arg_int(a[2]);
    if (t < 0 || t >= kEventTypeCount || n < 0 || n > kMaxEventNumber) return false;
    type = static_cast<int32_t>(t);
    number = static_cast<int32_t>(n);
    return true;
}
KX_HANDLER(fn_object_event_clear) {
    CObject* o = object_arg(args[0]);
    int32_t type = 0, number = 0;
    if (!o || !event_key(args, type, number)) return;
    auto& events = o->events[static_cast<size_t>(type)];
    if (auto it = events.find(number); it != events.end()) it->second.actions.clear();
    build_event_lists(rt());
}
KX_HANDLER(fn_object_event_add) {
    const int32_t index = arg_id(args[0]);
    CObject* o = object_arg(args[0]);
    int32_t type = 0, number = 0;
    if (!o || !event_key(args, type, number)) return;
    CEvent& e = o->event_at(type, number);
    CAction a;
    a.kind = act::Code;
    a.exec_type = act::ExecCode;
    a.arg_count = 1;
    a.arg_kinds = {act::KindString};
    a.args = {std::string(arg_text(args[3]))};
    e.actions.push_back(std::move(a));
    // The compiler's messages name the event the code is in.
    EventContext& ec = rt().get<ScriptState>().event;
    const EventContext saved = ec;
    ec = EventContext{index, type, number, static_cast<int32_t>(e.actions.size() - 1), false};
    compile_action(rt(), e.actions.back());
    ec = saved;
    build_event_lists(rt());
}

// ------------------------------------------------------------ rooms

KX_HANDLER(fn_room_exists) {
    result = RValue(room_arg(args[0]) ? 1.0 : 0.0);
}
KX_HANDLER(fn_room_get_name) {
    result = RValue(KxString(room_name(world(), arg_id(args[0]))));
}
KX_HANDLER(fn_room_set_width) {
    if (CRoom* r = room_arg(args[0])) r->width = arg_i32(args[1]);
}
KX_HANDLER(fn_room_set_height) {
    if (CRoom* r = room_arg(args[0])) r->height = arg_i32(args[1]);
}
KX_HANDLER(fn_room_set_caption) {
    if (CRoom* r = room_arg(args[0])) r->caption = std::string(arg_text(args[1]));
}
KX_HANDLER(fn_room_set_persistent) {
    if (CRoom* r = room_arg(args[0])) r->persistent = arg_bool(args[1]);
}
KX_HANDLER(fn_room_set_code) {
    if (CRoom* r = room_arg(args[0])) r->code = std::string(arg_text(args[1]));
}
KX_HANDLER(fn_room_set_background_color) {
    if (CRoom* r = room_arg(args[0])) {
        r->color = static_cast<int32_t>(arg_int(args[1]));
        r->show_color = arg_bool(args[2]);
    }
}
KX_HANDLER(fn_room_set_background) {
    CRoom* r = room_arg(args[0]);
    const int64_t layer = arg_int(args[1]);
    if (!r || layer < 0 || layer > 7) return;
    CBack& b = r->backs[size_t(layer)];
    b.visible = arg_bool(args[2]);
    b.foreground = arg_bool(args[3]);
    b.index = arg_id(args[4]);
    b.x = arg_real(args[5]);
    b.y = arg_real(args[6]);
    b.htiled = arg_bool(args[7]);
    b.vtiled = arg_bool(args[8]);
    b.hspeed = arg_real(args[9]);
    b.vspeed = arg_real(args[10]);
    b.alpha = arg_real(args[11]);
    b.xscale = b.yscale = 1;
}
KX_HANDLER(fn_room_set_view) {
    CRoom* r = room_arg(args[0]);
    const int64_t view = arg_int(args[1]);
    if (!r || view < 0 || view > 7) return;
    CView& v = r->views[size_t(view)];
    v.visible = arg_bool(args[2]);
    int32_t* fields[] = {&v.xview, &v.yview,   &v.wview,   &v.hview,  &v.xport,  &v.yport, &v.wport,
                         &v.hport, &v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.object};
    for (size_t i = 0; i < std::size(fields); ++i) *fields[i] = arg_i32(args[3 + i]);
}
KX_HANDLER(fn_room_set_view_enabled) {
    if (CRoom* r = room_arg(args[0])) r->views_enabled = arg_bool(args[1]);
}
KX_HANDLER(fn_room_add) {
    WorldState& w = world();
    auto room = std::make_unique<CRoom>();
    room->name = "__newroom" + std::to_string(w.rooms.size());
    w.rooms.push_back(std::move(room));
    result = RValue(double(w.rooms.size() - 1));
}
KX_HANDLER(fn_room_duplicate) {
    WorldState& w = world();
    const CRoom* source = room_arg(args[0]);
    if (!source) return report("Trying to duplicate non-existing room.");
    auto room = std::make_unique<CRoom>();
    room->copy_from(rt(), *source);
    room->name = "__newroom" + std::to_string(w.rooms.size());
    w.rooms.push_back(std::move(room));
    result = RValue(double(w.rooms.size() - 1));
}
KX_HANDLER(fn_room_assign) {
    CRoom* target = room_arg(args[0]);
    const CRoom* source = room_arg(args[1]);
    if (!target || !source) return report("Error assigning a room.");
    if (target == source) return;
    const std::string name = target->name;
    target->copy_from(rt(), *source);
    target->name = name;
}
KX_HANDLER(fn_room_instance_add) {
    CRoom* room = room_arg(args[0]);
    const int32_t object = arg_id(args[3]);
    WorldState& w = world();
    if (!room || !object_exists(w, object)) return;
    auto inst =
        make_instance(rt(), ++w.last_instance_id, object, arg_real(args[1]), arg_real(args[2]));
    const int32_t id = inst->id();
    room->instances.append(w, std::move(inst));
    result = RValue(double(id));
}
KX_HANDLER(fn_room_instance_clear) {
    if (CRoom* r = room_arg(args[0])) r->instances.clear();
}
void tile_add(RValue& result, const RValue* a, double xscale, double yscale, double alpha) {
    CRoom* room = room_arg(a[0]);
    if (!room) {
        result = RValue(-1.0);
        return;
    }
    const int32_t back = arg_id(a[1]);
    if (!rt().get<SpriteState>().backgrounds.exists(back)) {
        report("Background does not exist.");
        result = RValue(-1.0);
        return;
    }
    RTile t;
    t.background = back;
    t.left = arg_i32(a[2]);
    t.top = arg_i32(a[3]);
    t.width = arg_i32(a[4]);
    t.height = arg_i32(a[5]);
    t.x = arg_real(a[6]);
    t.y = arg_real(a[7]);
    t.depth = arg_real(a[8]);
    t.xscale = xscale;
    t.yscale = yscale;
    t.alpha = alpha;
    room->add_tile(t, world().last_tile_id);
    result = RValue(double(room->tiles.size() - 1));
}
KX_HANDLER(fn_room_tile_add) {
    tile_add(result, args, 1, 1, 1);
}
KX_HANDLER(fn_room_tile_add_ext) {
    tile_add(result, args, arg_real(args[9]), arg_real(args[10]), arg_real(args[11]));
}
KX_HANDLER(fn_room_tile_clear) {
    if (CRoom* r = room_arg(args[0])) r->tiles.clear();
}

constexpr BuiltinDef kObjectFunctions[] = {
    {"object_exists", fn_object_exists, 1},
    {"object_name", fn_object_get_name, 1},
    {"object_get_name", fn_object_get_name, 1},
    {"object_get_sprite", fn_object_get_sprite, 1},
    {"object_get_solid", fn_object_get_solid, 1},
    {"object_get_visible", fn_object_get_visible, 1},
    {"object_get_depth", fn_object_get_depth, 1},
    {"object_get_persistent", fn_object_get_persistent, 1},
    {"object_get_mask", fn_object_get_mask, 1},
    {"object_get_parent", fn_object_get_parent, 1},
    {"object_is_ancestor", fn_object_is_ancestor, 2},
    {"object_set_sprite", fn_object_set_sprite, 2},
    {"object_set_solid", fn_object_set_solid, 2},
    {"object_set_visible", fn_object_set_visible, 2},
    {"object_set_depth", fn_object_set_depth, 2},
    {"object_set_persistent", fn_object_set_persistent, 2},
    {"object_set_mask", fn_object_set_mask, 2},
    {"object_set_parent", fn_object_set_parent, 2},
    {"object_add", fn_object_add, 0},
    {"object_delete", fn_object_delete, 1},
    {"object_event_clear", fn_object_event_clear, 3},
    {"object_event_add", fn_object_event_add, 4},
    {"room_exists", fn_room_exists, 1},
    {"room_name", fn_room_get_name, 1},
    {"room_get_name", fn_room_get_name, 1},
    {"room_set_width", fn_room_set_width, 2},
    {"room_set_height", fn_room_set_height, 2},
    {"room_set_caption", fn_room_set_caption, 2},
    {"room_set_persistent", fn_room_set_persistent, 2},
    {"room_set_code", fn_room_set_code, 2},
    {"room_set_background_color", fn_room_set_background_color, 3},
    {"room_set_background", fn_room_set_background, 12},
    {"room_set_view", fn_room_set_view, 16},
    {"room_set_view_enabled", fn_room_set_view_enabled, 2},
    {"room_add", fn_room_add, 0},
    {"room_duplicate", fn_room_duplicate, 1},
    {"room_assign", fn_room_assign, 2},
    {"room_instance_add", fn_room_instance_add, 4},
    {"room_instance_clear", fn_room_instance_clear, 1},
    {"room_tile_add", fn_room_tile_add, 9},
    {"room_tile_add_ext", fn_room_tile_add_ext, 12},
    {"room_tile_clear", fn_room_tile_clear, 1},
};

}  // namespace

void register_function_object(FunctionTable& table) {
    table.add(kObjectFunctions);
}

}  // namespace kx
