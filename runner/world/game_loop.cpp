#include "world/game_loop.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>

#include "core/runtime.h"
#include "gamedata/gamedata_state.h"
#include "platform/platform.h"
#include "script/code_error.h"
#include "script/script_state.h"
#include "world/function_game.h"
#include "world/object_main.h"
#include "world/room_main.h"
#include "world/world_state.h"

namespace kx {

namespace {

// The numbers each event type's lists are built for (collisions use pairs).
constexpr int32_t kListTop[kEventTypeCount] = {0, 0, 12, 2, -1, 128, 61, 50, 0, 128, 128};

int64_t now_us(Runtime& r) {
    return r.platform->clock()->now_us();
}

void timelines_step(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    for_each_live(
        [&]() -> auto& { return room_instances(w).active(); },
        [&](CInstance* inst) {
            const int32_t t = inst->timeline_index;
            if (t < 0 || static_cast<size_t>(t) >= w.timelines.size() ||
                !w.timelines[static_cast<size_t>(t)])
                return true;
            const CTimeLine& tl = *w.timelines[static_cast<size_t>(t)];
            const int j = tl.index_at(inst->timeline_position);
            inst->timeline_position += inst->timeline_speed;
            const int e = tl.index_at(inst->timeline_position);
            for (int m = j; m < e; ++m) run_moment(r, inst, inst, t, m);
            return true;
        });
}

void alarms_step(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    for (int32_t a = 0; a < 12; ++a) {
        for (int32_t o : w.lists.at(ev::Alarm, a)) {
            for_each_live(
                [&]() -> auto& { return room_instances(w).exact(o); },
                [&](CInstance* inst) {
                    int32_t& alarm = inst->alarm[static_cast<size_t>(a)];
                    if (alarm >= 0 && --alarm == 0) perform_event(r, inst, inst, o, ev::Alarm, a);
                    return true;
                });
            if (transition_pending(r)) return;
        }
    }
}

void special_keys(Runtime& r) {
    // Subsystems answer their own keys first (full screen); each clears the
    // key it took.
    run_phase(r, Phase::SpecialKeys);
    const GameSettings& s = r.get<GameDataState>().settings;
    WorldState& w = r.get<WorldState>();
    InputState& in = w.game.input;
    const int32_t key = in.keyboard_lastkey;
    if (s.KeyF1Info && key == 112) {
        // The game information window would open here; the key is taken.
        in.keyboard_lastkey = 0;
        in.clear();
    } else if (s.KeyEscEnd && key == 27) {
        in.keyboard_lastkey = 0;
        r.get<ScriptState>().transition.set(TransitionRequest::End);
    } else if (s.KeyF5F6SaveLoad && key == 116) {
        in.keyboard_lastkey = 0;
        save_game(r, default_save_name(r));
    } else if (s.KeyF5F6SaveLoad && key == 117) {
        in.keyboard_lastkey = 0;
        load_game(r, default_save_name(r));
    }
}

void animate(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    for_each_listed(
        [&]() -> auto& { return room_instances(w).active(); },
        [&](CInstance* inst) {
            inst->image_index += inst->image_speed;
            const int count = image_count(r, *inst);
            if (std::floor(inst->image_index) >= count) {
                inst->image_index -= count;
                perform_event(r, inst, inst, inst->object_index(), ev::Other, ev::AnimationEnd);
            }
            return true;
        });
}

}  // namespace

void run_phase(Runtime& r, Phase p) {
    for (Runtime::PhaseFn f : r.phase(p)) f(r);
}

bool run_step_phase(Runtime& r, Phase p) {
    for (Runtime::PhaseFn f : r.phase(p)) {
        f(r);
        if (transition_pending(r)) return false;
    }
    return true;
}

void process_messages(Runtime& r) {
    if (r.platform && r.platform->windows()) r.platform->windows()->process_messages();
    run_phase(r, Phase::Messages);
}

const std::vector<int32_t>& EventLists::at(int32_t type, int32_t number) const {
    static const std::vector<int32_t> kNone;
    if (type < 0 || type >= kEventTypeCount) return kNone;
    const auto& l = lists[static_cast<size_t>(type)];
    return number >= 0 && static_cast<size_t>(number) < l.size() ? l[static_cast<size_t>(number)]
                                                                 : kNone;
}

void build_event_lists(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    const int32_t count = static_cast<int32_t>(w.objects.size());
    for (int32_t t = 0; t < kEventTypeCount; ++t) {
        auto& l = w.lists.lists[static_cast<size_t>(t)];
        l.assign(static_cast<size_t>(kListTop[t] + 1), {});
        for (int32_t n = 0; n <= kListTop[t]; ++n)
            for (int32_t o = 0; o < count; ++o)
                if (object_exists(w, o) && find_event(w, o, t, n))
                    l[static_cast<size_t>(n)].push_back(o);
    }
    w.lists.collision_pairs.clear();
    for (int32_t a = 0; a < count; ++a)
        for (int32_t b = 0; b < count; ++b)
            if (object_exists(w, a) && object_exists(w, b) && find_event(w, a, ev::Collision, b))
                w.lists.collision_pairs.emplace_back(a, b);
}

void dispatch_event(Runtime& r, int32_t type, int32_t number) {
    WorldState& w = r.get<WorldState>();
    for (int32_t o : w.lists.at(type, number))
        for_each_live(
            [&]() -> auto& { return room_instances(w).exact(o); },
            [&](CInstance* inst) {
                perform_event(r, inst, inst, o, type, number);
                return true;
            });
}

void set_lives(Runtime& r, int32_t v) {
    GameState& g = r.get<WorldState>().game;
    const int32_t old = g.lives;
    g.lives = v;
    if (old > 0 && v <= 0) perform_event_all(r, ev::Other, ev::NoMoreLives);
}

void set_health(Runtime& r, double v) {
    GameState& g = r.get<WorldState>().game;
    const double old = g.health;
    g.health = v;
    if (old > 0 && v <= 0) perform_event_all(r, ev::Other, ev::NoMoreHealth);
}

void start_game(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    ScriptState& st = r.get<ScriptState>();
    GameState& g = w.game;
    build_event_lists(r);
    st.globals.clear();
    g.score = 0;
    g.lives = -1;
    g.cursor_sprite = -1;
    g.cursor_frame = 0;
    g.transition_kind = 0;
    if (r.options.seed)
        st.random.seed(*r.options.seed);
    else
        st.random.seed_from_clock();
    run_library_init(r);
    run_phase(r, Phase::GameStart);
    w.working.clear();
    w.working.resize(w.rooms.size());
    w.carry.clear();
    const int32_t first = room_first(w);
    // A game without a playable first room has nothing to run.
    if (!room_exists(w, first)) {
        if (!st.transition.pending()) st.transition.set(TransitionRequest::End);
        return;
    }
    const TransitionRequest pending = st.transition;
    enter_room(r, first, true);
    // A fatal error in the library code still ends the game.
    if (pending.is(TransitionRequest::Abort) && !st.transition.pending())
        st.transition.set(TransitionRequest::Abort);
}

void end_game(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    leave_room(r, true);
    w.working.clear();
    w.carry.clear();
    set_current_room(r, -1);
    run_phase(r, Phase::GameEnd);
}

bool handle_transition(Runtime& r) {
    TransitionRequest& t = r.get<ScriptState>().transition;
    WorldState& w = r.get<WorldState>();
    switch (t.code()) {
        case TransitionRequest::None:
            return true;
        case TransitionRequest::End:
        case TransitionRequest::Abort:
            w.game.running = false;
            return false;
        case TransitionRequest::Load:
            t.clear();
            w.game.input.clear();
            load_game(r, w.game.load_file);
            return true;
        case TransitionRequest::Restart:
            end_game(r);
            t.clear();
            start_game(r);
            return handle_transition(r);
        default: {
            const int32_t to = t.code();
            leave_room(r, false);
            enter_room(r, to, false);
            return handle_transition(r);
        }
    }
}

void perform_step(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    GameState& g = w.game;
    const GameSettings& s = r.get<GameDataState>().settings;
    if (s.FreezeOnLoseFocus && !g.active) return;
    special_keys(r);
    if (!w.current) return;
    for (auto& i : room_instances(w).active()) {
        i->xprevious = i->x;
        i->yprevious = i->y;
        i->path_positionprevious = i->path_position;
    }
    dispatch_event(r, ev::Step, ev::StepBegin);
    if (transition_pending(r)) return;
    timelines_step(r);
    if (transition_pending(r)) return;
    alarms_step(r);
    if (transition_pending(r)) return;
    if (!run_step_phase(r, Phase::InputEvents)) return;
    dispatch_event(r, ev::Step, ev::StepNormal);
    if (transition_pending(r)) return;
    run_phase(r, Phase::Motion);
    if (!run_step_phase(r, Phase::Boundary)) return;
    if (!run_step_phase(r, Phase::Collision)) return;
    dispatch_event(r, ev::Step, ev::StepEnd);
    if (transition_pending(r)) return;
    if (!run_step_phase(r, Phase::AfterEndStep)) return;
    room_instances(w).remove_destroyed(w);
    if (g.automatic_draw) run_phase(r, Phase::Draw);
    if (w.current) w.current->scroll_backgrounds();
    animate(r);
    ++g.cursor_frame;
    run_phase(r, Phase::StepEnd);
}

void wait_us(Runtime& r, int64_t us) {
    if (us <= 0) return;
    IClock& clock = *r.platform->clock();
    if (clock.is_virtual()) {
        clock.sleep_us(us);
        process_messages(r);
        return;
    }
    const int64_t start = clock.now_us();
    if (us >= 2000) clock.sleep_us((us - 1000) / 1000 * 1000);
    for (;;) {
        process_messages(r);
        const int64_t t = clock.now_us();
        if (t >= start + us || t < start) break;
    }
}

namespace {

void step_limit_check(Runtime& r) {
    GameState& g = r.get<WorldState>().game;
    TransitionRequest& t = r.get<ScriptState>().transition;
    ++g.steps_done;
    // The limit wins over a pending room change, restart or load; an abort stays.
    const long long limit = r.options.steps;
    if (limit >= 0 && g.steps_done >= limit && !t.is(TransitionRequest::Abort))
        t.set(TransitionRequest::End);
}

void present(Runtime& r) {
    GameState& g = r.get<WorldState>().game;
    if (!transition_pending(r) && g.automatic_draw) {
        run_phase(r, Phase::Present);
        g.transition_kind = 0;
    }
}

void loop(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    GameState& g = w.game;
    if (!handle_transition(r)) return;
    int64_t last = now_us(r);
    g.fps = 0;
    int32_t frames = 0;
    int64_t second_start = last;
    process_messages(r);
    while (g.running && !g.paused) {
        try {
            perform_step(r);
            step_limit_check(r);
            int64_t t = now_us(r);
            if (t < last) last = t;
            int32_t speed = w.current ? w.current->speed : 30;
            if (speed < 1) {
                speed = 1;
                if (w.current) w.current->speed = 1;
            }
            int64_t wait = 1000000 / speed - (t - last);
            wait = std::clamp<int64_t>(wait, 0, 1000000);
            wait_us(r, wait);
            last = t + wait;
            if (last < second_start) second_start = last;
            if (last / 1000000 > second_start / 1000000) {
                g.fps = frames;
                frames = 0;
                second_start = last;
            }
            ++frames;
            present(r);
            if (!handle_transition(r)) break;
            process_messages(r);
        } catch (const std::exception& e) {
            // A fault abandons the rest of this iteration only; the player
            // learns of it, and the game goes on.
            report(r, std::string("Unexpected error in the game loop: ") + e.what(), false);
        }
    }
}

}  // namespace

void loop_pause(Runtime& r) {
    GameState& g = r.get<WorldState>().game;
    if (g.running && !g.paused) g.paused = true;
}

void loop_single_step(Runtime& r) {
    GameState& g = r.get<WorldState>().game;
    if (!g.running || !g.paused) return;
    process_messages(r);
    perform_step(r);
    present(r);
    if (!handle_transition(r)) end_game(r);
    process_messages(r);
}

void loop_stop(Runtime& r) {
    GameState& g = r.get<WorldState>().game;
    if (!g.running) return;
    if (g.paused) end_game(r);
    g.running = false;
    g.paused = false;
}

void loop_restart(Runtime& r) {
    GameState& g = r.get<WorldState>().game;
    if (!g.running) return;
    r.get<ScriptState>().transition.set(TransitionRequest::Restart);
    if (g.paused) run_game(r);
}

void run_game(Runtime& r) {
    GameState& g = r.get<WorldState>().game;
    if (!g.running) {
        g.running = true;
        g.steps_done = 0;
        start_game(r);
        if (r.options.steps == 0 && !transition_pending(r))
            r.get<ScriptState>().transition.set(TransitionRequest::End);
    }
    g.running = true;
    g.paused = false;
    loop(r);
    if (!g.running) end_game(r);
}

}  // namespace kx
