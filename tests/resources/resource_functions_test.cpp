// The resource functions: sprites and backgrounds added from each picture
// kind ImageMagick writes, replaced, duplicated, merged, assigned, saved and
// deleted, with each failure's message; objects given events at run time and
// their instances made; room templates and time lines changed from code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gamedata/gamedata_state.h"
#include "graphics/graphics_state.h"
#include "graphics/texture_main.h"
#include "image/picture_test_util.h"
#include "sprites/sprite_state.h"
#include "support/draw_support.h"
#include "support/test_runtime.h"
#include "world/room_class.h"
#include "world/world_state.h"

namespace kx {
namespace {

constexpr uint32_t kRed = 0xffff0000u, kGreen = 0xff00ff00u, kBlue = 0xff0000ffu;

class Resources : public ::testing::Test {
protected:
    // The pictures are made once for every test.
    static void SetUpTestSuite() {
        if (!test::have_convert()) return;
        dir = new test::ScratchDir;
        // A 12 x 4 strip of three solid 4 x 4 frames: red, green, blue.
        CBitmap32 strip = CBitmap32::blank(12, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 12; ++x) strip.at(x, y) = x < 4 ? kRed : x < 8 ? kGreen : kBlue;
        test::write_netpbm(dir->file("strip.ppm"), strip, false);
        for (const char* ext : {"png", "bmp", "jpg"})
            ASSERT_TRUE(test::run_convert(dir->file("strip.ppm") + " " +
                                          dir->file(std::string("strip.") + ext)));
        ASSERT_TRUE(test::run_convert("-size 100x20 xc:red " + dir->file("wide.png")));
        // Two frames of 6 x 5.
        ASSERT_TRUE(test::run_convert("-size 6x5 xc:red xc:blue " + dir->file("anim.gif")));
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        if (!dir) GTEST_SKIP() << "ImageMagick's convert is not installed";
        t.state<GameDataState>().settings.DisplayErrors = false;
        std::string error;
        GraphicsState& g = t.state<GraphicsState>();
        g.draw_device = test::offscreen_device(32, 32, &error);  // screen grabs read it
        ASSERT_TRUE(g.draw_device) << error;
        attach_drawing_device(g, t.state<SpriteState>(), g.draw_device.get(), 32, 32);
    }
    double num(const std::string& expr) {
        RValue v;
        EXPECT_EQ(t.run("return " + expr, &v), "") << expr;
        return v.real;
    }
    std::string str(const std::string& expr) {
        RValue v;
        EXPECT_EQ(t.run("return " + expr, &v), "") << expr;
        return v.str.str();
    }
    // Runs code and answers the last error it reported (empty for none).
    std::string reported(const std::string& code) {
        t.script().errors.last.clear();
        EXPECT_EQ(t.run(code), "") << code;
        return t.script().errors.last;
    }
    std::string q(const std::string& name) { return "'" + dir->file(name) + "'"; }
    const CSprite& sprite(int id) { return *t.state<SpriteState>().sprites.get(id); }

