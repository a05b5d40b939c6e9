// Shapes and user primitives drawn through the real device offscreen, read
// back and compared with pixel sets worked out from the coverage rules by
// hand: a filled shape covers the pixel centres inside it (left and top
// edges in, right and bottom out); a line covers, along its major axis, its
// start pixel and not its end pixel; a point covers its own pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "drawing/drawing_state.h"
#include "gamedata/gamedata_state.h"
#include "graphics/graphics_state.h"
#include "graphics/texture_main.h"
#include "sprites/sprite_state.h"
#include "support/draw_support.h"
#include "support/test_runtime.h"

namespace kx {
namespace {

constexpr uint32_t kBlack = 0xff000000u;

int chan(uint32_t c, int shift) {
    return int(c >> shift) & 255;
}

class Shapes : public ::testing::Test {
protected:
    static constexpr int kW = 40, kH = 32;
    void SetUp() override {
        t.state<GameDataState>().settings.DisplayErrors = false;
        std::string error;
        dev = test::offscreen_device(kW, kH, &error);
        ASSERT_TRUE(dev) << error;
        attach_drawing_device(t.state<GraphicsState>(), t.state<SpriteState>(), dev.get(), kW, kH);
        dev->clear(true, false, kBlack);
    }
    void run(const std::string& code) { ASSERT_EQ(t.run(code), "") << code; }
    std::vector<uint32_t> screen() {
        std::vector<uint32_t> px(size_t(kW) * kH);
        EXPECT_TRUE(dev->read_pixels(kBackBuffer, {0, 0, kW, kH}, px.data(), kW));
        return px;
    }
    uint32_t pixel(int x, int y) { return screen()[size_t(y) * kW + x]; }
    // The drawn pixels (not black) as a picture, and the expected one from a rule.
    std::string drawn() {
        const auto px = screen();
        std::string s;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) s += px[size_t(y) * kW + x] != kBlack ? '#' : '.';
            s += '\n';
        }
        return s;
    }
    static std::string expected(const std::function<bool(int, int)>& in) {
        std::string s;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) s += in(x, y) ? '#' : '.';
            s += '\n';
        }
        return s;
    }
    std::unique_ptr<IDrawDevice> dev;
    test::TestRuntime t;
};

struct RectCase {
    int x1, y1, x2, y2;
};
// Odd and even sizes, corners given either way round.
const RectCase kRects[] = {{3, 4, 9, 10}, {3, 4, 10, 11}, {12, 15, 4, 6}, {5, 5, 6, 6}};

TEST_F(Shapes, FilledRectanglesCoverTheirHalfOpenBox) {
    for (const RectCase& c : kRects) {
        dev->clear(true, false, kBlack);
        run("draw_set_color(c_white); draw_rectangle(" + std::to_string(c.x1) + "," +
            std::to_string(c.y1) + "," + std::to_string(c.x2) + "," + std::to_string(c.y2) +
            ", 0)");
        const int l = std::min(c.x1, c.x2), r = std::max(c.x1, c.x2);
        const int tp = std::min(c.y1, c.y2), b = std::max(c.y1, c.y2);
        EXPECT_EQ(drawn(),
                  expected([&](int x, int y) { return x >= l && x < r && y >= tp && y < b; }))
            << c.x1 << "," << c.y1 << "," << c.x2 << "," << c.y2;
    }
}

TEST_F(Shapes, OutlinesCoverEveryBorderPixelOnce) {
    // At alpha 0.5 a pixel covered twice shows brighter than one covered once.
    for (const RectCase& c : kRects) {
        if (c.x2 - c.x1 == 1) continue;
        dev->clear(true, false, kBlack);
        run("draw_set_color(c_white); draw_set_alpha(0.5); draw_rectangle(" + std::to_string(c.x1) +
            "," + std::to_string(c.y1) + "," + std::to_string(c.x2) + "," + std::to_string(c.y2) +
            ", 1); draw_set_alpha(1)");
        const int l = std::min(c.x1, c.x2), r = std::max(c.x1, c.x2);
        const int tp = std::min(c.y1, c.y2), b = std::max(c.y1, c.y2);
        auto border = [&](int x, int y) {
            return x >= l && x <= r && y >= tp && y <= b && (x == l || x == r || y == tp || y == b);
        };
        EXPECT_EQ(drawn(), expected(border));
        const auto px = screen();
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                if (border(x, y)) {
                    EXPECT_EQ(chan(px[size_t(y) * kW + x], 0), 128) << x << "," << y;
                }
    }
}

