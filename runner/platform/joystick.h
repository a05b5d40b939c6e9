#pragma once
// Joysticks and game controllers as the runner sees them: two numbered
// devices (1 and 2) with axes, buttons and a point-of-view hat.
#include <cstdint>
#include <memory>
#include <string>

namespace kx {

struct JoystickState {
    bool present = false;
    std::string name;
    int axis_count = 0;    // up to 6: x, y, z, r, u, v
    int button_count = 0;  // up to 32
    bool has_pov = false;
    // Each 0..65535 with 32768 at rest, as the games' thresholds expect.
    int32_t axes[6] = {32768, 32768, 32768, 32768, 32768, 32768};
    uint32_t buttons = 0;  // bit b: button b + 1 is down
    int pov = -1;          // hundredths of a degree clockwise from up; -1 centred
};

class IJoysticks {
public:
    virtual ~IJoysticks() = default;
    // The state of joystick id (1 or 2) now; absent devices give present = false.
    virtual JoystickState state(int id) = 0;
};

// SDL joysticks and game controllers; the first two devices SDL lists are
// joysticks 1 and 2. Initialises SDL's joystick subsystems itself; null when
// they cannot be started.
std::unique_ptr<IJoysticks> create_sdl_joysticks();

}  // namespace kx
