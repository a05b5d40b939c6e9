// The collision functions of scripts, with the grid and with the plain scan,
// and the collision and boundary events of a step.
#include <cmath>
#include <numbers>

#include "collision/collision_fixture.h"

namespace kx {
namespace {

class QueryTest : public ::testing::TestWithParam<bool>, public test::CollisionWorld {
protected:
    void SetUp() override {
        collision().use_index = GetParam();
        block = sprite({"####", "####", "####", "####"});  // 4 x 4
        dot = sprite({"#"});
        wall = object("wall", block, true);
        deco = object("deco", block, false);
        child = object("child", block, true, wall);
        mover = object("mover", dot);
        enter();
    }
    int32_t block = -1, dot = -1, wall = -1, deco = -1, child = -1, mover = -1;
};

TEST_P(QueryTest, PlaceQueriesAndTheOrderOfTheirAnswer) {
    CInstance* w1 = make(wall, 10, 0);
    CInstance* c1 = make(child, 12, 0);  // a wall by inheritance, listed after w1
    CInstance* d1 = make(deco, 30, 0);
    CInstance* m = make(mover, 0, 0);
    EXPECT_EQ(real("return place_free(5, 0)", m), 1);
    EXPECT_EQ(real("return place_free(11, 1)", m), 0);
    EXPECT_EQ(real("return place_free(31, 1)", m), 1);  // not solid
    EXPECT_EQ(real("return place_empty(31, 1)", m), 0);
    // First in the list: w1 was created before c1; the family list of wall holds both.
    EXPECT_EQ(real("return instance_place(12, 1, all)", m), w1->id());
    EXPECT_EQ(real("return instance_place(12, 1, " + std::to_string(wall) + ")", m), w1->id());
    EXPECT_EQ(real("return instance_place(15, 1, " + std::to_string(wall) + ")", m), c1->id());
    EXPECT_EQ(real("return instance_place(15, 1, " + std::to_string(deco) + ")", m), -4);
    EXPECT_EQ(real("return instance_place(31, 1, " + std::to_string(d1->id()) + ")", m), d1->id());
    // place_meeting maps other to its id; elsewhere -2 is an object index matching nothing.
    EXPECT_EQ(real("return place_meeting(31, 1, other)", m, d1), 1);
    EXPECT_EQ(real("return place_meeting(11, 1, other)", m, d1), 0);
    EXPECT_EQ(real("return instance_place(31, 1, other)", m, d1), -4);
    // The caller never meets itself and is back where it was.
    EXPECT_EQ(real("return place_meeting(0, 0, self)", m), 0);
    EXPECT_EQ(m->x, 0);
    EXPECT_EQ(m->bbox_left, 0);
    // Destroyed instances are not found.
    w1->mark_destroyed();
    EXPECT_EQ(real("return instance_place(12, 1, all)", m), c1->id());
}

TEST_P(QueryTest, PositionAndShapeQueries) {
    CInstance* w1 = make(wall, 10, 0);
    CInstance* d1 = make(deco, 12, 2);
    CInstance* m = make(mover, 0, 0);
    EXPECT_EQ(real("return instance_position(13, 3, all)", m), w1->id());
    EXPECT_EQ(real("return instance_position(15, 5, all)", m), d1->id());
    EXPECT_EQ(real("return instance_position(50, 50, all)", m), -4);
    EXPECT_EQ(real("return position_empty(50, 50)", m), 1);
    EXPECT_EQ(real("return position_empty(0, 0)", m), 0);
    EXPECT_EQ(real("return position_meeting(0, 0, self)", m), 1);
    EXPECT_EQ(real("return collision_point(0, 0, all, true, true)", m), -4);
    EXPECT_EQ(real("return collision_point(0, 0, all, true, false)", m), m->id());
    EXPECT_EQ(real("return collision_rectangle(20, 20, 14, 5, all, false, false)", m), d1->id());
    EXPECT_EQ(real("return collision_circle(8, 1, 2, all, true, true)", m), w1->id());
    EXPECT_EQ(real("return collision_circle(8, -2, 2, all, true, true)", m), -4);
    EXPECT_EQ(real("return collision_ellipse(14, 4, 16, 6, all, true, true)", m), d1->id());
    EXPECT_EQ(real("return collision_line(-5, 1, 40, 1, all, true, true)", m), w1->id());
    EXPECT_EQ(
        real("return collision_line(-5, 1, 40, 1, " + std::to_string(deco) + ", true, true)", m),
        -4);
    // position_destroy runs destroy events and marks; position_change checks its object.
    set_code(deco, ev::Destroy, 0, "show_debug_message('destroyed ' + string(id))");
    eval("position_destroy(15, 5)", m);
    EXPECT_TRUE(d1->destroyed());
    EXPECT_FALSE(w1->destroyed());
    EXPECT_EQ(take_out(), std::vector<std::string>{"destroyed " + std::to_string(d1->id())});
    eval("position_change(11, 1, 999, false)", m);
    EXPECT_FALSE(w1->destroyed());
    const std::string& last = script().errors.last;
    EXPECT_NE(last.find("Asking to change into non-existing object: 999"), std::string::npos)
        << last;
    eval("position_change(11, 1, " + std::to_string(deco) + ", false)", m);
    EXPECT_TRUE(w1->destroyed());
    EXPECT_EQ(real("return instance_position(11, 1, " + std::to_string(deco) + ")", m),
              w1->id());  // the changed instance keeps its id
}

TEST_P(QueryTest, ContactOutsideAndBounce) {
    make(wall, 10, 0);  // columns 10..13, rows 0..3
    CInstance* m = make(mover, 0, 1);
    eval("move_contact_solid(0, 100)", m);
    EXPECT_DOUBLE_EQ(m->x, 9);
    EXPECT_DOUBLE_EQ(m->y, 1);
    // Inside: move_contact_solid does nothing, move_outside_solid steps out.
    set_position(r, *m, 11, 1);
    eval("move_contact_solid(90, 100)", m);
    EXPECT_DOUBLE_EQ(m->y, 1);
    eval("move_outside_solid(90, 100)", m);
    EXPECT_NEAR(m->y, -1, 1e-9);
    EXPECT_NEAR(m->x, 11, 1e-9);
    // No limit given: 1000 steps at most.
    set_position(r, *m, 0, 100);
    eval("move_contact_all(270, 0)", m);
    EXPECT_NEAR(m->y, 1100, 1e-6);
    // Long walks: one that meets a wall after hundreds of steps stops at it;
    // one into empty space ends where a million single steps end.
    set_position(r, *m, -600, 1);
    eval("move_contact_solid(0, 100000)", m);
    EXPECT_DOUBLE_EQ(m->x, 9);
    set_position(r, *m, 0, 1);
    eval("move_contact_solid(200, 1000000)", m);
    double ex = 0, ey = 1;
    const double dx = std::cos(200 * std::numbers::pi / 180),
                 dy = -std::sin(200 * std::numbers::pi / 180);
    for (int k = 0; k < 1000000; ++k) {
        ex += dx;
        ey += dy;
    }
    EXPECT_EQ(m->x, ex);
    EXPECT_EQ(m->y, ey);
    // move_contact picks by whether it starts free.
    set_position(r, *m, 0, 1);
    eval("move_contact(0)", m);
    EXPECT_NEAR(m->x, 9, 1e-9);

    // Blocked ahead horizontally: hspeed turns.
    set_position(r, *m, 9, 1);
    m->xprevious = 9;
    m->yprevious = 1;
    eval("hspeed = 2; vspeed = 1; move_bounce_solid(false)", m);
    EXPECT_DOUBLE_EQ(m->hspeed, -2);
    EXPECT_DOUBLE_EQ(m->vspeed, 1);
    // Only the diagonal is blocked: neither speed changes.
    set_position(r, *m, 9, -1);
    eval("hspeed = 1; vspeed = 1; move_bounce_solid(false)", m);
    EXPECT_DOUBLE_EQ(m->hspeed, 1);
    EXPECT_DOUBLE_EQ(m->vspeed, 1);
    // Advanced, beside a tall column of walls: from 0 degrees the first free
    // angles are -80 and 80, so the new direction is -80 + 80 + 180 - 0.
    for (double y = 12; y <= 28; y += 4) make(wall, 10, y);
    set_position(r, *m, 9, 20);
    eval("direction = 0; speed = 2; move_bounce_solid(true)", m);
    EXPECT_NEAR(m->direction, 180, 1e-9);
    EXPECT_NEAR(m->hspeed, -2, 1e-9);
    // Stuck inside: put back at the previous position first.
    m->xprevious = 0;
    m->yprevious = 1;
    m->direction = 0;
    set_position(r, *m, 11, 1);
    eval("hspeed = 2; vspeed = 0; move_bounce_solid(false)", m);
    EXPECT_DOUBLE_EQ(m->x, 0);
    EXPECT_DOUBLE_EQ(m->hspeed, 2);
}

TEST_P(QueryTest, Distances) {
    CInstance* w1 = make(wall, 10, 0);
    CInstance* w2 = make(wall, 20, 20);
    CInstance* m = make(mover, 0, 0);
    EXPECT_DOUBLE_EQ(real("return distance_to_point(3, 4)", m), 5);
    EXPECT_DOUBLE_EQ(real("return distance_to_point(-3, 0)", m), 3);
    EXPECT_DOUBLE_EQ(real("return distance_to_object(self)", m), 1000000);
    EXPECT_DOUBLE_EQ(real("return distance_to_object(all)", m), 10);
    EXPECT_DOUBLE_EQ(real("return distance_to_object(" + std::to_string(w2->id()) + ")", m),
                     std::hypot(20, 20));
    EXPECT_DOUBLE_EQ(real("return distance_to_object(other)", m, w1), 10);
    EXPECT_DOUBLE_EQ(real("return distance_to_object(" + std::to_string(m->id()) + ")", m),
                     1000000);
    EXPECT_DOUBLE_EQ(real("return distance_to_object(" + std::to_string(deco) + ")", m), 1000000);
}

TEST_P(QueryTest, CollisionEventsPutSolidPairsBack) {
    // mover hits the wall: both events run with the right other, after the put
    // back. The pair (wall, mover) comes first, as wall has the lower index.
    set_code(mover, ev::Collision, wall,
             "show_debug_message('mover ' + string(x) + ' ' + string(other.object_index))");
    set_code(wall, ev::Collision, mover, "show_debug_message('wall sees ' + string(other.x))");
    build_event_lists(r);
    make(wall, 10, 0);
    CInstance* m = make(mover, 7, 1);
    m->hspeed = 2;
    perform_step(r);  // 9: touching, free
    EXPECT_TRUE(take_out().empty());
    perform_step(r);  // 11: inside, put back to 9, events, moved again to 11, put back again
    EXPECT_EQ(take_out(),
              (std::vector<std::string>{"wall sees 9", "mover 9 " + std::to_string(wall)}));
    EXPECT_DOUBLE_EQ(m->x, 9);
    // A non-solid pair stays where it is, so the second pair meets again.
    world().objects[static_cast<size_t>(wall)]->solid = false;
    for (auto& i : room_instances(world()).active()) i->solid = false;
    perform_step(r);
    EXPECT_DOUBLE_EQ(m->x, 11);
    EXPECT_EQ(take_out(),
              (std::vector<std::string>{"wall sees 11", "mover 11 " + std::to_string(wall),
                                        "mover 11 " + std::to_string(wall), "wall sees 11"}));
}

TEST_P(QueryTest, OutsideAndBoundaryEvents) {
    set_code(mover, ev::Other, ev::OutsideRoom, "show_debug_message('outside ' + string(x))");
    set_code(mover, ev::Other, ev::Boundary, "show_debug_message('boundary ' + string(x))");
    build_event_lists(r);
    world().current->width = 20;
    CInstance* m = make(mover, 18, 5);
    m->hspeed = 1;
    std::vector<std::string> out;
    for (int k = 0; k < 4; ++k) {
        perform_step(r);
        for (auto& s : take_out()) out.push_back(s);
    }
    // Box at 19 and 20 is inside (right edge <= width); 21 crosses; then outside.
    EXPECT_EQ(out,
              (std::vector<std::string>{"outside 21", "boundary 21", "outside 22", "boundary 22"}));
}

INSTANTIATE_TEST_SUITE_P(GridAndScan, QueryTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "grid" : "scan"; });

}  // namespace
}  // namespace kx
