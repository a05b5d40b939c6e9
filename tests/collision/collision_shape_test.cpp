// Bounding boxes with scale and rotation, the instance-instance test against
// masks, and the point, rectangle, ellipse and line tests.
#include "collision/collision_shape.h"

#include <cmath>

#include "collision/collision_fixture.h"

namespace kx {
namespace {

const std::vector<std::string> kRing = {"#####", "#...#", "#...#", "#...#", "#####"};

class ShapeTest : public ::testing::Test, public test::CollisionWorld {
protected:
    CInstance& inst(int32_t spr, double x, double y, double xs = 1, double ys = 1,
                    double angle = 0) {
        const int32_t o = object("o" + std::to_string(world().objects.size()), spr);
        if (!world().current) enter();
        CInstance* i = make(o, x, y);
        i->image_xscale = xs;
        i->image_yscale = ys;
        i->image_angle = angle;
        compute_bbox(r, *i);
        return *i;
    }
};

TEST_F(ShapeTest, BoxFollowsOriginScaleAngleAndRoundsTiesToEven) {
    // Image 8 x 4, set pixels spanning columns 1..6 and rows 0..3, origin (2, 1).
    const int32_t s = sprite({".######.", ".#....#.", ".#....#.", ".######."}, 2, 1);
    struct Case {
        const char* name;
        double x, xs, ys, angle;
        RBox want;
    };
    const Case cases[] = {
        {"plain", 10, 1, 1, 0, {9, 19, 14, 22}},
        {"mirrored stays ordered", 10, -1, 1, 0, {6, 19, 11, 22}},
        {"scaled, 19.5 rounds to 20", 10, 2, 0.5, 0, {8, 20, 18, 21}},
        {"x 10.5: 9.5 and 14.5 round to even", 10.5, 1, 1, 0, {10, 19, 14, 22}},
        {"quarter turn", 10, 1, 1, 90, {9, 16, 12, 21}},
        {"eighth turn", 10, 1, 1, 45, {9, 16, 14, 22}},
    };
    for (const Case& c : cases) {
        CInstance& i = inst(s, c.x, 20, c.xs, c.ys, c.angle);
        const RBox b = box_of(i);
        EXPECT_EQ(b.left, c.want.left) << c.name;
        EXPECT_EQ(b.top, c.want.top) << c.name;
        EXPECT_EQ(b.right, c.want.right) << c.name;
        EXPECT_EQ(b.bottom, c.want.bottom) << c.name;
        EXPECT_TRUE(i.precise) << c.name;
    }
    CInstance& none = inst(-1, 10, 20);
    EXPECT_EQ(box_of(none).left, -100000);
    EXPECT_EQ(box_of(none).bottom, -100000);
    EXPECT_FALSE(none.precise);
    // Two instances without a mask sprite share the one-point box, so they meet.
    EXPECT_TRUE(instances_meet(sprites(), none, inst(-1, 300, 300), true));
}

TEST_F(ShapeTest, InstancesMeetByTheirMasks) {
    const int32_t ring = sprite(kRing);
    const int32_t dot = sprite({"#"});
    const int32_t bar2 = sprite({"##"});
    const int32_t thick = sprite({"####", "####", "####"}, 0, 1);
    // Not precise: solid over its whole 3 x 3 image, clear middle included.
    const int32_t loose = sprite({"#.#", "...", "#.#"}, 0, 0, false);
    struct Case {
        const char* name;
        int32_t a;
        double ax, ay, axs, aangle;
        int32_t b;
        double bx, by;
        bool want;
    };
    const Case cases[] = {
        {"boxes overlap, pixel in the hole", ring, 0, 0, 1, 0, dot, 2, 2, false},
        {"pixel on the ring", ring, 0, 0, 1, 0, dot, 4, 2, true},
        {"imprecise side covers the ring edge", ring, 0, 0, 1, 0, loose, 3, 1, true},
        {"imprecise side fills only the hole", ring, 0, 0, 1, 0, loose, 1, 1, false},
        {"two-pixel bar falls short", bar2, 0, 2, 1, 0, ring, 2, 0, false},
        {"scaled twice it reaches the ring", bar2, 0, 2, 2, 0, ring, 2, 0, true},
        {"thick bar unturned misses", thick, 10, 10, 1, 0, dot, 8, 10, false},
        {"half turn points it left", thick, 10, 10, 1, 180, dot, 8, 10, true},
        {"half turn: box stops at the origin", thick, 10, 10, 1, 180, dot, 11, 10, false},
    };
    for (const Case& c : cases) {
        CInstance& a = inst(c.a, c.ax, c.ay, c.axs, 1, c.aangle);
        CInstance& b = inst(c.b, c.bx, c.by);
        EXPECT_EQ(instances_meet(sprites(), a, b, true), c.want) << c.name;
        EXPECT_EQ(instances_meet(sprites(), b, a, true), c.want) << c.name << " (swapped)";
        a.mark_destroyed();
        b.mark_destroyed();
    }
    // Touching at one column overlaps; not asked for precision, the boxes decide.
    CInstance& a = inst(ring, 0, 0);
    CInstance& b = inst(ring, 4, 10);
    EXPECT_FALSE(instances_meet(sprites(), a, b, false));
    b.y = 0;
    compute_bbox(r, b);
    EXPECT_TRUE(instances_meet(sprites(), a, b, false));
    CInstance& hole = inst(dot, 2, 2);
    EXPECT_TRUE(instances_meet(sprites(), a, hole, false));
    EXPECT_FALSE(instances_meet(sprites(), a, a, false));
    hole.mark_destroyed();
    EXPECT_FALSE(instances_meet(sprites(), a, hole, false));
}

TEST_F(ShapeTest, PointRectangleAndEllipseTests) {
    CInstance& ring = inst(sprite(kRing), 0, 0);
    // Precise but not transparent: no masks, so the box decides.
    CInstance& opaque = inst(sprite(kRing, 0, 0, true, false), 20, 0);
    EXPECT_FALSE(point_in(sprites(), ring, 2, 2, true));
    EXPECT_TRUE(point_in(sprites(), ring, 2, 2, false));
    EXPECT_TRUE(point_in(sprites(), ring, 2.4, 0.4, true));
    EXPECT_FALSE(point_in(sprites(), ring, 5, 2, false));
    EXPECT_TRUE(point_in(sprites(), opaque, 22, 2, true));

    EXPECT_FALSE(rectangle_meets(sprites(), ring, 3, 3, 1, 1, true));
    EXPECT_TRUE(rectangle_meets(sprites(), ring, 1, 1, 4, 3, true));
    EXPECT_TRUE(rectangle_meets(sprites(), ring, 1, 1, 3, 3, false));
    EXPECT_TRUE(rectangle_meets(sprites(), opaque, 21, 1, 23, 3, true));
    EXPECT_FALSE(rectangle_meets(sprites(), ring, 5, 0, 9, 4, false));

    EXPECT_FALSE(ellipse_meets(sprites(), ring, 1, 1, 3, 3, true));
    // The inscribed ellipse of the whole box touches the ring's edge middles only.
    EXPECT_TRUE(ellipse_meets(sprites(), ring, 0, 0, 4, 4, true));
    // Zero width: the rectangle test, down column 2 through the ring's top row.
    EXPECT_TRUE(ellipse_meets(sprites(), ring, 2, -1, 2.2, 5, true));
    EXPECT_TRUE(ellipse_meets(sprites(), opaque, 21, 1, 23, 3, true));

    // A one-pixel instance inside the ellipse's box but beyond its curve.
    const int32_t dot = sprite({"#"});
    EXPECT_FALSE(ellipse_meets(sprites(), inst(dot, 1, 1), 1, 1, 11, 11, false));
    EXPECT_TRUE(ellipse_meets(sprites(), inst(dot, 6, 1), 1, 1, 11, 11, false));
    EXPECT_TRUE(ellipse_meets(sprites(), inst(dot, 2, 4), 1, 1, 11, 11, false));
}

TEST_F(ShapeTest, LineTest) {
    CInstance& ring = inst(sprite(kRing), 0, 0);
    struct Case {
        const char* name;
        double x1, y1, x2, y2;
        bool precise, want;
    };
    const Case cases[] = {
        {"row through the hole", 1, 2, 3, 2, true, false},
        {"row clipped at both ends reaches the sides", -5, 2, 10, 2, true, true},
        {"row clipped, endpoints given right to left", 10, 2, -5, 2, true, true},
        {"diagonal inside the hole", 1, 1, 3, 3, true, false},
        {"diagonal from the left side", 0, 1, 3, 4, true, true},
        {"steep line walked by rows", 2, -3, 3, 1, true, true},
        {"steep line in the hole", 2, 1, 3, 3, true, false},
        {"line passing above", -5, -3, 10, -1, false, false},
        {"line over the box, not precise", 1, 1, 3, 3, false, true},
        // A vertical line less than half a pixel left of the box stands in
        // column 0, the ring's left side; further out it misses.
        {"vertical line just outside rounds into the box", -0.4, -5, -0.4, 10, true, true},
        {"vertical line beyond half a pixel", -0.6, -5, -0.6, 10, true, false},
        {"vertical line in the hole", 2.3, 1, 2.3, 3, true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(line_meets(sprites(), ring, c.x1, c.y1, c.x2, c.y2, c.precise), c.want) << c.name;
}

TEST_F(ShapeTest, HugelyScaledMasksAreTestedCellByCell) {
    // Scaled 20000 times: each image cell is 20000 pixels square and the
    // overlaps hold hundreds of millions of pixels.
    CInstance& ring = inst(sprite(kRing), 0, 0, 20000, 20000);
    const int32_t block = sprite({"##", "##"});
    EXPECT_FALSE(instances_meet(sprites(), ring, inst(block, 40000, 40000, 20000, 20000), true));
    EXPECT_TRUE(instances_meet(sprites(), ring, inst(block, 60000, 40000, 20000, 20000), true));
    EXPECT_FALSE(rectangle_meets(sprites(), ring, 30000, 30000, 50000, 50000, true));
    EXPECT_TRUE(rectangle_meets(sprites(), ring, 30000, 30000, 90000, 50000, true));
    EXPECT_FALSE(line_meets(sprites(), ring, 25000, 45000, 70000, 45000, true));
    EXPECT_TRUE(line_meets(sprites(), ring, 25000, 45000, 90000, 45000, true));
}

TEST_F(ShapeTest, HugeTurnedOverlapsAnswerAsThePixelScan) {
    // Two opposite corner cells set; scaled 400 times, the boxes overlap over
    // up to a million and a half pixels while the set cells may or may not meet.
    const int32_t corners = sprite({"#...", "....", "....", "...#"});
    struct Case {
        double ax, ay, angle, bx, by;
    } cases[] = {// the corner cells meet
                 {0, 0, 30, 0, 0},
                 {0, 0, 60, 0, 0},
                 {0, 0, 135, -1200, -1200},
                 // they miss, over overlaps of a million pixels and more
                 {0, 0, 30, 600, 0},
                 {0, 0, 60, 0, -1200},
                 {0, 0, 135, -1200, 0},
                 {0, 0, 135, 0, -1200}};
    for (const Case& c : cases) {
        CInstance& a = inst(corners, c.ax, c.ay, 400, 400, c.angle);
        CInstance& b = inst(corners, c.bx, c.by, 400, 400, 0);
        bool scan = false;
        for (int64_t x = std::max(a.bbox_left, b.bbox_left);
             !scan && x <= std::min(a.bbox_right, b.bbox_right); ++x)
            for (int64_t y = std::max(a.bbox_top, b.bbox_top);
                 !scan && y <= std::min(a.bbox_bottom, b.bbox_bottom); ++y)
                scan = point_in(sprites(), a, double(x), double(y), true) &&
                       point_in(sprites(), b, double(x), double(y), true);
        EXPECT_EQ(instances_meet(sprites(), a, b, true), scan)
            << c.angle << " at " << c.bx << "," << c.by;
        EXPECT_EQ(instances_meet(sprites(), b, a, true), scan);
    }
}

}  // namespace
}  // namespace kx
