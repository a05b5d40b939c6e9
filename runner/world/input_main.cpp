#include "world/input_main.h"

#include "platform/joystick.h"
#include "platform/platform.h"
#include "script/code_function.h"
#include "script/script_state.h"
#include "world/game_loop.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {

namespace {

using Kind = InputEvent::Kind;

InputDevices* devices() {
    return rt().input.get();
}
InputState& state() {
    return world().game.input;
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

void write_record(InputDevices& d, const InputEvent& e) {
    if (!d.record) return;
    const WorldState& w = world();
    // Before the first room and while a transition is pending, what such an
    // event changes never reaches the game; replaying it later would.
    if (wiped_by_room_entry(e.kind) && (!w.current || transition_pending())) return;
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
        RuntimeScope scope(m_rt);
        if (m_rt.input) write_record(*m_rt.input, e);
        input_handle(e);
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
void deliver_replay(Due when) {
    InputDevices* d = devices();
    if (!d) return;
    const long long s = world().game.steps_done;
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
            e.x = d->window_x;
            e.y = d->window_y;
        }
        // A replayed event keeps the place it was recorded at, so recording a
        // replay gives the same file back.
        if (d->record) write_line(*d, r);
        ++d->replay_next;
        input_handle(e);
    }
}

int mouse_slot(int code) {
    return code == 2 ? 2 : code == 3 ? 3 : 1;
}

void set_mouse_window(InputDevices& d, int x, int y) {
    d.window_x = x;
    d.window_y = y;
    double rx, ry;
    mouse_room_position(rx, ry);
    state().mouse_x = rx;
    state().mouse_y = ry;
}

bool point_in(CInstance& i, double x, double y) {
    const auto& test = world().hooks.point_in_instance;
    if (test) return test(i, x, y);
    return x >= i.bbox_left && x <= i.bbox_right && y >= i.bbox_top && y <= i.bbox_bottom;
}

// Performs mouse event n for the instances of the objects that have it, when
// pick says so for the instance.
template <typename Pick>
void instances_event(int32_t n, Pick pick) {
    for (int32_t o : world().lists.at(ev::Mouse, n)) {
        const size_t count = room_instances().exact(o).size();
        for (size_t k = 0; k < count; ++k) {
            const auto& list = room_instances().exact(o);
            if (k >= list.size()) break;
            CInstance* inst = list[k];
            if (!inst->destroyed() && pick(*inst)) perform_event(inst, inst, o, ev::Mouse, n);
        }
    }
}

void instance_event(int32_t n) {
    const InputDevices& d = *devices();
    instances_event(n, [&](CInstance& i) { return point_in(i, d.room_x, d.room_y); });
}

void keyboard_events() {
    const InputState& in = state();
    for (int32_t type : {ev::Keyboard, ev::KeyPress, ev::KeyRelease}) {
        bool any = false;
        for (int k = 8; k <= 255; ++k) {
            const bool on = type == ev::Keyboard   ? in.key_held[at(k)] || in.key_pressed[at(k)]
                            : type == ev::KeyPress ? in.key_pressed[at(k)]
                                                   : in.key_released[at(k)];
            if (!on) continue;
            any = true;
            dispatch_event(type, k);
        }
        dispatch_event(type, any ? 1 : 0);
    }
}

void joystick_events() {
    for (int id = 1; id <= 2; ++id) {
        const JoystickState j = joystick_state(id);
        if (!j.present) continue;
        const int32_t base = id == 1 ? 16 : 31;
        if (j.axes[0] < 20000) dispatch_event(ev::Mouse, base);
        if (j.axes[0] > 44000) dispatch_event(ev::Mouse, base + 1);
        if (j.axes[1] < 20000) dispatch_event(ev::Mouse, base + 2);
        if (j.axes[1] > 44000) dispatch_event(ev::Mouse, base + 3);
        for (int b = 0; b < 8; ++b)
            if (j.buttons & (1u << b)) dispatch_event(ev::Mouse, base + 5 + b);
    }
}

void mouse_events() {
    InputDevices& d = *devices();
    InputState& in = state();
    d.previous_x = d.room_x;
    d.previous_y = d.room_y;
    mouse_room_position(d.room_x, d.room_y);
    in.mouse_x = d.room_x;
    in.mouse_y = d.room_y;
    bool any = false;
    for (int b = 1; b <= 3; ++b) {
        if (!in.button_held[at(b)] && !in.button_pressed[at(b)]) continue;
        any = true;
        instance_event(b - 1);
        dispatch_event(ev::Mouse, b + 49);
    }
    if (!any) instance_event(3);
    for (int b = 1; b <= 3; ++b) {
        if (!in.button_pressed[at(b)]) continue;
        instance_event(b + 3);
        dispatch_event(ev::Mouse, 12);
        dispatch_event(ev::Mouse, b + 52);
    }
    for (int b = 1; b <= 3; ++b) {
        if (!in.button_released[at(b)]) continue;
        instance_event(b + 6);
        dispatch_event(ev::Mouse, 13);
        dispatch_event(ev::Mouse, b + 55);
    }
    instances_event(10, [&](CInstance& i) {
        return point_in(i, d.room_x, d.room_y) && !point_in(i, d.previous_x, d.previous_y);
    });
    instances_event(11, [&](CInstance& i) {
        return point_in(i, d.previous_x, d.previous_y) && !point_in(i, d.room_x, d.room_y);
    });
    if (in.wheel_up) dispatch_event(ev::Mouse, 60);
    if (in.wheel_down) dispatch_event(ev::Mouse, 61);
}

}  // namespace

