#include "input/input_main.h"

#include "collision/collision_shape.h"
#include "core/runtime.h"
#include "graphics/frame_main.h"
#include "platform/joystick.h"
#include "platform/platform.h"
#include "script/code_function.h"
#include "script/script_state.h"
#include "sprites/sprite_state.h"
#include "world/game_loop.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {

namespace {

using Kind = InputEvent::Kind;

InputState& state(Runtime& r) {
    return r.get<WorldState>().game.input;
}
bool valid_key(int k) {
    return k >= 0 && k <= 255;
}
size_t at(int k) {
    return static_cast<size_t>(k);
}

// Events that change only the input state, which entering a room wipes.
bool wiped_by_room_entry(Kind k) {
    return k != Kind::MouseMove && k != Kind::FocusGained && k != Kind::FocusLost;
}

void write_line(InputDevices& d, const RecordedInput& r) {
    *d.record << format_input_line(r) << '\n';
    d.record->flush();
}

void write_record(Runtime& rt, InputDevices& d, const InputEvent& e) {
    if (!d.record) return;
    const WorldState& w = rt.get<WorldState>();
    // Before the first room and while a transition is pending, what such an
    // event changes never reaches the game; replaying it later would.
    if (wiped_by_room_entry(e.kind) && (!w.current || transition_pending(rt))) return;
    RecordedInput r;
    r.step = w.game.steps_done;
    r.call = d.in_call && d.call_step == r.step ? d.call_count : 0;
    r.event = e;
    r.has_position = e.kind == Kind::MouseDown || e.kind == Kind::MouseUp;
    write_line(d, r);
}

class Sink : public IInputSink {
public:
    explicit Sink(Runtime& r) : m_rt(r) {}
    void on_input(const InputEvent& e) override {
        write_record(m_rt, m_rt.get<InputDevices>(), e);
        input_handle(m_rt, e);
    }

private:
    Runtime& m_rt;
};

// Now: inside a step (its input phase or one of the game's input calls).
// StepEnd: the step is over; what arrived after it is due too.
// Messages: the loop processes window messages between steps (steps_done
// already counts the step just done): a step that ended early for a room
// change, or the start of the game, still gets its events here.
enum class Due { Now, StepEnd, Messages };

// Replayed events reach the handlers in file order, each once the point where
// it arrived in the recorded run has been reached (or passed).
void deliver_replay(Runtime& rt, Due when) {
    InputDevices* d = &rt.get<InputDevices>();
    const InputState& in = state(rt);
    const long long s = rt.get<WorldState>().game.steps_done;
    const long long calls = d->call_step == s ? d->call_count : 0;
    while (d->replay_next < d->replay.size()) {
        const RecordedInput& r = d->replay[d->replay_next];
        bool due;
        if (when == Due::StepEnd)
            due = r.call == 0 ? r.step <= s + 1 : r.step <= s;
        else if (when == Due::Messages)
            due = r.call == 0 ? r.step <= s : r.step < s;
        else
            due = r.step < s || (r.step == s && r.call <= calls);
        if (!due) break;
        InputEvent e = r.event;
        if ((e.kind == Kind::MouseDown || e.kind == Kind::MouseUp) && !r.has_position) {
            e.x = in.window_x;
            e.y = in.window_y;
        }
        // A replayed event keeps the place it was recorded at, so recording a
        // replay gives the same file back.
        if (d->record) write_line(*d, r);
        ++d->replay_next;
        input_handle(rt, e);
    }
}

int mouse_slot(int code) {
    return code == 2 ? 2 : code == 3 ? 3 : 1;
}

void set_mouse_window(Runtime& rt, int x, int y) {
    InputState& in = state(rt);
    in.window_x = x;
    in.window_y = y;
    mouse_room_position(rt, in.mouse_x, in.mouse_y);
}

// Performs mouse event n for the instances of the objects that have it, when
// pick says so for the instance.
template <typename Pick>
void instances_event(Runtime& rt, int32_t n, Pick pick) {
    WorldState& w = rt.get<WorldState>();
    for (int32_t o : w.lists.at(ev::Mouse, n))
        for_each_live(
            [&]() -> auto& { return room_instances(w).exact(o); },
            [&](CInstance* inst) {
                if (pick(*inst)) perform_event(rt, inst, inst, o, ev::Mouse, n);
                return true;
            });
}

bool mouse_in(Runtime& rt, const CInstance& i, double x, double y) {
    return point_in(rt.get<SpriteState>().sprites, i, x, y, true);
}

void instance_event(Runtime& rt, int32_t n) {
    const InputDevices& d = rt.get<InputDevices>();
    instances_event(rt, n, [&](CInstance& i) { return mouse_in(rt, i, d.room_x, d.room_y); });
}

void keyboard_events(Runtime& rt) {
    const InputState& in = state(rt);
    for (int32_t type : {ev::Keyboard, ev::KeyPress, ev::KeyRelease}) {
        bool any = false;
        for (int k = 8; k <= 255; ++k) {
            const bool on = type == ev::Keyboard   ? in.key_held[at(k)] || in.key_pressed[at(k)]
                            : type == ev::KeyPress ? in.key_pressed[at(k)]
                                                   : in.key_released[at(k)];
            if (!on) continue;
            any = true;
            dispatch_event(rt, type, k);
        }
        dispatch_event(rt, type, any ? 1 : 0);
    }
}

void joystick_events(Runtime& rt) {
    for (int id = 1; id <= 2; ++id) {
        const JoystickState j = joystick_state(rt, id);
        if (!j.present) continue;
        const int32_t base = id == 1 ? 16 : 31;
        if (j.axes[0] < 20000) dispatch_event(rt, ev::Mouse, base);
        if (j.axes[0] > 44000) dispatch_event(rt, ev::Mouse, base + 1);
        if (j.axes[1] < 20000) dispatch_event(rt, ev::Mouse, base + 2);
        if (j.axes[1] > 44000) dispatch_event(rt, ev::Mouse, base + 3);
        for (int b = 0; b < 8; ++b)
            if (j.buttons & (1u << b)) dispatch_event(rt, ev::Mouse, base + 5 + b);
    }
}

void mouse_events(Runtime& rt) {
    InputDevices& d = rt.get<InputDevices>();
    InputState& in = state(rt);
    d.previous_x = d.room_x;
    d.previous_y = d.room_y;
    mouse_room_position(rt, d.room_x, d.room_y);
    in.mouse_x = d.room_x;
    in.mouse_y = d.room_y;
    bool any = false;
    for (int b = 1; b <= 3; ++b) {
        if (!in.button_held[at(b)] && !in.button_pressed[at(b)]) continue;
        any = true;
        instance_event(rt, b - 1);
        dispatch_event(rt, ev::Mouse, b + 49);
    }
    if (!any) instance_event(rt, 3);
    for (int b = 1; b <= 3; ++b) {
        if (!in.button_pressed[at(b)]) continue;
        instance_event(rt, b + 3);
        dispatch_event(rt, ev::Mouse, 12);
        dispatch_event(rt, ev::Mouse, b + 52);
    }
    for (int b = 1; b <= 3; ++b) {
        if (!in.button_released[at(b)]) continue;
        instance_event(rt, b + 6);
        dispatch_event(rt, ev::Mouse, 13);
        dispatch_event(rt, ev::Mouse, b + 55);
    }
    instances_event(rt, 10, [&](CInstance& i) {
        return mouse_in(rt, i, d.room_x, d.room_y) && !mouse_in(rt, i, d.previous_x, d.previous_y);
    });
    instances_event(rt, 11, [&](CInstance& i) {
        return mouse_in(rt, i, d.previous_x, d.previous_y) && !mouse_in(rt, i, d.room_x, d.room_y);
    });
    if (in.wheel_up) dispatch_event(rt, ev::Mouse, 60);
    if (in.wheel_down) dispatch_event(rt, ev::Mouse, 61);
}

void step_events(Runtime& rt) {
    deliver_replay(rt, Due::Now);
    keyboard_events(rt);
    if (transition_pending(rt)) return;
    joystick_events(rt);
    if (transition_pending(rt)) return;
    mouse_events(rt);
}

void step_end(Runtime& rt) {
    InputState& in = state(rt);
    in.key_pressed.fill(false);
    in.key_released.fill(false);
    in.button_pressed.fill(false);
    in.button_released.fill(false);
    in.wheel_up = in.wheel_down = false;
    deliver_replay(rt, Due::StepEnd);
}

void messages_processed(Runtime& rt) {
    deliver_replay(rt, Due::Messages);
}

}  // namespace