struct LineCase {
    const char* code;
    std::function<bool(int, int)> in;
};

TEST_F(Shapes, LinesAndPointsCoverTheirStartNotTheirEnd) {
    const LineCase cases[] = {
        {"draw_line(2, 5, 9, 5)", [](int x, int y) { return y == 5 && x >= 2 && x < 9; }},
        {"draw_line(9, 5, 2, 5)", [](int x, int y) { return y == 5 && x > 2 && x <= 9; }},
        {"draw_line(4, 2, 4, 12)", [](int x, int y) { return x == 4 && y >= 2 && y < 12; }},
        {"draw_line(4, 12, 4, 2)", [](int x, int y) { return x == 4 && y > 2 && y <= 12; }},
        {"draw_line(1, 1, 7, 7)", [](int x, int y) { return x == y && x >= 1 && x < 7; }},
        // Slope 1/3: row round(x / 3) in column x, no centre on an edge.
        {"draw_line(0, 0, 6, 2)",
         [](int x, int y) { return x >= 0 && x < 6 && y == int(std::lround(x / 3.0)); }},
        {"draw_line(3, 3, 3, 3)", [](int, int) { return false; }},
        {"draw_point(5, 7)", [](int x, int y) { return x == 5 && y == 7; }},
        {"draw_point(5.4, 6.6)", [](int x, int y) { return x == 5 && y == 7; }},
        // Width 3 across a horizontal line: rows 3.5 .. 6.5 hold centres 4, 5, 6.
        {"draw_line_width(2, 5, 10, 5, 3)",
         [](int x, int y) { return x >= 2 && x < 10 && y >= 4 && y <= 6; }},
    };
    for (const LineCase& c : cases) {
        dev->clear(true, false, kBlack);
        run(std::string("draw_set_color(c_white); ") + c.code);
        EXPECT_EQ(drawn(), expected(c.in)) << c.code;
    }
}

TEST_F(Shapes, TrianglesAndCirclesCoverTheCentresInside) {
    const LineCase cases[] = {
        // Hypotenuse 26(x - 2) + 38(y - 2) = 247 meets no pixel centre.
        {"draw_triangle(2, 2, 11.5, 2, 2, 8.5, 0)",
         [](int x, int y) { return x >= 2 && y >= 2 && 26 * (x - 2) + 38 * (y - 2) < 247; }},
        // Precision 4: the circle is a diamond.
        {"draw_set_circle_precision(4); draw_circle(12, 12, 4.5, 0)",
         [](int x, int y) { return std::abs(x - 12) + std::abs(y - 12) < 4.5; }},
    };
    for (const LineCase& c : cases) {
        dev->clear(true, false, kBlack);
        run(std::string("draw_set_color(c_white); ") + c.code);
        EXPECT_EQ(drawn(), expected(c.in)) << c.code;
    }
}

// Inside the polygon of the circle table's points, judged only away from edges.
TEST_F(Shapes, FilledEllipseIsItsTablePolygon) {
    run("draw_set_color(c_white); draw_ellipse(3.3, 4.1, 30.7, 26.2, 0)");
    const double cx = (3.3 + 30.7) / 2, cy = (4.1 + 26.2) / 2, rx = 13.7, ry = 11.05;
    const auto px = screen();
    int judged = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            // Signed distance to each of the 24 edges, inside when all positive.
            double nearest = 1e9;
            bool inside = true;
            for (int i = 0; i < 24; ++i) {
                const double a0 = 2 * M_PI * i / 24, a1 = 2 * M_PI * (i + 1) / 24;
                const double x0 = cx + rx * std::cos(a0), y0 = cy + ry * std::sin(a0);
                const double x1 = cx + rx * std::cos(a1), y1 = cy + ry * std::sin(a1);
                const double len = std::hypot(x1 - x0, y1 - y0);
                const double d = ((x1 - x0) * (y - y0) - (y1 - y0) * (x - x0)) / len;
                inside = inside && d > 0;
                nearest = std::min(nearest, std::fabs(d));
            }
            if (nearest < 0.01) continue;
            ++judged;
            EXPECT_EQ(px[size_t(y) * kW + x] != kBlack, inside) << x << "," << y;
        }
    EXPECT_GT(judged, kW * kH - 40);
}

