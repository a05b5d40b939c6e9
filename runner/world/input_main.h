#pragma once
#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/runtime.h"
#include "platform/input_events.h"
#include "platform/joystick.h"
#include "world/input_record.h"

namespace kx {

// One joystick as the game's reads see it. Reads are counted per place (the
// steps done and the input calls made since), so a state first seen at a
// later read of the same place is recorded, and replayed, there.
struct JoystickTrack {
    long long step = -1;
    long long call = 0;
    long long reads = 0;
    JoystickState written;  // the last state recorded; absent at the start
    std::vector<RecordedInput> replay;
    size_t replay_next = 0;
    JoystickState replayed;  // the replay's state at the last read
};

// What input keeps beyond the game's input state (which rooms clear): the key
// map, where the mouse is, and the recording and replay of events.
struct InputDevices {
    InputDevices();
    ~InputDevices();
    InputDevices(const InputDevices&) = delete;
    InputDevices& operator=(const InputDevices&) = delete;

    Runtime* owner = nullptr;
    std::unique_ptr<IInputSink> sink;
    std::array<int32_t, 256> key_map{};  // virtual key -> key index; identity at start
    int window_x = 0, window_y = 0;      // mouse in window client coordinates
    double room_x = 0, room_y = 0;       // mouse in the room at this step's mouse phase
    double previous_x = 0, previous_y = 0;
    // Keys down as the handlers saw them, unmapped: the direct check of replayed
    // and synthesised keys, which the platform's keyboard never saw.
    std::array<bool, 256> physical{};
    bool numlock_flipped = false;  // keyboard_set_numlock toggled it from the platform's state

    // The game's input calls (io_handle, keyboard_wait, ...) are counted per
    // number of completed steps, so recorded events inside them replay there.
    long long call_step = -1;
    long long call_count = 0;
    bool in_call = false;

    std::vector<RecordedInput> replay;  // the window's events; joysticks have their own
    size_t replay_next = 0;
    bool replaying = false;  // the replay's joysticks stand in for the devices
    std::array<JoystickTrack, 2> joysticks;
    std::unique_ptr<std::ofstream> record;
    std::string record_path;
};

// Creates rt.input, registers the keyboard_*, mouse_*, joystick_* and io_*
// functions, fills the world's input hooks and becomes the platform's input
// sink. After init_world.
void init_input(Runtime& rt);
// --input / --record: opens the files before the game starts; false with a
// message in error.
bool open_input_files(const std::string& replay, const std::string& record, std::string& error);

// The window's input handlers: the state changes one event makes.
void input_handle(const InputEvent& e);
// io_clear without processing messages. The mouse's room position stays.
void input_clear();
// Processes pending window messages as one of the game's input calls, then
// delivers the replayed events recorded there.
void input_call();
// False only when no input can ever arrive any more: a headless run whose
// replay holds nothing for the rest of this step's input calls.
bool input_may_arrive();
// The mouse in room coordinates through the view under it (mouse_x, mouse_y).
void mouse_room_position(double& x, double& y);
// Step parts: keyboard, joystick and mouse events; the end-of-step clearing.
void input_step_events();
void input_step_end();
// The state of joystick id (2, or 1 for any other number) as the game reads
// it: the device's, or the replay's when one is playing; the neutral state
// when it cannot be read. Recorded when it differs from the last recorded.
JoystickState joystick_state(int id);

class FunctionTable;
void register_function_input(FunctionTable& table);

}  // namespace kx
