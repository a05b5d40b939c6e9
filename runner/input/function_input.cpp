// The keyboard_*, mouse_*, joystick_* and io_* built-in functions, and the
// keyboard and mouse variables.
#include "core/runtime.h"
#include "graphics/frame_main.h"
#include "input/input_main.h"
#include "platform/joystick.h"
#include "platform/platform.h"
#include "script/builtin_args.h"
#include "script/code_function.h"
#include "script/code_operator.h"
#include "script/variable_main.h"
#include "world/world_state.h"

namespace kx {

namespace {

InputState& state() {
    return rt().get<WorldState>().game.input;
}
InputDevices& devices() {
    return rt().get<InputDevices>();
}
size_t at(int32_t k) {
    return static_cast<size_t>(k);
}
void set_bool(RValue& r, bool b) {
    r.set_real(b ? 1 : 0);
}

// 0 "no key", 1 "any key", 2..255 that key, over one of the key tables.
bool key_query(const std::array<bool, 256>& keys, int32_t key) {
    if (key == 0 || key == 1) {
        bool any = false;
        for (bool k : keys) any = any || k;
        return key == 1 ? any : !any;
    }
    return key >= 2 && key <= 255 && keys[at(key)];
}
// -1 any button, 0 none, 1..3 that button.
bool button_query(const std::array<bool, 4>& buttons, int32_t b) {
    const bool any = buttons[1] || buttons[2] || buttons[3];
    if (b == -1) return any;
    if (b == 0) return !any;
    return b >= 1 && b <= 3 && buttons[at(b)];
}

void synthesise(InputEvent::Kind kind, int32_t key) {
    if (key >= 0 && key <= 255) input_handle(rt(), {kind, key});
}

bool numlock_now() {
    const IWindowSystem* w = rt().platform ? rt().platform->windows() : nullptr;
    const bool platform_on = w && w->numlock_on();
    return platform_on != devices().numlock_flipped;
}

KX_HANDLER(f_keyboard_check) {
    set_bool(result, key_query(state().key_held, arg_held_i32(args[0])));
}
KX_HANDLER(f_keyboard_check_pressed) {
    set_bool(result, key_query(state().key_pressed, arg_held_i32(args[0])));
}
KX_HANDLER(f_keyboard_check_released) {
    set_bool(result, key_query(state().key_released, arg_held_i32(args[0])));
}
KX_HANDLER(f_keyboard_check_direct) {
    const int32_t k = arg_held_i32(args[0]);
    if (k < 0 || k > 255) return;
    const IWindowSystem* w = rt().platform ? rt().platform->windows() : nullptr;
    set_bool(result, (w && w->key_down_now(k)) || devices().physical[at(k)]);
}
KX_HANDLER(f_keyboard_get_numlock) {
    set_bool(result, numlock_now());
}
KX_HANDLER(f_keyboard_set_numlock) {
    const bool on = args[0].real >= 0.5;
    if (numlock_now() == on) return;
    synthesise(InputEvent::Kind::KeyDown, 144);
    synthesise(InputEvent::Kind::KeyUp, 144);
    devices().numlock_flipped = !devices().numlock_flipped;
}
KX_HANDLER(f_keyboard_key_press) {
    synthesise(InputEvent::Kind::KeyDown, arg_held_i32(args[0]));
}
KX_HANDLER(f_keyboard_key_release) {
    synthesise(InputEvent::Kind::KeyUp, arg_held_i32(args[0]));
}
KX_HANDLER(f_keyboard_set_map) {
    const int32_t k = arg_held_i32(args[0]);
    if (k >= 0 && k <= 255) devices().key_map[at(k)] = arg_held_i32(args[1]);
}
KX_HANDLER(f_keyboard_get_map) {
    const int32_t k = arg_held_i32(args[0]);
    result.set_real(k >= 0 && k <= 255 ? devices().key_map[at(k)] : k);
}
KX_HANDLER(f_keyboard_unset_map) {
    for (int k = 0; k < 256; ++k) devices().key_map[at(k)] = k;
}
KX_HANDLER(f_keyboard_clear) {
    input_call(rt());
    const int32_t k = arg_held_i32(args[0]);
    if (k < 0 || k > 255) return;
    InputState& in = state();
    in.key_held[at(k)] = in.key_pressed[at(k)] = in.key_released[at(k)] = false;
}
void sleep_50ms() {
    if (rt().platform && rt().platform->clock()) rt().platform->clock()->sleep_us(50000);
}
KX_HANDLER(f_keyboard_wait) {
    state().keyboard_lastkey = 0;
    for (;;) {
        input_call(rt());
        if (state().keyboard_lastkey != 0 || !input_may_arrive(rt())) return;
        sleep_50ms();
    }
}
KX_HANDLER(f_mouse_check_button) {
    set_bool(result, button_query(state().button_held, arg_held_i32(args[0])));
}
KX_HANDLER(f_mouse_check_button_pressed) {
    set_bool(result, button_query(state().button_pressed, arg_held_i32(args[0])));
}
KX_HANDLER(f_mouse_check_button_released) {
    set_bool(result, button_query(state().button_released, arg_held_i32(args[0])));
}
KX_HANDLER(f_mouse_clear) {
    input_call(rt());
    const int32_t b = arg_held_i32(args[0]);
    if (b < 1 || b > 3) return;
    InputState& in = state();
    in.button_held[at(b)] = in.button_pressed[at(b)] = in.button_released[at(b)] = false;
}
KX_HANDLER(f_mouse_wait) {
    state().mouse_lastbutton = 0;
    for (;;) {
        input_call(rt());
        if (state().mouse_lastbutton != 0 || !input_may_arrive(rt())) return;
        sleep_50ms();
    }
}
KX_HANDLER(f_io_clear) {
    input_call(rt());
    state().clear();
}
KX_HANDLER(f_io_handle) {
    input_call(rt());
}

JoystickState joy(const RValue* args) {
    return joystick_state(rt(), arg_held_i32(args[0]) == 2 ? 2 : 1);
}
KX_HANDLER(f_joystick_exists) {
    set_bool(result, joy(args).present);
}
KX_HANDLER(f_joystick_name) {
    const JoystickState j = joy(args);
    result.set_string(KxString(j.present ? j.name.substr(0, 32) : std::string()));
}
KX_HANDLER(f_joystick_axes) {
    const JoystickState j = joy(args);
    result.set_real(j.present ? j.axis_count : 0);
}
KX_HANDLER(f_joystick_buttons) {
    const JoystickState j = joy(args);
    result.set_real(j.present ? j.button_count : 0);
}
KX_HANDLER(f_joystick_has_pov) {
    const JoystickState j = joy(args);
    set_bool(result, j.present && j.has_pov);
}
KX_HANDLER(f_joystick_check_button) {
    const JoystickState j = joy(args);
    const int32_t b = arg_held_i32(args[1]);
    set_bool(result, j.present && b >= 1 && b <= 32 && (j.buttons >> (b - 1)) & 1u);
}
template <int Axis>
KX_HANDLER(f_joystick_pos) {
    const JoystickState j = joy(args);
    if (j.present) result.set_real(j.axes[Axis] / 32767.0 - 1);
}
KX_HANDLER(f_joystick_pov) {
    const JoystickState j = joy(args);
    result.set_real(!j.present || j.pov < 0 || j.pov > 36000 ? -1 : j.pov / 100.0);
}
KX_HANDLER(f_joystick_direction) {
    const JoystickState j = joy(args);
    if (!j.present) {
        result.set_real(101);
        return;
    }
    const int32_t x = j.axes[0], y = j.axes[1];
    const int column = x < 20000 ? 1 : x <= 44000 ? 2 : 3;
    const int row = y <= 19999 ? 6 : y <= 44000 ? 3 : 0;
    result.set_real(96 + column + row);
}

constexpr BuiltinDef kFunctions[] = {
    {"keyboard_check", f_keyboard_check, 1},
    {"keyboard_check_pressed", f_keyboard_check_pressed, 1},
    {"keyboard_check_released", f_keyboard_check_released, 1},
    {"keyboard_check_direct", f_keyboard_check_direct, 1},
    {"keyboard_get_numlock", f_keyboard_get_numlock, 0},
    {"keyboard_set_numlock", f_keyboard_set_numlock, 1},
    {"keyboard_key_press", f_keyboard_key_press, 1},
    {"keyboard_key_release", f_keyboard_key_release, 1},
    {"keyboard_set_map", f_keyboard_set_map, 2},
    {"keyboard_get_map", f_keyboard_get_map, 1},
    {"keyboard_unset_map", f_keyboard_unset_map, 0},
    {"keyboard_clear", f_keyboard_clear, 1},
    {"keyboard_wait", f_keyboard_wait, 0},
    {"mouse_check_button", f_mouse_check_button, 1},
    {"mouse_check_button_pressed", f_mouse_check_button_pressed, 1},
    {"mouse_check_button_released", f_mouse_check_button_released, 1},
    {"mouse_clear", f_mouse_clear, 1},
    {"mouse_wait", f_mouse_wait, 0},
    {"io_clear", f_io_clear, 0},
    {"io_handle", f_io_handle, 0},
    {"joystick_exists", f_joystick_exists, 1},
    {"joystick_name", f_joystick_name, 1},
    {"joystick_axes", f_joystick_axes, 1},
    {"joystick_buttons", f_joystick_buttons, 1},
    {"joystick_has_pov", f_joystick_has_pov, 1},
    {"joystick_check_button", f_joystick_check_button, 2},
    {"joystick_xpos", f_joystick_pos<0>, 1},
    {"joystick_ypos", f_joystick_pos<1>, 1},
    {"joystick_zpos", f_joystick_pos<2>, 1},
    {"joystick_rpos", f_joystick_pos<3>, 1},
    {"joystick_upos", f_joystick_pos<4>, 1},
    {"joystick_vpos", f_joystick_pos<5>, 1},
    {"joystick_pov", f_joystick_pov, 1},
    {"joystick_direction", f_joystick_direction, 1},
};

}  // namespace

void register_function_input(FunctionTable& table) {
    table.add(kFunctions);
}

namespace {

int32_t to_int(const RValue& v) {
    return round_to_i32(v.real);
}

// Getters and setters follow the built-in handler convention.
#define GET(body)                                 \
    +[](CInstance*, int32_t, RValue& o) -> bool { \
        InputState& in = state();                 \
        (void)in;                                 \
        body;                                     \
        return true;                              \
    }
#define SET(body)                                       \
    +[](CInstance*, int32_t, const RValue& v) -> bool { \
        InputState& in = state();                       \
        body;                                           \
        return true;                                    \
    }

const BuiltinVarDef kVariables[] = {
    // Mapped when read: views may have moved since the last mouse phase.
    {"mouse_x", GET(double x; double y; mouse_room_position(rt(), x, y); o.set_real(x)), nullptr,
     false},
    {"mouse_y", GET(double x; double y; mouse_room_position(rt(), x, y); o.set_real(y)), nullptr,
     false},
    {"mouse_button", GET(o.set_real(in.mouse_button)),
     SET(const int32_t b = to_int(v); if (b >= 1 && b <= 3) in.mouse_button = b), true},
    {"mouse_lastbutton", GET(o.set_real(in.mouse_lastbutton)),
     SET(const int32_t b = to_int(v); if (b >= 1 && b <= 3) in.mouse_lastbutton = b), true},
    {"keyboard_key", GET(o.set_real(in.keyboard_key)),
     SET(const int32_t k = to_int(v); if (k >= 0 && k <= 255) in.keyboard_key = k), true},
    {"keyboard_lastkey", GET(o.set_real(in.keyboard_lastkey)),
     SET(const int32_t k = to_int(v); if (k >= 0 && k <= 255) in.keyboard_lastkey = k), true},
    {"keyboard_lastchar", GET(o.set_string(KxString(in.keyboard_lastchar))),
     SET(const std::string s = v.str.str(); if (!s.empty()) in.keyboard_lastchar = s.substr(0, 1)),
     true},
    {"keyboard_string", GET(o.set_string(KxString(in.keyboard_string))),
     SET(in.keyboard_string = v.str.str()), true},
};

#undef GET
#undef SET

}  // namespace

void register_variables_input(BuiltinVariableTable& table) {
    table.add(kVariables);
}

}  // namespace kx
