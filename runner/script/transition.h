#pragma once
// The game's transition request: nothing, a room to go to, or one of the
// game loop's commands. Events stop when one is pending; the loop carries it
// out between steps. The language holds it because a fatal error requests
// the abort.
#include <cstdint>

namespace kx {

class TransitionRequest {
public:
    // The values are the requests' own numbers: a room request is its index.
    enum Command : int32_t { None = -1, End = -100, Restart = -200, Load = -300, Abort = -400 };

    bool pending() const { return m_code != None; }
    bool is(Command c) const { return m_code == c; }
    bool is_room() const { return m_code >= 0; }
    int32_t code() const { return m_code; }  // a room index or a Command
    void set(Command c) { m_code = c; }
    void set_room(int32_t room) { m_code = room; }
    void set_code(int32_t code) { m_code = code; }
    void clear() { m_code = None; }

private:
    int32_t m_code = None;
};

}  // namespace kx
