#include "world/room_main.h"

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "script/code_error.h"
#include "script/code_main.h"
#include "script/script_state.h"
#include "world/game_loop.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {

bool load_rooms(Runtime& r, CStream& s) {
    RoomSection sec;
    if (!read_room_section(s, sec)) return false;
    WorldState& w = r.get<WorldState>();
    w.rooms.clear();
    for (const auto& rec : sec.rooms) w.rooms.push_back(rec ? room_from_record(r, *rec) : nullptr);
    w.last_instance_id = sec.last_instance_id;
    w.last_tile_id = sec.last_tile_id;
    return true;
}

bool room_exists(const WorldState& w, int32_t index) {
    const auto& r = w.rooms;
    return index >= 0 && static_cast<size_t>(index) < r.size() && r[static_cast<size_t>(index)];
}

std::string room_name(const WorldState& w, int32_t index) {
    return room_exists(w, index) ? w.rooms[static_cast<size_t>(index)]->name : "<undefined>";
}

int32_t room_find(const WorldState& w, std::string_view name) {
    const auto& r = w.rooms;
    for (size_t i = 0; i < r.size(); ++i)
        if (r[i] && r[i]->name == name) return static_cast<int32_t>(i);
    return -1;
}

int32_t room_first(const WorldState& w) {
    return w.room_order.empty() ? -1 : w.room_order.front();
}
int32_t room_last(const WorldState& w) {
    return w.room_order.empty() ? -1 : w.room_order.back();
}

int32_t room_previous(const WorldState& w, int32_t room) {
    const auto& o = w.room_order;
    for (size_t i = 0; i < o.size(); ++i)
        if (o[i] == room) return i == 0 ? -1 : o[i - 1];
    return -1;
}

int32_t room_next(const WorldState& w, int32_t room) {
    const auto& o = w.room_order;
    for (size_t i = 0; i < o.size(); ++i)
        if (o[i] == room) return i + 1 == o.size() ? -1 : o[i + 1];
    return -1;
}

void set_current_room(Runtime& r, int32_t index) {
    WorldState& w = r.get<WorldState>();
    w.room_index = index;
    w.current = index >= 0 && static_cast<size_t>(index) < w.working.size()
                    ? w.working[static_cast<size_t>(index)].get()
                    : nullptr;
    w.script_view.show(room_instances(w));
    r.get<ScriptState>().forget_instance_positions();
}

namespace {

// Compiles and runs a room's or an instance's creation code; a compile error
// is reported as what, not fatal.
void run_creation_code(Runtime& r, const std::string& text, CInstance* inst, const char* what) {
    ScriptState& st = r.get<ScriptState>();
    CCode code(text, false);
    if (!code.compile(st)) {
        const std::string m = pending_message(st);
        clear_pending_error(st);
        report(r, std::string("COMPILATION ERROR in ") + what + "\r" + m, false);
        return;
    }
    if (inst) {
        RValue result;
        execute_reporting(r, inst, inst, code, result);
    } else {
        run_with_temp_instance(r, code);
    }
}

}  // namespace

void enter_room(Runtime& r, int32_t index, bool starting) {
    WorldState& w = r.get<WorldState>();
    ScriptState& st = r.get<ScriptState>();
    st.transition.clear();
    w.game.input.clear();
    if (index < 0) return;
    if (static_cast<size_t>(index) >= w.working.size())
        w.working.resize(static_cast<size_t>(index) + 1);
    auto& slot = w.working[static_cast<size_t>(index)];
    const bool fresh = !slot;
    if (fresh) {
        slot = std::make_unique<CRoom>();
        if (room_exists(w, index)) slot->copy_from(r, *w.rooms[static_cast<size_t>(index)]);
    }
    set_current_room(r, index);
    CRoom& room = *w.current;
    run_phase(r, Phase::RoomEnter);
    const int from_template = room.instances.count();

    for (auto& carried : w.carry) {
        for (auto& i : room.instances.active())
            if (i->id() == carried->id()) i->mark_destroyed();
        CInstance* inst = create_in_room(r, carried->object_index(), carried->x, carried->y);
        copy_state(r, *inst, *carried);
        room.instances.note_id(inst);
        carried.reset();
    }

    if (fresh) {
        for (int k = 0; k < from_template && !transition_pending(r); ++k) {
            CInstance* inst = room.instances.at(k);
            if (inst->destroyed()) continue;
            if (!inst->creation_code.empty())
                run_creation_code(r, inst->creation_code, inst, "initialization code for instance");
            perform_event(r, inst, inst, inst->object_index(), ev::Create, 0);
        }
    }
    w.carry.clear();
    if (starting) perform_event_all(r, ev::Other, ev::GameStart);
    if (fresh && !room.code.empty() && !transition_pending(r))
        run_creation_code(r, room.code, nullptr, "room script");
    perform_event_all(r, ev::Other, ev::RoomStart);
    if (!transition_pending(r) && w.game.automatic_draw) {
        run_phase(r, Phase::Draw);
        run_phase(r, Phase::Present);
        w.game.transition_kind = 0;
    }
}

void leave_room(Runtime& r, bool ending) {
    WorldState& w = r.get<WorldState>();
    ScriptState& st = r.get<ScriptState>();
    if (!w.current) return;
    CRoom& room = *w.current;
    room.instances.remove_destroyed(w);
    const TransitionRequest saved = st.transition;
    st.transition.clear();
    perform_event_all(r, ev::Other, ev::RoomEnd);
    if (ending) perform_event_all(r, ev::Other, ev::GameEnd);
    // A fatal error during these events still ends the game.
    if (!st.transition.is(TransitionRequest::Abort)) st.transition = saved;
    w.carry.clear();
    for (auto& i : room.instances.active()) {
        if (!i->persistent || i->destroyed()) continue;
        auto c = std::make_unique<CInstance>(i->id(), i->object_index());
        copy_state(r, *c, *i);
        w.carry.push_back(std::move(c));
        i->mark_destroyed();
    }
    if (!room.persistent) w.working[static_cast<size_t>(w.room_index)].reset();
    set_current_room(r, -1);
}

}  // namespace kx
