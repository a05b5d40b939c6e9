#include "world/game_loop.h"

#include <cmath>
#include <exception>
#include <numbers>

#include "core/runtime.h"
#include "gamedata/game_settings.h"
#include "platform/platform.h"
#include "script/script_state.h"
#include "world/function_game.h"
#include "world/input_main.h"
#include "world/object_main.h"
#include "world/room_main.h"
#include "world/world_state.h"

namespace kx {

namespace {

ScriptState& sst() {
    return *rt().script;
}
int32_t& request() {
    return rt().script->transition_request;
}

// The numbers each event type's lists are built for (collisions use pairs).
constexpr int32_t kListTop[kEventTypeCount] = {0, 0, 12, 2, -1, 128, 61, 50, 0, 128, 128};

void process_messages() {
    if (rt().platform && rt().platform->windows()) rt().platform->windows()->process_messages();
    if (world().hooks.input_messages) world().hooks.input_messages();
}

int64_t now_us() {
    return rt().platform->clock()->now_us();
}

void motion(CInstance& i) {
    // Friction slows the speed towards 0; gravity pulls along its direction.
    if (i.friction != 0 && i.speed != 0) {
        double s =
            i.speed > 0 ? std::max(0.0, i.speed - i.friction) : std::min(0.0, i.speed + i.friction);
        const double rad = i.direction * std::numbers::pi / 180;
        i.speed = s;
        i.hspeed = s * std::cos(rad);
        i.vspeed = -s * std::sin(rad);
    }
    if (i.gravity != 0) {
        const double g = i.gravity_direction * std::numbers::pi / 180;
        i.hspeed += i.gravity * std::cos(g);
        i.vspeed -= i.gravity * std::sin(g);
        i.speed = std::hypot(i.hspeed, i.vspeed);
        double d = std::atan2(-i.vspeed, i.hspeed) * 180 / std::numbers::pi;
        if (d < 0) d += 360;
        i.direction = d;
    }
    if (i.hspeed != 0 || i.vspeed != 0) set_position(i, i.x + i.hspeed, i.y + i.vspeed);
}

void timelines_step() {
    WorldState& w = world();
    RoomInstances& list = room_instances();
    const int n = list.count();
    for (int k = 0; k < n && k < list.count(); ++k) {
        CInstance* inst = list.at(k);
        if (inst->destroyed()) continue;
        const int32_t t = inst->timeline_index;
        if (t < 0 || static_cast<size_t>(t) >= w.timelines.size() ||
            !w.timelines[static_cast<size_t>(t)])
            continue;
        const CTimeLine& tl = *w.timelines[static_cast<size_t>(t)];
        const int j = tl.index_at(inst->timeline_position);
        inst->timeline_position += inst->timeline_speed;
        const int e = tl.index_at(inst->timeline_position);
        for (int m = j; m < e; ++m) run_moment(inst, inst, t, m);
    }
}

void alarms_step() {
    const EventLists& el = world().lists;
    for (int32_t a = 0; a < 12; ++a) {
        for (int32_t o : el.at(ev::Alarm, a)) {
            const size_t n = room_instances().exact(o).size();
            for (size_t k = 0; k < n; ++k) {
                const auto& list = room_instances().exact(o);
                if (k >= list.size()) break;
                CInstance* inst = list[k];
                if (inst->destroyed() || inst->alarm[static_cast<size_t>(a)] < 0) continue;
                if (--inst->alarm[static_cast<size_t>(a)] == 0)
                    perform_event(inst, inst, o, ev::Alarm, a);
            }
            if (transition_pending()) return;
        }
    }
}

void special_keys() {
    const GameSettings& s = *rt().settings;
    InputState& in = world().game.input;
    const int32_t key = in.keyboard_lastkey;
    if (s.KeyF1Info && key == 112) {
        in.keyboard_lastkey = 0;  // the information window comes with the dialogs
        input_clear();
    } else if (s.KeyEscEnd && key == 27) {
        in.keyboard_lastkey = 0;
        request() = -100;
    } else if (s.KeyF4Fullscreen && key == 115) {
        in.keyboard_lastkey = 0;
        if (world().hooks.toggle_fullscreen) world().hooks.toggle_fullscreen();
    } else if (s.KeyF5F6SaveLoad && key == 116) {
        in.keyboard_lastkey = 0;
        save_game(default_save_name());
    } else if (s.KeyF5F6SaveLoad && key == 117) {
        in.keyboard_lastkey = 0;
        load_game(default_save_name());
    }
}

}  // namespace

const std::vector<int32_t>& EventLists::at(int32_t type, int32_t number) const {
    static const std::vector<int32_t> kNone;
    if (type < 0 || type >= kEventTypeCount) return kNone;
    const auto& l = lists[static_cast<size_t>(type)];
    return number >= 0 && static_cast<size_t>(number) < l.size() ? l[static_cast<size_t>(number)]
                                                                 : kNone;
}

void build_event_lists() {
    WorldState& w = world();
    const int32_t count = static_cast<int32_t>(w.objects.size());
    for (int32_t t = 0; t < kEventTypeCount; ++t) {
        auto& l = w.lists.lists[static_cast<size_t>(t)];
        l.assign(static_cast<size_t>(kListTop[t] + 1), {});
        for (int32_t n = 0; n <= kListTop[t]; ++n)
            for (int32_t o = 0; o < count; ++o)
                if (object_exists(o) && find_event(o, t, n)) l[static_cast<size_t>(n)].push_back(o);
    }
    w.lists.collision_pairs.clear();
    for (int32_t a = 0; a < count; ++a)
        for (int32_t b = 0; b < count; ++b)
            if (object_exists(a) && object_exists(b) && find_event(a, ev::Collision, b))
                w.lists.collision_pairs.emplace_back(a, b);
}

void dispatch_event(int32_t type, int32_t number) {
    const std::vector<int32_t>& objects = world().lists.at(type, number);
    for (int32_t o : objects) {
        const size_t n = room_instances().exact(o).size();
        for (size_t k = 0; k < n; ++k) {
            const auto& list = room_instances().exact(o);
            if (k >= list.size()) break;
            CInstance* inst = list[k];
            if (!inst->destroyed()) perform_event(inst, inst, o, type, number);
        }
    }
}

void set_lives(int32_t v) {
    GameState& g = world().game;
    const int32_t old = g.lives;
    g.lives = v;
    if (old > 0 && v <= 0) perform_event_all(ev::Other, ev::NoMoreLives);
}

void set_health(double v) {
    GameState& g = world().game;
    const double old = g.health;
    g.health = v;
    if (old > 0 && v <= 0) perform_event_all(ev::Other, ev::NoMoreHealth);
}

void start_game() {
    WorldState& w = world();
    GameState& g = w.game;
    build_event_lists();
    sst().globals.clear();
    g.score = 0;
    g.lives = -1;
    g.cursor_sprite = -1;
    g.cursor_frame = 0;
    g.transition_kind = 0;
    if (g.fixed_seed)
        sst().random.seed(*g.fixed_seed);
    else
        sst().random.seed_from_clock();
    run_library_init();
    if (w.hooks.set_window_cursor) w.hooks.set_window_cursor(rt().settings->ShowCursor ? 0 : -1);
    w.working.clear();
    w.working.resize(w.rooms.size());
    w.carry.clear();
    const int32_t first = room_first();
    // A game without a playable first room has nothing to run.
    if (!room_exists(first)) {
        if (request() == -1) request() = -100;
        return;
    }
    const int32_t pending = request();
    enter_room(first, true);
    // A fatal error in the library code still ends the game.
    if (pending == -400 && request() == -1) request() = -400;
}

void end_game() {
    WorldState& w = world();
    leave_room(true);
    w.working.clear();
    w.carry.clear();
    set_current_room(-1);
    if (w.hooks.set_window_cursor) w.hooks.set_window_cursor(0);
}

bool handle_transition() {
    int32_t& r = request();
    WorldState& w = world();
    switch (r) {
        case -1:
            return true;
        case -100:
        case -400:
            w.game.running = false;
            return false;
        case -300:
            r = -1;
            input_clear();
            load_game(w.game.load_file);
            return true;
        case -200:
            end_game();
            r = -1;
            start_game();
            return handle_transition();
        default: {
            const int32_t to = r;
            leave_room(false);
            enter_room(to, false);
            return handle_transition();
        }
    }
}

void perform_step() {
    WorldState& w = world();
    GameState& g = w.game;
    const GameSettings& s = *rt().settings;
    if (s.FreezeOnLoseFocus && !g.active) return;
    special_keys();
    if (!w.current) return;
    for (auto& i : room_instances().active()) {
        i->xprevious = i->x;
        i->yprevious = i->y;
        i->path_positionprevious = i->path_position;
    }
    dispatch_event(ev::Step, ev::StepBegin);
    if (transition_pending()) return;
    timelines_step();
    if (transition_pending()) return;
    alarms_step();
    if (transition_pending()) return;
    if (w.hooks.input_events) {
        w.hooks.input_events();
        if (transition_pending()) return;
    }
    dispatch_event(ev::Step, ev::StepNormal);
    if (transition_pending()) return;
    {
        RoomInstances& list = room_instances();
        const int n = list.count();
        const auto& move = w.hooks.move_instance;
        for (int k = 0; k < n && k < list.count(); ++k) {
            if (move)
                move(*list.at(k));
            else
                motion(*list.at(k));
        }
    }
    if (w.hooks.boundary_events) {
        w.hooks.boundary_events();
        if (transition_pending()) return;
    }
    if (w.hooks.collision_events) {
        w.hooks.collision_events();
        if (transition_pending()) return;
    }
    dispatch_event(ev::Step, ev::StepEnd);
    if (transition_pending()) return;
    room_instances().remove_destroyed();
    if (g.automatic_draw && w.hooks.draw_room) w.hooks.draw_room();
    if (w.current) w.current->scroll_backgrounds();
    {
        RoomInstances& list = room_instances();
        const int n = list.count();
        for (int k = 0; k < n && k < list.count(); ++k) {
            CInstance* inst = list.at(k);
            inst->image_index += inst->image_speed;
            const int count = image_count(*inst);
            if (std::floor(inst->image_index) >= count) {
                inst->image_index -= count;
                perform_event(inst, inst, inst->object_index(), ev::Other, ev::AnimationEnd);
            }
        }
    }
    ++g.cursor_frame;
    if (w.hooks.input_step_end) w.hooks.input_step_end();
}

void wait_us(int64_t us) {
    if (us <= 0) return;
    IClock& clock = *rt().platform->clock();
    if (clock.is_virtual()) {
        clock.sleep_us(us);
        process_messages();
        return;
    }
    const int64_t start = clock.now_us();
    if (us >= 2000) clock.sleep_us((us - 1000) / 1000 * 1000);
    for (;;) {
        process_messages();
        const int64_t t = clock.now_us();
        if (t >= start + us || t < start) break;
    }
}

namespace {

void step_limit_check() {
    GameState& g = world().game;
    ++g.steps_done;
    // The limit wins over a pending room change, restart or load; an abort stays.
    if (g.step_limit >= 0 && g.steps_done >= g.step_limit && request() != -400) request() = -100;
}

void loop() {
    WorldState& w = world();
    GameState& g = w.game;
    if (!handle_transition()) return;
    int64_t last = now_us();
    g.fps = 0;
    int32_t frames = 0;
    int64_t second_start = last;
    process_messages();
    while (g.running && !g.paused) {
        try {
            perform_step();
            step_limit_check();
            int64_t t = now_us();
            if (t < last) last = t;
            int32_t speed = w.current ? w.current->speed : 30;
            if (speed < 1) {
                speed = 1;
                if (w.current) w.current->speed = 1;
            }
            int64_t wait = 1000000 / speed - (t - last);
            wait = std::clamp<int64_t>(wait, 0, 1000000);
            wait_us(wait);
            last = t + wait;
            if (last < second_start) second_start = last;
            if (last / 1000000 > second_start / 1000000) {
                g.fps = frames;
                frames = 0;
                second_start = last;
            }
            ++frames;
            if (!transition_pending() && g.automatic_draw) {
                if (w.hooks.present) w.hooks.present(g.transition_kind);
                g.transition_kind = 0;
            }
            if (!handle_transition()) break;
            process_messages();
        } catch (const std::exception&) {
            // A fault abandons the rest of this iteration only.
        }
    }
}

}  // namespace

void loop_pause() {
    GameState& g = world().game;
    if (g.running && !g.paused) g.paused = true;
}

void loop_single_step() {
    WorldState& w = world();
    GameState& g = w.game;
    if (!g.running || !g.paused) return;
    process_messages();
    perform_step();
    if (!transition_pending() && g.automatic_draw) {
        if (w.hooks.present) w.hooks.present(g.transition_kind);
        g.transition_kind = 0;
    }
    if (!handle_transition()) end_game();
    process_messages();
}

void loop_stop() {
    GameState& g = world().game;
    if (!g.running) return;
    if (g.paused) end_game();
    g.running = false;
    g.paused = false;
}

void loop_restart() {
    GameState& g = world().game;
    if (!g.running) return;
    request() = -200;
    if (g.paused) run_game();
}

void run_game() {
    GameState& g = world().game;
    if (!g.running) {
        g.running = true;
        g.steps_done = 0;
        start_game();
        if (g.step_limit == 0 && request() == -1) request() = -100;
    }
    g.running = true;
    g.paused = false;
    loop();
    if (!g.running) end_game();
}

}  // namespace kx
