// Presenting and room transitions through the real device offscreen: what
// the window shows after the first and the last part of each kind, and the
// vertical blanks a transition waits for; device resets and who hears of them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/runtime.h"
#include "graphics/frame_main.h"
#include "graphics/graphics_state.h"
#include "platform/platform.h"
#include "sprites/sprite_state.h"
#include "support/draw_support.h"
#include "support/test_runtime.h"

namespace kx {
namespace {

constexpr int kN = 80;  // region side: one part of a transition is one pixel

uint32_t fresh(int x, int y) {
    return 0xff0000ffu | (uint32_t(x) << 16) | (uint32_t(y) << 8);
}
constexpr uint32_t kOld = 0xffff0000u;

class Frames : public ::testing::Test {
protected:
    // extra: subsystems of the test's own, started after kxrun's.
    explicit Frames(std::vector<const Subsystem*> extra = {}) : t({}, std::move(extra)) {}

    void SetUp() override {
        std::string error;
        GraphicsState& g = r.get<GraphicsState>();
        g.draw_device = test::offscreen_device(kN, kN, &error);
        ASSERT_TRUE(g.draw_device) << error;
        g.window.attach(nullptr, DisplayMode{});
        g.window.set_region_size(kN, kN, true);
        attach_drawing_device(g, r.get<SpriteState>(), g.draw_device.get(), kN, kN);
    }
    IDrawDevice& dev() { return *r.get<GraphicsState>().draw_device; }
    void show_old() {
        dev().set_viewport({0, 0, kN, kN});
        dev().clear(true, false, kOld);
        present_frame(r);
    }
    void draw_new() {
        for (int y = 0; y < kN; ++y)
            for (int x = 0; x < kN; ++x) {
                dev().set_viewport({x, y, 1, 1});
                dev().clear(true, false, fresh(x, y));
            }
        dev().set_viewport({0, 0, kN, kN});
    }
    int mismatches(const std::function<uint32_t(int, int)>& want) {
        std::vector<uint32_t> px(kN * kN);
        EXPECT_TRUE(dev().read_pixels(kWindowImage, {0, 0, kN, kN}, px.data(), kN));
        int bad = 0;
        for (int y = 0; y < kN; ++y)
            for (int x = 0; x < kN; ++x) bad += px[size_t(y * kN + x)] != want(x, y);
        return bad;
    }

    test::TestRuntime t;
    Runtime& r = t.runtime();
};

TEST_F(Frames, FirstAndLastPartOfEveryTransition) {
    using Want = std::function<uint32_t(int, int)>;
    auto only = [](std::function<bool(int, int)> in,
                   std::function<uint32_t(int, int)> from) -> Want {
        return [=](int x, int y) { return in(x, y) ? from(x, y) : kOld; };
    };
    const struct {
        int kind;
        Want first;
    } cases[] = {
        {1, only([](int x, int) { return x == 0; }, fresh)},
        {2, only([](int x, int) { return x == 79; }, fresh)},
        {3, only([](int, int y) { return y == 0; }, fresh)},
        {4, only([](int, int y) { return y == 79; }, fresh)},
        // 80 * (0.5 +- 1/160) = 40.5 and 39.5 both round to 40: nothing yet.
        {5, only([](int, int) { return false; }, fresh)},
        {6, only([](int x, int) { return x == 0; }, [](int, int y) { return fresh(79, y); })},
        {7, only([](int x, int) { return x == 79; }, [](int, int y) { return fresh(0, y); })},
        {8, only([](int, int y) { return y == 0; }, [](int x, int) { return fresh(x, 79); })},
        {9, only([](int, int y) { return y == 79; }, [](int x, int) { return fresh(x, 0); })},
        {10, only([](int x, int) { return x == 1; }, fresh)},
        {11, only([](int x, int) { return x == 79; }, fresh)},
        {12, only([](int, int y) { return y == 1; }, fresh)},
        {13, only([](int, int y) { return y == 79; }, fresh)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        show_old();
        draw_new();
        present_transition_parts(r, c.kind, 1);
        EXPECT_EQ(mismatches(c.first), 0);
        show_old();
        draw_new();
        present_transition_parts(r, c.kind, 80);
        EXPECT_EQ(mismatches(fresh), 0);
    }
}

TEST_F(Frames, TransitionsWaitForEightyOneBlanksWhateverTheSynchronization) {
    IClock& clock = *r.platform->clock();
    const int64_t period = 1000000 / r.get<GraphicsState>().window.mode().frequency;
    for (int kind : {0, 3, 13, 14}) {
        SCOPED_TRACE(kind);
        draw_new();
        const int64_t t0 = clock.now_us();
        present_transition(r, kind);
        const int64_t waited = clock.now_us() - t0;
        if (kind >= 1 && kind <= 13) {
            EXPECT_GT(waited, 80 * period);
            EXPECT_LE(waited, 82 * period);
        } else {
            EXPECT_EQ(waited, 0);
        }
        EXPECT_EQ(mismatches(fresh), 0);
    }
}

TEST_F(Frames, ScreenReadBackIsCutToTheRegion) {
    draw_new();
    EXPECT_EQ(screen_pixel(r, 5, 7), to_game_color(fresh(5, 7)));
    EXPECT_EQ(screen_pixel(r, -3, -9), to_game_color(fresh(0, 0)));  // raised to 0
    EXPECT_EQ(screen_pixel(r, kN, 0), 0);
    std::optional<CBitmap32> part = grab_screen(r, 70, 75, 40, 40);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->width, 10);
    EXPECT_EQ(part->height, 5);
    EXPECT_EQ(part->at(9, 4), fresh(79, 79));
    EXPECT_FALSE(grab_screen(r, 0, 0, 0, 5));
}

// Counts the device resets it hears of, and notes whether the surface made
// before was still there when it heard.
int g_resets = 0;
int32_t g_surface = -1;
bool g_surface_seen = false;
void count_reset(Runtime& r) {
    ++g_resets;
    g_surface_seen = r.get<GraphicsState>().surfaces.exists(g_surface);
}
const Subsystem kResetCounter{.name = "reset counter", .device_reset = count_reset};

class DeviceReset : public Frames {
protected:
    DeviceReset() : Frames({&kResetCounter}) { g_resets = 0; }
};

TEST_F(DeviceReset, SubsystemsHearOfEverySuccessfulResetOnce) {
    GraphicsState& g = r.get<GraphicsState>();
    g_surface = g.surfaces.create(g, 8, 8);
    ASSERT_GE(g_surface, 0);
    ASSERT_TRUE(reset_drawing_device(r));
    EXPECT_EQ(g_resets, 1);
    EXPECT_FALSE(g_surface_seen) << "surfaces are gone before subsystems hear";
    ASSERT_TRUE(reset_drawing_device(r));
    EXPECT_EQ(g_resets, 2);
    // A display mode wider than the device grants: the reset fails, unheard.
    g.window.attach(nullptr, DisplayMode{9000, 80});
    EXPECT_FALSE(reset_drawing_device(r));
    EXPECT_EQ(g_resets, 2);
    const std::vector<std::string> err = t.take_err();
    ASSERT_EQ(err.size(), 1u);
    EXPECT_NE(err[0].find("reset failed"), std::string::npos) << err[0];
}

}  // namespace
}  // namespace kx