TEST_F(Shapes, RoundedRectanglesCutTheirCorners) {
    // A box no larger than the corners is all corner: the ellipse of the box.
    run("draw_set_color(c_white); draw_ellipse(3, 3, 9.5, 8.5, 0)");
    const std::string ellipse = drawn();
    dev->clear(true, false, kBlack);
    run("draw_set_color(c_white); draw_roundrect(3, 3, 9.5, 8.5, 0)");
    EXPECT_EQ(drawn(), ellipse);
    // A larger one keeps its sides straight and leaves its corner pixels out.
    dev->clear(true, false, kBlack);
    run("draw_set_color(c_white); draw_roundrect(4, 4, 34, 24, 0)");
    const auto px = screen();
    auto on = [&](int x, int y) { return px[size_t(y) * kW + x] != kBlack; };
    for (int y = 10; y < 18; ++y) EXPECT_TRUE(on(4, y) && on(33, y)) << y;
    for (int x = 10; x < 28; ++x) EXPECT_TRUE(on(x, 4) && on(x, 23)) << x;
    EXPECT_FALSE(on(4, 4) || on(33, 4) || on(4, 23) || on(33, 23));
    EXPECT_TRUE(on(19, 14));
}

TEST_F(Shapes, OutlinedCircleIsClosedAndHollow) {
    run("draw_set_color(c_white); draw_circle(20, 16, 10, 1)");
    const auto px = screen();
    auto on = [&](int x, int y) { return px[size_t(y) * kW + x] != kBlack; };
    EXPECT_FALSE(on(20, 16));
    // Every drawn pixel lies within a pixel of the circle.
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (on(x, y)) {
                EXPECT_NEAR(std::hypot(x - 20, y - 16), 10, 1.2) << x << "," << y;
            }
    // No gap: walking from the centre outwards in 8-connected steps always meets it.
    for (int a = 0; a < 360; a += 5) {
        bool met = false;
        for (double d = 0; d <= 12 && !met; d += 0.25) {
            const int x = int(std::lround(20 + d * std::cos(a * M_PI / 180)));
            const int y = int(std::lround(16 + d * std::sin(a * M_PI / 180)));
            met = on(x, y) || on(x + 1, y) || on(x, y + 1);
        }
        EXPECT_TRUE(met) << a;
    }
}

TEST_F(Shapes, GradientsInterpolateBetweenCornerColours) {
    // Left corners black, right corners red: red grows by 255/32 per pixel.
    run("draw_rectangle_color(0, 0, 32, 8, c_black, c_red, c_red, c_black, 0)");
    for (int x = 0; x < 32; ++x) EXPECT_NEAR(chan(pixel(x, 4), 16), 255.0 * x / 32, 1.5) << x;
    dev->clear(true, false, kBlack);
    run("draw_line_color(0, 10, 32, 10, c_blue, c_lime)");
    for (int x = 0; x < 32; ++x) {
        EXPECT_NEAR(chan(pixel(x, 10), 0), 255.0 * (1 - x / 32.0), 1.5) << x;
        EXPECT_NEAR(chan(pixel(x, 10), 8), 255.0 * x / 32, 1.5) << x;
    }
    dev->clear(true, false, kBlack);
    run("draw_circle_color(20, 16, 12, c_white, c_black, 0)");
    EXPECT_GT(chan(pixel(20, 16), 16), 245);
    EXPECT_NEAR(chan(pixel(26, 16), 16), 127, 4);  // half way to the edge
    EXPECT_NEAR(chan(pixel(31, 16), 16), 21, 4);   // a twelfth of the radius from the edge
}