InputDevices::InputDevices() {
    for (int k = 0; k < 256; ++k) key_map[at(k)] = k;
}

InputDevices::~InputDevices() {
    if (owner && owner->platform && owner->platform->windows())
        owner->platform->windows()->set_input_sink(nullptr);
}

void input_handle(Runtime& rt, const InputEvent& e) {
    InputDevices* d = &rt.get<InputDevices>();
    InputState& in = state(rt);
    switch (e.kind) {
        case Kind::KeyDown:
        case Kind::KeyUp: {
            if (!valid_key(e.code)) return;
            d->physical[at(e.code)] = e.kind == Kind::KeyDown;
            const int k = d->key_map[at(e.code)];
            if (!valid_key(k)) return;
            if (e.kind == Kind::KeyDown) {
                in.keyboard_key = in.keyboard_lastkey = k;
                if (!in.key_held[at(k)]) in.key_pressed[at(k)] = true;
                in.key_held[at(k)] = true;
            } else {
                if (k == in.keyboard_key) in.keyboard_key = 0;
                in.key_held[at(k)] = false;
                in.key_released[at(k)] = true;
            }
            return;
        }
        case Kind::Char: {
            const auto c = static_cast<unsigned char>(e.code);
            in.keyboard_lastchar = std::string(1, static_cast<char>(c));
            std::string& text = in.keyboard_string;
            if (text.size() > 1024) text.erase(0, text.size() - 1024);
            if (c == 8) {
                if (!text.empty()) text.pop_back();
            } else if (c >= 32) {
                text += static_cast<char>(c);
            }
            return;
        }
        case Kind::MouseDown:
        case Kind::MouseUp: {
            set_mouse_window(rt, e.x, e.y);
            const size_t b = at(mouse_slot(e.code));
            if (e.kind == Kind::MouseDown) {
                in.mouse_button = in.mouse_lastbutton = static_cast<int32_t>(b);
                in.button_held[b] = in.button_pressed[b] = true;
            } else {
                in.mouse_button = 0;
                in.button_held[b] = false;
                in.button_released[b] = true;
            }
            return;
        }
        case Kind::WheelUp:
            in.wheel_up = true;
            return;
        case Kind::WheelDown:
            in.wheel_down = true;
            return;
        case Kind::MouseMove:
            set_mouse_window(rt, e.x, e.y);
            return;
        case Kind::CloseRequest:
            // The window stays; the game sees Escape.
            in.key_held[27] = true;
            in.keyboard_key = in.keyboard_lastkey = 27;
            return;
        case Kind::FocusGained:
            rt.get<WorldState>().game.active = true;
            return;
        case Kind::FocusLost:
            rt.get<WorldState>().game.active = false;
            d->physical.fill(false);  // key-ups go to whichever window has the focus
            return;
    }
}

