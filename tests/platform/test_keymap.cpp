#include <gtest/gtest.h>

#include <vector>

#include "platform/keymap.h"
#include "platform/virtual_keys.h"

using namespace kx;

TEST(Keymap, ScancodesGiveVirtualKeys) {
    struct Case {
        int sc;
        bool numlock;
        int vk;
    };
    const Case cases[] = {
        {SDL_SCANCODE_A, false, 'A'},        {SDL_SCANCODE_Z, true, 'Z'},
        {SDL_SCANCODE_1, false, '1'},        {SDL_SCANCODE_0, false, '0'},
        {SDL_SCANCODE_F1, false, 112},       {SDL_SCANCODE_F12, false, 123},
        {SDL_SCANCODE_LSHIFT, false, 16},    {SDL_SCANCODE_RSHIFT, false, 16},
        {SDL_SCANCODE_RCTRL, false, 17},     {SDL_SCANCODE_LALT, false, 18},
        {SDL_SCANCODE_ESCAPE, false, 27},    {SDL_SCANCODE_SPACE, false, 32},
        {SDL_SCANCODE_LEFT, false, 37},      {SDL_SCANCODE_DOWN, false, 40},
        {SDL_SCANCODE_KP_4, true, 100},      {SDL_SCANCODE_KP_4, false, 37},
        {SDL_SCANCODE_KP_0, true, 96},       {SDL_SCANCODE_KP_0, false, 45},
        {SDL_SCANCODE_KP_PERIOD, true, 110}, {SDL_SCANCODE_KP_PERIOD, false, 46},
        {SDL_SCANCODE_KP_5, false, 12},      {SDL_SCANCODE_KP_PLUS, false, 107},
        {SDL_SCANCODE_KP_ENTER, true, 13},   {SDL_SCANCODE_NUMLOCKCLEAR, false, 144},
        {SDL_SCANCODE_UNKNOWN, false, 0},    {-3, false, 0},
        {SDL_NUM_SCANCODES, false, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(virtual_key_from_scancode(c.sc, c.numlock), c.vk)
            << c.sc << " numlock " << c.numlock;
}

TEST(Keymap, DirectStateKnowsLeftAndRightVariants) {
    std::vector<Uint8> state(SDL_NUM_SCANCODES, 0);
    state[SDL_SCANCODE_RSHIFT] = 1;
    state[SDL_SCANCODE_KP_8] = 1;
    const int n = static_cast<int>(state.size());
    EXPECT_TRUE(virtual_key_down(vk::kShift, state.data(), n, false));
    EXPECT_TRUE(virtual_key_down(vk::kRShift, state.data(), n, false));
    EXPECT_FALSE(virtual_key_down(vk::kLShift, state.data(), n, false));
    EXPECT_TRUE(virtual_key_down(vk::kUp, state.data(), n, false));  // keypad 8, NumLock off
    EXPECT_TRUE(virtual_key_down(vk::kNumpad0 + 8, state.data(), n, true));
    EXPECT_FALSE(virtual_key_down(vk::kUp, state.data(), n, true));
    EXPECT_FALSE(virtual_key_down(300, state.data(), n, true));
}
