#pragma once
// Shared by the tests that draw through the real device offscreen.
#include <cstdint>
#include <memory>
#include <string>

#include "image/bitmap32.h"
#include "platform/draw_device.h"

namespace kx::test {

// Opaque pixels of distinct colours, so a misplaced texel shows.
inline CBitmap32 pattern(int w, int h, uint32_t seed = 7) {
    CBitmap32 b = CBitmap32::blank(w, h);
    for (uint32_t& p : b.pixels) {
        seed = seed * 1103515245u + 12345u;
        p = 0xff000000u | ((seed >> 8) & 0xffffffu);
    }
    return b;
}

// An offscreen device of the given back-buffer size; null with the reason in error.
inline std::unique_ptr<IDrawDevice> offscreen_device(int w, int h, std::string* error) {
    DeviceConfig config;
    config.width = w;
    config.height = h;
    return create_gl_draw_device(config, error);
}

}  // namespace kx::test
