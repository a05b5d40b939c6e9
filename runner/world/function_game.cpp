#include "world/function_game.h"

#include <filesystem>
#include <string>

#include "core/game_paths.h"
#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "gamedata/gamedata_state.h"
#include "gamedata/record_io.h"
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

void abort_with(Runtime& r, const std::string& message) {
    report_with_context(r, message, true);
    r.get<ScriptState>().transition.set(TransitionRequest::Abort);
}

int32_t game_id(const Runtime& r) {
    return r.get<GameDataState>().header.game_id;
}

// The subsystems' chunks follow the world's record, each tagged and sized so
// that a reader can tell them apart and a file without them still loads.
void write_chunks(Runtime& r, CStream& s) {
    for (const Subsystem* sub : r.subsystems())
        for (const SaveChunk& c : sub->save_chunks) {
            CStream body;
            c.write(r, body);
            s.write_int(static_cast<int32_t>(c.tag));
            s.write_int(static_cast<int32_t>(body.size()));
            s.write_bytes(body.data());
        }
}

struct StagedChunk {
    const SaveChunk* chunk;
    std::shared_ptr<void> staged;
};

// Reads every chunk left in s; throws StreamError for one that is damaged or
// refused. Chunks of no subsystem of this run are skipped.
std::vector<StagedChunk> read_chunks(Runtime& r, CStream& s) {
    std::vector<StagedChunk> out;
    while (s.remaining() > 0) {
        const uint32_t tag = static_cast<uint32_t>(s.read_int());
        const int32_t size = s.read_int();
        if (size < 0 || static_cast<size_t>(size) > s.remaining())
            throw StreamError("bad chunk size");
        CStream body(s.read_bytes(static_cast<size_t>(size)));
        for (const Subsystem* sub : r.subsystems())
            for (const SaveChunk& c : sub->save_chunks)
                if (c.tag == tag) {
                    std::shared_ptr<void> staged = c.read(r, body);
                    if (!staged) throw StreamError("refused chunk");
                    out.push_back({&c, std::move(staged)});
                }
    }
    return out;
}

}  // namespace

std::string default_save_name(const Runtime& r) {
    return "_save" + std::to_string(game_id(r)) + ".sav";
}

void request_room(Runtime& r, int32_t room) {
    if (!room_exists(r.get<WorldState>(), room)) {
        abort_with(r, "Unexisting room number: " + std::to_string(room));
        return;
    }
    r.get<ScriptState>().transition.set_room(room);
}

namespace {

// A saved game after its version and game id, as loading stages it.
struct SavedGame {
    int32_t room = -1, kind = 0, score = 0, lives = 0, cursor = -1, frame = 0;
    double health = 0;
    bool draw = true;
    CVariableList globals;
    std::vector<std::unique_ptr<CRoom>> working;
    int32_t last_id = 0, last_tile = 0;
};

// What saving writes, seen where it lives.
struct SavedGameView {
    const int32_t &room, &kind, &score, &lives, &cursor, &frame;
    const double& health;
    const bool& draw;
    const CVariableList& globals;
    const std::vector<std::unique_ptr<CRoom>>& working;
    const int32_t &last_id, &last_tile;
};

// One field list for both directions. Loaded rooms take their names from
// the game's rooms.
template <class IO, class G>
bool saved_game(IO& io, G& g, const WorldState& w) {
    io.i(g.room);
    io.i(g.kind);
    io.i(g.score);
    io.i(g.lives);
    io.r(g.health);
    io.i(g.cursor);
    io.i(g.frame);
    io.b(g.draw);
    if constexpr (IO::kReads)
        g.globals.load(io.s);
    else
        g.globals.save(io.s);
    int32_t index = 0;
    const bool rooms_ok = io.list(g.working, 4, [&](auto& room) {
        const int32_t i = index++;
        if (!io.slot(room)) return true;
        if constexpr (IO::kReads) {
            room = read_room(w, io.s);
            if (!room) return false;
            if (room_exists(w, i)) room->name = w.rooms[static_cast<size_t>(i)]->name;
        } else {
            write_room(io.s, *room);
        }
        return true;
    });
    if (!rooms_ok) return false;
    io.i(g.last_id);
    io.i(g.last_tile);
    return true;
}

}  // namespace

