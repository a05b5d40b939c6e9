// Sprites, backgrounds and surfaces drawn through the real device offscreen,
// then read back and compared with what the image and the drawing rules give.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "gamedata/gamedata_state.h"
#include "graphics/graphics_state.h"
#include "graphics/texture_main.h"
#include "image/picture_file.h"
#include "script/code_function.h"
#include "script/script_state.h"
#include "sprites/sprite_state.h"
#include "support/draw_support.h"
#include "support/test_runtime.h"
#include "world/instance.h"

namespace kx {
namespace {

constexpr uint32_t kBack = 0xff102030u;

int chan(uint32_t c, int shift) {
    return int(c >> shift) & 255;
}

using test::pattern;

class Draw : public ::testing::Test {
protected:
    static constexpr int kW = 64, kH = 48;

    void SetUp() override {
        t.state<GameDataState>().settings.DisplayErrors = false;
        std::string error;
        dev = test::offscreen_device(kW, kH, &error);
        ASSERT_TRUE(dev) << "no OpenGL 3.3 context: " << error;
        attach_drawing_device(g(), res(), dev.get(), kW, kH);
        dev->clear(true, false, kBack);
    }

    GraphicsState& g() { return t.state<GraphicsState>(); }
    SpriteState& res() { return t.state<SpriteState>(); }

    RValue call(const char* name, std::vector<RValue> args, CInstance* self = nullptr) {
        const FunctionTable& table = t.script().functions;
        const int f = table.find(name);
        EXPECT_GE(f, 0) << name;
        if (f < 0) return {};
        EXPECT_EQ(table.argument_count(f), int(args.size())) << name;
        RValue result;
        table.at(f).handler(self, nullptr, int(args.size()), result, args.data());
        return result;
    }
    double num(const char* name, std::vector<RValue> args) { return call(name, args).real; }
    std::string last_error() { return t.script().errors.last; }

    int32_t add_sprite(const std::vector<CBitmap32>& images, int xorig, int yorig) {
        const int32_t id = res().sprites.add_empty();
        CSprite& s = *res().sprites.get(id);
        s.set_from_image(images[0], true, false, xorig, yorig, false, false, false);
        for (size_t i = 1; i < images.size(); ++i) s.add_image(images[i], true);
        return id;
    }
    int32_t add_background(const CBitmap32& image) {
        const int32_t id = res().backgrounds.add_empty();
        res().backgrounds.get(id)->set_from_image(image, true, false, false, false);
        return id;
    }

    std::vector<uint32_t> read(int source, DeviceRect rc) {
        std::vector<uint32_t> px(size_t(rc.w) * rc.h, 0xdeadbeef);
        EXPECT_TRUE(dev->read_pixels(source, rc, px.data(), rc.w));
        return px;
    }
    std::vector<uint32_t> screen() { return read(kBackBuffer, {0, 0, kW, kH}); }

    // Compares the back buffer with expect(x, y): the colour a pixel must have,
    // or nothing where the pixel centre is too near a texel edge to judge.
    int mismatches(const std::function<std::optional<uint32_t>(int, int)>& expect,
                   bool report = true) {
        const std::vector<uint32_t> got = screen();
        int wrong = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const std::optional<uint32_t> want = expect(x, y);
                if (want && got[size_t(y) * kW + x] != *want) {
                    if (report && wrong < 5)
                        ADD_FAILURE() << "pixel " << x << "," << y << " got " << std::hex
                                      << got[size_t(y) * kW + x] << " want " << *want;
                    ++wrong;
                }
            }
        return wrong;
    }