TEST_F(Shapes, PrimitivesOfEachKind) {
    const LineCase cases[] = {
        {"draw_primitive_begin(pr_trianglestrip); draw_vertex(2, 2); draw_vertex(10, 2);"
         "draw_vertex(2, 6); draw_vertex(10, 6); draw_primitive_end()",
         [](int x, int y) { return x >= 2 && x < 10 && y >= 2 && y < 6; }},
        {"draw_primitive_begin(pr_trianglefan); draw_vertex(2, 2); draw_vertex(10, 2);"
         "draw_vertex(10, 6); draw_vertex(2, 6); draw_primitive_end()",
         [](int x, int y) { return x >= 2 && x < 10 && y >= 2 && y < 6; }},
        {"draw_primitive_begin(pr_trianglelist); draw_vertex(2, 2); draw_vertex(10, 2);"
         "draw_vertex(2, 6); draw_vertex(20, 20); draw_vertex(21, 20); draw_primitive_end()",
         [](int x, int y) { return x >= 2 && y >= 2 && y < 6 && (x - 2) + 2 * (y - 2) < 8; }},
        // Five vertices make two lines; the fifth is dropped.
        {"draw_primitive_begin(pr_linelist); draw_vertex(2, 2); draw_vertex(8, 2);"
         "draw_vertex(2, 4); draw_vertex(8, 4); draw_vertex(30, 30); draw_primitive_end()",
         [](int x, int y) { return (y == 2 || y == 4) && x >= 2 && x < 8; }},
        {"draw_primitive_begin(pr_linestrip); draw_vertex(2, 2); draw_vertex(8, 2);"
         "draw_vertex(8, 6); draw_primitive_end()",
         [](int x, int y) { return (y == 2 && x >= 2 && x < 8) || (x == 8 && y >= 2 && y < 6); }},
        {"draw_primitive_begin(pr_pointlist); draw_vertex(3, 3); draw_vertex(7, 9);"
         "draw_primitive_end()",
         [](int x, int y) { return (x == 3 && y == 3) || (x == 7 && y == 9); }},
        {"draw_primitive_begin(pr_trianglestrip); draw_vertex(2, 2); draw_vertex(10, 2);"
         "draw_primitive_end()",
         [](int, int) { return false; }},
        {"draw_primitive_begin(7); draw_vertex(2, 2); draw_vertex(10, 2); draw_vertex(2, 6);"
         "draw_primitive_end()",
         [](int, int) { return false; }},
    };
    for (const LineCase& c : cases) {
        dev->clear(true, false, kBlack);
        run(std::string("draw_set_color(c_white); ") + c.code);
        EXPECT_EQ(drawn(), expected(c.in)) << c.code;
    }
}

TEST_F(Shapes, TexturedPrimitiveShowsItsTexels) {
    const CBitmap32 img = test::pattern(4, 4);
    SpriteState& s = t.state<SpriteState>();
    const int32_t id = s.sprites.add_empty();
    s.sprites.get(id)->set_from_image(img, true, false, 0, 0, false, false, false);
    const std::string tex = "sprite_get_texture(" + std::to_string(id) + ", 0)";
    // Texel (i, j) covers pixels 4i .. 4i + 3 when 16 pixels span the image.
    run("tex = " + tex +
        "; u = texture_get_width(tex); v = texture_get_height(tex);"
        "draw_set_color(c_white); draw_primitive_begin_texture(pr_trianglestrip, tex);"
        "draw_vertex_texture(0, 0, 0, 0); draw_vertex_texture(16, 0, u, 0);"
        "draw_vertex_texture(0, 16, 0, v); draw_vertex_texture(16, 16, u, v);"
        "draw_primitive_end()");
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (x % 4 != 0 && y % 4 != 0) {  // sample points away from texel edges
                EXPECT_EQ(pixel(x, y), img.at(x / 4, y / 4)) << x << "," << y;
            }
    EXPECT_EQ(dev->texture(), -1);
}

TEST_F(Shapes, CirclePrecisionIsAMultipleOfFourFromFourToSixtyFour) {
    const std::pair<double, int> cases[] = {{3, 4}, {30, 28}, {100, 64}, {24, 24}, {7.9, 4}};
    for (const auto& [in, want] : cases) {
        run("draw_set_circle_precision(" + std::to_string(in) + ")");
        EXPECT_EQ(t.state<DrawingState>().circle.precision(), want) << in;
    }
}

TEST_F(Shapes, HealthbarColoursAndButtonFaces) {
    // Amount 50: exactly the middle of red and lime; 75: half way on to lime.
    run("draw_healthbar(0, 0, 20, 6, 50, c_black, c_red, c_lime, 0, 0, 0)");
    EXPECT_EQ(pixel(5, 3), 0xff808000u);  // merge(red, lime, 0.5) = r 128, g 128
    EXPECT_EQ(pixel(12, 3), kBlack);      // the bar ends at x 10
    dev->clear(true, false, kBlack);
    run("draw_healthbar(0, 0, 20, 20, 75, c_blue, c_red, c_lime, 3, 1, 1)");
    // From the bottom: rows 5 .. 20 in the bar colour, r round(64) g round(192).
    EXPECT_EQ(pixel(8, 10), 0xff40c000u);
    EXPECT_EQ(pixel(8, 3), 0xff0000ffu);  // the back, blue
    EXPECT_EQ(pixel(8, 5), kBlack);       // the bar's border
    EXPECT_EQ(pixel(0, 10), kBlack);      // the box's border
    dev->clear(true, false, kBlack);
    run("draw_set_color(c_blue); draw_button(0, 0, 20, 20, 1)");
    EXPECT_EQ(pixel(1, 5), 0xffffffffu);    // light triangle, upper left
    EXPECT_EQ(pixel(19, 15), 0xff808080u);  // dark triangle, lower right
    EXPECT_EQ(pixel(10, 10), 0xff0000ffu);  // the face
}

