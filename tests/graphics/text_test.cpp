// Text drawn through the real device offscreen and read back: a sprite font
// whose glyph positions are worked out by hand, and a page font compared
// with the same face rendered by FreeType directly.
#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gamedata/gamedata_state.h"
#include "graphics/graphics_state.h"
#include "graphics/graphics_text.h"
#include "graphics/texture_main.h"
#include "platform/system_font.h"
#include "script/code_function.h"
#include "script/script_state.h"
#include "sprites/sprite_state.h"
#include "support/draw_support.h"
#include "support/test_runtime.h"

namespace kx {
namespace {

constexpr uint32_t kBack = 0xff000000u;

class Text : public ::testing::Test {
protected:
    static constexpr int kW = 64, kH = 48;

    void SetUp() override {
        t.state<GameDataState>().settings.DisplayErrors = false;
        std::string error;
        dev = test::offscreen_device(kW, kH, &error);
        ASSERT_TRUE(dev) << "no OpenGL 3.3 context: " << error;
        attach_drawing_device(g(), res(), dev.get(), kW, kH);
        dev->clear(true, false, kBack);
        g().device.set_draw_colour(0xffffff);
    }

    GraphicsState& g() { return t.state<GraphicsState>(); }
    SpriteState& res() { return t.state<SpriteState>(); }

    RValue call(const char* name, std::vector<RValue> args) {
        const FunctionTable& table = t.script().functions;
        const int f = table.find(name);
        EXPECT_GE(f, 0) << name;
        if (f < 0) return {};
        EXPECT_EQ(table.argument_count(f), int(args.size())) << name;
        RValue result;
        table.at(f).handler(nullptr, nullptr, int(args.size()), result, args.data());
        return result;
    }
    std::vector<uint32_t> screen() {
        std::vector<uint32_t> px(size_t(kW) * kH, 0xdeadbeef);
        EXPECT_TRUE(dev->read_pixels(kBackBuffer, {0, 0, kW, kH}, px.data(), kW));
        return px;
    }
    int32_t add_sprite(const std::vector<CBitmap32>& images) {
        const int32_t id = res().sprites.add_empty();
        CSprite& s = *res().sprites.get(id);
        s.set_from_image(images[0], true, false, 0, 0, false, false, false);
        for (size_t i = 1; i < images.size(); ++i) s.add_image(images[i], true);
        return id;
    }