    // The device outlives the runtime, whose graphics shutdown detaches it.
    std::unique_ptr<IDrawDevice> dev;
    test::TestRuntime t;
};

// Texel of image coordinate (ix, iy), or nothing near an edge or outside.
std::optional<uint32_t> texel(const CBitmap32& img, double ix, double iy, uint32_t outside) {
    const double e = 0.02;
    const double fx = ix - std::floor(ix), fy = iy - std::floor(iy);
    if (fx < e || fx > 1 - e || fy < e || fy > 1 - e) return std::nullopt;
    if (ix < 0 || iy < 0 || ix >= img.width || iy >= img.height) return outside;
    return img.at(int(ix), int(iy));
}

TEST(DeviceColor, AlphaIsClampedAndRoundedAndChannelsSwap) {
    struct Case {
        int64_t colour;
        double alpha;
        uint32_t want;
    };
    const Case cases[] = {
        {0x00ff8040, 1.0, 0xff4080ffu},  // 0xBBGGRR becomes 0xAARRGGBB
        {0x7f123456, 0.5, 0x80563412u},  // top byte ignored; 127.5 to even
        {0x000000ff, 0.3, 0x4cff0000u},  // 76.5 to even
        {0x00ffffff, -1.0, 0x00ffffffu},         {0x00ffffff, 7.0, 0xffffffffu},
        {0x00ffffff, std::nan(""), 0x00ffffffu},
    };
    for (const Case& c : cases) EXPECT_EQ(to_device_color(c.colour, c.alpha), c.want) << c.alpha;
    EXPECT_EQ(to_game_color(0xff4080ffu), 0x00ff8040);
}

TEST_F(Draw, TextureTableGrantsPowersOfTwoAndBandsTheEdges) {
    const CBitmap32 img = pattern(5, 3);
    const int32_t id = g().texture_table.from_image(img);
    ASSERT_GE(id, 0);
    const RTexture* t = g().texture_table.get(id);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->texture_width, 8);
    EXPECT_EQ(t->texture_height, 4);
    EXPECT_DOUBLE_EQ(num("texture_get_width", {double(id)}), 0.625);
    EXPECT_DOUBLE_EQ(num("texture_get_height", {double(id)}), 0.75);
    EXPECT_EQ(num("texture_exists", {double(id)}), 1);
    // A 6 x 4 block: the image, its last column and its last row repeated.
    const std::vector<uint32_t> got = read(t->device_id, {0, 0, 6, 4});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(got[size_t(y) * 6 + x], img.at(std::min(x, 4), std::min(y, 2)))
                << x << "," << y;

    // Freed entries are taken again; what is not a texture answers as none.
    g().texture_table.free(id);
    EXPECT_EQ(num("texture_exists", {double(id)}), 0);
    EXPECT_EQ(num("texture_get_width", {double(id)}), 1);
    EXPECT_EQ(g().texture_table.from_image(pattern(2, 2)), id);
    EXPECT_EQ(g().texture_table.from_image(CBitmap32{}), -1);
    EXPECT_EQ(num("texture_exists", {-1.0}), 0);
    EXPECT_EQ(num("texture_exists", {1e12}), 0);
}

TEST_F(Draw, AttachingADeviceGivesEveryResourceItsTextures) {
    attach_drawing_device(g(), res(), nullptr, 0, 0);
    const CBitmap32 img = pattern(3, 2, 10);
    const int32_t spr = add_sprite({img}, 0, 0);
    const int32_t back = add_background(pattern(2, 2, 11));
    EXPECT_EQ(num("sprite_get_texture", {double(spr), 0.0}), -1);
    // Twice on one device: the second round gives the first one's textures back.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        attach_drawing_device(g(), res(), dev.get(), kW, kH);
        const double st = num("sprite_get_texture", {double(spr), 0.0});
        const double bt = num("background_get_texture", {double(back)});
        EXPECT_EQ(num("texture_exists", {st}), 1);
        EXPECT_EQ(num("texture_exists", {bt}), 1);
        EXPECT_NE(st, bt);
        EXPECT_EQ(g().texture_table.count(), 2);
    }
    dev->clear(true, false, kBack);
    call("draw_sprite", {double(spr), 0.0, 5.0, 5.0});
    EXPECT_EQ(mismatches([&](int x, int y) -> std::optional<uint32_t> {
                  const int ix = x - 5, iy = y - 5;
                  if (ix < 0 || iy < 0 || ix >= 3 || iy >= 2) return kBack;
                  return img.at(ix, iy);
              }),
              0);
}

