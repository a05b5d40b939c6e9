#include "graphics/frame_main.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/runtime.h"
#include "gamedata/gamedata_state.h"
#include "graphics/graphics_state.h"
#include "graphics/room_draw.h"
#include "image/picture_file.h"
#include "platform/platform.h"
#include "script/function_math.h"
#include "sprites/sprite_state.h"
#include "world/world_state.h"

namespace kx {

namespace {

constexpr const char* kSurfacesFailed =
    "Failed to initialize drawing surfaces. Please check that you graphics card meets the "
    "minimum requirements and that your drivers are up-to-date. If you graphics card has little "
    "memory, try switching your computer to a lower resolution.";
constexpr const char* kWrongDepth =
    "This program requires 16-bit (High Color) or 32-bit (Full Color) mode. Please change this "
    "in your display properties and run again.";
constexpr const char* kAskDepth =
    "This application requires 16-bit or 32-bit color mode. Should I switch to a valid color "
    "mode?";

GraphicsState& gs(Runtime& r) {
    return r.get<GraphicsState>();
}
// Null in a runtime without graphics.
GraphicsState* graphics_of(const Runtime& r) {
    return r.find<GraphicsState>();
}

DeviceRect device_rect(const RegionRect& r) {
    return {r.x, r.y, r.w, r.h};
}

DeviceConfig device_config(Runtime& r) {
    GraphicsState& g = gs(r);
    DeviceConfig c;
    c.window = g.game_window ? g.game_window->native_handle() : nullptr;
    c.width = std::max(1, g.window.mode().width);
    c.height = std::max(1, g.window.mode().height);
    c.swap_interval = g.device.synchronization() ? 1 : 0;
    // Offscreen the window image is the desktop's size: any placement fits.
    c.present_width = std::max(1, g.window.desktop().width);
    c.present_height = std::max(1, g.window.desktop().height);
    return c;
}

// The window colour around the region's destination, in window pixels.
void fill_strips(GraphicsState& g, const RegionRect& dest) {
    IDrawDevice* d = g.draw_device.get();
    if (!d) return;
    const uint32_t c = to_device_color(g.window.colour(), 1);
    const int w = d->present_width(), h = d->present_height();
    const int top = std::clamp(dest.y, 0, h), bottom = std::clamp(dest.y + dest.h, 0, h);
    d->fill_window({0, 0, w, top}, c);
    d->fill_window({0, bottom, w, h - bottom}, c);
    const int left = std::clamp(dest.x, 0, w), right = std::clamp(dest.x + dest.w, 0, w);
    d->fill_window({0, top, left, bottom - top}, c);
    d->fill_window({right, top, w - right, bottom - top}, c);
}

void dump_frame(Runtime& r) {
    GraphicsState& g = gs(r);
    if (g.frame.dump_dir.empty()) return;
    std::optional<CBitmap32> img =
        grab_screen(r, 0, 0, g.device.region_width(), g.device.region_height());
    if (!img) return;
    // Opaque: the game never sees the back buffer's alpha.
    for (uint32_t& p : img->pixels) p |= 0xff000000u;
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%06lld.png",
                  static_cast<long long>(g.frame.frames_dumped++));
    const std::vector<uint8_t> bytes = encode_png(*img);
    std::ofstream f(g.frame.dump_dir + name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

TextureFilter present_filter(const GraphicsState& g) {
    return g.device.interpolation() ? TextureFilter::Linear : TextureFilter::Nearest;
}

bool present_rect(Runtime& r, const DeviceRect& src, const RegionRect& dst) {
    GraphicsState& g = gs(r);
    IDrawDevice* d = g.draw_device.get();
    if (!d || src.w < 1 || src.h < 1) return true;
    return d->present(src, device_rect(dst), present_filter(g));
}

bool windowed(const GraphicsState& g) {
    return g.game_window && g.game_window->native_handle();
}

// The whole region into its placement with the window colour around it; a
// failing present resets the device. Headless, wait first for the blank when
// asked (windowed, the swap interval waits).
void present_region(Runtime& r, bool wait) {
    GraphicsState& g = gs(r);
    const RegionRect dest = g.window.to_real(g.window.placement());
    if (wait && !windowed(g)) wait_vertical_blank(r);
    fill_strips(g, dest);
    if (!present_rect(r, {0, 0, g.device.region_width(), g.device.region_height()}, dest))
        reset_drawing_device(r);
}

void present_whole(Runtime& r, bool end_scene, bool dump) {
    IDrawDevice* d = gs(r).draw_device.get();
    if (!d) return;
    if (end_scene) d->end_frame();
    if (dump) dump_frame(r);
    present_region(r, gs(r).device.synchronization());
}

}  // namespace

TransitionFractions transition_fractions(int kind, int i) {
    const double A = i / 80.0, V = (80 - i) / 80.0;
    auto same = [](double l, double r, double t, double b) {
        return TransitionFractions{l, r, t, b, l, r, t, b};
    };
    switch (kind) {
        case 1:
            return same(0, A, 0, 1);
        case 2:
            return same(V, 1, 0, 1);
        case 3:
            return same(0, 1, 0, A);
        case 4:
            return same(0, 1, V, 1);
        case 5: {
            const double B = 0.5 + i / 160.0, C = 0.5 - i / 160.0;
            return same(C, B, C, B);
        }
        case 6:
            return {V, 1, 0, 1, 0, A, 0, 1};
        case 7:
            return {0, A, 0, 1, V, 1, 0, 1};
        case 8:
            return {0, 1, V, 1, 0, 1, 0, A};
        case 9:
            return {0, 1, 0, A, 0, 1, V, 1};
        case 10:
            return i <= 39 ? same((2 * i - 1) / 80.0, 2 * i / 80.0, 0, 1)
                           : same(0, (2 * i - 80) / 80.0, 0, 1);
        case 11:
            return i <= 39 ? same((81 - 2 * i) / 80.0, (82 - 2 * i) / 80.0, 0, 1)
                           : same((160 - 2 * i) / 80.0, 1, 0, 1);
        case 12:
            return i <= 39 ? same(0, 1, (2 * i - 1) / 80.0, 2 * i / 80.0)
                           : same(0, 1, 0, (2 * i - 80) / 80.0);
        case 13:
            return i <= 39 ? same(0, 1, (81 - 2 * i) / 80.0, (82 - 2 * i) / 80.0)
                           : same(0, 1, (160 - 2 * i) / 80.0, 1);
        default:
            return same(0, 1, 0, 1);
    }
}

void present_transition_parts(Runtime& r, int kind, int parts) {
    GraphicsState& g = gs(r);
    IDrawDevice* d = g.draw_device.get();
    if (!d) return;
    const int RW = g.device.region_width(), RH = g.device.region_height();
    const RegionRect p = g.window.placement();
    auto rd = [](double v) { return static_cast<int>(round_even(v)); };
    // Windowed, each part waits for a blank through the swap interval.
    const bool shown = windowed(g);
    if (shown) d->set_swap_interval(1);
    for (int i = 1; i <= parts && i <= 80; ++i) {
        const TransitionFractions f = transition_fractions(kind, i);
        const int sx0 = rd(RW * f.sl), sx1 = rd(RW * f.sr), sy0 = rd(RH * f.st),
                  sy1 = rd(RH * f.sb);
        const int dx0 = rd(p.w * f.dl + p.x), dx1 = rd(p.w * f.dr + p.x);
        const int dy0 = rd(p.h * f.dt + p.y), dy1 = rd(p.h * f.db + p.y);
        if (!shown) wait_vertical_blank(r);
        present_rect(r, {sx0, sy0, sx1 - sx0, sy1 - sy0},
                     g.window.to_real({dx0, dy0, dx1 - dx0, dy1 - dy0}));
    }
    if (shown) d->set_swap_interval(g.device.synchronization() ? 1 : 0);
}

bool reset_drawing_device(Runtime& r) {
    GraphicsState& g = gs(r);
    IDrawDevice* d = g.draw_device.get();
    if (!d) return false;
    g.surfaces.free_all(g);
    std::string error;
    if (!d->reset(device_config(r), &error)) {
        if (r.platform && r.platform->console())
            r.platform->console()->err_line("kxrun: drawing device reset failed: " + error);
        return false;
    }
    d->clear(true, false, 0xff000000u);
    g.device.attach(d, std::min(g.device.region_width(), g.window.mode().width),
                    std::min(g.device.region_height(), g.window.mode().height));
    for (const Subsystem* sub : r.subsystems())
        if (sub->device_reset) sub->device_reset(r);
    return true;
}

bool prepare_graphics(Runtime& r) {
    GraphicsState& g = gs(r);
    const GameSettings& s = r.get<GameDataState>().settings;
    const RunOptions& opts = r.options;
    IWindowSystem& ws = *r.platform->windows();
    g.frame.dump_dir = opts.dump_frames_dir;
    if (!g.frame.dump_dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(g.frame.dump_dir, ec);
        if (!std::filesystem::is_directory(g.frame.dump_dir, ec)) {
            r.platform->console()->err_line("kxrun: cannot make the folder " + g.frame.dump_dir);
            return false;
        }
    }

    DisplayMode desktop;
    desktop.width = std::max(1, ws.screen_width());
    desktop.height = std::max(1, ws.screen_height());
    desktop.frequency = ws.screen_frequency() > 0 ? ws.screen_frequency() : 60;
    desktop.depth = 32;

    // The modes the game asks for; the desktop itself never changes.
    int depth = 0, w = 0, h = 0, freq = 0;
    bool change = s.SetResolution;
    if (change) {
        depth = s.ColorDepth == 1 ? 16 : s.ColorDepth == 2 ? 32 : 0;
        static const int kSizes[][2] = {{320, 240},  {640, 480},   {800, 600},
                                        {1024, 768}, {1280, 1024}, {1600, 1200}};
        if (s.Resolution >= 1 && s.Resolution <= 6) {
            w = kSizes[s.Resolution - 1][0];
            h = kSizes[s.Resolution - 1][1];
        }
        static const int kFreq[] = {60, 70, 85, 100, 120};
        if (s.Frequency >= 1 && s.Frequency <= 5) freq = kFreq[s.Frequency - 1];
    }
    if (depth == 0 && desktop.depth != 16 && desktop.depth != 32) {
        if (!r.platform->dialogs()->question("", kAskDepth)) return false;
        depth = 16;
        change = true;
    }

    std::string error;
    gl_prepare_window_attributes();
    g.game_window = ws.create_game_window(gl_window_flags(), &error);
    if (!g.game_window) {
        r.platform->dialogs()->message("", kSurfacesFailed);
        if (r.platform->console()) r.platform->console()->err_line("kxrun: " + error);
        return false;
    }
    g.window.attach(g.game_window.get(), desktop);
    if (change) g.window.change_mode(w, h, depth, freq);
    g.window.repaint = [&r] { present_whole(r, false, false); };

    const double scale = opts.scale ? *opts.scale : s.Scaling;
    g.window.set_region_size(8, 8, true);
    g.window.set_region_scale(scale / 100, true);
    g.window.set_sizeable(s.AllowResize);
    g.window.set_stay_on_top(s.AlwaysOnTop);
    g.window.set_colour(s.ColorOutsideRoom);
    g.window.set_show_border(!s.NoBorder);
    g.window.set_show_icons(!s.NoButtons);
    g.window.set_fullscreen(s.FullScreen || opts.fullscreen);

    // The device.
    const DisplayMode& mode = g.window.mode();
    if (mode.depth != 16 && mode.depth != 32) {
        r.platform->dialogs()->message("", kWrongDepth);
        return false;
    }
    g.device.set_synchronization(s.UseVSync);
    g.draw_device = create_gl_draw_device(device_config(r), &error);
    if (!g.draw_device) {
        r.platform->dialogs()->message("", kSurfacesFailed);
        if (r.platform->console()) r.platform->console()->err_line("kxrun: " + error);
        return false;
    }
    g.draw_device->clear(true, false, 0xff000000u);
    g.device.set_interpolation(s.Interpolate);
    attach_drawing_device(g, r.get<SpriteState>(), g.draw_device.get(), std::min(640, mode.width),
                          std::min(480, mode.height));
    // Centred before it first shows; room start sizes it again.
    g.window.window_default();
    g.window.set_visible(true);
    begin_frame(r);
    return true;
}

bool begin_frame(Runtime& r) {
    GraphicsState* g = graphics_of(r);
    IDrawDevice* d = g ? g->draw_device.get() : nullptr;
    return d && d->begin_frame();
}

void present_frame(Runtime& r) {
    if (graphics_of(r)) present_whole(r, true, true);
}

void represent_frame(Runtime& r) {
    if (graphics_of(r)) present_whole(r, false, true);
}

void present_transition(Runtime& r, int kind) {
    if (!graphics_of(r) || !graphics_of(r)->draw_device) return;
    if (kind < 1 || kind > 13) return present_frame(r);
    GraphicsState& g = gs(r);
    g.draw_device->end_frame();
    dump_frame(r);
    present_transition_parts(r, kind, 80);
    // The whole frame once more, after its own blank.
    present_region(r, true);
}

void wait_vertical_blank(Runtime& r) {
    // No portable way to wait for the blank without presenting: sleep to the
    // next refresh boundary of the mode's frequency.
    IClock* clock = r.platform ? r.platform->clock() : nullptr;
    GraphicsState* g = graphics_of(r);
    if (!clock || !g) return;
    const int freq = std::max(1, g->window.mode().frequency);
    const int64_t period = 1000000 / freq;
    const int64_t now = clock->now_us();
    int64_t& next = g->frame.next_blank_us;
    if (next <= now || next > now + period) next = (now / period + 1) * period;
    clock->sleep_us(next - now);
    next += period;
}

void set_drawing_region_size(Runtime& r, int width, int height) {
    GraphicsState& g = gs(r);
    width = std::clamp(width, 1, std::max(1, g.window.mode().width));
    height = std::clamp(height, 1, std::max(1, g.window.mode().height));
    if (width == g.device.region_width() && height == g.device.region_height()) return;
    g.device.set_region_size(width, height);
}

void size_region_for_room(Runtime& r) {
    const WorldState* w = r.find<WorldState>();
    if (!graphics_of(r) || !w || !w->current) return;
    GraphicsState& g = gs(r);
    const RegionSize sz =
        region_size_for_room(*w->current, g.window.mode().width, g.window.mode().height);
    if (sz.width == g.window.region_width() && sz.height == g.window.region_height() &&
        sz.width == g.device.region_width() && sz.height == g.device.region_height())
        return;
    g.window.set_region_size(sz.width, sz.height, true);
    g.window.window_default();
    set_drawing_region_size(r, sz.width, sz.height);
}

std::optional<CBitmap32> grab_screen(Runtime& r, int x, int y, int w, int h) {
    if (!graphics_of(r) || !graphics_of(r)->draw_device) return std::nullopt;
    GraphicsState& g = gs(r);
    x = std::max(x, 0);
    y = std::max(y, 0);
    w = std::min(w, g.device.region_width() - x);
    h = std::min(h, g.device.region_height() - y);
    if (w <= 0 || h <= 0) return std::nullopt;
    std::vector<uint32_t> px(static_cast<size_t>(w) * static_cast<size_t>(h));
    IDrawDevice* d = g.draw_device.get();
    const int target = d->render_target();
    if (target >= 0) d->reset_render_target();
    const bool ok = d->read_pixels(kBackBuffer, {x, y, w, h}, px.data(), w);
    if (target >= 0) d->set_render_target(target);
    if (!ok) return std::nullopt;
    CBitmap32 img = CBitmap32::blank(w, h);
    img.pixels = std::move(px);
    return img;
}

int32_t screen_pixel(Runtime& r, int x, int y) {
    std::optional<CBitmap32> img = grab_screen(r, x, y, 1, 1);
    return img ? to_game_color(img->at(0, 0)) : 0;
}

void mouse_room_position(Runtime& r, double& x, double& y) {
    const InputState& in = r.get<WorldState>().game.input;
    GraphicsState* g = graphics_of(r);
    if (!g) {
        x = in.window_x;
        y = in.window_y;
        return;
    }
    WindowState& w = g->window;
    w.note_mouse(in.window_x, in.window_y);
    double gx, gy;
    w.from_real(in.window_x, in.window_y, gx, gy);
    w.window_to_room_views(gx, gy, x, y);
}

}  // namespace kx
