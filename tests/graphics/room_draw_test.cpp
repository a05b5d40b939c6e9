// The room drawing pass through the real device offscreen, read back and
// compared with what the room's layers, views and depths say (with the depth
// items of a subsystem); the views that follow instances; the tile functions.
#include "graphics/room_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/runtime.h"
#include "gamedata/gamedata_state.h"
#include "graphics/graphics_state.h"
#include "graphics/texture_main.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/script_state.h"
#include "sprites/sprite_state.h"
#include "support/draw_support.h"
#include "support/test_runtime.h"
#include "support/world_support.h"
#include "world/instance_main.h"
#include "world/object_class.h"
#include "world/object_main.h"
#include "world/room_main.h"
#include "world/world_state.h"

namespace kx {
namespace {

using test::pattern;
int wrap(int v, int n) {
    return ((v % n) + n) % n;
}

class RoomDraw : public ::testing::Test {
protected:
    static constexpr int kW = 64, kH = 48;

    // extra: subsystems of the test's own, started after kxrun's.
    explicit RoomDraw(std::vector<const Subsystem*> extra = {}) : t({}, std::move(extra)) {}

    void SetUp() override {
        GameSettings& settings = r.get<GameDataState>().settings;
        settings.DisplayErrors = false;
        settings.ColorOutsideRoom = 0x204060;
        g().window.set_colour(settings.ColorOutsideRoom);
        std::string error;
        dev = test::offscreen_device(kW, kH, &error);
        ASSERT_TRUE(dev) << "no OpenGL 3.3 context: " << error;
        attach_drawing_device(g(), res(), dev.get(), kW, kH);

        WorldState& w = world();
        w.working.push_back(std::make_unique<CRoom>());
        set_current_room(r, 0);
        room().width = kW;
        room().height = kH;
        room().color = 0x3080c0;
    }

    GraphicsState& g() { return r.get<GraphicsState>(); }
    SpriteState& res() { return r.get<SpriteState>(); }
    WorldState& world() { return r.get<WorldState>(); }
    CRoom& room() { return *world().current; }

    int32_t add_sprite(const CBitmap32& image) {
        const int32_t id = res().sprites.add_empty();
        res().sprites.get(id)->set_from_image(image, true, false, 0, 0, false, false, false);
        return id;
    }
    int32_t add_background(const CBitmap32& image) {
        const int32_t id = res().backgrounds.add_empty();
        res().backgrounds.get(id)->set_from_image(image, true, false, false, false);
        return id;
    }
    int32_t add_object() { return test::add_object(r, "obj"); }
    CInstance* add_instance(int32_t object, double x, double y, double depth, int32_t sprite) {
        auto inst = make_instance(r, ++world().last_instance_id, object, x, y);
        inst->depth = depth;
        inst->sprite_index = sprite;
        return room().instances.append(world(), std::move(inst));
    }

    std::vector<uint32_t> screen() {
        std::vector<uint32_t> px(size_t(kW) * kH, 0xdeadbeef);
        EXPECT_TRUE(dev->read_pixels(kBackBuffer, {0, 0, kW, kH}, px.data(), kW));
        return px;
    }
    int mismatches(const std::function<std::optional<uint32_t>(int, int)>& expect) {
        const std::vector<uint32_t> got = screen();
        int wrong = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const std::optional<uint32_t> want = expect(x, y);
                if (want && got[size_t(y) * kW + x] != *want) {
                    if (wrong < 5)
                        ADD_FAILURE() << "pixel " << x << "," << y << " got " << std::hex
                                      << got[size_t(y) * kW + x] << " want " << *want;
                    ++wrong;
                }
            }
        return wrong;
    }

    RValue call(const char* name, std::vector<RValue> args) {
        const FunctionTable& table = r.get<ScriptState>().functions;
        const int f = table.find(name);
        EXPECT_GE(f, 0) << name;
        if (f < 0) return {};
        EXPECT_EQ(table.argument_count(f), int(args.size())) << name;
        RValue result;
        table.at(f).handler(nullptr, nullptr, int(args.size()), result, args.data());
        return result;
    }
    double num(const char* name, std::vector<RValue> args) {
        return call(name, std::move(args)).real;
    }

