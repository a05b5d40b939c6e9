#pragma once
// Input as the platform delivers it to the runner: Windows virtual-key codes,
// mouse buttons 1 left / 2 right / 3 middle, window coordinates.
#include <cstdint>

namespace kx {

struct InputEvent {
    enum class Kind : uint8_t {
        KeyDown,  // code: virtual key 0..255
        KeyUp,
        Char,       // code: the 8-bit character typed
        MouseDown,  // code: button 1..3
        MouseUp,
        WheelUp,
        WheelDown,
        MouseMove,     // x, y: window client coordinates
        CloseRequest,  // the window's close button or the desktop asked the game to quit
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

}  // namespace kx