TEST_F(Draw, SpriteAtIntegerCoordinatesReproducesItsImage) {
    const CBitmap32 a = pattern(5, 3, 1), b = pattern(5, 3, 2);
    const int32_t spr = add_sprite({a, b}, 2, 1);
    struct Case {
        bool interpolation;
        double subimg;
        double image_index;  // of the caller, for a negative subimage
        const CBitmap32* want;
    };
    const Case cases[] = {{false, 0, 0, &a},    {true, 1, 0, &b},    {false, 3, 0, &b},
                          {false, -1, 7.9, &b}, {false, -1, -1, &b}, {false, -1, 6.2, &a}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "subimg " << c.subimg << " index " << c.image_index);
        dev->clear(true, false, kBack);
        g().device.set_interpolation(c.interpolation);
        CInstance self(100001, 0);
        self.image_index = c.image_index;
        call("draw_sprite", {double(spr), c.subimg, 13.0, 7.0}, &self);
        // The origin (2, 1) puts the image's top-left at (11, 6).
        EXPECT_EQ(mismatches([&](int x, int y) -> std::optional<uint32_t> {
                      const int ix = x - 11, iy = y - 6;
                      if (ix < 0 || iy < 0 || ix >= 5 || iy >= 3) return kBack;
                      return c.want->at(ix, iy);
                  }),
                  0);
    }
    EXPECT_EQ(last_error(), "");
}

