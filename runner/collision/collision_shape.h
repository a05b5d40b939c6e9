#pragma once
// The geometry of collisions: an instance's bounding box, where its mask is
// set, and the tests of an instance against another instance or a shape.
#include <cstdint>

#include "script/instance_min.h"

namespace kx {

class CSprite;

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

// Nearest integer, ties to even, held to the 32-bit range (NaN gives 0).
int32_t round_i32(double v);

// mask_index when it is 0 or more, else sprite_index; null when it does not exist.
const CSprite* mask_sprite(const CInstance& inst);
// Stores the box and the precise flag from the mask sprite, scale, angle and position.
void compute_instance_bbox(CInstance& inst);

bool instances_meet(const CInstance& a, const CInstance& b, bool precise);
bool point_in(const CInstance& inst, double px, double py, bool precise);
bool rectangle_meets(const CInstance& inst, double x1, double y1, double x2, double y2,
                     bool precise);
bool ellipse_meets(const CInstance& inst, double x1, double y1, double x2, double y2, bool precise);
bool line_meets(const CInstance& inst, double x1, double y1, double x2, double y2, bool precise);

// The box a shape test rejects against: an instance whose box misses it
// cannot pass the test.
RBox point_box(double px, double py);
RBox rectangle_box(double x1, double y1, double x2, double y2);

}  // namespace kx
