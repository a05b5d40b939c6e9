#include "sprites/sprite_main.h"

namespace kx {

int32_t SpriteList::add_from_file(const std::string& fname, int32_t subimages, int32_t xorig,
                                  int32_t yorig, bool transparent, bool smooth, bool preload,
                                  bool precise) {
    return add_with([&](CSprite& s) {
        return s.load_from_file(fname, subimages, xorig, yorig, transparent, smooth, preload,
                                precise);
    });
}

bool SpriteList::replace_from_file(int32_t id, const std::string& fname, int32_t subimages,
                                   int32_t xorig, int32_t yorig, bool transparent, bool smooth,
                                   bool preload, bool precise) {
    return replace_with(id, [&](CSprite& s) {
        return s.load_from_file(fname, subimages, xorig, yorig, transparent, smooth, preload,
                                precise);
    });
}

}  // namespace kx