void write_save(Runtime& r, CStream& s) {
    WorldState& w = r.get<WorldState>();
    const GameState& g = w.game;
    s.write_int(kSaveVersion);
    s.write_int(game_id(r));
    const SavedGameView view{w.room_index, g.transition_kind,  g.score,
                             g.lives,      g.cursor_sprite,    g.cursor_frame,
                             g.health,     g.automatic_draw,   r.get<ScriptState>().globals,
                             w.working,    w.last_instance_id, w.last_tile_id};
    RecordWriter io{s};
    saved_game(io, view, w);
    write_chunks(r, s);
}

bool save_game(Runtime& r, const std::string& fname) {
    CStream s;
    write_save(r, s);
    // Written beside the target and renamed over it, so a failed write never
    // costs the previous save.
    const std::string path = game_write_path(r.options, fname);
    const std::string tmp = path + ".tmp";
    std::error_code ec;
    if (!s.save_to_file(tmp) || (fs::rename(tmp, path, ec), ec)) {
        fs::remove(tmp, ec);
        report_with_context(r, "Failed to save game to file " + fname, false);
        return false;
    }
    return true;
}

bool load_game(Runtime& r, const std::string& fname) {
    std::error_code ec;
    const std::string path = game_read_path(r.options, fname);
    if (fname.empty() || !fs::is_regular_file(path, ec)) return false;
    const std::string failed = "Failed to load game from file " + fname;
    CStream s;
    if (!s.load_from_file(path)) {
        report(r, failed, false);
        return false;
    }
    WorldState& w = r.get<WorldState>();
    // Everything is read into new structures; the game changes only when the
    // whole file read cleanly.
    SavedGame L;
    std::vector<StagedChunk> chunks;
    try {
        if (s.read_int() != kSaveVersion) {
            report(r, "Cannot load game saved with other version.", false);
            return false;
        }
        if (s.read_int() != game_id(r)) {
            report(r, "This is a save file for a different game!", false);
            return false;
        }
        RecordReader io{s};
        if (!saved_game(io, L, w)) throw StreamError("bad saved game");
        const int32_t n = static_cast<int32_t>(L.working.size());
        if (L.room < 0 || L.room >= n || !L.working[static_cast<size_t>(L.room)])
            throw StreamError("no room");
        chunks = read_chunks(r, s);
    } catch (const StreamError&) {
        report(r, failed, false);
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
    r.get<ScriptState>().globals.assign(L.globals);
    w.carry.clear();
    w.working = std::move(L.working);
    set_current_room(r, L.room);
    w.last_instance_id = L.last_id;
    w.last_tile_id = L.last_tile;
    for (const StagedChunk& c : chunks) c.chunk->apply(r, c.staged);
    run_phase(r, Phase::GameLoaded);
    return true;
}

namespace {

KX_HANDLER(f_room_goto) {
    request_room(rt(), arg_held_i32(args[0]));
}
KX_HANDLER(f_room_goto_previous) {
    Runtime& r = rt();
    const WorldState& w = r.get<WorldState>();
    if (w.room_index == room_first(w)) {
        abort_with(r, "Moving to previous room before the first room.");
        return;
    }
    request_room(r, room_previous(w, w.room_index));
}
KX_HANDLER(f_room_goto_next) {
    Runtime& r = rt();
    const WorldState& w = r.get<WorldState>();
    if (w.room_index == room_last(w)) {
        abort_with(r, "Moving to next room after the last room.");
        return;
    }
    request_room(r, room_next(w, w.room_index));
}
KX_HANDLER(f_room_restart) {
    Runtime& r = rt();
    request_room(r, r.get<WorldState>().room_index);
}
KX_HANDLER(f_room_previous) {
    const WorldState& w = rt().get<WorldState>();
    const int32_t n = arg_held_i32(args[0]);
    result.set_real(room_exists(w, n) ? room_previous(w, n) : -1);
}
KX_HANDLER(f_room_next) {
    const WorldState& w = rt().get<WorldState>();
    const int32_t n = arg_held_i32(args[0]);
    result.set_real(room_exists(w, n) ? room_next(w, n) : -1);
}
KX_HANDLER(f_game_end) {
    rt().get<ScriptState>().transition.set(TransitionRequest::End);
}
KX_HANDLER(f_game_restart) {
    rt().get<ScriptState>().transition.set(TransitionRequest::Restart);
}
KX_HANDLER(f_game_load) {
    Runtime& r = rt();
    r.get<WorldState>().game.load_file = args[0].str.str();
    r.get<ScriptState>().transition.set(TransitionRequest::Load);
}
KX_HANDLER(f_game_save) {
    save_game(rt(), args[0].str.str());
}
KX_HANDLER(f_sleep) {
    wait_us(rt(), round_to_i64(args[0].real * 1000));
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