InputDevices::InputDevices() {
    for (int k = 0; k < 256; ++k) key_map[at(k)] = k;
}

InputDevices::~InputDevices() {
    if (owner && owner->platform && owner->platform->windows())
        owner->platform->windows()->set_input_sink(nullptr);
}

void input_handle(const InputEvent& e) {
    InputDevices* d = devices();
    if (!d || !rt().world) return;
    InputState& in = state();
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
            set_mouse_window(*d, e.x, e.y);
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
            set_mouse_window(*d, e.x, e.y);
            return;
        case Kind::CloseRequest:
            // The window stays; the game sees Escape.
            in.key_held[27] = true;
            in.keyboard_key = in.keyboard_lastkey = 27;
            return;
        case Kind::FocusGained:
            world().game.active = true;
            return;
        case Kind::FocusLost:
            world().game.active = false;
            d->physical.fill(false);  // key-ups go to whichever window has the focus
            return;
    }
}

void input_clear() {
    InputState& in = state();
    const double x = in.mouse_x, y = in.mouse_y;
    in = InputState();
    in.mouse_x = x;
    in.mouse_y = y;
}

void input_call() {
    InputDevices* d = devices();
    if (!d) return;
    const long long s = world().game.steps_done;
    if (d->call_step != s) {
        d->call_step = s;
        d->call_count = 0;
    }
    ++d->call_count;
    d->in_call = true;
    if (rt().platform && rt().platform->windows()) rt().platform->windows()->process_messages();
    d->in_call = false;
    deliver_replay(Due::Now);
}

bool input_may_arrive() {
    if (!rt().platform || !rt().platform->windows() || !rt().platform->windows()->headless())
        return true;
    const InputDevices* d = devices();
    if (!d || d->replay_next >= d->replay.size()) return false;
    const RecordedInput& r = d->replay[d->replay_next];
    const long long s = world().game.steps_done;
    return r.step == s && r.call > (d->call_step == s ? d->call_count : 0);
}

void mouse_room_position(double& x, double& y) {
    const InputDevices* d = devices();
    const int wx = d ? d->window_x : 0, wy = d ? d->window_y : 0;
    const auto& map = world().hooks.window_to_room;
    if (map) {
        map(wx, wy, x, y);
    } else {
        x = wx;
        y = wy;
    }
}

void input_step_events() {
    if (!devices()) return;
    deliver_replay(Due::Now);
    keyboard_events();
    if (transition_pending()) return;
    joystick_events();
    if (transition_pending()) return;
    mouse_events();
}

void input_step_end() {
    InputState& in = state();
    in.key_pressed.fill(false);
    in.key_released.fill(false);
    in.button_pressed.fill(false);
    in.button_released.fill(false);
    in.wheel_up = in.wheel_down = false;
    deliver_replay(Due::StepEnd);
}

JoystickState joystick_state(int id) {
    id = id == 2 ? 2 : 1;
    InputDevices* d = devices();
    IJoysticks* device = rt().platform ? rt().platform->joysticks() : nullptr;
    if (!d) return visible_joystick_state(device ? device->state(id) : JoystickState());
    JoystickTrack& t = d->joysticks[at(id - 1)];
    const long long s = rt().world ? world().game.steps_done : 0;
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

void init_input(Runtime& rt) {
    auto d = std::make_shared<InputDevices>();
    d->owner = &rt;
    d->sink = std::make_unique<Sink>(rt);
    rt.input = d;
    WorldHooks& h = rt.world->hooks;
    h.input_events = input_step_events;
    h.input_step_end = input_step_end;
    h.input_messages = [] { deliver_replay(Due::Messages); };
    if (rt.platform && rt.platform->windows())
        rt.platform->windows()->set_input_sink(d->sink.get());
    register_function_input(rt.script->functions);
}

bool open_input_files(const std::string& replay, const std::string& record, std::string& error) {
    InputDevices* d = devices();
    if (!d) {
        error = "input is not set up";
        return false;
    }
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

}  // namespace kx
