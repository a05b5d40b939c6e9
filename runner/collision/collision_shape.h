#pragma once
// The geometry of collisions: where an instance's mask is set, and the tests
// of an instance against another instance or a shape. Boxes are the world's.
#include <cstdint>

#include "world/instance_box.h"

namespace kx {

class SpriteList;

bool instances_meet(const SpriteList& sprites, const CInstance& a, const CInstance& b,
                    bool precise);
bool point_in(const SpriteList& sprites, const CInstance& inst, double px, double py, bool precise);
bool rectangle_meets(const SpriteList& sprites, const CInstance& inst, double x1, double y1,
                     double x2, double y2, bool precise);
bool ellipse_meets(const SpriteList& sprites, const CInstance& inst, double x1, double y1,
                   double x2, double y2, bool precise);
bool line_meets(const SpriteList& sprites, const CInstance& inst, double x1, double y1, double x2,
                double y2, bool precise);

// The box a shape test rejects against: an instance whose box misses it
// cannot pass the test.
RBox point_box(double px, double py);
RBox rectangle_box(double x1, double y1, double x2, double y2);

}  // namespace kx