TEST_F(Shapes, ArrowHeadIsCutToTheArrowsLength) {
    run("draw_set_color(c_white); draw_arrow(4, 10, 16, 10, 30)");
    // The head spans the whole 12 pixels: at x 6 it is about 4 pixels high.
    EXPECT_NE(pixel(6, 9), kBlack);
    EXPECT_NE(pixel(6, 11), kBlack);
    EXPECT_EQ(pixel(6, 14), kBlack);
}

TEST_F(Shapes, ConsecutiveShapesShareOneDrawCall) {
    dev->reset_stats();
    run("draw_set_color(c_white); for (i = 0; i < 100; i += 1) { draw_rectangle(i mod 30, 0, "
        "i mod 30 + 4, 4, i mod 2); draw_line(0, 10, 30, 12); draw_point(i mod 30, 20) }");
    dev->end_frame();
    EXPECT_EQ(dev->stats().draw_calls, 1u);
}

TEST_F(Shapes, AlphaByteIsRoundedTiesToEvenForShapesAndSprites) {
    // With blending (source alpha, zero) white lands as its alpha byte in every
    // channel. 3 / 10 is the double nearest 0.3 (times 255: 76.5 exactly); the
    // literal 0.3 is 0.1 x 3 by the number rule, a little more, and gives 77.
    const CBitmap32 white = CBitmap32::blank(4, 4, 0xffffffffu);
    SpriteState& s = t.state<SpriteState>();
    const int32_t id = s.sprites.add_empty();
    s.sprites.get(id)->set_from_image(white, true, false, 0, 0, false, false, false);
    const std::string spr = std::to_string(id);
    run("draw_set_blend_mode_ext(bm_src_alpha, bm_zero); draw_set_color(c_white); draw_set_alpha(3 "
        "/ 10); draw_rectangle(0, 0, 4, "
        "4, 0); draw_set_alpha(7 / 10); draw_rectangle(4, 0, 8, 4, 0);"
        "draw_sprite_ext(" +
        spr +
        ", 0, 0, 8, 1, 1, 0, c_white, 3 / 10);"
        "draw_sprite_ext(" +
        spr +
        ", 0, 4, 8, 1, 1, 0, c_white, 7 / 10); draw_set_alpha(1);"
        "draw_set_blend_mode(bm_normal)");
    EXPECT_EQ(pixel(1, 1), 0xff4c4c4cu);  // 76.5 to even
    EXPECT_EQ(pixel(5, 1), 0xffb2b2b2u);  // 178.5 to even
    EXPECT_EQ(pixel(1, 9), 0xff4c4c4cu);
    EXPECT_EQ(pixel(5, 9), 0xffb2b2b2u);
}

TEST_F(Shapes, PathsDrawAsLineStripsThroughTheirPoints) {
    // A path is drawn through points 4 pixels apart along it; these sides are
    // multiples of 4, so the points fall on the corners as well.
    const LineCase cases[] = {
        {"path_set_closed(p, 0); draw_path(p, 0, 0, 1)",
         [](int x, int y) {
             return (y == 2 && x >= 2 && x < 14) || (x == 14 && y >= 2 && y < 10);
         }},
        // Closed and relative: the whole outline, its first point at (10, 4).
        {"path_add_point(p, 2, 10, 100); draw_path(p, 10, 4, 0)",
         [](int x, int y) {
             return x >= 10 && x <= 22 && y >= 4 && y <= 12 &&
                    (x == 10 || x == 22 || y == 4 || y == 12);
         }},
    };
    for (const LineCase& c : cases) {
        dev->clear(true, false, kBlack);
        run("draw_set_color(c_white); p = path_add(); path_add_point(p, 2, 2, 100);"
            "path_add_point(p, 14, 2, 100); path_add_point(p, 14, 10, 100); " +
            std::string(c.code));
        EXPECT_EQ(drawn(), expected(c.in)) << c.code;
    }
}

TEST_F(Shapes, DrawPathOfAMissingPathReports) {
    EXPECT_EQ(t.run("draw_path(3, 0, 0, 1)"), "");
    EXPECT_EQ(
        t.script().errors.last.find("Trying to drawn non-existing path.") != std::string::npos,
        true)
        << t.script().errors.last;
}

}  // namespace
}  // namespace kx