void input_call(Runtime& rt) {
    InputDevices& d = rt.get<InputDevices>();
    const long long s = rt.get<WorldState>().game.steps_done;
    if (d.call_step != s) {
        d.call_step = s;
        d.call_count = 0;
    }
    ++d.call_count;
    d.in_call = true;
    if (rt.platform && rt.platform->windows()) rt.platform->windows()->process_messages();
    d.in_call = false;
    deliver_replay(rt, Due::Now);
}

bool input_may_arrive(Runtime& rt) {
    if (!rt.platform || !rt.platform->windows() || !rt.platform->windows()->headless()) return true;
    const InputDevices& d = rt.get<InputDevices>();
    if (d.replay_next >= d.replay.size()) return false;
    const RecordedInput& r = d.replay[d.replay_next];
    const long long s = rt.get<WorldState>().game.steps_done;
    return r.step == s && r.call > (d.call_step == s ? d.call_count : 0);
}

JoystickState joystick_state(Runtime& rt, int id) {
    id = id == 2 ? 2 : 1;
    InputDevices* d = &rt.get<InputDevices>();
    IJoysticks* device = rt.platform ? rt.platform->joysticks() : nullptr;
    JoystickTrack& t = d->joysticks[at(id - 1)];
    const long long s = rt.get<WorldState>().game.steps_done;
    const long long calls = d->call_step == s ? d->call_count : 0;
    if (t.step != s || t.call != calls) {
        t.step = s;
        t.call = calls;
        t.reads = 0;
    }
    const long long read = ++t.reads;
    if (d->replaying) {
        while (t.replay_next < t.replay.size()) {
            const RecordedInput& r = t.replay[t.replay_next];
            const bool due =
                r.step < s ||
                (r.step == s && (r.call < calls || (r.call == calls && r.read <= read)));
            if (!due) break;
            t.replayed = r.pad;
            // Written as it stands, like the replayed window events.
            if (d->record) write_line(*d, r);
            ++t.replay_next;
        }
        return t.replayed;
    }
    const JoystickState j = visible_joystick_state(device ? device->state(id) : JoystickState());
    if (d->record && !same_joystick_state(j, t.written)) {
        RecordedInput r;
        r.step = s;
        r.call = calls;
        r.joystick = id;
        r.read = read;
        r.pad = j;
        write_line(*d, r);
        t.written = j;
    }
    return j;
}

