#pragma once
#include <string>

#include "core/runtime.h"

namespace kx {

// Creates rt.input, registers the keyboard_*, mouse_*, joystick_* and io_*
// functions, fills the world's input hooks and becomes the platform's input
// sink. After init_world.
void init_input(Runtime& rt);
// --input / --record: opens the files before the game starts; false with a
// message in error.
bool open_input_files(const std::string& replay, const std::string& record, std::string& error);

}  // namespace kx
