#include "world/instance_box.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "script/code_operator.h"
#include "sprites/sprite_main.h"

namespace kx {

const CSprite* mask_sprite(const SpriteList& sprites, const CInstance& inst) {
    return sprites.get(inst.mask_index >= 0 ? inst.mask_index : inst.sprite_index);
}

void compute_instance_bbox(const SpriteList& sprites, CInstance& i) {
    const CSprite* s = mask_sprite(sprites, i);
    if (!s) {
        i.bbox_left = i.bbox_top = i.bbox_right = i.bbox_bottom = kNoBox;
        i.precise = false;
        return;
    }
    const BitmapBox& sb = s->bbox();
    const double xo = s->xoffset(), yo = s->yoffset();
    const double xs = i.image_xscale, ys = i.image_yscale;
    if (i.image_angle == 0) {
        i.bbox_left = round_to_i32((sb.left - xo) * xs + i.x);
        i.bbox_right = round_to_i32(i.x + xs * (sb.right - xo));
        if (i.bbox_right < i.bbox_left) std::swap(i.bbox_left, i.bbox_right);
        i.bbox_top = round_to_i32(i.y + ys * (sb.top - yo));
        i.bbox_bottom = round_to_i32(i.y + ys * (sb.bottom - yo));
        if (i.bbox_bottom < i.bbox_top) std::swap(i.bbox_top, i.bbox_bottom);
    } else {
        const double a = i.image_angle * std::numbers::pi / 180;
        const double c = std::cos(a), sn = std::sin(a);
        const double x1 = (std::min(sb.left, sb.right) - xo) * xs;
        const double x2 = (std::max(sb.left, sb.right) - xo) * xs;
        const double y1 = (std::min(sb.top, sb.bottom) - yo) * ys;
        const double y2 = (std::max(sb.top, sb.bottom) - yo) * ys;
        i.bbox_left = round_to_i32(std::min(c * x1, c * x2) + i.x + std::min(sn * y1, sn * y2));
        i.bbox_right = round_to_i32(std::max(c * x1, c * x2) + i.x + std::max(sn * y1, sn * y2));
        i.bbox_top = round_to_i32(std::min(c * y1, c * y2) + i.y - std::max(sn * x1, sn * x2));
        i.bbox_bottom = round_to_i32(std::max(c * y1, c * y2) + i.y - std::min(sn * x1, sn * x2));
    }
    i.precise = s->precise();
}

}  // namespace kx
