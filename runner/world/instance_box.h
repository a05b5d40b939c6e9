#pragma once
// An instance's bounding box, made from its mask sprite, scale, angle and
// position whenever one of them changes.
#include <cstdint>

#include "world/instance.h"

namespace kx {

class CSprite;
class SpriteList;

// Inclusive pixel bounds in room coordinates.
struct RBox {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool overlaps(const RBox& o) const {
        return right >= o.left && left <= o.right && bottom >= o.top && top <= o.bottom;
    }
};

inline RBox box_of(const CInstance& i) {
    return {i.bbox_left, i.bbox_top, i.bbox_right, i.bbox_bottom};
}

// Every side of the box of an instance without a mask sprite: one point far
// outside any room.
constexpr int32_t kNoBox = -100000;

// mask_index when it is 0 or more, else sprite_index; null when it does not exist.
const CSprite* mask_sprite(const SpriteList& sprites, const CInstance& inst);
// Stores the box and the precise flag from the mask sprite.
void compute_instance_bbox(const SpriteList& sprites, CInstance& inst);

}  // namespace kx
