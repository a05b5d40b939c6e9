// Joysticks through SDL. A device SDL knows as a game controller is read
// through its standard layout, arranged the way the classic multimedia
// joystick interface presents such pads (x, y left stick; z both triggers;
// r, u right stick); any other device reports its raw axes, buttons and
// first hat.
#include <SDL.h>

#include <algorithm>

#include "platform/joystick.h"

namespace kx {

namespace {

int32_t axis_to_range(Sint16 v) {
    return static_cast<int32_t>(v) + 32768;
}

int pov_from_hat(Uint8 hat) {
    switch (hat) {
        case SDL_HAT_UP:
            return 0;
        case SDL_HAT_RIGHTUP:
            return 4500;
        case SDL_HAT_RIGHT:
            return 9000;
        case SDL_HAT_RIGHTDOWN:
            return 13500;
        case SDL_HAT_DOWN:
            return 18000;
        case SDL_HAT_LEFTDOWN:
            return 22500;
        case SDL_HAT_LEFT:
            return 27000;
        case SDL_HAT_LEFTUP:
            return 31500;
        default:
            return -1;
    }
}

struct Device {
    SDL_Joystick* joystick = nullptr;
    SDL_GameController* controller = nullptr;

    void close() {
        if (controller)
            SDL_GameControllerClose(controller);
        else if (joystick)
            SDL_JoystickClose(joystick);
        controller = nullptr;
        joystick = nullptr;
    }
    bool attached() const { return joystick && SDL_JoystickGetAttached(joystick); }
};

class SdlJoysticks : public IJoysticks {
public:
    SdlJoysticks() = default;
    ~SdlJoysticks() override {
        for (Device& d : m_devices) d.close();
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK);
    }

    JoystickState state(int id) override {
        SDL_JoystickUpdate();
        Device& d = m_devices[id == 2 ? 1 : 0];
        if (!d.attached()) open(d, id == 2 ? 1 : 0);
        JoystickState s;
        if (!d.attached()) return s;
        s.present = true;
        const char* name =
            d.controller ? SDL_GameControllerName(d.controller) : SDL_JoystickName(d.joystick);
        s.name = name ? name : "";
        if (s.name.size() > 32) s.name.resize(32);
        if (d.controller)
            read_controller(d.controller, s);
        else
            read_joystick(d.joystick, s);
        return s;
    }

private:
    // Device index n is the n-th device SDL lists now; another device may take
    // the place of one that was unplugged.
    void open(Device& d, int index) {
        d.close();
        if (index >= SDL_NumJoysticks()) return;
        if (SDL_IsGameController(index)) {
            d.controller = SDL_GameControllerOpen(index);
            if (d.controller) d.joystick = SDL_GameControllerGetJoystick(d.controller);
        }
        if (!d.joystick) d.joystick = SDL_JoystickOpen(index);
    }

    static void read_controller(SDL_GameController* c, JoystickState& s) {
        auto axis = [c](SDL_GameControllerAxis a) { return SDL_GameControllerGetAxis(c, a); };
        s.axis_count = 5;
        s.axes[0] = axis_to_range(axis(SDL_CONTROLLER_AXIS_LEFTX));
        s.axes[1] = axis_to_range(axis(SDL_CONTROLLER_AXIS_LEFTY));
        // Triggers share one axis: the left one pushes it up, the right one down.
        const int z = 32768 + axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT) / 2 -
                      axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT) / 2;
        s.axes[2] = std::clamp(z, 0, 65535);
        s.axes[3] = axis_to_range(axis(SDL_CONTROLLER_AXIS_RIGHTY));
        s.axes[4] = axis_to_range(axis(SDL_CONTROLLER_AXIS_RIGHTX));
        static constexpr SDL_GameControllerButton kButtons[] = {
            SDL_CONTROLLER_BUTTON_A,
            SDL_CONTROLLER_BUTTON_B,
            SDL_CONTROLLER_BUTTON_X,
            SDL_CONTROLLER_BUTTON_Y,
            SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
            SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
            SDL_CONTROLLER_BUTTON_BACK,
            SDL_CONTROLLER_BUTTON_START,
            SDL_CONTROLLER_BUTTON_LEFTSTICK,
            SDL_CONTROLLER_BUTTON_RIGHTSTICK,
        };
        s.button_count = static_cast<int>(std::size(kButtons));
        for (int b = 0; b < s.button_count; ++b)
            if (SDL_GameControllerGetButton(c, kButtons[b])) s.buttons |= 1u << b;
        s.has_pov = true;
        const bool up = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_UP);
        const bool down = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
        const bool left = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
        const bool right = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
        Uint8 hat = SDL_HAT_CENTERED;
        if (up && !down) hat |= SDL_HAT_UP;
        if (down && !up) hat |= SDL_HAT_DOWN;
        if (left && !right) hat |= SDL_HAT_LEFT;
        if (right && !left) hat |= SDL_HAT_RIGHT;
        s.pov = pov_from_hat(hat);
    }

    static void read_joystick(SDL_Joystick* j, JoystickState& s) {
        s.axis_count = std::clamp(SDL_JoystickNumAxes(j), 0, 6);
        for (int a = 0; a < s.axis_count; ++a) s.axes[a] = axis_to_range(SDL_JoystickGetAxis(j, a));
        s.button_count = std::clamp(SDL_JoystickNumButtons(j), 0, 32);
        for (int b = 0; b < s.button_count; ++b)
            if (SDL_JoystickGetButton(j, b)) s.buttons |= 1u << b;
        s.has_pov = SDL_JoystickNumHats(j) > 0;
        if (s.has_pov) s.pov = pov_from_hat(SDL_JoystickGetHat(j, 0));
    }

    Device m_devices[2];
};

}  // namespace

std::unique_ptr<IJoysticks> create_sdl_joysticks() {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0) return nullptr;
    return std::make_unique<SdlJoysticks>();
}

}  // namespace kx
