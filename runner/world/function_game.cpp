#include "world/function_game.h"

#include <filesystem>
#include <string>

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/code_operator.h"
#include "script/script_state.h"
#include "world/game_loop.h"
#include "world/room_main.h"
#include "world/world_state.h"

namespace kx {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kSaveVersion = 540;
int32_t& request() {
    return rt().script->transition_request;
}

void abort_with(const std::string& message) {
    report_with_context(message, true);
    request() = -400;
}

}  // namespace

std::string default_save_name() {
    return "_save" + std::to_string(world().game.game_id) + ".sav";
}

void request_room(int32_t r) {
    if (!room_exists(r)) {
        abort_with("Unexisting room number: " + std::to_string(r));
        return;
    }
    request() = r;
}

void write_save(CStream& s) {
    WorldState& w = world();
    const GameState& g = w.game;
    s.write_int(kSaveVersion);
    s.write_int(g.game_id);
    s.write_int(w.room_index);
    s.write_int(g.transition_kind);
    s.write_int(g.score);
    s.write_int(g.lives);
    s.write_real(g.health);
    s.write_int(g.cursor_sprite);
    s.write_int(g.cursor_frame);
    s.write_bool(g.automatic_draw);
    rt().script->globals.save(s);
    s.write_int(static_cast<int32_t>(w.working.size()));
    for (const auto& r : w.working) {
        s.write_bool(r != nullptr);
        if (r) write_room(s, *r);
    }
    s.write_int(w.last_instance_id);
    s.write_int(w.last_tile_id);
}

bool save_game(const std::string& fname) {
    CStream s;
    write_save(s);
    // Written beside the target and renamed over it, so a failed write never
    // costs the previous save.
    const std::string tmp = fname + ".tmp";
    std::error_code ec;
    if (!s.save_to_file(tmp) || (fs::rename(tmp, fname, ec), ec)) {
        fs::remove(tmp, ec);
        report_with_context("Failed to save game to file " + fname, false);
        return false;
    }
    return true;
}

bool load_game(const std::string& fname) {
    std::error_code ec;
    if (fname.empty() || !fs::is_regular_file(fname, ec)) return false;
    const std::string failed = "Failed to load game from file " + fname;
    CStream s;
    if (!s.load_from_file(fname)) {
        report(failed, false);
        return false;
    }
    WorldState& w = world();
    // Everything is read into new structures; the game changes only when the
    // whole file read cleanly.
    struct Loaded {
        int32_t room = -1, kind = 0, score = 0, lives = 0, cursor = -1, frame = 0;
        double health = 0;
        bool draw = true;
        CVariableList globals;
        std::vector<std::unique_ptr<CRoom>> working;
        int32_t last_id = 0, last_tile = 0;
    } L;
    try {
        if (s.read_int() != kSaveVersion) {
            report("Cannot load game saved with other version.", false);
            return false;
        }
        if (s.read_int() != w.game.game_id) {
            report("This is a save file for a different game!", false);
            return false;
        }
        L.room = s.read_int();
        L.kind = s.read_int();
        L.score = s.read_int();
        L.lives = s.read_int();
        L.health = s.read_real();
        L.cursor = s.read_int();
        L.frame = s.read_int();
        L.draw = s.read_bool();
        L.globals.load(s);
        const int32_t n = s.read_int();
        if (n < 0 || static_cast<size_t>(n) > s.remaining() / 4)
            throw StreamError("bad room count");
        for (int32_t i = 0; i < n; ++i) {
            if (!s.read_bool()) {
                L.working.emplace_back();
                continue;
            }
            auto r = read_room(s);
            if (!r) throw StreamError("bad room");
            if (room_exists(i)) r->name = w.rooms[static_cast<size_t>(i)]->name;
            L.working.push_back(std::move(r));
        }
        L.last_id = s.read_int();
        L.last_tile = s.read_int();
        if (L.room < 0 || L.room >= n || !L.working[static_cast<size_t>(L.room)])
            throw StreamError("no room");
    } catch (const StreamError&) {
        report(failed, false);
        return false;
    }
    GameState& g = w.game;
    g.transition_kind = L.kind;
    g.score = L.score;
    g.lives = L.lives;
    g.health = L.health;
    g.cursor_sprite = L.cursor;
    g.cursor_frame = L.frame;
    g.automatic_draw = L.draw;
    rt().script->globals.assign(L.globals);
    w.carry.clear();
    w.working = std::move(L.working);
    set_current_room(L.room);
    w.last_instance_id = L.last_id;
    w.last_tile_id = L.last_tile;
    if (w.hooks.size_region) w.hooks.size_region();
    return true;
}

namespace {

void f_room_goto(CInstance*, CInstance*, int, RValue&, const RValue* a) {
    request_room(arg_held_i32(a[0]));
}
void f_room_goto_previous(CInstance*, CInstance*, int, RValue&, const RValue*) {
    const int32_t cur = world().room_index;
    if (cur == room_first()) {
        abort_with("Moving to previous room before the first room.");
        return;
    }
    request_room(room_previous(cur));
}
void f_room_goto_next(CInstance*, CInstance*, int, RValue&, const RValue*) {
    const int32_t cur = world().room_index;
    if (cur == room_last()) {
        abort_with("Moving to next room after the last room.");
        return;
    }
    request_room(room_next(cur));
}
void f_room_restart(CInstance*, CInstance*, int, RValue&, const RValue*) {
    request_room(world().room_index);
}
void f_room_previous(CInstance*, CInstance*, int, RValue& r, const RValue* a) {
    const int32_t n = arg_held_i32(a[0]);
    r.set_real(room_exists(n) ? room_previous(n) : -1);
}
void f_room_next(CInstance*, CInstance*, int, RValue& r, const RValue* a) {
    const int32_t n = arg_held_i32(a[0]);
    r.set_real(room_exists(n) ? room_next(n) : -1);
}
void f_game_end(CInstance*, CInstance*, int, RValue&, const RValue*) {
    request() = -100;
}
void f_game_restart(CInstance*, CInstance*, int, RValue&, const RValue*) {
    request() = -200;
}
void f_game_load(CInstance*, CInstance*, int, RValue&, const RValue* a) {
    world().game.load_file = a[0].str.str();
    request() = -300;
}
void f_game_save(CInstance*, CInstance*, int, RValue&, const RValue* a) {
    save_game(a[0].str.str());
}
void f_sleep(CInstance*, CInstance*, int, RValue&, const RValue* a) {
    wait_us(round_to_i64(a[0].real * 1000));
}

constexpr BuiltinDef kFunctions[] = {
    {"room_goto", f_room_goto, 1},
    {"room_goto_previous", f_room_goto_previous, 0},
    {"room_goto_next", f_room_goto_next, 0},
    {"room_restart", f_room_restart, 0},
    {"room_previous", f_room_previous, 1},
    {"room_next", f_room_next, 1},
    {"game_end", f_game_end, 0},
    {"game_restart", f_game_restart, 0},
    {"game_load", f_game_load, 1},
    {"game_save", f_game_save, 1},
    {"sleep", f_sleep, 1},
};

}  // namespace

void register_function_game(FunctionTable& table) {
    table.add(kFunctions);
}

}  // namespace kx
