// Bounding boxes in every mode, collision masks, the image operations and
// loading from picture files.
#include <gtest/gtest.h>

#include "image/picture_file.h"
#include "image/picture_test_util.h"
#include "sprites/background_class.h"
#include "sprites/sprite_class.h"

namespace kx {
namespace {

using test::px;
const uint32_t kClear = px(0, 0, 0, 0);
const uint32_t kInk = px(255, 10, 20, 30);

// A w x h image, see-through but for the opaque pixels listed.
CBitmap32 image(int32_t w, int32_t h, std::initializer_list<std::pair<int, int>> opaque) {
    CBitmap32 img = CBitmap32::blank(w, h, kClear);
    for (auto [x, y] : opaque) img.at(x, y) = kInk;
    return img;
}

CSprite sprite_of(std::vector<CBitmap32> subs, int32_t w, int32_t h, int32_t mode,
                  bool transparent) {
    CSprite s;
    s.set_stored(w, h, mode, {-9, -9, -9, -9}, std::move(subs));
    s.set_transparent(transparent);
    s.compute_bbox();
    return s;
}

TEST(SpriteBox, EveryMode) {
    struct Case {
        const char* what;
        std::vector<CBitmap32> subs;
        int32_t w, h, mode;
        bool transparent;
        BitmapBox want;
    };
    const Case cases[] = {
        {"automatic: union of the subimages' opaque boxes",
         {image(8, 6, {{2, 3}}), image(8, 6, {{5, 1}, {4, 4}})},
         8,
         6,
         0,
         true,
         {2, 1, 5, 4}},
        {"automatic, all see-through: inverted box",
         {image(8, 6, {}), image(8, 6, {})},
         8,
         6,
         0,
         true,
         {7, 5, 0, 0}},
        {"automatic without subimages", {}, 8, 6, 0, true, {0, 0, 0, 0}},
        {"automatic, not transparent: full image",
         {image(8, 6, {{2, 3}})},
         8,
         6,
         0,
         false,
         {0, 0, 7, 5}},
        {"full image", {image(8, 6, {{2, 3}})}, 8, 6, 1, true, {0, 0, 7, 5}},
        {"manual: unchanged", {image(8, 6, {{2, 3}})}, 8, 6, 2, true, {-9, -9, -9, -9}},
        // Pixels of a larger subimage beyond the sprite's size do not widen it.
        {"automatic, clamped to the sprite",
         {image(10, 10, {{1, 1}, {9, 9}})},
         6,
         4,
         0,
         true,
         {1, 1, 1, 1}},
        {"automatic, smaller subimage", {image(3, 2, {})}, 6, 4, 0, true, {2, 1, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sprite_of(c.subs, c.w, c.h, c.mode, c.transparent).bbox(), c.want) << c.what;
}

TEST(SpriteBox, ModeChangesAndManualBox) {
    CSprite s;
    s.set_from_image(image(8, 6, {{3, 2}}), true, true, 0, 0, true, false, true);
    EXPECT_EQ(s.bbox(), (BitmapBox{3, 2, 3, 2}));
    s.set_bbox(0, 0, 1, 1);  // only in manual mode
    EXPECT_EQ(s.bbox(), (BitmapBox{3, 2, 3, 2}));
    s.set_bbox_mode(2);  // the current box becomes the manual one
    EXPECT_EQ(s.bbox(), (BitmapBox{3, 2, 3, 2}));
    s.set_bbox(1, 2, 30, 40);
    EXPECT_EQ(s.bbox(), (BitmapBox{1, 2, 30, 40}));
    s.set_bbox_mode(3);  // not a mode
    EXPECT_EQ(s.bbox_mode(), 2);
    s.set_bbox_mode(1);
    EXPECT_EQ(s.bbox(), (BitmapBox{0, 0, 7, 5}));
    s.set_bbox_mode(0);
    EXPECT_EQ(s.bbox(), (BitmapBox{3, 2, 3, 2}));
}

TEST(SpriteMask, BuiltOnlyWhenPreciseAndTransparent) {
    const CBitmap32 a = image(5, 4, {{0, 0}, {4, 3}}), b = image(5, 4, {{2, 1}});
    CSprite s;
    s.set_from_image(a, true, true, 0, 0, true, false, true);
    s.add_image(b, true);
    ASSERT_TRUE(s.has_masks());
    for (int i = 0; i < 2; ++i)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(s.mask(i)->test(x, y), ((i ? b : a).at(x, y) >> 24) != 0)
                    << i << " " << x << "," << y;
    EXPECT_FALSE(s.mask(0)->test(-1, 0));
    EXPECT_FALSE(s.mask(0)->test(5, 0));

    s.set_precise(false);
    EXPECT_FALSE(s.has_masks());
    EXPECT_EQ(s.mask(0), nullptr);
    s.set_precise(true);
    EXPECT_TRUE(s.has_masks());

    CSprite opaque;  // precise but not transparent: maskless, full box
    opaque.set_from_image(a, true, true, 0, 0, true, false, false);
    EXPECT_FALSE(opaque.has_masks());
    EXPECT_EQ(opaque.bbox(), (BitmapBox{0, 0, 4, 3}));
}

TEST(SpriteImages, AddMergeAssignAndAlpha) {
    CSprite s;
    s.set_from_image(image(4, 4, {{1, 1}}), true, true, 2, 2, true, false, true);
    // A 2 x 2 image grows to the sprite's 4 x 4 by nearest neighbour.
    CBitmap32 small = CBitmap32::blank(2, 2, kClear);
    small.at(1, 1) = kInk;
    s.add_image(small, true);
    ASSERT_EQ(s.subimage_count(), 2);
    EXPECT_EQ(s.subimages()[1].width, 4);
    EXPECT_EQ(s.subimages()[1].at(3, 3), kInk);
    EXPECT_EQ(s.subimages()[1].at(1, 1), kClear);
    EXPECT_EQ(s.bbox(), (BitmapBox{1, 1, 3, 3}));

    CSprite m;
    m.merge(s);  // an empty sprite takes the other's size
    m.merge(m);  // merging with itself doubles it
    EXPECT_EQ(m.subimage_count(), 4);
    EXPECT_EQ(m.width(), 4);

    CSprite c;
    c.assign(s);
    EXPECT_EQ(c.bbox(), s.bbox());
    EXPECT_EQ(c.xoffset(), 2);
    EXPECT_TRUE(c.has_masks());
    EXPECT_EQ(c.subimages()[1].pixels, s.subimages()[1].pixels);

    // Alpha from a black sprite hides everything; box and masks stay as they were.
    CSprite black;
    black.set_from_image(CBitmap32::blank(4, 4, px(255, 0, 0, 0)), true, true, 0, 0, true, false,
                         false);
    c.alpha_from_sprite(black);
    EXPECT_EQ(c.subimages()[0].at(1, 1) >> 24, 0u);
    EXPECT_EQ(c.bbox(), (BitmapBox{1, 1, 3, 3}));
    EXPECT_TRUE(c.mask(0)->test(1, 1));

    EXPECT_EQ(s.subimage_opaque_box(0), (BitmapBox{1, 1, 1, 1}));
    EXPECT_EQ(s.subimage_opaque_box(2), (BitmapBox{0, 0, 0, 0}));
    EXPECT_EQ(s.subimage_to_24bit(0).at(0, 0) >> 24, 255u);
    EXPECT_FALSE(s.subimage_to_24bit(-1).exists);

    s.clear();
    EXPECT_EQ(s.subimage_count(), 0);
    EXPECT_EQ(s.width(), 1);
    EXPECT_TRUE(s.transparent());
    EXPECT_TRUE(s.preload());
    EXPECT_TRUE(s.precise());
    EXPECT_FALSE(s.smooth());
    EXPECT_FALSE(s.has_masks());
}

// A 100 x 20 strip in 3 parts: 33-pixel subimages, the last column unused.
TEST(SpriteFile, StripIsCutIntoSubimages) {
    CBitmap32 strip = CBitmap32::blank(100, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x) strip.at(x, y) = px(255, static_cast<uint32_t>(x), 7, 7);
    strip.at(0, 19) = px(255, 1, 2, 3);  // the key colour: bottom-left
    const std::vector<uint8_t> png = encode_png(strip.to_24bit());
    CSprite s;
    ASSERT_TRUE(s.load_from_bytes("strip.png", png, 3, 4, 5, true, false, false, true));
    ASSERT_EQ(s.subimage_count(), 3);
    EXPECT_EQ(s.width(), 33);
    EXPECT_EQ(s.height(), 20);
    EXPECT_EQ(s.subimages()[2].at(32, 0), px(255, 98, 7, 7));
    EXPECT_EQ(s.subimages()[0].at(0, 19) >> 24, 0u) << "keyed out";
    EXPECT_EQ(s.bbox(), (BitmapBox{0, 0, 32, 19}));
    EXPECT_EQ(s.xoffset(), 4);
    EXPECT_FALSE(s.preload());
    EXPECT_TRUE(s.has_masks());
    EXPECT_FALSE(s.mask(0)->test(0, 19));

    // A count beyond the width cannot make empty subimages.
    CSprite many;
    ASSERT_TRUE(many.load_from_bytes("s.png", png, 1000000, 0, 0, false, false, true, true));
    EXPECT_EQ(many.subimage_count(), 100);

    // Failures leave the sprite as it was.
    EXPECT_FALSE(s.load_from_bytes("bad.png", std::vector<uint8_t>{1, 2, 3}, 1, 0, 0, true, false,
                                   true, true));
    EXPECT_FALSE(s.load_from_file("/nonexistent/kx_none.png", 1, 0, 0, true, false, true, true));
    EXPECT_EQ(s.subimage_count(), 3);
}

// Frames of an animated GIF on a canvas of the key colour: a no-disposal frame
// stays below the next one, others are cleared away.
TEST(SpriteFile, AnimatedGifAccumulatesNoDisposalFrames) {
    if (!test::have_convert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    test::ScratchDir dir;
    const uint32_t R = px(255, 255, 0, 0), G = px(255, 0, 255, 0), B = px(255, 0, 0, 255);
    test::write_netpbm(dir.file("f1.pam"), CBitmap32::blank(2, 2, R), true);
    test::write_netpbm(dir.file("f2.pam"), CBitmap32::blank(1, 1, G), true);
    test::write_netpbm(dir.file("f3.pam"), CBitmap32::blank(1, 1, B), true);
    ASSERT_TRUE(test::run_convert("-dispose None -page 4x3+0+0 " + dir.file("f1.pam") +
                                  " -dispose Background -page 4x3+3+2 " + dir.file("f2.pam") +
                                  " -dispose None -page 4x3+3+0 " + dir.file("f3.pam") +
                                  " GIF:" + dir.file("a.GIF")));
    CSprite s;
    ASSERT_TRUE(s.load_from_file(dir.file("a.GIF"), 99, 0, 0, false, false, true, false));
    ASSERT_EQ(s.subimage_count(), 3);
    EXPECT_EQ(s.width(), 4);
    EXPECT_EQ(s.height(), 3);
    const uint32_t K = px(255, 64, 128, 0);
    EXPECT_EQ(s.subimages()[0].at(1, 1), R);
    EXPECT_EQ(s.subimages()[0].at(3, 2), K);
    EXPECT_EQ(s.subimages()[1].at(1, 1), R) << "frame 1 did not dispose";
    EXPECT_EQ(s.subimages()[1].at(3, 2), G);
    EXPECT_EQ(s.subimages()[2].at(1, 1), K) << "frame 2 cleared the canvas";
    EXPECT_EQ(s.subimages()[2].at(3, 2), K);
    EXPECT_EQ(s.subimages()[2].at(3, 0), B);
    EXPECT_EQ(s.bbox(), (BitmapBox{0, 0, 3, 2}));
}

TEST(BackgroundOps, LoadSolidGradientAndAlpha) {
    CBitmap32 pic = CBitmap32::blank(3, 2, px(255, 9, 9, 9));
    pic.at(1, 0) = px(255, 100, 100, 100);
    CBackground b;
    ASSERT_TRUE(b.load_from_bytes(encode_png(pic), true, false, true));
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.height(), 2);
    EXPECT_TRUE(b.transparent());
    EXPECT_EQ(b.image().at(0, 0) >> 24, 0u) << "bottom-left colour keyed out";
    EXPECT_EQ(b.image().at(1, 0), px(255, 100, 100, 100));
    EXPECT_FALSE(b.load_from_bytes(std::vector<uint8_t>{0, 1}, false, false, false));
    EXPECT_EQ(b.width(), 3);

    CBackground g;
    g.gradient(4, 1, 0x000000, 0x000000, 0, true);
    EXPECT_EQ(g.width(), 4);
    EXPECT_FALSE(g.transparent());
    b.alpha_from_background(g);  // black over the first row: hidden there only
    EXPECT_EQ(b.image().at(1, 0) >> 24, 0u);
    EXPECT_EQ(b.image().at(1, 1) >> 24, 0u);  // was keyed already
    b.alpha_from_background(b);

    CBackground c;
    c.assign(b);
    EXPECT_EQ(c.image().pixels, b.image().pixels);
    EXPECT_TRUE(c.preload());
    c.solid_colour(0, -3, 0x00FF00, false);
    EXPECT_EQ(c.width(), 1);
    EXPECT_FALSE(c.transparent());
    EXPECT_EQ(c.image().at(0, 0), px(255, 0, 255, 0));
    c.clear();
    EXPECT_FALSE(c.has_image());
    EXPECT_EQ(c.width(), 0);
}

}  // namespace
}  // namespace kx
