#pragma once
// Input as the platform delivers it to the runner: Windows virtual-key codes,
// mouse buttons 1 left / 2 right / 3 middle, window coordinates.
#include <cstdint>

namespace kx {

struct InputEvent {
    enum class Kind : uint8_t {
        KeyDown,      // code: virtual key 0..255
        KeyUp,
        Char,         // code: the 8-bit character typed
        MouseDown,    // code: button 1..3
        MouseUp,
        WheelUp,
        WheelDown,
        MouseMove,    // x, y: window client coordinates
        CloseRequest, // the window's close button or the desktop asked the game to quit
        FocusGained,
        FocusLost,
    };
    Kind kind;
    int code = 0;
    int x = 0, y = 0;
};

class IInputSink {
public:
    virtual ~IInputSink() = default;
    virtual void on_input(const InputEvent& e) = 0;
};

// Windows virtual-key codes the runner names.
namespace vk {
constexpr int kBackspace = 8, kTab = 9, kEnter = 13, kShift = 16, kControl = 17, kAlt = 18,
              kPause = 19, kCapsLock = 20, kEscape = 27, kSpace = 32, kPageUp = 33,
              kPageDown = 34, kEnd = 35, kHome = 36, kLeft = 37, kUp = 38, kRight = 39,
              kDown = 40, kPrintScreen = 44, kInsert = 45, kDelete = 46, kNumpad0 = 96,
              kMultiply = 106, kAdd = 107, kSubtract = 109, kDecimal = 110, kDivide = 111,
              kF1 = 112, kNumLock = 144, kScrollLock = 145, kLShift = 160, kRShift = 161,
              kLControl = 162, kRControl = 163, kLAlt = 164, kRAlt = 165;
}  // namespace vk

}  // namespace kx
