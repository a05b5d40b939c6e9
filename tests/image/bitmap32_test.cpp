// CBitmap32 operations.
#include "image/bitmap32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "image/picture_file.h"

namespace kx {
namespace {

uint32_t px(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// Pictures written as rows of letters; each letter a colour.
const std::map<char, uint32_t> kColours = {
    {'A', px(255, 200, 10, 10)}, {'B', px(255, 10, 200, 10)}, {'C', px(255, 10, 10, 200)},
    {'D', px(255, 90, 90, 0)},   {'K', px(255, 1, 2, 3)},     {'P', px(32, 50, 60, 70)},
};

CBitmap32 picture(std::initializer_list<const char*> rows) {
    const int h = static_cast<int>(rows.size()), w = static_cast<int>(std::strlen(*rows.begin()));
    CBitmap32 img = CBitmap32::blank(w, h);
    int y = 0;
    for (const char* row : rows) {
        for (int x = 0; x < w; ++x) img.at(x, y) = kColours.at(row[x]);
        ++y;
    }
    return img;
}

std::vector<uint32_t> alphas(const CBitmap32& img) {
    std::vector<uint32_t> a;
    for (uint32_t p : img.pixels) a.push_back(p >> 24);
    return a;
}

std::vector<uint32_t> colours(const CBitmap32& img) {
    std::vector<uint32_t> c;
    for (uint32_t p : img.pixels) c.push_back(p & 0xFFFFFF);
    return c;
}

uint32_t rgb(char c) {
    return kColours.at(c) & 0xFFFFFF;
}

TEST(Bitmap32Keying, BottomLeftColourIsKeyedAndHiddenPixelsBorrowColour) {
    struct Case {
        const char* name;
        CBitmap32 image;
        std::vector<uint32_t> alpha;
        std::vector<uint32_t> colour;
    };
    const Case cases[] = {
        // The key occurs once: exactly one hidden pixel, coloured from its right.
        {"single",
         picture({"ABC", "KAB"}),
         {255, 255, 255, 0, 255, 255},
         {rgb('A'), rgb('B'), rgb('C'), rgb('A'), rgb('A'), rgb('B')}},
        // Neighbours are tried left, right, above, below; hidden ones are skipped.
        {"neighbour order",
         picture({"AKB", "KKC", "KDK"}),
         {255, 0, 255, 0, 0, 255, 0, 255, 0},
         {rgb('A'), rgb('A'), rgb('B'), rgb('A'), rgb('C'), rgb('C'), rgb('D'), rgb('D'),
          rgb('D')}},
        // Nothing visible: everything hidden, colours kept.
        {"uniform", picture({"KK", "KK"}), {0, 0, 0, 0}, {rgb('K'), rgb('K'), rgb('K'), rgb('K')}},
    };
    for (const Case& c : cases) {
        CBitmap32 img = CBitmap32::from_24bit(c.image, false, true);
        EXPECT_EQ(alphas(img), c.alpha) << c.name;
        EXPECT_EQ(colours(img), c.colour) << c.name;
    }
    EXPECT_EQ(CBitmap32::from_24bit(picture({"KK", "KK"}), false, true).opaque_bbox(),
              (BitmapBox{1, 1, 0, 0}));
}

TEST(Bitmap32Keying, FlagsDecideWhatHappens) {
    CBitmap32 src = picture({"AA", "KP"});  // P is a see-through pixel (alpha 32)
    struct Case {
        bool from32, smooth, transparent;
        std::vector<uint32_t> alpha;
    };
    const Case cases[] = {
        {false, false, false, {255, 255, 255, 255}},  // 24-bit: all opaque, no keying
        {false, true, false, {255, 255, 255, 255}},   // smooth alone does nothing
        {false, false, true, {255, 255, 0, 255}},
        {false, true, true, {223, 223, 0, 223}},
        {true, false, false, {255, 255, 255, 32}},  // 32-bit keeps its own alpha
        {true, false, true, {255, 255, 0, 32}},
        // The key pixel takes 32 from P, which is hidden when it is visited
        // next and takes 32 more from its own neighbours.
        {true, true, true, {191, 191, 0, 0}},
    };
    for (const Case& c : cases) {
        CBitmap32 img = c.from32 ? CBitmap32::from_32bit(src, c.smooth, c.transparent)
                                 : CBitmap32::from_24bit(src, c.smooth, c.transparent);
        EXPECT_EQ(alphas(img), c.alpha) << c.from32 << c.smooth << c.transparent;
    }
    EXPECT_FALSE(CBitmap32::from_24bit(CBitmap32{}, true, true).exists);
}

TEST(Bitmap32Keying, SmoothingWorksInPlaceInRowOrder) {
    CBitmap32 img = CBitmap32::from_24bit(picture({"AAAA", "AKAA", "KAAA"}), true, true);
    // (1,1) is visited first and takes 32 from its whole block; (0,2) then takes
    // 32 more from the pixels of its block that are still visible.
    EXPECT_EQ(alphas(img),
              (std::vector<uint32_t>{223, 223, 223, 255, 191, 0, 223, 255, 0, 191, 223, 255}));
}

TEST(Bitmap32, GraphicIsDrawnOnTheKeyCanvas) {
    DecodedPicture g;
    g.image = CBitmap32::blank(3, 1);
    g.image.pixels = {px(255, 10, 20, 30), px(128, 255, 255, 255), px(0, 99, 99, 99)};
    g.has_alpha = true;
    const uint32_t key = 0x408000,
                   half = px(255, 160, 192, 128);  // white at 128/255 over R=64, G=128, B=0
    struct Case {
        bool transparent;
        bool has_alpha;
        std::vector<uint32_t> want;
    };
    const Case cases[] = {
        {false, true, {px(255, 10, 20, 30), px(255, 128, 128, 128), px(255, 0, 0, 0)}},
        // The hidden pixel shows the canvas colour; in one row the first pixel
        // is the bottom-left one, so its colour is the key.
        {true, true, {0x00A0C080u, half, 0xFF000000u | key}},
        {false, false, {px(255, 10, 20, 30), px(255, 255, 255, 255), px(255, 99, 99, 99)}},
    };
    for (const Case& c : cases) {
        g.has_alpha = c.has_alpha;
        EXPECT_EQ(CBitmap32::from_graphic(g, false, c.transparent).pixels, c.want)
            << c.transparent << c.has_alpha;
    }
    // An icon whose corner is see-through: the canvas colour becomes the key.
    g.image = CBitmap32::blank(2, 2, px(255, 5, 5, 5));
    g.image.at(0, 1) = 0;
    g.has_alpha = true;
    CBitmap32 img = CBitmap32::from_graphic(g, false, true);
    EXPECT_EQ(alphas(img), (std::vector<uint32_t>{255, 255, 0, 255}));
    EXPECT_EQ(img.at(0, 1) & 0xFFFFFF, 0x050505u);
    EXPECT_EQ(CBitmap32::from_graphic(DecodedPicture{}, false, true).width, 1);
}

TEST(Bitmap32, SolidAndGradient) {
    const uint32_t red = 0x0000FF, blue = 0xFF0000;  // game colours
    auto col = [](uint32_t r, uint32_t b) { return px(255, r, 0, b); };
    const uint32_t c1 = col(255, 0), c2 = col(0, 255), mid = col(128, 128);  // 127.5 rounds to even
    struct Case {
        int w, h, kind;
        std::vector<uint32_t> want;
    };
    const Case cases[] = {
        {4, 1, 0, {c1, col(191, 64), mid, col(64, 191)}},
        {1, 4, 1, {c1, col(191, 64), mid, col(64, 191)}},
        {5, 1, 4, {c1, mid, c2, c2, mid}},  // x = w lies outside, so the columns are uneven
        {1, 4, 5, {c1, mid, c2, mid}},
        {2, 1, 9, {0xFF000000u, 0xFF000000u}},
        {1, 1, 2, {c1}},  // n = 0: no division by zero
    };
    for (const Case& c : cases)
        EXPECT_EQ(CBitmap32::gradient(c.w, c.h, red, blue, c.kind).pixels, c.want) << c.kind;

    CBitmap32 rect = CBitmap32::gradient(5, 5, red, blue, 2);
    EXPECT_EQ(rect.at(0, 0), c1);
    EXPECT_EQ(rect.at(1, 1), mid);
    EXPECT_EQ(rect.at(2, 2), c2);
    EXPECT_EQ(rect.at(3, 3), mid);
    EXPECT_EQ(rect.at(4, 4), c1);
    CBitmap32 ell = CBitmap32::gradient(5, 5, red, blue, 3);
    EXPECT_EQ(ell.at(0, 0), c1);
    EXPECT_EQ(ell.at(2, 2), c2);
    EXPECT_EQ(ell.at(1, 2), mid);

    CBitmap32 g = CBitmap32::gradient(0, -3, red, blue, 0);
    EXPECT_EQ(g.width, 1);
    EXPECT_EQ(g.height, 1);
    EXPECT_EQ(CBitmap32::solid(2, 0, 0x00332211).pixels,
              (std::vector<uint32_t>{0xFF112233u, 0xFF112233u}));
    EXPECT_FALSE(CBitmap32::solid(1 << 20, 1 << 20, 0).exists);
    EXPECT_FALSE(CBitmap32::gradient(1 << 20, 1 << 20, 0, 0, 0).exists);
}

TEST(Bitmap32, SubImage) {
    CBitmap32 src = CBitmap32::blank(4, 3);
    for (size_t i = 0; i < src.pixels.size(); ++i) src.pixels[i] = static_cast<uint32_t>(i);
    struct Case {
        int x, y, w, h;
        std::vector<uint32_t> want;
        bool exists;
    };
    const Case cases[] = {
        {1, 1, 2, 2, {5, 6, 9, 10}, true}, {3, 2, 1, 1, {11}, true}, {0, 0, 4, 3, src.pixels, true},
        {3, 0, 2, 1, {}, false},           {-1, 0, 1, 1, {}, false}, {0, 0, 0, 1, {}, false},
        {0, 2, 1, 2, {}, false},
    };
    for (const Case& c : cases) {
        CBitmap32 part = CBitmap32::sub_image(src, c.x, c.y, c.w, c.h);
        EXPECT_EQ(part.exists, c.exists) << c.x << "," << c.y << " " << c.w << "x" << c.h;
        if (c.exists) {
            EXPECT_EQ(part.pixels, c.want);
        }
    }
    EXPECT_FALSE(CBitmap32::sub_image(CBitmap32{}, 0, 0, 1, 1).exists);
}

TEST(Bitmap32, ResizeNearest) {
    CBitmap32 src = CBitmap32::blank(3, 2);
    src.pixels = {1, 2, 3, 4, 5, 6};
    struct Case {
        int w, h;
        std::vector<uint32_t> want;
    };
    const Case cases[] = {
        {6, 2, {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6}},
        {2, 1, {1, 2}},  // floor(j * 3 / 2)
        {1, 4, {1, 1, 4, 4}},
        {0, 0, {1}},  // raised to 1 x 1
    };
    for (const Case& c : cases) {
        CBitmap32 img = src;
        ASSERT_TRUE(img.resize(c.w, c.h));
        EXPECT_EQ(img.pixels, c.want) << c.w << "x" << c.h;
    }
    CBitmap32 none;
    EXPECT_FALSE(none.resize(2, 2));
    CBitmap32 img = src;
    EXPECT_FALSE(img.resize(1 << 20, 1 << 20));
    EXPECT_EQ(img.pixels, src.pixels);
}

TEST(Bitmap32, AlphaFromOtherAndBoundingBox) {
    CBitmap32 img = CBitmap32::blank(3, 2, px(255, 1, 1, 1));
    img.at(1, 0) = px(10, 1, 1, 1);
    CBitmap32 other = CBitmap32::blank(2, 1, px(0, 30, 60, 90));  // (30 + 60 + 90) div 3 = 60
    other.at(0, 0) = px(0, 255, 255, 254);                        // 764 div 3 = 254
    img.alpha_from(other);
    EXPECT_EQ(alphas(img), (std::vector<uint32_t>{254, 10, 255, 255, 255, 255}));

    struct Case {
        std::vector<uint32_t> alpha;
        BitmapBox want;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0, 0}, {2, 1, 0, 0}},
        {{0, 0, 0, 0, 1, 0}, {1, 1, 1, 1}},
        {{0, 0, 9, 1, 0, 0}, {0, 0, 2, 1}},
        {{255, 255, 255, 255, 255, 255}, {0, 0, 2, 1}},
    };
    for (const Case& c : cases) {
        CBitmap32 b = CBitmap32::blank(3, 2);
        for (size_t i = 0; i < 6; ++i) b.pixels[i] = c.alpha[i] << 24;
        EXPECT_EQ(b.opaque_bbox(), c.want);
    }
    EXPECT_EQ(CBitmap32{}.opaque_bbox(), (BitmapBox{0, 0, 0, 0}));
    EXPECT_EQ(alphas(img.to_24bit()), std::vector<uint32_t>(6, 255));
    EXPECT_EQ(colours(img.to_24bit()), colours(img));
}

TEST(Bitmap32, TextureBuffers) {
    CBitmap32 img = CBitmap32::blank(5, 3);
    for (size_t i = 0; i < img.pixels.size(); ++i) img.pixels[i] = static_cast<uint32_t>(i);
    // 5 x 3 in 8 x 4: a 6 x 4 block whose last column and row repeat the edge.
    CBitmap32 band = img.edge_banded(8, 4);
    ASSERT_EQ(band.width, 6);
    ASSERT_EQ(band.height, 4);
    EXPECT_EQ(band.pixels, (std::vector<uint32_t>{0,  1,  2,  3,  4,  4,  5,  6,  7,  8,  9,  9,
                                                  10, 11, 12, 13, 14, 14, 10, 11, 12, 13, 14, 14}));
    struct Case {
        int tw, th, w, h;
    };
    for (const Case& c : {Case{5, 3, 5, 3}, Case{8, 3, 6, 3}, Case{5, 16, 5, 4}})
        EXPECT_EQ(
            std::make_pair(img.edge_banded(c.tw, c.th).width, img.edge_banded(c.tw, c.th).height),
            std::make_pair(c.w, c.h))
            << c.tw << "x" << c.th;

    const uint8_t a[] = {0, 128, 255};
    EXPECT_EQ(CBitmap32::from_alpha(2, 2, a).pixels,
              (std::vector<uint32_t>{0x00FFFFFFu, 0x80FFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu}));
    EXPECT_FALSE(CBitmap32::from_alpha(0, 2, a).exists);
}

}  // namespace
}  // namespace kx
