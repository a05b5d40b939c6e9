// Motion and paths in-process: the speed and direction rules through the
// built-in variables, friction and gravity, the motion functions, path
// geometry, the path section and following a path to each of its ends.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "motion/motion_main.h"
#include "script/code_error.h"
#include "script/code_main.h"
#include "script/script_state.h"
#include "support/test_runtime.h"
#include "support/world_support.h"
#include "world/game_loop.h"
#include "world/instance_main.h"
#include "world/motion_rules.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {
namespace {

CPath make_path(std::vector<RPathPoint> pts, int32_t kind = CPath::kStraight, bool closed = false,
                int32_t precision = 4) {
    CPath p;
    p.set_kind(kind);
    p.set_closed(closed);
    p.set_precision(precision);
    p.set_points(std::move(pts));
    return p;
}

std::string poly_text(const CPath& p) {
    std::string s;
    char buf[96];
    for (const auto& q : p.polyline()) {
        std::snprintf(buf, sizeof buf, "(%g,%g,%g)", q.x, q.y, q.speed);
        s += buf;
    }
    return s;
}

class MotionTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::add_object(r, "obj_mover");
        test::add_rooms(r, 1);
        start_game(r);
        script().random.seed(1);
    }
    CInstance* inst(double x = 0, double y = 0) { return create_in_room(r, 0, x, y); }
    RValue eval(const std::string& code, CInstance* self) {
        CCode c(code, false);
        EXPECT_TRUE(c.compile(script())) << pending_message(script());
        RValue result;
        EXPECT_TRUE(execute_reporting(r, self, self, c, result)) << code;
        return result;
    }
    double num(const std::string& code, CInstance* self) { return eval(code, self).real; }
    int32_t add_path(CPath p, const std::string& name = "pth") {
        return r.get<MotionState>().paths.add(name, std::move(p));
    }
    const std::string& last_error() { return script().errors.last; }
    WorldState& world() { return r.get<WorldState>(); }
    ScriptState& script() { return r.get<ScriptState>(); }

    test::TestRuntime t;
    Runtime& r = t.runtime();
};

struct Motion {
    double direction, speed, hspeed, vspeed;
};

TEST_F(MotionTest, SpeedAndDirectionFollowTheirComponentsThroughTheSetters) {
    const struct {
        const char* code;
        Motion want;
    } cases[] = {
        {"speed = -3", {0, -3, -3, 0}},
        {"speed = -3; hspeed = -3", {0, -3, -3, 0}},  // unchanged: no recompute
        {"hspeed = 0; vspeed = 5", {270, 5, 0, 5}},
        {"direction = 90; speed = 3", {90, 3, 0, -3}},  // cos noise snaps to 0
        {"direction = 60; speed = 6",
         {60, 6, 3, -6 * std::sin(std::numbers::pi / 3)}},  // 2.9999999 -> 3
        {"direction = -90", {270, 0, 0, 0}},
        {"direction = 720.5", {0.5, 0, 0, 0}},
        {"direction = -0.00000000000000000001", {0, 0, 0, 0}},
        {"hspeed = -4; vspeed = -4", {45 + 90, std::sqrt(32.0), -4, -4}},
        {"hspeed = 3; vspeed = 4", {360 - 53.13010235415598, 5, 3, 4}},
        {"vspeed = -2", {90, 2, 0, -2}},
        {"speed = 2; hspeed = 0; vspeed = 0", {0, 0, 0, 0}},
        {"motion_set(180, 2)", {180, 2, -2, 0}},
        {"motion_add(0, 1); motion_add(90, 1)", {45, std::sqrt(2.0), 1, -1}},
    };
    for (const auto& c : cases) {
        CInstance* i = inst();
        eval(c.code, i);
        EXPECT_NEAR(i->direction, c.want.direction, 1e-9) << c.code;
        EXPECT_NEAR(i->speed, c.want.speed, 1e-9) << c.code;
        EXPECT_NEAR(i->hspeed, c.want.hspeed, 1e-9) << c.code;
        EXPECT_NEAR(i->vspeed, c.want.vspeed, 1e-9) << c.code;
    }
    // Snapping is exact, not merely close.
    CInstance* i = inst();
    eval("direction = 60; speed = 6", i);
    EXPECT_EQ(i->hspeed, 3);
    eval("direction = 90; speed = 3", i);
    EXPECT_EQ(i->hspeed, 0);
}

