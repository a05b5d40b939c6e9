#pragma once
// The game's sprites: a list of CSprite by id.
#include "sprites/resource_list.h"
#include "sprites/sprite_class.h"

namespace kx {

class SpriteList : public ResourceList<CSprite> {
public:
    SpriteList() : ResourceList<CSprite>("sprite") {}

    // New id, or -1 (and no new slot) when the file is missing or does not decode.
    int32_t add_from_file(const std::string& fname, int32_t subimages, int32_t xorig, int32_t yorig,
                          bool transparent, bool smooth, bool preload, bool precise);
    // False for an index out of range or a file that does not load.
    bool replace_from_file(int32_t id, const std::string& fname, int32_t subimages, int32_t xorig,
                           int32_t yorig, bool transparent, bool smooth, bool preload,
                           bool precise);
};

}  // namespace kx
