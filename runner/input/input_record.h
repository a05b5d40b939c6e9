#pragma once
// The text form of recorded input (--record writes it, --input replays it):
// one event a line, "STEP[:CALL] NAME [ARGUMENTS]", '#' starts a comment.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/input_events.h"
#include "platform/joystick.h"

namespace kx {

struct RecordedInput {
    long long step = 0;  // steps completed when the event arrived
    long long call = 0;  // n > 0: inside the game's n-th input call after those steps
    InputEvent event{InputEvent::Kind::KeyDown};
    bool has_position = false;  // mouse buttons: x, y were given
    // A joystick line (joystick 1 or 2; 0 for the window's events): the state
    // the game first saw at its read-th read of that joystick at the place.
    int joystick = 0;
    long long read = 1;
    JoystickState pad;
};

// One line; nothing for blank and comment lines. False with a message for
// anything else that is not an event.
bool parse_input_line(std::string_view line, std::optional<RecordedInput>& out, std::string& error);
std::string format_input_line(const RecordedInput& r);
// The whole file; the message names the file and the line.
bool read_input_file(const std::string& path, std::vector<RecordedInput>& out, std::string& error);

// A joystick's state reduced to what the game can tell apart, so that every
// state has one line and equal lines mean equal runs.
JoystickState visible_joystick_state(const JoystickState& j);
bool same_joystick_state(const JoystickState& a, const JoystickState& b);

}  // namespace kx
