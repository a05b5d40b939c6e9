#pragma once
// Sprites drawn in text, for tests whose instances need real boxes and masks.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/runtime.h"
#include "image/bitmap32.h"
#include "sprites/sprite_class.h"
#include "sprites/sprite_state.h"

namespace kx::test {

// Adds a one-image sprite drawn with '#' for set pixels, its box that of the
// set pixels; answers its index.
inline int32_t add_sprite(Runtime& r, const std::vector<std::string>& rows, int32_t xo = 0,
                          int32_t yo = 0, bool precise = true, bool transparent = true) {
    const int32_t h = static_cast<int32_t>(rows.size());
    const int32_t w = static_cast<int32_t>(rows[0].size());
    CBitmap32 img = CBitmap32::blank(w, h, 0);
    BitmapBox box{w, h, -1, -1};
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if (rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == '#') {
                img.at(x, y) = 0xFF000000u;
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
                       std::max(box.bottom, y)};
            }
    auto s = std::make_unique<CSprite>();
    s->set_stored(w, h, 2, box, {img});
    s->set_origin(xo, yo);
    s->set_transparent(transparent);
    s->set_precise(precise);
    s->build_masks();
    return r.get<SpriteState>().sprites.add("spr", std::move(s));
}

}  // namespace kx::test
