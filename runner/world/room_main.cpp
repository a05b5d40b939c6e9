#include "world/room_main.h"

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "script/code_error.h"
#include "script/code_main.h"
#include "script/script_state.h"
#include "world/input_main.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {

bool load_rooms(CStream& s) {
    RoomSection sec;
    if (!read_room_section(s, sec)) return false;
    WorldState& w = world();
    w.rooms.clear();
    for (const auto& r : sec.rooms) w.rooms.push_back(r ? room_from_record(*r) : nullptr);
    w.last_instance_id = sec.last_instance_id;
    w.last_tile_id = sec.last_tile_id;
    return true;
}

bool room_exists(int32_t index) {
    const auto& r = world().rooms;
    return index >= 0 && static_cast<size_t>(index) < r.size() && r[static_cast<size_t>(index)];
}

std::string room_name(int32_t index) {
    return room_exists(index) ? world().rooms[static_cast<size_t>(index)]->name : "<undefined>";
}

int32_t room_find(std::string_view name) {
    const auto& r = world().rooms;
    for (size_t i = 0; i < r.size(); ++i)
        if (r[i] && r[i]->name == name) return static_cast<int32_t>(i);
    return -1;
}

int32_t room_first() {
    return world().room_order.empty() ? -1 : world().room_order.front();
}
int32_t room_last() {
    return world().room_order.empty() ? -1 : world().room_order.back();
}

int32_t room_previous(int32_t r) {
    const auto& o = world().room_order;
    for (size_t i = 0; i < o.size(); ++i)
        if (o[i] == r) return i == 0 ? -1 : o[i - 1];
    return -1;
}

int32_t room_next(int32_t r) {
    const auto& o = world().room_order;
    for (size_t i = 0; i < o.size(); ++i)
        if (o[i] == r) return i + 1 == o.size() ? -1 : o[i + 1];
    return -1;
}

void set_current_room(int32_t index) {
    WorldState& w = world();
    w.room_index = index;
    w.current = index >= 0 && static_cast<size_t>(index) < w.working.size()
                    ? w.working[static_cast<size_t>(index)].get()
                    : nullptr;
    rt().script->instances = w.current ? &w.current->instances : &w.no_room;
    rt().script->id_cache_last = rt().script->id_cache_previous = 0;
}

void enter_room(int32_t index, bool starting) {
    WorldState& w = world();
    ScriptState& st = *rt().script;
    st.transition_request = -1;
    input_clear();
    if (index < 0) return;
    if (static_cast<size_t>(index) >= w.working.size())
        w.working.resize(static_cast<size_t>(index) + 1);
    auto& slot = w.working[static_cast<size_t>(index)];
    const bool fresh = !slot;
    if (fresh) {
        slot = std::make_unique<CRoom>();
        if (room_exists(index)) slot->copy_from(*w.rooms[static_cast<size_t>(index)]);
    }
    set_current_room(index);
    CRoom& room = *w.current;
    if (w.hooks.size_region) w.hooks.size_region();
    const int from_template = room.instances.count();

    for (auto& carried : w.carry) {
        for (auto& i : room.instances.active())
            if (i->id() == carried->id()) i->mark_destroyed();
        CInstance* inst = create_in_room(carried->object_index(), carried->x, carried->y);
        copy_state(*inst, *carried);
        room.instances.note_id(inst);
        carried.reset();
    }

    if (fresh) {
        for (int k = 0; k < from_template && !transition_pending(); ++k) {
            CInstance* inst = room.instances.at(k);
            if (inst->destroyed()) continue;
            if (!inst->creation_code.empty()) {
                CCode code(inst->creation_code, false);
                if (code.compile()) {
                    RValue r;
                    execute_reporting(inst, inst, code, r);
                } else {
                    const std::string m = pending_message();
                    clear_pending_error();
                    report("COMPILATION ERROR in initialization code for instance\r" + m, false);
                }
            }
            perform_event(inst, inst, inst->object_index(), ev::Create, 0);
        }
    }
    w.carry.clear();
    if (starting) perform_event_all(ev::Other, ev::GameStart);
    if (fresh && !room.code.empty() && !transition_pending()) {
        CCode code(room.code, false);
        if (code.compile()) {
            run_with_temp_instance(code);
        } else {
            const std::string m = pending_message();
            clear_pending_error();
            report("COMPILATION ERROR in room script\r" + m, false);
        }
    }
    perform_event_all(ev::Other, ev::RoomStart);
    if (!transition_pending() && w.game.automatic_draw) {
        if (w.hooks.draw_room) w.hooks.draw_room();
        if (w.hooks.present) w.hooks.present(w.game.transition_kind);
        w.game.transition_kind = 0;
    }
}

void leave_room(bool ending) {
    WorldState& w = world();
    ScriptState& st = *rt().script;
    if (!w.current) return;
    CRoom& room = *w.current;
    room.instances.remove_destroyed();
    const int32_t saved = st.transition_request;
    st.transition_request = -1;
    perform_event_all(ev::Other, ev::RoomEnd);
    if (ending) perform_event_all(ev::Other, ev::GameEnd);
    // A fatal error during these events still ends the game.
    if (st.transition_request != -400) st.transition_request = saved;
    w.carry.clear();
    for (auto& i : room.instances.active()) {
        if (!i->persistent || i->destroyed()) continue;
        auto c = std::make_unique<CInstance>(i->id(), i->object_index());
        copy_state(*c, *i);
        w.carry.push_back(std::move(c));
        i->mark_destroyed();
    }
    if (!room.persistent) w.working[static_cast<size_t>(w.room_index)].reset();
    set_current_room(-1);
}

}  // namespace kx