bool open_input_files(Runtime& rt, const std::string& replay, const std::string& record,
                      std::string& error) {
    InputDevices* d = &rt.get<InputDevices>();
    d->replay.clear();
    d->replay_next = 0;
    d->joysticks = {};
    d->replaying = !replay.empty();
    if (d->replaying) {
        std::vector<RecordedInput> all;
        if (!read_input_file(replay, all, error)) {
            d->replaying = false;
            return false;
        }
        for (RecordedInput& r : all) {
            if (r.joystick)
                d->joysticks[at(r.joystick - 1)].replay.push_back(std::move(r));
            else
                d->replay.push_back(std::move(r));
        }
    }
    d->record.reset();
    d->record_path = record;
    if (!record.empty()) {
        auto f = std::make_unique<std::ofstream>(record, std::ios::binary | std::ios::trunc);
        if (!*f) {
            error = "cannot write the input record " + record;
            return false;
        }
        *f << "# kxrun input: STEP[:CALL] EVENT [ARGUMENTS]\n";
        f->flush();
        d->record = std::move(f);
    }
    return true;
}

namespace {

void create(Runtime& rt) {
    InputDevices& d = rt.emplace<InputDevices>();
    d.owner = &rt;
    d.sink = std::make_unique<Sink>(rt);
    if (rt.platform && rt.platform->windows()) rt.platform->windows()->set_input_sink(d.sink.get());
}

void register_builtins(Runtime& rt) {
    ScriptState& st = rt.get<ScriptState>();
    register_function_input(st.functions);
    register_variables_input(st.builtins);
}

bool open_files(Runtime& rt) {
    std::string error;
    if (open_input_files(rt, rt.options.input_file, rt.options.record_file, error)) return true;
    rt.platform->console()->err_line("kxrun: " + error);
    return false;
}

constexpr LoadStep kLoadSteps[] = {{LoadStage::Input, open_files}};
constexpr PhaseStep kPhases[] = {
    {Phase::InputEvents, step_events},
    {Phase::StepEnd, step_end},
    {Phase::Messages, messages_processed},
};

}  // namespace

const Subsystem kInputSubsystem{
    .name = "input",
    .create = create,
    .register_builtins = register_builtins,
    .load_steps = kLoadSteps,
    .phases = kPhases,
};

}  // namespace kx
