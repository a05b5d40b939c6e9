#pragma once
#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/subsystem.h"
#include "input/input_record.h"
#include "platform/input_events.h"
#include "platform/joystick.h"

namespace kx {

struct Runtime;

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
// map, the mouse's room position at the mouse phase, and the recording and
// replay of events.
struct InputDevices {
    InputDevices();
    ~InputDevices();
    InputDevices(const InputDevices&) = delete;
    InputDevices& operator=(const InputDevices&) = delete;

    Runtime* owner = nullptr;
    std::unique_ptr<IInputSink> sink;
    std::array<int32_t, 256> key_map{};  // virtual key -> key index; identity at start
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

// The input subsystem: the platform's input sink, the keyboard, mouse and
// joystick events of a step, recorded input, and the input built-ins.
extern const Subsystem kInputSubsystem;

// --input / --record: opens the files before the game starts; false with a
// message in error.
bool open_input_files(Runtime& r, const std::string& replay, const std::string& record,
                      std::string& error);

// The window's input handlers: the state changes one event makes.
void input_handle(Runtime& r, const InputEvent& e);
// Processes pending window messages as one of the game's input calls, then
// delivers the replayed events recorded there.
void input_call(Runtime& r);
// False only when no input can ever arrive any more: a headless run whose
// replay holds nothing for the rest of this step's input calls.
bool input_may_arrive(Runtime& r);
// The state of joystick id (2, or 1 for any other number) as the game reads
// it: the device's, or the replay's when one is playing; the neutral state
// when it cannot be read. Recorded when it differs from the last recorded.
JoystickState joystick_state(Runtime& r, int id);

class FunctionTable;
class BuiltinVariableTable;
void register_function_input(FunctionTable& table);
void register_variables_input(BuiltinVariableTable& table);

}  // namespace kx
