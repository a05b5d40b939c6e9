// Motion meeting the collision subsystem: the path step that runs again when
// a path follower meets a solid instance, and move_random's free places.
#include "collision/collision_fixture.h"
#include "motion/motion_main.h"

namespace kx {
namespace {

class SolidMotionTest : public ::testing::Test, public test::CollisionWorld {
protected:
    void SetUp() override {
        dot = sprite({"#"});
        block = sprite({"####", "####", "####", "####"});
        wall = object("wall", block, true);
        mover = object("mover", dot);
    }
    int32_t dot = -1, block = -1, wall = -1, mover = -1;
};

TEST_F(SolidMotionTest, AFollowerPutBackByASolidTakesItsPathStepAgain) {
    set_code(mover, ev::Collision, wall, "path_speed = -path_speed;");
    enter();
    make(wall, 50, 0);
    CInstance* m = make(mover, 0, 0);
    const int32_t p = r.get<MotionState>().paths.add("line", [] {
        CPath path;
        path.set_closed(false);
        path.set_points({{0, 0, 100}, {100, 0, 100}});
        return path;
    }());
    path_start(r, *m, p, 10, 0, false);
    build_event_lists(r);
    for (int s = 0; s < 4; ++s) perform_step(r);
    EXPECT_NEAR(m->x, 40, 1e-9);
    // Step 5 reaches the wall: put back to 40 and 0.4, turned round by the
    // event, then stepped back along the path to 30.
    perform_step(r);
    EXPECT_NEAR(m->path_position, 0.3, 1e-9);
    EXPECT_NEAR(m->x, 30, 1e-9);
    EXPECT_EQ(m->path_speed, -10);
}

TEST_F(SolidMotionTest, MoveRandomOnlyLandsOnFreePlaces) {
    enter(16, 8);
    // Of the snapped places (0|8, 0|4) only (8, 4) is free.
    make(wall, 0, 0);
    make(wall, 8, 0);
    make(wall, 0, 4);
    CInstance* m = make(mover, 3, 3);
    eval("move_random(8, 4)", m);
    EXPECT_EQ(m->x, 8);
    EXPECT_EQ(m->y, 4);
    make(wall, 8, 4);
    eval("x = 3; y = 3; move_random(8, 4)", m);
    EXPECT_EQ(m->x, 3) << "after 100 failures it stays";
    EXPECT_EQ(m->y, 3);
}

}  // namespace
}  // namespace kx
