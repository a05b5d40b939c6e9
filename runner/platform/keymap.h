#pragma once
// The one table from SDL scancodes to Windows virtual-key codes.
#include <SDL_scancode.h>

namespace kx {

// The virtual key a key event carries (0 for keys with none). Both shifts give
// the shift key, as the window's key handler saw them; keypad keys follow NumLock.
int virtual_key_from_scancode(int sc, bool numlock);

// Whether a virtual key is down in the given keyboard state (SDL_GetKeyboardState);
// knows the left/right variants 160..165 too.
bool virtual_key_down(int vk, const Uint8* keyboard_state, int numkeys, bool numlock);

}  // namespace kx
