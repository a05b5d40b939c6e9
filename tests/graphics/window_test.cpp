// The game window's rules: where the scaled region goes, how the window
// follows the region, and the mapping between window and room through views,
// checked against where the device really draws a room point.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/graphics_state.h"
#include "graphics/texture_main.h"
#include "platform/headless.h"
#include "sprites/sprite_state.h"
#include "support/draw_support.h"
#include "support/test_runtime.h"

namespace kx {
namespace {

struct Placed {
    double scale;
    int cw, ch;
    RegionRect want;
};

TEST(Window, PlacementOfTheRegionForEachScale) {
    const Placed cases[] = {
        {0, 300, 100, {0, 0, 300, 100}},     // stretched over the client, shape lost
        {-1, 300, 100, {100, 0, 100, 100}},  // fitted: the lower side decides, centred
        {-1, 100, 300, {0, 100, 100, 100}},
        {2, 300, 250, {50, 25, 200, 200}},  // fixed factor, centred
        {1.5, 151, 151, {0, 0, 150, 150}},  // odd remainder: div truncates
    };
    for (const Placed& c : cases) {
        HeadlessGameWindow hw;
        WindowState w;
        w.attach(&hw, DisplayMode{});
        w.set_region_scale(1, true);
        w.set_region_size(100, 100, true);
        w.set_region_scale(c.scale, false);
        hw.set_client_rect({0, 0, c.cw, c.ch});
        const RegionRect p = w.placement();
        EXPECT_EQ(p.x, c.want.x) << c.scale;
        EXPECT_EQ(p.y, c.want.y) << c.scale;
        EXPECT_EQ(p.w, c.want.w) << c.scale;
        EXPECT_EQ(p.h, c.want.h) << c.scale;
    }
}

TEST(Window, RegionSizeAdaptsOrOnlyGrowsTheWindow) {
    HeadlessGameWindow hw;
    WindowState w;
    w.attach(&hw, DisplayMode{});
    w.set_region_scale(2, true);
    w.set_region_size(100, 50, true);
    EXPECT_EQ(w.client().w, 200);
    EXPECT_EQ(w.client().h, 100);
    w.set_size(500, 400);
    w.set_region_size(120, 60, false);  // 240 x 120 fits: the window stays
    EXPECT_EQ(w.client().w, 500);
    EXPECT_EQ(w.client().h, 400);
    w.set_region_size(300, 0, false);  // 600 wide: it grows, the height part stays
    EXPECT_EQ(w.region_height(), 60);
    EXPECT_EQ(w.client().w, 600);
    EXPECT_EQ(w.client().h, 400);
    w.set_size(10, 10);  // never below the scaled region
    EXPECT_EQ(w.client().w, 600);
    EXPECT_EQ(w.client().h, 120);
    w.window_default();
    EXPECT_EQ(w.client().w, 600);
    EXPECT_EQ(w.client().x, (1024 - 600) / 2);
}

TEST(Window, FullScreenFitsTheModeIntoTheDesktopAndSameValueDoesNothing) {
    HeadlessGameWindow hw(1000, 500);
    WindowState w;
    DisplayMode desk;
    desk.width = 1000;
    desk.height = 500;
    w.attach(&hw, desk);
    w.set_region_size(320, 240, true);
    w.set_position(7, 9);
    w.set_fullscreen(false);  // unchanged: the rectangle is not applied again
    EXPECT_EQ(hw.client_rect().x, 7);
    hw.set_client_rect({1, 1, 50, 50});
    w.set_fullscreen(false);
    EXPECT_EQ(hw.client_rect().x, 1);
    ASSERT_TRUE(w.change_mode(640, 480, 0, 0));
    w.set_fullscreen(true);
    EXPECT_EQ(hw.client_rect().w, 1000);  // the window covers the desktop
    EXPECT_EQ(w.client().w, 640);
    // 640 x 480 fitted into 1000 x 500: factor 500/480, centred horizontally.
    const RegionRect real = w.to_real({0, 0, 640, 480});
    EXPECT_EQ(real.h, 500);
    EXPECT_EQ(real.x, (1000 - real.w) / 2);
    double gx, gy;
    w.from_real(500, 250, gx, gy);
    EXPECT_NEAR(gx, 320, 1e-9);
    EXPECT_NEAR(gy, 240, 1e-9);
    EXPECT_FALSE(w.change_mode(0, 0, 12, 0));
    EXPECT_EQ(w.mode().depth, 32);
}

TEST(Window, OverlappingViewsPreferTheHighestIndexThatHoldsThePoint) {
    WindowState w;
    w.set_region_size(200, 100, true);  // scale 1, no window: client = region
    ViewRegion a{true, 0, 0, 100, 100, 0, 0, 100, 100, 0};
    ViewRegion b{true, 1000, 1000, 100, 100, 50, 0, 100, 100, 0};
    w.register_view(0, a);
    w.register_view(3, b);
    double x, y;
    w.window_to_room_views(60, 10, x, y);  // in both ports: view 3 wins
    EXPECT_EQ(x, 1010);
    EXPECT_EQ(y, 1010);
    w.window_to_room_views(20, 10, x, y);  // view 3 maps it outside its view
    EXPECT_EQ(x, 20);
    w.clear_view(0);
    w.clear_view(3);
    w.window_to_room_views(20, 10, x, y);  // no views: the region itself
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 10);
}

// A room point drawn through a scaled, turned view lands where room_to_region
// says, and the window mapping leads back to it.
TEST(Window, ViewMappingMatchesTheDevice) {
    std::string error;
    auto dev = test::offscreen_device(96, 96, &error);
    ASSERT_TRUE(dev) << error;
    // Made after the device, so its graphics shutdown detaches the device first.
    test::TestRuntime t;
    GraphicsState& g = t.state<GraphicsState>();
    attach_drawing_device(g, t.state<SpriteState>(), dev.get(), 96, 96);
    g.window.set_region_size(96, 96, true);
    for (double angle : {0.0, 30.0, 90.0, -45.0}) {
        SCOPED_TRACE(angle);
        ViewRegion v{true, 100, 200, 40, 40, 8, 8, 80, 80, angle};
        g.window.register_view(0, v);
        g.device.set_viewport(0, 0, 96, 96);
        dev->clear(true, false, 0xff000000u);
        g.device.set_viewport(8, 8, 80, 80);
        g.device.set_projection_2d(100, 200, 40, 40, angle);
        // A 2 x 2 room square around (110, 212), drawn as two triangles.
        const uint32_t c = 0xffffffffu;
        const VertexC quad[6] = {{109, 211, 0, c}, {111, 211, 0, c}, {109, 213, 0, c},
                                 {111, 211, 0, c}, {111, 213, 0, c}, {109, 213, 0, c}};
        dev->set_texture(-1);
        dev->draw(PrimitiveKind::TriangleList, quad);
        std::vector<uint32_t> px(96 * 96);
        ASSERT_TRUE(dev->read_pixels(kBackBuffer, {0, 0, 96, 96}, px.data(), 96));
        double sx = 0, sy = 0, n = 0;
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 96; ++x)
                if (px[size_t(y * 96 + x)] & 0xffu) sx += x, sy += y, ++n;
        ASSERT_GT(n, 0);
        double qx, qy;
        ASSERT_TRUE(g.window.room_to_region(0, 110, 212, qx, qy));
        // Pixel centres sit at integer coordinates: the lit pixels centre on the point.
        EXPECT_NEAR(sx / n, qx, 0.6);
        EXPECT_NEAR(sy / n, qy, 0.6);
        double rx, ry;
        ASSERT_TRUE(g.window.window_to_room_view(0, qx, qy, rx, ry));
        EXPECT_NEAR(rx, 110, 1);
        EXPECT_NEAR(ry, 212, 1);
    }
}

}  // namespace
}  // namespace kx