    // The device outlives the runtime, whose graphics shutdown detaches it.
    std::unique_ptr<IDrawDevice> dev;
    test::TestRuntime t;
    Runtime& r = t.runtime();
};

TEST_F(RoomDraw, ColourThenBackgroundsThenForegroundsOverTheRoom) {
    const uint32_t colour = to_device_color(room().color, 1);
    const CBitmap32 img = pattern(7, 5, 3);
    const int32_t back = add_background(img);
    const int32_t fore = add_background(CBitmap32::blank(4, 4, 0xff00ff00u));
    const int32_t spr = add_sprite(CBitmap32::blank(6, 6, 0xffff0000u));
    // An instance under the foreground, over the background.
    add_instance(add_object(), 30, 20, 0, spr);
    struct Case {
        const char* what;
        bool htiled, vtiled;
        double x, y;
        std::function<bool(int, int)> covered;  // by the background image
    };
    const Case cases[] = {
        {"single", false, false, 10, 5,
         [](int x, int y) { return x >= 10 && x < 17 && y >= 5 && y < 10; }},
        {"horizontal band", true, false, 3, 12, [](int, int y) { return y >= 12 && y < 17; }},
        {"both ways", true, true, -2, 9, [](int, int) { return true; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CBack& b = room().backs[0];
        b = CBack{};
        b.visible = true;
        b.index = back;
        b.htiled = c.htiled;
        b.vtiled = c.vtiled;
        b.x = c.x;
        b.y = c.y;
        CBack& f = room().backs[3];
        f.visible = f.foreground = true;
        f.index = fore;
        f.htiled = f.vtiled = false;
        f.x = 33;
        f.y = 23;
        draw_room_pass(r);
        EXPECT_EQ(mismatches([&](int x, int y) -> std::optional<uint32_t> {
                      if (x >= 33 && x < 37 && y >= 23 && y < 27) return 0xff00ff00u;
                      if (x >= 30 && x < 36 && y >= 20 && y < 26) return 0xffff0000u;
                      if (c.covered(x, y))
                          return img.at(wrap(x - int(c.x), 7), wrap(y - int(c.y), 5));
                      return colour;
                  }),
                  0);
    }
    // Without the colour, hidden layers and a background that is gone, the
    // screen keeps what it had.
    dev->clear(true, false, 0xff123456u);
    room().show_color = false;
    room().backs[0].visible = false;
    room().backs[3].index = 99;
    room().instances.at(0)->visible = false;
    draw_room_pass(r);
    EXPECT_EQ(mismatches([](int, int) { return 0xff123456u; }), 0);
}

TEST_F(RoomDraw, TilesAndInstancesMergeByDecreasingDepth) {
    const uint32_t red = 0xffff0000u, blue = 0xff0000ffu, yellow = 0xffffff00u;
    CBitmap32 sheet = CBitmap32::blank(24, 12, 0xff00ff00u);
    for (int y = 0; y < 12; ++y)
        for (int x = 12; x < 24; ++x) sheet.pixels[size_t(y) * 24 + x] = yellow;
    const int32_t back = add_background(sheet);
    const int32_t obj = add_object();
    // Created nearer first so that the pass has to sort them.
    CInstance* nearer = add_instance(obj, 18, 18, 0, add_sprite(CBitmap32::blank(12, 12, blue)));
    CInstance* further = add_instance(obj, 10, 10, 10, add_sprite(CBitmap32::blank(12, 12, red)));
    RTile tile;
    tile.background = back;
    tile.left = 12;  // the yellow half of the sheet
    tile.width = tile.height = 12;
    tile.x = tile.y = 14;
    room().add_tile(tile, world().last_tile_id);

    auto in = [](int x, int y, int at) { return x >= at && x < at + 12 && y >= at && y < at + 12; };
    struct Case {
        double tile_depth;
        std::vector<int> order;  // bottom to top: 10 further, 14 tile, 18 nearer
    };
    const Case cases[] = {
        {5, {10, 14, 18}}, {0, {10, 18, 14}}, {20, {14, 10, 18}}, {10, {10, 14, 18}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tile_depth);
        room().tiles[0].depth = c.tile_depth;
        draw_room_pass(r);
        EXPECT_EQ(mismatches([&](int x, int y) -> std::optional<uint32_t> {
                      std::optional<uint32_t> top = to_device_color(room().color, 1);
                      for (int at : c.order)
                          if (in(x, y, at)) top = at == 10 ? red : at == 14 ? yellow : blue;
                      return top;
                  }),
                  0);
    }
    // The sort stays: the further instance now comes first in the list.
    EXPECT_EQ(room().instances.at(0), further);
    EXPECT_EQ(room().instances.at(1), nearer);

    // Destroyed instances and invisible tiles are passed over.
    nearer->mark_destroyed();
    room().tiles[0].visible = false;
    draw_room_pass(r);
    EXPECT_EQ(mismatches([&](int x, int y) -> std::optional<uint32_t> {
                  return in(x, y, 10) ? red : to_device_color(room().color, 1);
              }),
              0);
}

// A subsystem's depth items: each draws a square of its sprite at (at, at)
// and notes its depth when drawn.
struct SquareItem {
    double depth;
    int32_t sprite;
    double at;
};
std::vector<SquareItem> g_squares;
std::vector<double> g_drawn;

void draw_square(Runtime& r, const void* p) {
    const SquareItem& item = *static_cast<const SquareItem*>(p);
    g_drawn.push_back(item.depth);
    sprite_draw(r.get<GraphicsState>(), *r.get<SpriteState>().sprites.get(item.sprite), 0, item.at,
                item.at);
}
void add_squares(Runtime&, std::vector<DepthItem>& out) {
    for (const SquareItem& item : g_squares) out.push_back({item.depth, draw_square, &item});
}
const Subsystem kSquares{.name = "squares", .draw_items = add_squares};

class RoomDrawItems : public RoomDraw {
protected:
    RoomDrawItems() : RoomDraw({&kSquares}) {
        g_squares.clear();
        g_drawn.clear();
    }
};

TEST_F(RoomDrawItems, ItemsJoinTheMergeAheadOfInstancesAndTilesOfTheirDepth) {
    // Squares of 24 pixels, 3 apart on the diagonal: every two overlap, so the
    // colour on top shows which of them was drawn later.
    constexpr int kSide = 24;
    enum Kind { Item, Instance, Tile };
    struct Drawn {
        Kind kind;
        double depth;
        uint32_t colour;
    };
    // Bottom to top, as the merge must draw them.
    const Drawn order[] = {
        {Tile, 30, 0xff800000u}, {Item, 20, 0xffff0000u},     {Item, 20, 0xff00ff00u},
        {Item, 10, 0xff0000ffu}, {Instance, 10, 0xffffff00u}, {Tile, 10, 0xffff00ffu},
        {Item, 5, 0xff00ffffu},  {Instance, 0, 0xffffffffu},  {Item, -5, 0xff008000u},
    };
    auto at = [](size_t k) { return double(3 * k); };
    // Added out of depth order (the two items of depth 20 in theirs, the
    // nearer instance and tile first), so the pass has to sort.
    const int32_t obj = add_object();
    for (size_t k : {6, 7, 5, 1, 8, 4, 3, 2, 0}) {
        const Drawn& d = order[k];
        const CBitmap32 square = CBitmap32::blank(kSide, kSide, d.colour);
        if (d.kind == Item) {
            g_squares.push_back({d.depth, add_sprite(square), at(k)});
        } else if (d.kind == Instance) {
            add_instance(obj, at(k), at(k), d.depth, add_sprite(square));
        } else {
            RTile tile;
            tile.background = add_background(square);
            tile.width = tile.height = kSide;
            tile.x = tile.y = at(k);
            tile.depth = d.depth;
            room().add_tile(tile, world().last_tile_id);
        }
    }

    draw_room_pass(r);
    EXPECT_EQ(g_drawn, (std::vector<double>{20, 20, 10, 5, -5}));
    EXPECT_EQ(mismatches([&](int x, int y) -> std::optional<uint32_t> {
                  std::optional<uint32_t> top = to_device_color(room().color, 1);
                  for (size_t k = 0; k < std::size(order); ++k)
                      if (x >= at(k) && x < at(k) + kSide && y >= at(k) && y < at(k) + kSide)
                          top = order[k].colour;
                  return top;
              }),
              0);
}

TEST_F(RoomDraw, ViewsDrawThroughTheirPortsAndRunDrawEvents) {
    const CBitmap32 img = pattern(9, 7, 11);
    CBack& b = room().backs[0];
    b.visible = true;
    b.index = add_background(img);
    room().width = 200;
    room().height = 150;
    room().views_enabled = true;
    CView& v0 = room().views[0];
    v0 = CView{};
    v0.visible = true;
    v0.xview = 20, v0.yview = 10, v0.wview = 24, v0.hview = 16;
    v0.xport = 8, v0.yport = 4, v0.wport = 24, v0.hport = 16;
    CView& v2 = room().views[2];
    v2 = CView{};
    v2.visible = true;
    v2.xview = 50, v2.yview = 40, v2.wview = 8, v2.hview = 6;
    v2.xport = 40, v2.yport = 30, v2.wport = 16, v2.hport = 12;  // twice the size

    // An instance whose draw event records the view drawing it; its sprite is
    // not drawn by the pass because it has a draw event.
    const int32_t obj = add_object();
    ASSERT_TRUE(test::add_code(r, obj, ev::Draw, 0, "score = score * 10 + view_current + 1"));
    add_instance(obj, 22, 12, 0, add_sprite(CBitmap32::blank(4, 4, 0xffffffffu)));
    world().game.score = 0;

    draw_room_pass(r);
    EXPECT_EQ(world().game.score, 13);
    EXPECT_EQ(world().game.view_current, 0);
    const uint32_t window = to_device_color(r.get<GameDataState>().settings.ColorOutsideRoom, 1);
    EXPECT_EQ(mismatches([&](int x, int y) -> std::optional<uint32_t> {
                  if (x >= 8 && x < 32 && y >= 4 && y < 20)
                      return img.at(wrap(x - 8 + 20, 9), wrap(y - 4 + 10, 7));
                  if (x >= 40 && x < 56 && y >= 30 && y < 42) return std::nullopt;  // below
                  return window;
              }),
              0);
    // The doubled port: the pixel centre samples the view at xview + (px + 0.5) / 2;
    // quads may sit half a texel off that (one screen pixel here), so either
    // neighbouring texel is accepted where the centre is that close to an edge.
    const std::vector<uint32_t> got = screen();
    int wrong = 0;
    for (int py = 0; py < 12; ++py)
        for (int px = 0; px < 16; ++px) {
            const double rx = 50 + (px + 0.5) / 2, ry = 40 + (py + 0.5) / 2;
            const uint32_t pixel = got[size_t(30 + py) * kW + 40 + px];
            bool ok = false;
            for (double dx : {-0.25, 0.25})
                for (double dy : {-0.25, 0.25})
                    ok = ok || pixel == img.at(wrap(int(std::floor(rx + dx)), 9),
                                               wrap(int(std::floor(ry + dy)), 7));
            wrong += !ok;
        }
    EXPECT_EQ(wrong, 0);
    // The whole region is viewport and projection again afterwards.
    EXPECT_EQ(dev->viewport().x, 0);
    EXPECT_EQ(dev->viewport().w, kW);

    // Views on, none visible: only the window colour, and no draw event.
    room().views[0].visible = room().views[2].visible = false;
    draw_room_pass(r);
    EXPECT_EQ(world().game.score, 13);
    EXPECT_EQ(mismatches([&](int, int) { return window; }), 0);
}

TEST_F(RoomDraw, TurnedViewDrawsTilesBeyondItsCorners) {
    const uint32_t green = 0xff00ff00u;
    RTile strip;
    strip.background = add_background(CBitmap32::blank(12, 88, green));
    strip.width = 12;
    strip.height = 88;
    strip.x = -14;  // ends two pixels left of the view
    strip.y = -20;
    room().add_tile(strip, world().last_tile_id);
    room().views_enabled = true;
    CView& v = room().views[0];
    v = CView{};
    v.visible = true;
    v.wview = v.wport = kW;
    v.hview = v.hport = kH;
    for (double angle : {0.0, 30.0, -30.0}) {
        SCOPED_TRACE(angle);
        v.angle = angle;
        draw_room_pass(r);
        const std::vector<uint32_t> px = screen();
        const auto shown = std::count(px.begin(), px.end(), green);
        // Turned, a corner of the screen reaches about 7.7 pixels left of the view.
        if (angle == 0)
            EXPECT_EQ(shown, 0);
        else
            EXPECT_GT(shown, 5);
    }
}

TEST(RoomRegion, ViewsPortsOrTheRoomCutToTheScreen) {
    struct Case {
        const char* what;
        bool views;
        std::vector<CView> visible;
        int want_w, want_h;
    };
    auto port = [](int32_t x, int32_t y, int32_t w, int32_t h) {
        CView v;
        v.visible = true;
        v.xport = x, v.yport = y, v.wport = w, v.hport = h;
        return v;
    };
    const Case cases[] = {
        {"views off", false, {port(0, 0, 10, 10)}, 300, 200},
        {"views on, none visible", true, {}, 8, 8},
        {"extent of two ports", true, {port(0, 0, 100, 50), port(120, 10, 30, 60)}, 150, 70},
        {"cut to the screen", true, {port(0, 0, 5000, 4000)}, 1024, 768},
        {"tiny port", true, {port(0, 0, 2, 3)}, 8, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CRoom room;
        room.width = 300;
        room.height = 200;
        room.views_enabled = c.views;
        for (size_t k = 0; k < c.visible.size(); ++k) room.views[k * 3] = c.visible[k];
        const RegionSize got = region_size_for_room(room, 1024, 768);
        EXPECT_EQ(got.width, c.want_w);
        EXPECT_EQ(got.height, c.want_h);
    }
}

TEST_F(RoomDraw, CaptionShowsScoreLivesAndHealthWhenAsked) {
    GameState& game = world().game;
    room().caption = "Cave";
    struct Case {
        bool score, assigned, lives, health;
        int32_t score_value;
        const char* want;
    };
    const Case cases[] = {
        {false, false, false, false, 5, "Cave"},
        {true, false, false, false, 0, "Cave"},  // score 0 never assigned
        {true, true, false, false, 0, "Cave Score: 0"},
        {true, false, true, true, 7, "Cave Score: 7 Lives: 3 Health: 42"},
    };
    game.lives = 3;
    game.health = 41.6;
    for (const Case& c : cases) {
        game.show_score = c.score;
        game.show_score_assigned = c.assigned;
        game.show_lives = c.lives;
        game.show_health = c.health;
        game.score = c.score_value;
        EXPECT_EQ(room_window_caption(r), c.want);
    }
}

TEST_F(RoomDraw, ViewsFollowTheirInstance) {
    const int32_t obj = add_object();
    CInstance* inst = add_instance(obj, 0, 0, 0, -1);
    struct Case {
        const char* what;
        int32_t room_w;
        CView view;  // only the fields that matter are set below
        double x, y;
        bool by_id;
        int32_t want_x, want_y;
    };
    auto view = [](int32_t x, int32_t y, int32_t w, int32_t h, int32_t hb, int32_t vb, int32_t hs,
                   int32_t vs) {
        CView v;
        v.visible = true;
        v.xview = x, v.yview = y, v.wview = w, v.hview = h;
        v.hborder = hb, v.vborder = vb, v.hspeed = hs, v.vspeed = vs;
        return v;
    };
    const Case cases[] = {
        {"inside the borders", 1000, view(100, 100, 300, 200, 32, 32, -1, -1), 250, 200, false, 100,
         100},
        {"pushed by the borders", 1000, view(100, 100, 300, 200, 32, 32, -1, -1), 390, 110, false,
         122, 78},
        {"wide border centres", 1000, view(0, 0, 300, 200, 200, 32, -1, -1), 500, 150, false, 350,
         0},
        {"room narrower than the view", 200, view(0, 0, 300, 200, 200, 32, -1, -1), 100, 150, false,
         -100, 0},
        {"speed limit", 1000, view(100, 100, 300, 200, 32, 32, 4, 3), 600, 10, false, 104, 97},
        {"followed by id", 1000, view(100, 100, 300, 200, 32, 32, -1, -1), 20, 200, true, 0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        room().width = c.room_w;
        room().height = 1000;
        room().views_enabled = true;
        CView& v = room().views[1];
        v = c.view;
        v.object = c.by_id ? inst->id() : obj;
        inst->x = c.x;
        inst->y = c.y;
        follow_views(r);
        EXPECT_EQ(v.xview, c.want_x);
        EXPECT_EQ(v.yview, c.want_y);
    }
    // Following nothing, or a destroyed instance, leaves the view; so do views off.
    CView& v = room().views[1];
    v = view(100, 100, 300, 200, 32, 32, -1, -1);
    inst->x = 900;
    for (int32_t object : {-1, 5, 100000}) {
        v.object = object;
        follow_views(r);
        EXPECT_EQ(v.xview, 100) << object;
    }
    v.object = obj;
    inst->mark_destroyed();
    follow_views(r);
    EXPECT_EQ(v.xview, 100);
    inst->set_destroyed(false);
    room().views_enabled = false;
    follow_views(r);
    EXPECT_EQ(v.xview, 100);
}

TEST_F(RoomDraw, TileFunctionsEditTheList) {
    const double back = add_background(CBitmap32::blank(32, 32, 0xffffffffu));
    const double a = num("tile_add", {back, 1.0, 2.0, 10.0, 8.0, 5.0, 6.0, 100.0});
    const double b = num("tile_add", {back, 0.0, 0.0, 4.0, 4.0, 20.0, 20.0, -5.0});
    const double c = num("tile_add", {back, 0.0, 0.0, 4.0, 4.0, 30.0, 30.0, 100.0});
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(c, a + 2);
    struct Get {
        const char* name;
        double want;
    };
    for (const Get& q :
         {Get{"tile_get_x", 5}, Get{"tile_get_y", 6}, Get{"tile_get_left", 1},
          Get{"tile_get_top", 2}, Get{"tile_get_width", 10}, Get{"tile_get_height", 8},
          Get{"tile_get_depth", 100}, Get{"tile_get_visible", 1}, Get{"tile_get_xscale", 1},
          Get{"tile_get_blend", 16777215}, Get{"tile_get_alpha", 1},
          Get{"tile_get_background", back}})
        EXPECT_EQ(num(q.name, {a}), q.want) << q.name;

    // Missing tiles and backgrounds report without stopping.
    struct Bad {
        const char* name;
        std::vector<RValue> args;
        double result;
        const char* message;
    };
    const Bad bads[] = {
        {"tile_get_x", {12345.0}, 0, "Tile does not exist."},
        {"tile_get_background", {12345.0}, -1, "Tile does not exist."},
        {"tile_add", {7.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0, 0.0}, -1, "Background does not exist."},
        {"tile_set_background", {a, 7.0}, 0, "Background does not exist."},
        {"tile_delete", {-3.0}, 0, "Tile does not exist."},
    };
    for (const Bad& q : bads) {
        SCOPED_TRACE(q.name);
        r.get<ScriptState>().errors.last.clear();
        EXPECT_EQ(call(q.name, q.args).real, q.result);
        EXPECT_NE(r.get<ScriptState>().errors.last.find(q.message), std::string::npos)
            << r.get<ScriptState>().errors.last;
    }
    EXPECT_EQ(num("tile_get_background", {a}), back);
    EXPECT_EQ(room().tiles.size(), 3u);

    call("tile_set_region", {a, 0.6, 1.4, 12.5, 3.5});
    EXPECT_EQ(num("tile_get_left", {a}), 1);
    EXPECT_EQ(num("tile_get_top", {a}), 1);
    EXPECT_EQ(num("tile_get_width", {a}), 12);  // even rounding
    EXPECT_EQ(num("tile_get_height", {a}), 4);
    call("tile_set_visible", {a, 0.4});
    EXPECT_EQ(num("tile_get_visible", {a}), 0);
    call("tile_layer_show", {100.0});
    EXPECT_EQ(num("tile_get_visible", {a}), 1);

    // Find: half-open, by sign of depth; delete_at: edges included.
    EXPECT_EQ(num("tile_find", {5.0, 6.0, 0.0}), a);
    EXPECT_EQ(num("tile_find", {17.0, 6.0, 0.0}), -1);   // x + width is outside
    EXPECT_EQ(num("tile_find", {21.0, 21.0, 0.0}), -1);  // depth -5 is a foreground
    EXPECT_EQ(num("tile_find", {21.0, 21.0, 1.0}), b);
    EXPECT_EQ(num("tile_layer_find", {100.0, 31.0, 31.0}), c);
    EXPECT_EQ(num("tile_layer_find", {-5.0, 31.0, 31.0}), -1);
    call("tile_layer_shift", {100.0, 1.0, -1.0});
    EXPECT_EQ(num("tile_get_x", {c}), 31);
    EXPECT_EQ(num("tile_get_y", {c}), 29);
    call("tile_delete_at", {24.0, 24.0, 0.0});  // b's corner, but b is in front
    EXPECT_EQ(num("tile_exists", {b}), 1);
    call("tile_delete_at", {24.0, 24.0, 1.0});
    EXPECT_EQ(num("tile_exists", {b}), 0);

    // Layer depth changes reorder the list at the next sort, stably.
    call("tile_layer_depth", {100.0, 200.0});
    const double d = num("tile_add", {back, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0, 300.0});
    sort_tiles_by_depth(room());
    ASSERT_EQ(room().tiles.size(), 3u);
    EXPECT_EQ(room().tiles[0].id, d);
    EXPECT_EQ(room().tiles[1].id, a);
    EXPECT_EQ(room().tiles[2].id, c);
    EXPECT_EQ(num("tile_get_depth", {c}), 200);  // found again after the move
    call("tile_layer_delete", {200.0});
    EXPECT_EQ(room().tiles.size(), 1u);
    call("tile_delete", {d});
    EXPECT_EQ(num("tile_exists", {d}), 0);
}

}  // namespace
}  // namespace kx
