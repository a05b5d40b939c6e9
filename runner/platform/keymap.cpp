#include "platform/keymap.h"

#include <array>

#include "platform/virtual_keys.h"

namespace kx {

namespace {

struct KeyRow {
    SDL_Scancode sc;
    int vk;
};

// Keys whose code does not depend on NumLock.
constexpr KeyRow kFixed[] = {
    {SDL_SCANCODE_BACKSPACE, vk::kBackspace},
    {SDL_SCANCODE_TAB, vk::kTab},
    {SDL_SCANCODE_RETURN, vk::kEnter},
    {SDL_SCANCODE_KP_ENTER, vk::kEnter},
    {SDL_SCANCODE_LSHIFT, vk::kShift},
    {SDL_SCANCODE_RSHIFT, vk::kShift},
    {SDL_SCANCODE_LCTRL, vk::kControl},
    {SDL_SCANCODE_RCTRL, vk::kControl},
    {SDL_SCANCODE_LALT, vk::kAlt},
    {SDL_SCANCODE_RALT, vk::kAlt},
    {SDL_SCANCODE_PAUSE, vk::kPause},
    {SDL_SCANCODE_CAPSLOCK, vk::kCapsLock},
    {SDL_SCANCODE_ESCAPE, vk::kEscape},
    {SDL_SCANCODE_SPACE, vk::kSpace},
    {SDL_SCANCODE_PAGEUP, vk::kPageUp},
    {SDL_SCANCODE_PAGEDOWN, vk::kPageDown},
    {SDL_SCANCODE_END, vk::kEnd},
    {SDL_SCANCODE_HOME, vk::kHome},
    {SDL_SCANCODE_LEFT, vk::kLeft},
    {SDL_SCANCODE_UP, vk::kUp},
    {SDL_SCANCODE_RIGHT, vk::kRight},
    {SDL_SCANCODE_DOWN, vk::kDown},
    {SDL_SCANCODE_PRINTSCREEN, vk::kPrintScreen},
    {SDL_SCANCODE_INSERT, vk::kInsert},
    {SDL_SCANCODE_DELETE, vk::kDelete},
    {SDL_SCANCODE_KP_MULTIPLY, vk::kMultiply},
    {SDL_SCANCODE_KP_PLUS, vk::kAdd},
    {SDL_SCANCODE_KP_MINUS, vk::kSubtract},
    {SDL_SCANCODE_KP_DIVIDE, vk::kDivide},
    {SDL_SCANCODE_NUMLOCKCLEAR, vk::kNumLock},
    {SDL_SCANCODE_SCROLLLOCK, vk::kScrollLock},
    {SDL_SCANCODE_LGUI, 91},
    {SDL_SCANCODE_RGUI, 92},
    {SDL_SCANCODE_APPLICATION, 93},
    // The punctuation keys of a US layout, by position.
    {SDL_SCANCODE_SEMICOLON, 186},
    {SDL_SCANCODE_EQUALS, 187},
    {SDL_SCANCODE_COMMA, 188},
    {SDL_SCANCODE_MINUS, 189},
    {SDL_SCANCODE_PERIOD, 190},
    {SDL_SCANCODE_SLASH, 191},
    {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_LEFTBRACKET, 219},
    {SDL_SCANCODE_BACKSLASH, 220},
    {SDL_SCANCODE_RIGHTBRACKET, 221},
    {SDL_SCANCODE_APOSTROPHE, 222},
    {SDL_SCANCODE_NONUSBACKSLASH, 226},
};

// Keypad keys: with NumLock on the digit codes, off the navigation codes.
struct PadRow {
    SDL_Scancode sc;
    int on, off;
};
constexpr PadRow kPad[] = {
    {SDL_SCANCODE_KP_0, vk::kNumpad0 + 0, vk::kInsert},
    {SDL_SCANCODE_KP_1, vk::kNumpad0 + 1, vk::kEnd},
    {SDL_SCANCODE_KP_2, vk::kNumpad0 + 2, vk::kDown},
    {SDL_SCANCODE_KP_3, vk::kNumpad0 + 3, vk::kPageDown},
    {SDL_SCANCODE_KP_4, vk::kNumpad0 + 4, vk::kLeft},
    {SDL_SCANCODE_KP_5, vk::kNumpad0 + 5, 12},
    {SDL_SCANCODE_KP_6, vk::kNumpad0 + 6, vk::kRight},
    {SDL_SCANCODE_KP_7, vk::kNumpad0 + 7, vk::kHome},
    {SDL_SCANCODE_KP_8, vk::kNumpad0 + 8, vk::kUp},
    {SDL_SCANCODE_KP_9, vk::kNumpad0 + 9, vk::kPageUp},
    {SDL_SCANCODE_KP_PERIOD, vk::kDecimal, vk::kDelete},
};

struct Tables {
    std::array<int, SDL_NUM_SCANCODES> on{}, off{};
    Tables() {
        for (int i = 0; i < 26; ++i) on[SDL_SCANCODE_A + i] = 'A' + i;
        // SDL orders the digit row 1..9, 0.
        for (int i = 0; i < 9; ++i) on[SDL_SCANCODE_1 + i] = '1' + i;
        on[SDL_SCANCODE_0] = '0';
        for (int i = 0; i < 12; ++i) on[SDL_SCANCODE_F1 + i] = vk::kF1 + i;
        for (int i = 0; i < 12; ++i) on[SDL_SCANCODE_F13 + i] = vk::kF1 + 12 + i;
        for (const auto& r : kFixed) on[r.sc] = r.vk;
        off = on;
        for (const auto& r : kPad) {
            on[r.sc] = r.on;
            off[r.sc] = r.off;
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

}  // namespace

int virtual_key_from_scancode(int sc, bool numlock) {
    if (sc < 0 || sc >= SDL_NUM_SCANCODES) return 0;
    return (numlock ? tables().on : tables().off)[sc];
}

bool virtual_key_down(int code, const Uint8* state, int numkeys, bool numlock) {
    auto down = [&](SDL_Scancode sc) { return sc < numkeys && state[sc] != 0; };
    switch (code) {
        case vk::kLShift:
            return down(SDL_SCANCODE_LSHIFT);
        case vk::kRShift:
            return down(SDL_SCANCODE_RSHIFT);
        case vk::kLControl:
            return down(SDL_SCANCODE_LCTRL);
        case vk::kRControl:
            return down(SDL_SCANCODE_RCTRL);
        case vk::kLAlt:
            return down(SDL_SCANCODE_LALT);
        case vk::kRAlt:
            return down(SDL_SCANCODE_RALT);
        default:
            break;
    }
    if (code <= 0 || code > 255) return false;
    for (int sc = 0; sc < numkeys && sc < SDL_NUM_SCANCODES; ++sc)
        if (state[sc] && virtual_key_from_scancode(sc, numlock) == code) return true;
    return false;
}

}  // namespace kx
