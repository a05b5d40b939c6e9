// The grid against the plain scan: a randomised room played both ways must
// give the same query answers and the same events in the same order.
#include <random>
#include <string>

#include "collision/collision_fixture.h"

namespace kx {
namespace {

// Plays a random room of moving, turning, scaling, dying, spawning and
// (de)activated instances for some steps; answers every line the game
// printed and every instance's final state.
std::vector<std::string> play(bool use_index, unsigned seed, int instances, int steps) {
    test::CollisionWorld w;
    w.collision().use_index = use_index;
    const int32_t ring = w.sprite({"#####", "#...#", "#...#", "#...#", "#####"}, 2, 2);
    const int32_t block = w.sprite({"######", "######", "######"}, 1, 1);
    const int32_t dot = w.sprite({"#"});
    const int32_t hook = w.sprite({"##..", ".#..", ".###", "...#"}, 0, 0);
    const int32_t loose = w.sprite({"#..#", "....", "#..#"}, 2, 1, false);
    const int32_t base = w.object("base");
    const int32_t a = w.object("a", ring, false, base);
    const int32_t b = w.object("b", block, true);
    const int32_t c = w.object("c", hook, false, base);
    const int32_t d = w.object("d", loose, true);
    const int32_t ctl = w.object("ctl");
    const int32_t e = w.object("e");  // no sprite: boxes at (-100000, -100000), off the grid
    const std::string B = std::to_string(base), A = std::to_string(a), Bo = std::to_string(b),
                      C = std::to_string(c), D = std::to_string(d);
    auto say = [](const std::string& what) { return "show_debug_message(" + what + ")"; };
    w.set_code(
        a, ev::Collision, b,
        say("'ab ' + string(id) + ' ' + string(other.id)") + "; if (id mod 3 == 0) other.x += 3");
    w.set_code(a, ev::Collision, a, say("'aa ' + string(id) + ' ' + string(other.id)"));
    w.set_code(c, ev::Collision, base,
               say("'cb ' + string(id) + ' ' + string(other.id)") +
                   "; if (other.id mod 5 == 0) with (other) instance_destroy()");
    w.set_code(b, ev::Collision, c,
               say("'bc ' + string(id) + ' ' + string(other.id)") +
                   "; if (id mod 7 == 0) instance_create(other.x + 2, other.y, " + C + ")");
    w.set_code(d, ev::Collision, a,
               say("'da ' + string(id) + ' ' + string(other.id)") + "; image_angle += 30");
    w.set_code(a, ev::Step, ev::StepNormal,
               say("'q ' + string(id) + ' ' + string(instance_place(x + hspeed, y, " + B +
                   ")) + ' ' + string(instance_place(x, y, all)) + ' ' + string(place_free(x, "
                   "y + 2)) + ' ' + string(collision_line(x, y, x + 40, y + 17, all, true, "
                   "true)) + ' ' + string(collision_circle(x, y, 9, " +
                   Bo +
                   ", true, true)) + ' ' + string(collision_rectangle(x - 8, y - 3, x + 8, "
                   "y + 3, " +
                   C + ", false, true)) + ' ' + string(instance_position(x + 1, y, " + B + "))") +
                   "; if (id mod 4 == 0) image_xscale = 1 + (id mod 3) * 0.5;"
                   "if (id mod 6 == 1) image_angle += 45;"
                   "if (id mod 9 == 2) sprite_index = " +
                   std::to_string(dot) + ";");
    w.set_code(c, ev::Step, ev::StepNormal,
               say("'p ' + string(id) + ' ' + string(collision_point(x, y, " + A +
                   ", true, true)) + ' ' + string(collision_ellipse(x - 12, y - 5, x + 12, y + 5, "
                   "all, true, true)) + ' ' + string(collision_rectangle(-1000, -1000, 5000, "
                   "5000, " +
                   A + ", true, true))"));
    w.set_code(e, ev::Step, ev::StepNormal,
               say("'e ' + string(instance_place(x, y, all)) + ' ' + string(instance_place(x, y, " +
                   std::to_string(ctl) + "))"));
    w.set_code(ctl, ev::Create, 0, "t = 0");
    w.set_code(ctl, ev::Step, ev::StepBegin,
               "t += 1; if (t mod 3 == 1) instance_deactivate_region(0, 0, 100, 100, true, "
               "true); if (t mod 3 == 2) instance_activate_all();");
    build_event_lists(w.r);
    w.enter(400, 400);
    w.make(ctl, 0, 0);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pos(0, 400), spd(-3, 3);
    const int32_t kinds[] = {a, a, b, c, d};
    for (int k = 0; k < instances; ++k) {
        CInstance* i = w.make(kinds[rng() % 5], std::floor(pos(rng)), std::floor(pos(rng)));
        i->hspeed = std::round(spd(rng) * 2) / 2;
        i->vspeed = std::round(spd(rng) * 2) / 2;
        if (rng() % 4 == 0) i->solid = !i->solid;
    }
    // A few far outside the room, flying in through it: the first starts off the grid.
    for (int k = 0; k < 3; ++k) {
        CInstance* i = w.make(k == 0 ? c : a, -2000 + 40 * k, std::floor(pos(rng)));
        i->hspeed = 200;
    }
    for (int k = 0; k < 3; ++k) w.make(e, pos(rng), pos(rng));
    for (int s = 0; s < steps; ++s) perform_step(w.r);
    std::vector<std::string> out = w.take_out();
    for (auto& i : room_instances(w.world()).active())
        out.push_back(std::to_string(i->id()) + " " + std::to_string(i->x) + " " +
                      std::to_string(i->y) + " " + std::to_string(i->bbox_left) + " " +
                      std::to_string(i->bbox_bottom));
    return out;
}

TEST(BoxGrid, RandomRoomGivesTheScansAnswersAndEventOrder) {
    for (unsigned seed : {1u, 2u, 3u}) {
        const std::vector<std::string> scan = play(false, seed, 400, 12);
        const std::vector<std::string> grid = play(true, seed, 400, 12);
        // Enough happened for the comparison to mean something.
        size_t collisions = 0;
        for (const std::string& s : scan) collisions += s.size() > 3 && s[2] == ' ' && s[0] != 'q';
        EXPECT_GT(collisions, 100u) << seed;
        ASSERT_EQ(scan.size(), grid.size()) << seed;
        for (size_t k = 0; k < scan.size(); ++k)
            ASSERT_EQ(scan[k], grid[k]) << seed << " line " << k;
    }
}

// Instances removed at the end of a step, rooms left and entered again (their
// instances made anew, perhaps where freed ones were), a persistent instance
// carried between them: the grid answers as the scan does.
std::vector<std::string> rooms_and_removal(bool use_index) {
    test::CollisionWorld w;
    w.collision().use_index = use_index;
    const int32_t block = w.sprite({"########", "########", "########", "########"});
    const int32_t dot = w.sprite({"#"});
    const int32_t wall = w.object("wall", block, true);
    const int32_t probe = w.object("probe", dot);
    w.world().objects[static_cast<size_t>(probe)]->persistent = true;
    const std::string W = std::to_string(wall);
    w.set_code(probe, ev::Step, ev::StepNormal,
               "t += 1; var s, i; s = string(room) + ':'; for (i = 0; i < 200; i += 9) s += ' ' + "
               "string(instance_place(i, i div 2, " +
                   W +
                   ")) + ',' + string(place_free(i + 3, i div 3)); show_debug_message(s);"
                   "if (t == 2) with (" +
                   W +
                   ") if (id mod 3 == 0) instance_destroy();"
                   "if (t == 3 || t == 5) room_goto_next(); if (t == 4 || t == 7) room_goto(0);");
    for (int k = 0; k < 2; ++k) {
        auto room = std::make_unique<CRoom>();
        room->name = "rm" + std::to_string(k);
        room->code = "var i; for (i = 0; i < 60; i += 1) instance_create((i * " +
                     std::to_string(13 + 4 * k) + ") mod 200, (i * 7) mod 100, " + W + ")";
        w.world().rooms.push_back(std::move(room));
        w.world().room_order.push_back(k);
    }
    build_event_lists(w.r);
    start_game(w.r);
    w.eval("t = 0", w.make(probe, 0, 0));
    for (int s = 0; s < 9; ++s) {
        perform_step(w.r);
        handle_transition(w.r);
    }
    return w.take_out();
}

TEST(BoxGrid, FollowsRemovalAndRoomChanges) {
    const std::vector<std::string> scan = rooms_and_removal(false);
    ASSERT_EQ(scan.size(), 9u);
    EXPECT_EQ(scan[0].substr(0, 2), "0:");
    EXPECT_EQ(scan[3].substr(0, 2), "1:");
    EXPECT_NE(scan[0], scan[2]);  // some walls went
    EXPECT_EQ(rooms_and_removal(true), scan);
}

}  // namespace
}  // namespace kx