TEST_F(MotionTest, FrictionStopsWithoutReversingAndGravityAddsToTheComponents) {
    const struct {
        const char* code;
        Motion want;
    } cases[] = {
        {"speed = 3; friction = 1", {0, 2, 2, 0}},
        {"speed = 0.5; friction = 1", {0, 0, 0, 0}},  // stops instead of reversing
        {"speed = -3; friction = 1", {0, -2, -2, 0}},
        {"speed = -0.5; friction = 1", {0, 0, 0, 0}},
        {"speed = 0; direction = 90; friction = -1", {90, 0, 0, 0}},  // rest stays rest
        {"gravity = 0.5", {270, 0.5, 0, 0.5}},
        {"hspeed = 2; gravity = 1; gravity_direction = 90",
         {std::atan2(1.0, 2.0) * 180 / std::numbers::pi, std::sqrt(5.0), 2, -1}},
        {"speed = 2; friction = 0.5; gravity = 1.5",
         {360 - 45, std::sqrt(1.5 * 1.5 * 2), 1.5, 1.5}},
    };
    for (const auto& c : cases) {
        CInstance* i = inst();
        eval(c.code, i);
        motion_rules::friction_and_gravity(*i);
        EXPECT_NEAR(i->speed, c.want.speed, 1e-9) << c.code;
        EXPECT_NEAR(i->hspeed, c.want.hspeed, 1e-9) << c.code;
        EXPECT_NEAR(i->vspeed, c.want.vspeed, 1e-9) << c.code;
        if (c.want.speed != 0 || c.want.direction != 0) {
            EXPECT_NEAR(i->direction, c.want.direction, 1e-6) << c.code;
        }
    }
}

TEST_F(MotionTest, TheStepMovesByTheSpeedsAfterFrictionAndGravity) {
    CInstance* i = inst(10, 20);
    eval("hspeed = 3; friction = 1; gravity = 2", i);
    perform_step(r);
    // Speed 3 less 1 friction, then 2 down: moved by (2, 2).
    EXPECT_DOUBLE_EQ(i->x, 12);
    EXPECT_DOUBLE_EQ(i->y, 22);
    EXPECT_DOUBLE_EQ(i->xprevious, 10);
}

TEST_F(MotionTest, MotionFunctionsMoveSnapAndWrap) {
    CInstance* moving = inst(10, 10);
    eval("speed = 4; direction = 90; move_towards_point(10, 10, 2)", moving);
    EXPECT_EQ(moving->direction, 0) << "a moving instance ends with direction 0";
    EXPECT_EQ(moving->hspeed, 2);
    CInstance* resting = inst(10, 10);
    eval("direction = 90; move_towards_point(10, 10, 2)", resting);
    EXPECT_EQ(resting->direction, 90) << "a resting one keeps its direction";
    EXPECT_EQ(resting->vspeed, -2);
    CInstance* aim = inst(0, 0);
    eval("move_towards_point(30, 40, 10)", aim);
    EXPECT_NEAR(aim->hspeed, 6, 1e-9);
    EXPECT_NEAR(aim->vspeed, 8, 1e-9);

    CInstance* s = inst(13, 26);
    EXPECT_EQ(num("return place_snapped(8, 0)", s), 0);
    eval("move_snap(8, 0)", s);
    EXPECT_EQ(s->x, 16);
    EXPECT_EQ(s->y, 26) << "no vertical snap for 0";
    EXPECT_EQ(num("return place_snapped(8, -1)", s), 1);
    eval("move_snap(0, 4)", s);
    EXPECT_EQ(s->y, 24) << "26 / 4 = 6.5 rounds to even";

    // Room 640 x 480.
    const struct {
        double x, y;
        const char* code;
        double wx, wy;
    } wraps[] = {
        {-5, 10, "move_wrap(1, 1, 0)", 635, 10},     {-5, 10, "move_wrap(1, 1, 10)", -5, 10},
        {-15, -15, "move_wrap(1, 0, 10)", 645, -15}, {700, 500, "move_wrap(1, 1, 0)", 60, 20},
        {700, 510, "move_wrap(0, 1, 20)", 700, -10},
    };
    for (const auto& w : wraps) {
        CInstance* i = inst(w.x, w.y);
        eval(w.code, i);
        EXPECT_EQ(i->x, w.wx) << w.code << " from " << w.x;
        EXPECT_EQ(i->y, w.wy) << w.code << " from " << w.y;
    }
    // The action library's wrap only acts in the direction of motion.
    CInstance* a = inst(-1, 10);
    action_wrap(r, *a, true, true);
    EXPECT_EQ(a->x, -1);
    eval("hspeed = -2", a);
    action_wrap(r, *a, true, true);
    EXPECT_EQ(a->x, 639);
}