TEST_F(Draw, ScaledTurnedPartAndStretchedQuadsLandWhereTheRulesPutThem) {
    const CBitmap32 img = pattern(6, 4, 3);
    const int32_t spr = add_sprite({img}, 3, 2);
    // Each case draws once and maps a pixel centre back to image coordinates.
    struct Case {
        const char* what;
        std::function<void()> draw;
        std::function<std::optional<uint32_t>(int, int)> expect;
    };
    auto ext = [&](double x, double y, double xs, double ys, double deg) {
        return [=](int px, int py) {
            const double a = deg * std::numbers::pi / 180, cs = std::cos(a), sn = std::sin(a);
            // Inverse of (x + rx cos + ry sin, y - rx sin + ry cos).
            const double dx = px - x, dy = py - y;
            const double rx = dx * cs - dy * sn, ry = dx * sn + dy * cs;
            return texel(img, (rx + 0.5) / xs + 3, (ry + 0.5) / ys + 2, kBack);
        };
    };
    const Case cases[] = {
        {"ext scaled",
         [&] {
             call("draw_sprite_ext",
                  {double(spr), 0.0, 20.0, 15.0, 2.0, 3.0, 0.0, 16777215.0, 1.0});
         },
         ext(20, 15, 2, 3, 0)},
        {"ext mirrored",
         [&] {
             call("draw_sprite_ext",
                  {double(spr), 0.0, 20.0, 15.0, -1.0, 2.0, 0.0, 16777215.0, 1.0});
         },
         ext(20, 15, -1, 2, 0)},
        {"ext 90",
         [&] {
             call("draw_sprite_ext",
                  {double(spr), 0.0, 30.0, 20.0, 2.0, 2.0, 90.0, 16777215.0, 1.0});
         },
         ext(30, 20, 2, 2, 90)},
        {"ext 30",
         [&] {
             call("draw_sprite_ext",
                  {double(spr), 0.0, 30.0, 20.0, 3.0, 2.0, 30.0, 16777215.0, 1.0});
         },
         ext(30, 20, 3, 2, 30)},
        {"part",
         [&] {
             call("draw_sprite_part", {double(spr), 0.0, 1.0, 1.0, 3.0, 2.0, 9.0, 5.0});
         },
         [&](int px, int py) -> std::optional<uint32_t> {
             const int ix = px - 9 + 1, iy = py - 5 + 1;
             if (ix < 1 || iy < 1 || ix >= 4 || iy >= 3) return kBack;
             return img.at(ix, iy);
         }},
        {"stretched",
         [&] {
             call("draw_sprite_stretched", {double(spr), 0.0, 4.0, 6.0, 18.0, 8.0});
         },
         [&](int px, int py) { return texel(img, (px - 4 + 0.5) / 3, (py - 6 + 0.5) / 2, kBack); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dev->clear(true, false, kBack);
        c.draw();
        EXPECT_EQ(mismatches(c.expect), 0);
    }
}

TEST_F(Draw, QuadsTurnFromAHundredthOfARadian) {
    const CBitmap32 img = pattern(60, 44, 12);
    const int32_t back = add_background(img);
    auto upright = [&](int x, int y) -> std::optional<uint32_t> {
        const int ix = x - 2, iy = y - 2;
        if (ix < 0 || iy < 0 || ix >= 60 || iy >= 44) return kBack;
        return img.at(ix, iy);
    };
    // About the top-left corner a hundredth moves the far end of a 60-pixel
    // row by 0.6 pixels, enough to change which texel a pixel shows.
    struct Case {
        double radians;
        bool turned;
    };
    for (Case c : {Case{0.005, false}, Case{-0.0099, false}, Case{0.01, true}}) {
        SCOPED_TRACE(c.radians);
        dev->clear(true, false, kBack);
        draw_texture_ext(g(), res().backgrounds.get(back)->texture(), 0xffffff, 1, c.radians, 0, 0,
                         2, 2, 1, 1);
        const int wrong = mismatches(upright, !c.turned);
        if (c.turned)
            EXPECT_GT(wrong, 0);
        else
            EXPECT_EQ(wrong, 0);
    }
}

TEST_F(Draw, ColourAlphaAndBlendModesMixAsTheFactorsSay) {
    CBitmap32 img = CBitmap32::blank(4, 4, 0xffc08040u);  // r c0, g 80, b 40
    const int32_t spr = add_sprite({img}, 0, 0);
    const uint32_t back = 0xff603090u;
    const double blend = double(0x80ff40);  // game colour: r 40, g ff, b 80
    struct Case {
        int mode;
        bool texture_blending;
        double alpha;
        int r, g, b;  // expected
    };
    auto mix = [](int src, int col, double a, int dst) {
        return int(std::lround(src * col / 255.0 * a + dst * (1 - a)));
    };
    const Case cases[] = {
        {0, true, 0.5, mix(0xc0, 0x40, 0.5, 0x60), mix(0x80, 0xff, 0.5, 0x30),
         mix(0x40, 0x80, 0.5, 0x90)},
        {0, true, 1.0, 0x30, 0x80, 0x20},
        // Additive: dst + src x alpha.
        {1, true, 0.5, std::min(255, 0x60 + int(std::lround(0x30 * 0.5))),
         std::min(255, 0x30 + int(std::lround(0x80 * 0.5))),
         std::min(255, 0x90 + int(std::lround(0x20 * 0.5)))},
        // Subtract: dst x (1 - src colour).
        {3, true, 1.0, int(std::lround(0x60 * (1 - 0x30 / 255.0))),
         int(std::lround(0x30 * (1 - 0x80 / 255.0))), int(std::lround(0x90 * (1 - 0x20 / 255.0)))},
        // Without texture blending the colour and alpha are ignored.
        {0, false, 0.25, 0xc0, 0x80, 0x40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " alpha " << c.alpha);
        dev->clear(true, false, back);
        g().device.set_blend_mode(c.mode);
        g().device.set_texture_blending(c.texture_blending);
        call("draw_sprite_ext", {double(spr), 0.0, 10.0, 10.0, 1.0, 1.0, 0.0, blend, c.alpha});
        const std::vector<uint32_t> px = read(kBackBuffer, {10, 10, 4, 4});
        for (uint32_t p : px) {
            EXPECT_NEAR(chan(p, 16), c.r, 1);
            EXPECT_NEAR(chan(p, 8), c.g, 1);
            EXPECT_NEAR(chan(p, 0), c.b, 1);
        }
    }
}

TEST_F(Draw, StoredStatesComeBackAfterADeviceReset) {
    const int32_t spr = add_sprite({CBitmap32::blank(4, 4, 0xff204060u)}, 0, 0);
    const int32_t surf = int32_t(num("surface_create", {8.0, 8.0}));
    g().device.set_blend_mode(1);
    DeviceConfig config;
    config.width = kW;
    config.height = kH;
    std::string error;
    ASSERT_TRUE(dev->reset(config, &error)) << error;
    // Render targets do not survive a reset; managed textures do.
    g().surfaces.free_all(g());
    g().device.attach(dev.get(), kW, kH);
    EXPECT_EQ(num("surface_exists", {double(surf)}), 0);
    dev->clear(true, false, 0xff101010u);
    call("draw_sprite", {double(spr), 0.0, 2.0, 2.0});
    const uint32_t p = read(kBackBuffer, {3, 3, 1, 1})[0];
    EXPECT_NEAR(chan(p, 16), 0x30, 1);  // added, not replaced
    EXPECT_NEAR(chan(p, 8), 0x50, 1);
    EXPECT_NEAR(chan(p, 0), 0x70, 1);
}

TEST_F(Draw, GeneralQuadTakesOneColourPerCorner) {
    const int32_t spr = add_sprite({CBitmap32::blank(2, 2, 0xffffffffu)}, 0, 0);
    const double red = 0x0000ff, green = 0x00ff00, blue = 0xff0000, white = 0xffffff;
    call("draw_sprite_general", {double(spr), 0.0, 0.0, 0.0, 2.0, 2.0, 20.0, 20.0, 8.0, 8.0, 0.0,
                                 red, green, blue, white, 1.0});
    const uint32_t tl = read(kBackBuffer, {20, 20, 1, 1})[0];
    const uint32_t tr = read(kBackBuffer, {35, 20, 1, 1})[0];
    const uint32_t br = read(kBackBuffer, {35, 35, 1, 1})[0];
    const uint32_t bl = read(kBackBuffer, {20, 35, 1, 1})[0];
    EXPECT_GT(chan(tl, 16), 200);  // red
    EXPECT_LT(chan(tl, 0), 40);
    EXPECT_GT(chan(tr, 8), 200);  // green
    EXPECT_LT(chan(tr, 16), 40);
    EXPECT_GT(chan(br, 0), 200);  // blue
    EXPECT_LT(chan(br, 8), 40);
    EXPECT_GT(chan(bl, 16), 200);  // white
    EXPECT_GT(chan(bl, 8), 200);
}

TEST_F(Draw, TiledBackgroundCoversTheRoomFromItsPhase) {
    const CBitmap32 img = pattern(7, 5, 4);
    const int32_t back = add_background(img);
    auto tiled = [&](int x0, int y0, int scale) {
        return [=, &img](int x, int y) -> std::optional<uint32_t> {
            const int tw = 7 * scale, th = 5 * scale;
            const int ix = (((x - x0) % tw) + tw) % tw / scale;
            const int iy = (((y - y0) % th) + th) % th / scale;
            return img.at(ix, iy);
        };
    };
    call("draw_background_tiled", {double(back), 10.0, 3.0});
    EXPECT_EQ(mismatches(tiled(10, 3, 1)), 0);
    dev->clear(true, false, kBack);
    call("draw_background_tiled_ext", {double(back), -30.0, 100.0, 2.0, 2.0, 16777215.0, 1.0});
    EXPECT_EQ(mismatches(tiled(-30, 100, 2)), 0);
}

TEST_F(Draw, RotatedProjectionTurnsTheRoomCounterClockwise) {
    const CBitmap32 img = pattern(48, 48, 5);
    const int32_t back = add_background(img);
    g().device.set_viewport(0, 0, 48, 48);
    g().device.set_projection_2d(0, 0, 48, 48, 90);
    call("draw_background", {double(back), 0.0, 0.0});
    // Turned a quarter counter-clockwise about room point (24, 24): the
    // room's right edge is now at the top, so screen (x, y) shows room (48 - y, x).
    EXPECT_EQ(mismatches([&](int x, int y) -> std::optional<uint32_t> {
                  if (x >= 48 || y == 0) return kBack;
                  return img.at(48 - y, x);
              }),
              0);
}

TEST_F(Draw, SurfaceIsDrawnIntoReadAndDrawnBack) {
    const CBitmap32 img = pattern(5, 3, 6);
    const int32_t spr = add_sprite({img}, 0, 0);
    const int32_t surf = int32_t(num("surface_create", {20.0, 10.0}));
    ASSERT_GE(surf, 0);
    EXPECT_EQ(num("surface_get_width", {double(surf)}), 20);
    EXPECT_EQ(num("surface_get_height", {double(surf)}), 10);
    const int32_t tex = int32_t(num("surface_get_texture", {double(surf)}));
    EXPECT_EQ(num("texture_exists", {double(tex)}), 1);

    EXPECT_EQ(num("surface_set_target", {double(surf)}), 1);
    EXPECT_EQ(num("surface_set_target", {double(surf)}), 1);  // already the target
    call("draw_sprite", {double(spr), 0.0, 2.0, 4.0});
    EXPECT_EQ(num("surface_reset_target", {}), 1);
    EXPECT_EQ(num("surface_reset_target", {}), 0);

    // The surface holds the image at (2, 4); the rest is transparent black.
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 4 && y < 7;
            const uint32_t want = inside ? img.at(x - 2, y - 4) : 0u;
            EXPECT_EQ(uint32_t(num("surface_getpixel", {double(surf), double(x), double(y)})),
                      uint32_t(to_game_color(want)))
                << x << "," << y;
        }
    EXPECT_EQ(num("surface_getpixel", {double(surf), 20.0, 0.0}), 0);

    // Drawn back on the screen, the surface's image lands unchanged at (x + 2, y + 4).
    // Resetting the target leaves the surface's viewport and projection, as
    // the drawing pass expects to set its own; here the test is that pass.
    EXPECT_EQ(dev->viewport().w, 20);
    g().device.set_viewport(0, 0, kW, kH);
    g().device.set_projection_2d(0, 0, kW, kH, 0);
    call("draw_surface", {double(surf), 30.0, 8.0});
    EXPECT_EQ(mismatches([&](int x, int y) -> std::optional<uint32_t> {
                  const int ix = x - 32, iy = y - 12;
                  if (ix < 0 || iy < 0 || ix >= 5 || iy >= 3) return kBack;
                  return img.at(ix, iy);
              }),
              0);

    // A negative source x copies from column 0 to x + 5, five pixels narrower.
    const int32_t dst = int32_t(num("surface_create", {20.0, 10.0}));
    call("surface_copy_part", {double(dst), 0.0, 0.0, double(surf), -5.0, 0.0, 12.0, 10.0});
    const CBitmap32 copied = g().surfaces.grab(g(), dst, 0, 0, 20, 10);
    ASSERT_TRUE(copied.exists);
    const CBitmap32 source = g().surfaces.grab(g(), surf, 0, 0, 20, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(copied.at(x, y), x >= 5 && x < 12 ? source.at(x - 5, y) : 0u)
                << x << "," << y;

    // Saved as a Windows bitmap: the whole surface, then a part of it, alpha dropped.
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kx_draw_test";
    std::filesystem::create_directories(dir);
    struct Save {
        std::vector<RValue> args;
        int x, y, w, h;
    };
    const std::string file = (dir / "surface.bmp").string();
    const Save saves[] = {{{double(surf), file.c_str()}, 0, 0, 20, 10},
                          {{double(surf), file.c_str(), 3.0, -2.0, 4.0, 100.0}, 3, 0, 4, 10}};
    for (const Save& sv : saves) {
        std::filesystem::remove(file);
        call(sv.args.size() == 2 ? "surface_save" : "surface_save_part", sv.args);
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        const std::optional<DecodedPicture> pic = decode_bmp(bytes);
        ASSERT_TRUE(pic) << sv.args.size();
        ASSERT_EQ(pic->image.width, sv.w);
        ASSERT_EQ(pic->image.height, sv.h);
        for (int y = 0; y < sv.h; ++y)
            for (int x = 0; x < sv.w; ++x)
                EXPECT_EQ(pic->image.at(x, y), source.at(sv.x + x, sv.y + y) | 0xff000000u);
    }
    std::filesystem::remove_all(dir);

    call("surface_free", {double(surf)});
    EXPECT_EQ(num("surface_exists", {double(surf)}), 0);
    EXPECT_EQ(num("surface_get_width", {double(surf)}), -1);
    EXPECT_EQ(num("texture_exists", {double(tex)}), 0);
    EXPECT_EQ(num("surface_set_target", {double(surf)}), 0);
}

TEST_F(Draw, MissingResourcesReportAndDrawNothing) {
    struct Case {
        const char* name;
        std::vector<RValue> args;
        const char* message;
    };
    const Case cases[] = {
        {"draw_sprite", {5.0, 0.0, 0.0, 0.0}, "Trying to draw non-existing sprite."},
        {"draw_sprite_tiled", {-1.0, 0.0, 0.0, 0.0}, "Trying to draw non-existing sprite."},
        {"draw_background", {3.0, 0.0, 0.0}, "Trying to draw non-existing background."},
        {"draw_surface", {0.0, 0.0, 0.0}, "Trying to use non-existing surface."},
        {"surface_getpixel", {0.0, 0.0, 0.0}, "Trying to use non-existing surface."},
        {"surface_copy", {0.0, 0.0, 0.0, 0.0}, "Trying to use non-existing surface."},
        {"sprite_get_texture", {2.0, 0.0}, "Trying to get texture from non-existing sprite."},
        {"background_get_texture", {2.0}, "Trying to get texture from non-existing background."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        t.script().errors.last.clear();
        call(c.name, c.args);
        EXPECT_NE(last_error().find(c.message), std::string::npos) << last_error();
    }
    const int32_t surf = int32_t(num("surface_create", {4.0, 4.0}));
    t.script().errors.last.clear();
    call("surface_save", {double(surf), ""});
    EXPECT_NE(last_error().find("Trying to save surface to empty image file name."),
              std::string::npos);
    EXPECT_EQ(num("surface_create", {0.0, 4.0}), -1);
    EXPECT_EQ(mismatches([](int, int) { return kBack; }), 0);
}

TEST_F(Draw, QuadsOfOneTextureShareOneDrawCall) {
    const int32_t a = add_sprite({pattern(4, 4, 8)}, 0, 0);
    const int32_t b = add_sprite({pattern(4, 4, 9)}, 0, 0);
    dev->reset_stats();
    for (int i = 0; i < 40; ++i) call("draw_sprite", {double(a), 0.0, double(i), double(i % 7)});
    screen();
    EXPECT_EQ(dev->stats().draw_calls, 1u);
    // Small sprites share a texture page, so alternating them still makes one batch.
    dev->reset_stats();
    for (int i = 0; i < 10; ++i) call("draw_sprite", {double(i % 2 ? a : b), 0.0, 0.0, 0.0});
    screen();
    EXPECT_EQ(dev->stats().draw_calls, 1u);
    // Alternating textures of their own cannot share a batch, which shows what
    // the count measures.
    const int32_t back = add_background(pattern(4, 4, 10));
    dev->reset_stats();
    for (int i = 0; i < 10; ++i) {
        if (i % 2)
            call("draw_sprite", {double(a), 0.0, 0.0, 0.0});
        else
            call("draw_background", {double(back), 0.0, 0.0});
    }
    screen();
    EXPECT_EQ(dev->stats().draw_calls, 10u);
}

TEST_F(Draw, PackedSpritesKeepTheirEdgesUnderFiltering) {
    // Two solid sprites side by side on one page; stretched with filtering,
    // the first must show none of the second at its edges.
    const int32_t a = add_sprite({CBitmap32::blank(4, 4, 0xffff0000u)}, 0, 0);
    add_sprite({CBitmap32::blank(4, 4, 0xff00ff00u)}, 0, 0);
    call("texture_set_interpolation", {1.0});
    call("draw_sprite_stretched", {double(a), 0.0, 0.0, 0.0, 32.0, 32.0});
    const std::vector<uint32_t> got = read(kBackBuffer, {0, 0, 32, 32});
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], 0xffff0000u) << i;
}

}  // namespace
}  // namespace kx