    std::unique_ptr<IDrawDevice> dev;
    test::TestRuntime t;
};

RValue real(double v) {
    RValue r;
    r.set_real(v);
    return r;
}
RValue text(const char* s) {
    RValue r;
    r.set_string(KxString(s));
    return r;
}

// Each character of the sprite font is a solid 4 x 6 block of its own colour
// (the space is clear), so every glyph can be found on the screen.
uint32_t glyph_colour(int c) {
    return 0xff000000u | uint32_t((c * 37) & 255) << 16 | uint32_t((c * 91) & 255) << 8 |
           uint32_t((c * 53 + 40) & 255);
}

TEST_F(Text, SpriteFontBlockLandsEveryGlyphAtItsWorkedOutPlace) {
    // Characters 32 .. 95, not proportional, separation 1: every advance is
    // 4 + 1 = 5 and the line height 6.
    std::vector<CBitmap32> images;
    for (int c = 32; c <= 95; ++c)
        images.push_back(CBitmap32::blank(4, 6, c == ' ' ? 0u : glyph_colour(c)));
    const int32_t spr = add_sprite(images);
    const double font = call("font_add_sprite", {real(spr), real(32), real(0), real(1)}).real;
    call("draw_set_font", {real(font)});

    // "AB CD EF" wraps at 20 into "AB " (15), "CD " (15), "EF" (10); then the
    // escaped hash gives the single line "G#H" (15). Lines are 8 apart.
    // Left at x 2 from the top at y 1; centred on x 32 with the block's
    // middle at y 17 (up by 4 * 8 div 2 = 16); right at x 60 with its bottom
    // at y 33 (up by 32). Centring moves a line left by width div 2.
    const char* block = "AB CD EF#G\\#H";
    call("draw_set_halign", {real(0)});
    call("draw_set_valign", {real(0)});
    call("draw_text_ext", {real(2), real(1), text(block), real(8), real(20)});
    call("draw_set_halign", {real(1)});
    call("draw_set_valign", {real(1)});
    call("draw_text_ext", {real(32), real(17), text(block), real(8), real(20)});
    call("draw_set_halign", {real(2)});
    call("draw_set_valign", {real(2)});
    call("draw_text_ext", {real(60), real(33), text(block), real(8), real(20)});

    struct Placed {
        char c;
        int x, y;
    };
    const Placed expected[] = {
        // left
        {'A', 2, 1},
        {'B', 7, 1},
        {'C', 2, 9},
        {'D', 7, 9},
        {'E', 2, 17},
        {'F', 7, 17},
        {'G', 2, 25},
        {'#', 7, 25},
        {'H', 12, 25},
        // centre: 32 - 7 for the 15-wide lines, 32 - 5 for "EF"
        {'A', 25, 1},
        {'B', 30, 1},
        {'C', 25, 9},
        {'D', 30, 9},
        {'E', 27, 17},
        {'F', 32, 17},
        {'G', 25, 25},
        {'#', 30, 25},
        {'H', 35, 25},
        // right: 60 - 15, and 60 - 10 for "EF"
        {'A', 45, 1},
        {'B', 50, 1},
        {'C', 45, 9},
        {'D', 50, 9},
        {'E', 50, 17},
        {'F', 55, 17},
        {'G', 45, 25},
        {'#', 50, 25},
        {'H', 55, 25},
    };
    std::vector<uint32_t> want(size_t(kW) * kH, kBack);
    for (const Placed& p : expected)
        for (int y = p.y; y < p.y + 6; ++y)
            for (int x = p.x; x < p.x + 4; ++x) want[size_t(y) * kW + x] = glyph_colour(p.c);
    const std::vector<uint32_t> got = screen();
    int wrong = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (got[size_t(y) * kW + x] != want[size_t(y) * kW + x] && ++wrong <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " got " << std::hex
                              << got[size_t(y) * kW + x] << " want " << want[size_t(y) * kW + x];
    EXPECT_EQ(wrong, 0);
}

TEST_F(Text, ProportionalSpriteFontMovesByEachBoxAndSeparation) {
    // 'A' is opaque in columns 1..3, 'B' in columns 0..1 of a 6 x 4 sprite.
    // With separation 2: A advances 3 + 2 - 1 = 4 and is drawn 1 to the
    // left, B advances 1 + 2 - 0 = 3. "ABA" from x 10: A's columns at 10..12,
    // B's at 14..15, the second A's at 17..19.
    auto image = [](int from, int to) {
        CBitmap32 b = CBitmap32::blank(6, 4, 0);
        for (int y = 0; y < 4; ++y)
            for (int x = from; x <= to; ++x) b.at(x, y) = 0xffffffffu;
        return b;
    };
    const int32_t spr = add_sprite({image(1, 3), image(0, 1)});
    const double font = call("font_add_sprite", {real(spr), real('A'), real(1), real(2)}).real;
    call("draw_set_font", {real(font)});
    call("draw_text", {real(10), real(5), text("ABA")});
    // Character 200 lies outside the range, which holds no space: it draws
    // nothing and advances by the first character's 4, so B lands at 34.
    call("draw_text", {real(30), real(20),
                       text("\xc8"
                            "B")});
    EXPECT_EQ(call("string_width", {text("\xc8"
                                         "B")})
                  .real,
              7);
    EXPECT_EQ(call("string_width", {text("ABA")}).real, 11);
    EXPECT_EQ(call("string_height", {text("ABA")}).real, 4);
    const std::vector<uint32_t> got = screen();
    for (int x = 0; x < kW; ++x) {
        const bool lit = (x >= 10 && x <= 12) || (x >= 14 && x <= 15) || (x >= 17 && x <= 19);
        const bool lit2 = x >= 34 && x <= 35;
        for (int y = 0; y < kH; ++y) {
            const bool on = (lit && y >= 5 && y < 9) || (lit2 && y >= 20 && y < 24);
            EXPECT_EQ(got[size_t(y) * kW + x], on ? 0xffffffffu : kBack) << x << "," << y;
        }
    }
}

// The text as FreeType renders it with a plain pen: each character's
// coverage at pen + left, baseline - top; the pen moves by the advance.
std::vector<int> freetype_text(const std::string& file, int points, const std::string& s, int x0,
                               int y0, int w, int h) {
    std::vector<int> cov(size_t(w) * h, 0);
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) return cov;
    FT_Face face;
    if (FT_New_Face(lib, file.c_str(), 0, &face)) {
        FT_Done_FreeType(lib);
        return cov;
    }
    FT_Set_Char_Size(face, 0, points * 64, 96, 96);
    const int baseline = y0 + int((face->size->metrics.ascender + 63) >> 6);
    int pen = x0;
    for (unsigned char ch : s) {
        FT_Load_Char(face, ch, FT_LOAD_RENDER);
        const FT_Bitmap& bm = face->glyph->bitmap;
        for (unsigned j = 0; j < bm.rows; ++j)
            for (unsigned i = 0; i < bm.width; ++i) {
                const int x = pen + face->glyph->bitmap_left + int(i);
                const int y = baseline - face->glyph->bitmap_top + int(j);
                if (x >= 0 && y >= 0 && x < w && y < h)
                    cov[size_t(y) * w + x] =
                        std::max(cov[size_t(y) * w + x], int(bm.buffer[j * bm.pitch + i]));
            }
        pen += int((face->glyph->advance.x + 32) >> 6);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return cov;
}

TEST_F(Text, PageFontMatchesTheFaceRenderedByFreeTypeDirectly) {
    // White text on black shows the page's alpha as grey levels.
    for (const char* family : {"Arial", "Times New Roman", "Courier New"}) {
        SCOPED_TRACE(family);
        dev->clear(true, false, kBack);
        auto face = open_system_font(family, 14, false, false);
        ASSERT_TRUE(face);
        const double font =
            call("font_add", {text(family), real(14), real(0), real(0), real(32), real(127)}).real;
        call("draw_set_font", {real(font)});
        call("draw_text", {real(3), real(4), text("Wg,|ji%")});
        const std::vector<int> want = freetype_text(face->file(), 14, "Wg,|ji%", 3, 4, kW, kH);
        const std::vector<uint32_t> got = screen();
        int placed_wrong = 0, off = 0, lit = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            const int r = int(got[i] >> 16) & 255;
            // Where a pixel is covered at all must agree exactly; the level
            // may differ by the device's rounding of the blend.
            if ((r > 0) != (want[i] > 0)) ++placed_wrong;
            if (std::abs(r - want[i]) > 2) ++off;
            lit += want[i] > 0;
        }
        EXPECT_GT(lit, 60);
        EXPECT_EQ(placed_wrong, 0);
        EXPECT_EQ(off, 0);
    }
}

TEST_F(Text, TransformedAndColouredTextFollowTheirRules) {
    // A sprite font of one white 3 x 3 block for 'A'; advance 3 + 1.
    const int32_t spr = add_sprite({CBitmap32::blank(3, 3, 0xffffffffu)});
    const double font = call("font_add_sprite", {real(spr), real('A'), real(0), real(1)}).real;
    call("draw_set_font", {real(font)});
    // Scaled by 2 at angle 0: glyphs at 10 and 10 + 4 * 2, each 6 x 6.
    call("draw_text_transformed", {real(10), real(2), text("AA"), real(2), real(2), real(0)});
    // Turned by 90 degrees, the baseline runs upwards: the second A is 4
    // pixels above the first, each block turned about its top-left corner.
    call("draw_text_transformed", {real(40), real(30), text("AA"), real(1), real(1), real(90)});
    // Colour runs from c1 at the left end to c2 at the right end of the line:
    // with two glyphs, the first ends halfway.
    call("draw_text_color", {real(10), real(30), text("AA"), real(0x0000ff), real(0xff0000),
                             real(0xff0000), real(0x0000ff), real(1)});
    const std::vector<uint32_t> got = screen();
    auto at = [&](int x, int y) { return got[size_t(y) * kW + x]; };
    for (int y = 2; y < 8; ++y) {
        for (int x = 10; x < 16; ++x) EXPECT_EQ(at(x, y), 0xffffffffu) << x << "," << y;
        for (int x = 18; x < 24; ++x) EXPECT_EQ(at(x, y), 0xffffffffu) << x << "," << y;
        EXPECT_EQ(at(16, y), kBack);
        EXPECT_EQ(at(17, y), kBack);
    }
    // Turned 90 degrees about (40, 30): the block's rows run rightwards and
    // its columns upwards; with the quad's half-pixel corner it covers x
    // 40..42, y 28..30, and the second glyph 4 higher, y 24..26.
    for (int x = 40; x <= 42; ++x) {
        for (int y = 28; y <= 30; ++y) EXPECT_EQ(at(x, y), 0xffffffffu) << x << "," << y;
        for (int y = 24; y <= 26; ++y) EXPECT_EQ(at(x, y), 0xffffffffu) << x << "," << y;
        EXPECT_EQ(at(x, 27), kBack);
        EXPECT_EQ(at(x, 23), kBack);
        EXPECT_EQ(at(x, 31), kBack);
    }
    EXPECT_EQ(at(39, 29), kBack);
    EXPECT_EQ(at(43, 29), kBack);
    // Gradient: the first glyph's left edge is pure red (0x0000ff is red in
    // game colours), the second glyph's right edge nearly pure blue.
    const uint32_t left = at(10, 31), right = at(16, 31);
    EXPECT_GT(int(left >> 16) & 255, 200);
    EXPECT_LT(int(left) & 255, 60);
    EXPECT_GT(int(right) & 255, 150);
    EXPECT_LT(int(right >> 16) & 255, 100);
}

}  // namespace
}  // namespace kx
