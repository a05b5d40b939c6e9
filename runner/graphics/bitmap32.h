#pragma once
// A 32-bit image in main memory: rows top to bottom, each pixel
// A<<24 | R<<16 | G<<8 | B. A non-existing image has no pixels and every
// operation on it does nothing.
#include <cstdint>
#include <vector>

namespace kx {

struct CBitmap32 {
    bool exists = false;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    static CBitmap32 blank(int32_t w, int32_t h, uint32_t argb = 0) {
        CBitmap32 b;
        b.exists = true;
        b.width = w;
        b.height = h;
        b.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), argb);
        return b;
    }
    uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    uint32_t& at(int32_t x, int32_t y) { return pixels[static_cast<size_t>(y) * width + x]; }
};

}  // namespace kx