    static test::ScratchDir* dir;
    test::TestRuntime t;
};

test::ScratchDir* Resources::dir = nullptr;

TEST_F(Resources, SpriteAddSplitsStripsFromEachPictureKind) {
    for (const char* ext : {"png", "bmp", "jpg"}) {
        const int id =
            int(num("sprite_add(" + q(std::string("strip.") + ext) + ", 3, 0, 0, 0, 0, 2, 1)"));
        ASSERT_GE(id, 0) << ext;
        EXPECT_EQ(str("sprite_get_name(" + std::to_string(id) + ")"),
                  "__newsprite" + std::to_string(id));
        EXPECT_EQ(num("sprite_get_number(" + std::to_string(id) + ")"), 3) << ext;
        EXPECT_EQ(num("sprite_get_width(" + std::to_string(id) + ")"), 4) << ext;
        EXPECT_EQ(num("sprite_get_xoffset(" + std::to_string(id) + ")"), 2) << ext;
        EXPECT_EQ(num("sprite_get_yoffset(" + std::to_string(id) + ")"), 1) << ext;
        // Frame k is the k-th block; JPEG is lossy, so only near its colour.
        const uint32_t want[3] = {kRed, kGreen, kBlue};
        for (int k = 0; k < 3; ++k) {
            const uint32_t p = sprite(id).subimages()[size_t(k)].at(1, 1);
            for (int shift = 0; shift < 24; shift += 8)
                EXPECT_NEAR(int(p >> shift & 255), int(want[k] >> shift & 255),
                            std::string(ext) == "jpg" ? 40 : 0)
                    << ext << " frame " << k;
        }
    }
    const int wide = int(num("sprite_add(" + q("wide.png") + ", 3, 0, 0, 0, 0, 0, 0)"));
    EXPECT_EQ(num("sprite_get_width(" + std::to_string(wide) + ")"), 33);
    EXPECT_EQ(num("sprite_get_number(" + std::to_string(wide) + ")"), 3);
    // An animated GIF gives every frame, whatever the count asked for.
    const int gif = int(num("sprite_add(" + q("anim.gif") + ", 7, 0, 0, 0, 0, 0, 0)"));
    EXPECT_EQ(num("sprite_get_number(" + std::to_string(gif) + ")"), 2);
    EXPECT_EQ(num("sprite_get_width(" + std::to_string(gif) + ")"), 6);
    EXPECT_EQ(sprite(gif).subimages()[1].at(2, 2) & 0xffffff, kBlue & 0xffffff);
}

TEST_F(Resources, AFileThatDoesNotLoadTakesNoSlot) {
    const double next = t.state<SpriteState>().sprites.count();
    EXPECT_EQ(num("sprite_add(" + q("missing.png") + ", 1, 0, 0, 0, 0, 0, 0)"), -1);
    EXPECT_EQ(num("background_add(" + q("strip.ppm.nothing") + ", 0, 0, 0)"), -1);
    EXPECT_EQ(num("sprite_add(" + q("strip.png") + ", 1, 0, 0, 0, 0, 0, 0)"), next);
    EXPECT_EQ(num("sprite_replace(0, " + q("missing.png") + ", 1, 0, 0, 0, 0, 0, 0)"), 0);
    EXPECT_EQ(num("sprite_get_width(0)"), 12);  // left as it was
}

TEST_F(Resources, ReplaceDuplicateMergeAssignAndDelete) {
    const std::string a =
        std::to_string(int(num("sprite_add(" + q("strip.png") + ", 3, 0, 0, 0, 0, 0, 0)")));
    const std::string b = std::to_string(int(num("sprite_duplicate(" + a + ")")));
    EXPECT_NE(a, b);
    EXPECT_EQ(num("sprite_get_number(" + b + ")"), 3);
    EXPECT_EQ(num("sprite_replace(" + b + ", " + q("anim.gif") + ", 1, 0, 0, 0, 0, 0, 0)"), 1);
    EXPECT_EQ(num("sprite_get_width(" + b + ")"), 6);
    EXPECT_EQ(num("sprite_get_number(" + a + ")"), 3);  // the original is its own
    EXPECT_EQ(reported("sprite_merge(" + a + ", " + b + ")"), "");
    EXPECT_EQ(num("sprite_get_number(" + a + ")"), 5);
    EXPECT_EQ(reported("sprite_assign(" + b + ", " + a + ")"), "");
    EXPECT_EQ(num("sprite_get_number(" + b + ")"), 5);
    EXPECT_EQ(num("sprite_delete(" + a + ")"), 1);
    EXPECT_EQ(num("sprite_exists(" + a + ")"), 0);
    EXPECT_EQ(num("sprite_get_width(" + a + ")"), -1);
    EXPECT_EQ(str("sprite_get_name(" + a + ")"), "<undefined>");

    struct Failure {
        std::string code, message;
    };
    const Failure failures[] = {
        {"sprite_delete(" + a + ")", "Trying to delete non-existing sprite."},
        {"sprite_duplicate(" + a + ")", "Trying to duplicate non-existing sprite."},
        {"sprite_replace(" + a + ", " + q("strip.png") + ", 1, 0, 0, 0, 0, 0, 0)",
         "Trying to replace non-existing sprite."},
        {"sprite_assign(" + b + ", " + a + ")", "Error assigning a sprite."},
        {"sprite_merge(" + a + ", " + b + ")", "Trying to merge to non-existing sprite."},
        {"sprite_merge(" + b + ", " + a + ")", "Trying to merge from non-existing sprite."},
        {"sprite_add_from_screen(" + a + ", 0, 0, 4, 4)", "Trying to add to non-existing sprite."},
        {"background_delete(99)", "Trying to delete non-existing background."},
        {"background_duplicate(99)", "Trying to duplicate non-existing background."},
        {"background_replace(99, " + q("strip.png") + ", 0, 0, 0)",
         "Trying to replace non-existing background."},
        {"background_assign(0, 99)", "Error assigning a background."},
        {"object_delete(99)", "Trying to delete non-existing object."},
        {"timeline_delete(99)", "Trying to delete non-existing timeline."},
        {"room_duplicate(99)", "Trying to duplicate non-existing room."},
        {"room_assign(0, 99)", "Error assigning a room."},
        {"room_tile_add(room_add(), 99, 0, 0, 4, 4, 0, 0, 0)", "Background does not exist."},
    };
    for (const Failure& f : failures)
        EXPECT_NE(reported(f.code).find(f.message), std::string::npos) << f.code;
    EXPECT_EQ(num("sprite_get_number(" + b + ")"), 5);  // a failed assign left it alone
}

TEST_F(Resources, BackgroundsFromFilesColoursAndSavedCopies) {
    const std::string a =
        std::to_string(int(num("background_add(" + q("strip.bmp") + ", 0, 0, 0)")));
    EXPECT_EQ(str("background_get_name(" + a + ")"), "__newbackground" + a);
    EXPECT_EQ(num("background_get_width(" + a + ")"), 12);
    EXPECT_EQ(num("background_replace(" + a + ", " + q("wide.png") + ", 0, 0, 0)"), 1);
    EXPECT_EQ(num("background_get_height(" + a + ")"), 20);
    const std::string c = std::to_string(int(num("background_create_color(5, 3, c_lime, 0)")));
    EXPECT_EQ(num("background_get_width(" + c + ")"), 5);
    EXPECT_EQ(num("background_save(" + c + ", " + q("saved.png") + ")"), 1);
    const std::string back =
        std::to_string(int(num("background_add(" + q("saved.png") + ", 0, 0, 0)")));
    const CBackground& saved = *t.state<SpriteState>().backgrounds.get(std::stoi(back));
    EXPECT_EQ(saved.width(), 5);
    EXPECT_EQ(saved.image().at(4, 2), kGreen);
    // A sprite's frame saved and read back is the same picture.
    const std::string s =
        std::to_string(int(num("sprite_add(" + q("strip.png") + ", 3, 0, 0, 0, 0, 0, 0)")));
    EXPECT_EQ(num("sprite_save(" + s + ", 2, " + q("frame.png") + ")"), 1);
    const int f = int(num("sprite_add(" + q("frame.png") + ", 1, 0, 0, 0, 0, 0, 0)"));
    EXPECT_EQ(sprite(f).subimages()[0].pixels, sprite(std::stoi(s)).subimages()[2].pixels);
    EXPECT_EQ(num("background_delete(" + a + ")"), 1);
    EXPECT_EQ(num("background_get_width(" + a + ")"), -1);
}

TEST_F(Resources, TexturesFollowAReplacedPicture) {
    const std::string b =
        std::to_string(int(num("background_add(" + q("strip.png") + ", 0, 0, 0)")));
    ASSERT_EQ(t.run("background_replace(" + b + ", " + q("wide.png") +
                    ", 0, 0, 0); draw_background(" + b + ", 0, 0)"),
              "");
    uint32_t px = 0;
    ASSERT_TRUE(
        t.state<GraphicsState>().draw_device->read_pixels(kBackBuffer, {9, 1, 1, 1}, &px, 1));
    EXPECT_EQ(px, kRed);  // the strip had blue there
}

TEST_F(Resources, FlagsOfScreenGrabsAreTrueOnlyAboveOneHalf) {
    const std::string s =
        std::to_string(int(num("sprite_create_from_screen(0, 0, 32, 32, 0.5, 1, 0.5, 0.5, 0, 0)")));
    EXPECT_EQ(num("sprite_get_precise(" + s + ")"), 0);
    EXPECT_EQ(num("sprite_get_transparent(" + s + ")"), 1);
    EXPECT_EQ(num("sprite_get_smooth(" + s + ")"), 0);
    EXPECT_EQ(num("sprite_get_preload(" + s + ")"), 0);
    EXPECT_EQ(num("sprite_get_width(" + s + ")"), 32);
}

TEST_F(Resources, ObjectWithEventsAddedAtRunTimeMakesInstances) {
    ASSERT_EQ(t.run("global.made = 0; global.stepped = 0; o = object_add(); global.o = o;"
                    "object_event_add(o, ev_create, 0, 'global.made += 1; hp = 3');"
                    "object_event_add(o, ev_create, 0, 'hp += 1');"
                    "object_event_add(o, ev_step, ev_step_normal, 'global.stepped += 1')"),
              "");
    const std::string o = std::to_string(int(num("global.o")));
    EXPECT_EQ(str("object_get_name(" + o + ")"), "__newobject" + o);
    const std::string i = std::to_string(int(num("instance_create(4, 5, " + o + ")")));
    EXPECT_EQ(num("global.made"), 1);
    EXPECT_EQ(num("(" + i + ").hp"), 4);  // both actions ran, in order
    EXPECT_EQ(num("instance_number(" + o + ")"), 1);
    // Cleared events run no more; the parent and ancestry follow.
    ASSERT_EQ(
        t.run("object_event_clear(" + o + ", ev_create, 0); instance_create(0, 0, " + o + ")"), "");
    EXPECT_EQ(num("global.made"), 1);
    EXPECT_EQ(num("instance_number(" + o + ")"), 2);
    ASSERT_EQ(t.run("p = object_add(); object_set_parent(" + o + ", p); global.p = p"), "");
    const std::string p = std::to_string(int(num("global.p")));
    EXPECT_EQ(num("object_is_ancestor(" + o + ", " + p + ")"), 1);
    EXPECT_EQ(num("object_is_ancestor(" + p + ", " + p + ")"), 0);
    EXPECT_EQ(num("object_is_ancestor(999, " + p + ")"), -1);
    ASSERT_EQ(t.run("object_set_depth(" + o + ", 2.5); object_set_solid(" + o + ", 1)"), "");
    EXPECT_EQ(num("object_get_depth(" + o + ")"), 2);
    EXPECT_EQ(num("object_get_solid(" + o + ")"), 1);
    // An event added to the parent reaches the child, whose own is empty now.
    ASSERT_EQ(t.run("object_event_add(" + p + ", ev_create, 0, 'global.user = id')"), "");
    const double k = num("instance_create(0, 0, " + o + ")");
    EXPECT_EQ(num("global.user"), k);
}

TEST_F(Resources, RoomTemplatesChangeFromCode) {
    ASSERT_EQ(t.run("global.r = room_add(); b = background_create_color(8, 8, c_red, 0);"
                    "global.b = b; o = object_add(); global.o = o"),
              "");
    const std::string r = std::to_string(int(num("global.r")));
    const std::string b = std::to_string(int(num("global.b")));
    const std::string o = std::to_string(int(num("global.o")));
    EXPECT_EQ(str("room_get_name(" + r + ")"), "__newroom" + r);
    const double first = num("room_instance_add(" + r + ", 8, 9, " + o + ")");
    EXPECT_EQ(num("room_instance_add(" + r + ", 1, 1, " + o + ")"), first + 1);
    EXPECT_EQ(num("room_tile_add(" + r + ", " + b + ", 0, 0, 4, 4, 10, 10, 5)"), 0);
    EXPECT_EQ(num("room_tile_add_ext(" + r + ", " + b + ", 0, 0, 4, 4, 20, 10, 5, 2, 3, 0.5)"), 1);
    EXPECT_EQ(num("room_tile_add(999, " + b + ", 0, 0, 4, 4, 10, 10, 5)"), -1);
    ASSERT_EQ(t.run("room_set_width(" + r + ", 300); room_set_caption(" + r +
                    ", 'Hi');"
                    "room_set_background(" +
                    r + ", 2, 1, 0, " + b +
                    ", 3, 4, 0, 1, 1, 0, 0.5);"
                    "room_set_background(" +
                    r + ", 9, 1, 1, " + b +
                    ", 3, 4, 0, 1, 1, 0, 0.5);"
                    "room_set_view(" +
                    r + ", 1, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, " + o + ")"),
              "");
    const CRoom& room = *t.state<WorldState>().rooms[size_t(std::stoi(r))];
    EXPECT_EQ(room.width, 300);
    EXPECT_EQ(room.caption, "Hi");
    EXPECT_EQ(room.instances.count(), 2);
    EXPECT_EQ(room.instances.at(0)->x, 8);
    ASSERT_EQ(room.tiles.size(), 2u);
    EXPECT_EQ(room.tiles[1].xscale, 2);
    EXPECT_EQ(room.tiles[1].alpha, 0.5);
    EXPECT_TRUE(room.backs[2].visible);
    EXPECT_EQ(room.backs[2].index, std::stoi(b));
    EXPECT_EQ(room.backs[2].alpha, 0.5);
    EXPECT_EQ(room.views[1].hport, 8);
    EXPECT_EQ(room.views[1].object, std::stoi(o));
    for (int k = 0; k < 8; ++k)
        if (k != 2) {
            EXPECT_FALSE(room.backs[size_t(k)].visible) << k;  // layer 9: nothing
        }
    // A duplicate is a copy of its own.
    const std::string d = std::to_string(int(num("room_duplicate(" + r + ")")));
    ASSERT_EQ(t.run("room_instance_clear(" + r + "); room_tile_clear(" + r + ")"), "");
    EXPECT_EQ(room.instances.count(), 0);
    EXPECT_EQ(t.state<WorldState>().rooms[size_t(std::stoi(d))]->instances.count(), 2);
    EXPECT_EQ(t.state<WorldState>().rooms[size_t(std::stoi(d))]->tiles.size(), 2u);
}

TEST_F(Resources, TimeLinesNamedAndDeleted) {
    const std::string tl = std::to_string(int(num("timeline_add()")));
    EXPECT_EQ(str("timeline_name(" + tl + ")"), "__newtimeline" + tl);
    EXPECT_EQ(num("timeline_delete(" + tl + ")"), 1);
    EXPECT_EQ(num("timeline_exists(" + tl + ")"), 0);
}

}  // namespace
}  // namespace kx