TEST_F(MotionTest, MoveRandomPicksSnappedPlacesInsideTheRoom) {
    world().current->width = 100;
    world().current->height = 50;
    for (int k = 0; k < 40; ++k) {
        CInstance* i = inst(-7, -7);
        eval("move_random(8, 5)", i);
        EXPECT_GE(i->x, 0);
        EXPECT_LT(i->x, 100);
        EXPECT_GE(i->y, 0);
        EXPECT_LT(i->y, 50);
        EXPECT_EQ(std::fmod(i->x, 8), 0) << i->x;
        EXPECT_EQ(std::fmod(i->y, 5), 0) << i->y;
    }
}

TEST(PathGeometry, PolylinesOfEveryKind) {
    const std::vector<RPathPoint> tri = {{0, 0, 100}, {100, 0, 50}, {100, 100, 0}};
    const struct {
        const char* name;
        CPath path;
        const char* poly;
        double length;
    } cases[] = {
        {"straight open", make_path(tri), "(0,0,100)(100,0,50)(100,100,0)", 200},
        {"straight closed", make_path(tri, CPath::kStraight, true),
         "(0,0,100)(100,0,50)(100,100,0)(0,0,100)", 200 + 100 * std::sqrt(2.0)},
        {"smooth open, two points is a line",
         make_path({{0, 0, 100}, {30, 40, 100}}, CPath::kSmooth), "(0,0,100)(30,40,100)", 50},
        {"smooth open, precision 0", make_path(tri, CPath::kSmooth, false, 0),
         "(0,0,100)(100,100,0)", 100 * std::sqrt(2.0)},
        // The curve from (50,0) through (100,0) to (100,50), halved twice, in order.
        {"smooth open, precision 2", make_path(tri, CPath::kSmooth, false, 2),
         "(0,0,100)(71.875,3.125,62.5)(87.5,12.5,50)(96.875,28.125,37.5)(100,100,0)", -1},
        // Halving stops once a control leg is 4 pixels or shorter.
        {"smooth, short legs stop halving",
         make_path({{0, 0, 100}, {4, 0, 100}, {4, 4, 100}}, CPath::kSmooth, false, 8),
         "(0,0,100)(3.5,0.5,100)(4,4,100)", -1},
        {"smooth closed, precision 0 has nothing", make_path(tri, CPath::kSmooth, true, 0), "", 0},
        {"smooth closed ends on its first curve point",
         make_path({{0, 0, 100}, {40, 0, 100}, {40, 40, 100}, {0, 40, 100}}, CPath::kSmooth, true,
                   1),
         "(35,5,100)(35,35,100)(5,35,100)(5,5,100)(35,5,100)", 120},
        {"empty", make_path({}, CPath::kSmooth, false), "", 0},
        {"single point", make_path({{3, 4, 7}}, CPath::kSmooth, false), "(3,4,7)(3,4,7)", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(poly_text(c.path), c.poly) << c.name;
        if (c.length >= 0) {
            EXPECT_NEAR(c.path.length(), c.length, 1e-9) << c.name;
        }
    }
    // Precision stays in 0..8 and unknown kinds are straight, so huge
    // coordinates cannot make the halving run away.
    CPath huge = make_path({{0, 0, 100}, {1e300, 0, 100}, {1e300, 1e300, 100}}, CPath::kSmooth,
                           false, 1000000);
    EXPECT_EQ(huge.precision(), 8);
    EXPECT_LE(huge.polyline().size(), size_t{2} + (size_t{1} << 8));
    EXPECT_EQ(make_path({}, CPath::kSmooth, false, -3).precision(), 0);
    EXPECT_EQ(make_path({}, 7).kind(), CPath::kStraight);
}

TEST(PathGeometry, LookupsInterpolateAlongTheLength) {
    const CPath p = make_path({{0, 0, 100}, {100, 0, 0}, {100, 100, 200}});
    const struct {
        double t, x, y, speed;
    } cases[] = {
        {-1, 0, 0, 100},      {0, 0, 0, 100},     {0.25, 50, 0, 50},  {0.5, 100, 0, 0},
        {0.75, 100, 50, 100}, {1, 100, 100, 200}, {2, 100, 100, 200}, {NAN, 0, 0, 100},
    };
    for (const auto& c : cases) {
        const RPathPoint q = p.lookup(c.t);
        EXPECT_DOUBLE_EQ(q.x, c.x) << c.t;
        EXPECT_DOUBLE_EQ(q.y, c.y) << c.t;
        EXPECT_DOUBLE_EQ(q.speed, c.speed) << c.t;
    }
    const RPathPoint none = CPath().lookup(0.5);
    EXPECT_EQ(none.x, 0);
    EXPECT_EQ(none.speed, 100) << "an empty path";
    const CPath flat = make_path({{5, 6, 7}, {5, 6, 9}});
    EXPECT_EQ(flat.lookup(0.5).speed, 7) << "length 0 gives the first point";
    // A zero-length span inside the path is passed over.
    const CPath dup = make_path({{0, 0, 100}, {10, 0, 100}, {10, 0, 50}, {20, 0, 0}});
    EXPECT_DOUBLE_EQ(dup.lookup(0.75).x, 15);
    EXPECT_DOUBLE_EQ(dup.lookup(0.75).speed, 25);
}

TEST(PathGeometry, EditingKeepsThePolylineCurrent) {
    CPath p = make_path({{0, 0, 100}, {10, 0, 100}});
    p.insert_point(3, {99, 99, 1});  // beyond count: nothing
    p.insert_point(-1, {99, 99, 1});
    p.insert_point(2, {10, 20, 100});
    p.insert_point(0, {0, 20, 100});
    EXPECT_EQ(poly_text(p), "(0,20,100)(0,0,100)(10,0,100)(10,20,100)");
    EXPECT_DOUBLE_EQ(p.length(), 50);
    p.change_point(4, {1, 1, 1});
    p.delete_point(-1);
    p.delete_point(0);
    EXPECT_EQ(poly_text(p), "(0,0,100)(10,0,100)(10,20,100)");
    p.reverse();
    EXPECT_EQ(poly_text(p), "(10,20,100)(10,0,100)(0,0,100)");
    p.mirror();  // about x = 5
    EXPECT_EQ(poly_text(p), "(0,20,100)(0,0,100)(10,0,100)");
    p.flip();  // about y = 10
    EXPECT_EQ(poly_text(p), "(0,0,100)(0,20,100)(10,20,100)");
    p.shift(-5, -10);
    p.scale(2, 0.5);  // centre (0, 0)
    EXPECT_EQ(poly_text(p), "(-10,-5,100)(-10,5,100)(10,5,100)");
    CPath r = make_path({{0, 0, 100}, {10, 0, 100}});
    r.rotate(90);  // counter-clockwise on screen about (5, 0)
    EXPECT_NEAR(r.points()[0].x, 5, 1e-12);
    EXPECT_NEAR(r.points()[0].y, 5, 1e-12);
    EXPECT_NEAR(r.points()[1].y, -5, 1e-12);
    r.append(r);
    EXPECT_EQ(r.points().size(), 4u);
    r.clear_points();
    EXPECT_EQ(r.length(), 0);
    EXPECT_TRUE(r.polyline().empty());

    const CPath d = make_path({{10, 10, 100}, {30, 10, 100}});
    const auto pts = d.draw_points(0, 0, false);
    ASSERT_EQ(pts.size(), 6u);  // 20 / 4 = 5 segments
    EXPECT_EQ(pts[0].x, 0);
    EXPECT_EQ(pts[5].x, 20);
    EXPECT_EQ(d.draw_points(0, 0, true)[0].x, 10);
    EXPECT_EQ(make_path({{1, 1, 100}, {2, 1, 100}}).draw_points(0, 0, true).size(), 2u);
}

TEST(PathGeometry, TheSectionRoundTripsAndRefusesWrongVersions) {
    PathList list;
    list.add("a", make_path({{1, 2, 3}, {4.5, -6, 7}}, CPath::kSmooth, true, 6));
    list.add_empty();
    list.add("c", make_path({}));
    CStream s;
    list.write(s);
    s.seek(0);
    PathList back;
    ASSERT_TRUE(back.read(s));
    EXPECT_TRUE(s.at_end());
    ASSERT_EQ(back.count(), 3);
    EXPECT_FALSE(back.exists(1));
    EXPECT_EQ(back.name(0), "a");
    EXPECT_EQ(back.get(0)->kind(), CPath::kSmooth);
    EXPECT_TRUE(back.get(0)->closed());
    EXPECT_EQ(back.get(0)->precision(), 6);
    EXPECT_EQ(back.get(0)->points()[1].y, -6);
    EXPECT_EQ(poly_text(*back.get(0)), poly_text(*list.get(0)));
    CStream again;
    back.write(again);
    EXPECT_TRUE(
        std::equal(s.bytes().begin(), s.bytes().end(), again.bytes().begin(), again.bytes().end()));

    const auto patched = [&](size_t at, int32_t value) {
        CStream c(std::vector<uint8_t>(s.bytes().begin(), s.bytes().end()));
        c.seek(at);
        c.write_int(value);
        c.seek(0);
        PathList l;
        return l.read(c);
    };
    EXPECT_FALSE(patched(0, 400)) << "section version";
    // version, count, present, name "a" (4 + 1 bytes), then the record version.
    EXPECT_FALSE(patched(4 + 4 + 4 + 5, 520)) << "record version";
    EXPECT_FALSE(patched(4 + 4 + 4 + 5 + 16, -1)) << "negative point count";
    CStream cut(std::vector<uint8_t>(s.bytes().begin(), s.bytes().begin() + 40));
    PathList l;
    EXPECT_THROW(l.read(cut), StreamError);
}

TEST_F(MotionTest, PathStartPlacesTheInstanceAndRefusesUnusablePaths) {
    const int32_t p = add_path(make_path({{100, 100, 100}, {200, 100, 100}}));
    const int32_t empty = add_path(make_path({{5, 5, 100}}));
    CInstance* i = inst(10, 20);
    eval("path_start(" + std::to_string(p) + ", 4, 0, 0)", i);
    EXPECT_EQ(i->path_index, p);
    EXPECT_EQ(i->x, 10) << "relative start stays";
    EXPECT_EQ(i->path_xstart, 10);
    eval("path_start(" + std::to_string(p) + ", 4, 0, 1)", i);
    EXPECT_EQ(i->x, 100);
    EXPECT_EQ(i->path_position, 0);
    // Absolute with a negative speed: at the last point, on the path as drawn.
    eval("path_start(" + std::to_string(p) + ", -4, 0, 1)", i);
    EXPECT_EQ(i->x, 200);
    EXPECT_EQ(i->path_position, 1);
    EXPECT_EQ(i->path_positionprevious, 1);
    path_step(r, *i);
    EXPECT_DOUBLE_EQ(i->x, 196);
    EXPECT_DOUBLE_EQ(i->y, 100);
    for (const std::string& bad : std::vector<std::string>{std::to_string(empty), "99", "-3"}) {
        eval("path_start(" + bad + ", 4, 0, 1)", i);
        EXPECT_EQ(i->path_index, -1) << bad;
    }
    eval("path_start(" + std::to_string(p) + ", 4, 0, 0); path_end()", i);
    EXPECT_EQ(i->path_index, -1);
    EXPECT_FALSE(path_step(r, *i));
}

TEST_F(MotionTest, EveryEndActionOfAPath) {
    // 100 pixels long, speed 100 everywhere: path_speed 5 moves 0.05 a step.
    const int32_t p = add_path(make_path({{0, 0, 100}, {100, 0, 100}}));
    const struct {
        const char* name;
        double position, speed, orientation;
        int32_t endaction;
        bool reached;
        double want_pos, want_speed, want_x, want_origin_x;
        int32_t want_index;
    } cases[] = {
        {"moving along", 0.5, 5, 0, 0, false, 0.55, 5, 55, 0, 0},
        {"stop", 0.98, 5, 0, 0, true, 1, 5, 100, 0, -1},
        {"stop at the start still ends at 1", 0.02, -5, 0, 0, true, 1, -5, 100, 0, -1},
        {"an unknown action stops", 0.98, 5, 0, 7, true, 1, 5, 100, 0, -1},
        {"restart", 0.98, 5, 0, 1, true, 0.03, 5, 3, 0, 0},
        {"restart backwards", 0.02, -5, 0, 1, true, 0.97, -5, 97, 0, 0},
        {"continue", 0.98, 5, 0, 2, true, 0.03, 5, 103, 100, 0},
        {"continue backwards", 0.02, -5, 0, 2, true, 0.97, -5, -3, -100, 0},
        // Reaching exactly 0 is the start end: backwards it wraps to 1, not to -1.
        {"restart backwards from exactly 0", 0.05, -5, 0, 1, true, 1, -5, 100, 0, 0},
        {"continue backwards from exactly 0", 0.05, -5, 0, 2, true, 1, -5, 0, -100, 0},
        {"reverse reflects the overshoot", 1.0, 5, 0, 3, true, 0.95, -5, 95, 0, 0},
        {"reverse at the start", 0.02, -5, 0, 3, true, 0.03, 5, 3, 0, 0},
    };
    for (const auto& c : cases) {
        CInstance* i = inst(0, 0);
        path_start(r, *i, p, c.speed, c.endaction, false);
        i->path_position = c.position;
        i->path_orientation = c.orientation;
        EXPECT_EQ(path_step(r, *i), c.reached) << c.name;
        EXPECT_NEAR(i->path_position, c.want_pos, 1e-9) << c.name;
        EXPECT_EQ(i->path_speed, c.want_speed) << c.name;
        EXPECT_NEAR(i->x, c.want_x, 1e-9) << c.name;
        EXPECT_NEAR(i->path_xstart, c.want_origin_x, 1e-9) << c.name;
        EXPECT_EQ(i->path_index, c.want_index < 0 ? -1 : p) << c.name;
        EXPECT_EQ(i->speed, 0) << c.name;
        EXPECT_EQ(i->hspeed, 0) << c.name;
    }
}

TEST_F(MotionTest, FollowingAPathTurnsScalesAndPointsTheDirection) {
    const int32_t p = add_path(make_path({{0, 0, 100}, {100, 0, 100}}));
    CInstance* i = inst(50, 50);
    path_start(r, *i, p, 10, 0, false);
    i->path_orientation = 90;
    i->path_scale = 2;
    path_step(r, *i);
    // Half the path's speed on a path twice as large: 0.05 along, 10 pixels up.
    EXPECT_NEAR(i->path_position, 0.05, 1e-12);
    EXPECT_NEAR(i->x, 50, 1e-9);
    EXPECT_NEAR(i->y, 40, 1e-9);
    EXPECT_NEAR(i->direction, 90, 1e-9);
    EXPECT_EQ(i->speed, 0);

    // A first point of speed 0 never moves and ends at once (position 0).
    const int32_t still = add_path(make_path({{0, 0, 0}, {100, 0, 100}}));
    CInstance* j = inst(0, 0);
    path_start(r, *j, still, 3, 0, false);
    EXPECT_TRUE(path_step(r, *j));
    EXPECT_EQ(j->path_index, -1);
    EXPECT_EQ(j->path_position, 1);

    // A scale of 0 crosses the path at once instead of making positions NaN.
    CInstance* k = inst(0, 0);
    path_start(r, *k, p, 3, 1, false);
    k->path_scale = 0;
    EXPECT_TRUE(path_step(r, *k));
    EXPECT_TRUE(std::isfinite(k->path_position));
    EXPECT_TRUE(std::isfinite(k->x));
}

TEST_F(MotionTest, TheStepRaisesEndOfPathOnce) {
    ASSERT_TRUE(
        test::add_code(r, 0, ev::Other, ev::EndOfPath,
                       "show_debug_message(\"end \" + string(x) + \" \" + string(path_index))"));
    build_event_lists(r);
    const int32_t p = add_path(make_path({{0, 0, 100}, {10, 0, 100}}));
    CInstance* i = inst(0, 0);
    eval("path_start(" + std::to_string(p) + ", 4, 0, 0); hspeed = 1", i);
    for (int s = 0; s < 5; ++s) perform_step(r);
    EXPECT_EQ(t.cp.console->out, std::vector<std::string>{"end 10 -1"});
    // The path clears the speeds, so the move adds nothing while on it.
    EXPECT_EQ(i->x, 10);
}

TEST_F(MotionTest, PathFunctionsGiveDefaultsAndErrorsForMissingPaths) {
    CInstance* i = inst();
    const struct {
        const char* code;
        double want;
    } reals[] = {
        {"return path_exists(0)", 0},          {"return path_get_length(3)", -1},
        {"return path_get_kind(-1)", -1},      {"return path_get_number(0)", -1},
        {"return path_get_point_x(0, 0)", -1}, {"return path_get_speed(0, 0.5)", -1},
        {"return path_delete(5)", 0},          {"return path_duplicate(5)", 0},
    };
    for (const auto& c : reals) EXPECT_EQ(num(c.code, i), c.want) << c.code;
    EXPECT_EQ(eval("return path_get_name(0)", i).str.view(), "<undefined>");
    const struct {
        const char* code;
        const char* error;
    } errors[] = {
        {"path_duplicate(1)", "Trying to duplicate non-existing path."},
        {"path_delete(1)", "Trying to delete non-existing path."},
        {"path_assign(0, 1)", "Error assigning a path."},
        {"p = path_add(); path_assign(p + 1, p)", "Error assigning a path."},
        {"p = path_add(); path_append(p + 1, p)", "Appending to non-existing path."},
        {"p = path_add(); path_append(p, p + 1)", "Appending a non-existing path."},
    };
    for (const auto& c : errors) {
        script().errors.last.clear();
        eval(c.code, i);
        EXPECT_NE(last_error().find(c.error), std::string::npos) << c.code << ": " << last_error();
    }
}

TEST_F(MotionTest, PathFunctionsMakeCopyAndEditPaths) {
    CInstance* i = inst();
    const double first = num("return path_add()", i);
    EXPECT_EQ(eval("return path_get_name(" + std::to_string(int(first)) + ")", i).str.view(),
              "__newpath" + std::to_string(int(first)));
    EXPECT_EQ(num("p = path_add(); return path_get_kind(p) * 100 + path_get_closed(p) * 10 + "
                  "path_get_precision(p)",
                  i),
              14);
    eval("path_add_point(p, 0, 0, 100); path_add_point(p, 30, 40, 50); path_set_closed(p, 0)", i);
    EXPECT_EQ(num("return path_get_length(p)", i), 50);
    EXPECT_EQ(num("return path_get_point_speed(p, 9)", i), 1) << "past the end";
    EXPECT_EQ(num("return path_get_speed(path_add(), 0.5)", i), 100) << "empty path";
    EXPECT_EQ(num("return path_get_y(p, 0.5)", i), 20);
    EXPECT_EQ(num("q = path_duplicate(p); path_delete_point(p, 1); return path_get_number(q)", i),
              2)
        << "a duplicate is a copy";
    eval("path_append(p, q); path_assign(q, p)", i);
    EXPECT_EQ(num("return path_get_number(q)", i), 3);
    EXPECT_EQ(num("return path_get_point_x(q, 2)", i), 30);
    eval("path_insert_point(q, 0, 1, 2, 3); path_change_point(q, 3, 7, 8, 9)", i);
    EXPECT_EQ(num("return path_get_point_x(q, 0) + path_get_point_speed(q, 3)", i), 10);
    eval("path_clear_points(q); path_set_kind(q, 1); path_set_precision(q, 2)", i);
    EXPECT_EQ(
        num("return path_get_number(q) * 100 + path_get_kind(q) * 10 + path_get_precision(q)", i),
        12);
    eval("path_set_kind(q, 5); path_set_precision(q, 20)", i);
    EXPECT_EQ(num("return path_get_kind(q) * 10 + path_get_precision(q)", i), 8);
    EXPECT_EQ(num("return path_delete(q) + path_exists(q)", i), 1);
    EXPECT_EQ(num("return path_add() - q", i), 1) << "deleted slots are not reused";
}

}  // namespace
}  // namespace kx
