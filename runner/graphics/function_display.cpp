// screen_*, set_synchronization, set_automatic_draw, draw_getpixel, window_*
// and display_* built-in functions.
#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>

#include "core/runtime.h"
#include "graphics/frame_main.h"
#include "graphics/graphics_state.h"
#include "graphics/room_draw.h"
#include "image/picture_file.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "world/room_class.h"
#include "world/world_state.h"

namespace kx {

namespace {

WindowState& win() {
    return rt().get<GraphicsState>().window;
}
int ii(const RValue* a, int i) {
    const int64_t v = arg_int(a[i]);
    return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
}

// ---------------------------------------------------------------- screen

KX_HANDLER(fn_set_synchronization) {
    GraphicsState& g = rt().get<GraphicsState>();
    g.device.set_synchronization(arg_bool(args[0]));
    if (g.draw_device) g.draw_device->set_swap_interval(arg_bool(args[0]) ? 1 : 0);
}
KX_HANDLER(fn_set_automatic_draw) {
    rt().get<WorldState>().game.automatic_draw = arg_bool(args[0]);
}

KX_HANDLER(fn_screen_redraw) {
    Runtime& r = rt();
    FrameState& f = r.get<GraphicsState>().frame;
    // A draw event that redraws the screen would draw itself forever.
    if (f.in_redraw) return;
    f.in_redraw = true;
    draw_room_pass(r);
    present_transition(r, r.get<WorldState>().game.transition_kind);
    begin_frame(r);
    f.in_redraw = false;
}
KX_HANDLER(fn_screen_refresh) {
    represent_frame(rt());
}
KX_HANDLER(fn_screen_wait_vsync) {
    wait_vertical_blank(rt());
}

void save_screen(const RValue& name, int x, int y, int w, int h) {
    std::string file(arg_text(name));
    if (file.empty()) {
        report_with_context(rt(), "Trying to save screen to empty image file name.", false);
        return;
    }
    std::optional<CBitmap32> img = grab_screen(rt(), x, y, w, h);
    if (!img) return;
    for (char& c : file)
        if (c == '\\') c = '/';
    const std::vector<uint8_t> bytes = encode_bmp(img->to_24bit(), false);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}
KX_HANDLER(fn_screen_save) {
    const GraphicsDevice& d = rt().get<GraphicsState>().device;
    save_screen(args[0], 0, 0, d.region_width(), d.region_height());
}
KX_HANDLER(fn_screen_save_part) {
    save_screen(args[0], ii(args, 1), ii(args, 2), ii(args, 3), ii(args, 4));
}

KX_HANDLER(fn_draw_getpixel) {
    Runtime& r = rt();
    const double x = arg_real(args[0]), y = arg_real(args[1]);
    double qx = x, qy = y;
    const bool views = r.get<WorldState>().current && r.get<WorldState>().current->views_enabled;
    if (views) win().room_to_region(r.get<WorldState>().game.view_current, x, y, qx, qy);
    result.set_real(
        screen_pixel(r, static_cast<int>(std::floor(qx)), static_cast<int>(std::floor(qy))));
}

// ---------------------------------------------------------------- display

void after_mode_change(RValue& result, bool ok) {
    result.set_real(ok ? 1 : 0);
    reset_drawing_device(rt());
}
KX_HANDLER(fn_display_get_width) {
    result.set_real(win().mode().width);
}
KX_HANDLER(fn_display_get_height) {
    result.set_real(win().mode().height);
}
KX_HANDLER(fn_display_get_colordepth) {
    result.set_real(win().mode().depth);
}
KX_HANDLER(fn_display_get_frequency) {
    result.set_real(win().mode().frequency);
}
KX_HANDLER(fn_display_set_size) {
    after_mode_change(result, win().change_mode(ii(args, 0), ii(args, 1), 0, 0));
}
KX_HANDLER(fn_display_set_colordepth) {
    after_mode_change(result, win().change_mode(0, 0, ii(args, 0), 0));
}
KX_HANDLER(fn_display_set_frequency) {
    after_mode_change(result, win().change_mode(0, 0, 0, ii(args, 0)));
}
KX_HANDLER(fn_display_set_all) {
    after_mode_change(result,
                      win().change_mode(ii(args, 0), ii(args, 1), ii(args, 3), ii(args, 2)));
}
KX_HANDLER(fn_display_test_all) {
    result.set_real(WindowState::test_mode(ii(args, 0), ii(args, 1), ii(args, 3), ii(args, 2)) ? 1
                                                                                               : 0);
}
KX_HANDLER(fn_display_reset) {
    win().restore_mode();
    if (win().fullscreen()) win().apply();
    reset_drawing_device(rt());
}
KX_HANDLER(fn_display_mouse_get_x) {
    int x, y;
    win().mouse_screen(x, y);
    result.set_real(x);
}
KX_HANDLER(fn_display_mouse_get_y) {
    int x, y;
    win().mouse_screen(x, y);
    result.set_real(y);
}
KX_HANDLER(fn_display_mouse_set) {
    win().set_mouse_screen(ii(args, 0), ii(args, 1));
}

// ---------------------------------------------------------------- window

#define WINDOW_FLAG(name, setter, getter)        \
    KX_HANDLER(fn_window_set_##name) {           \
        win().setter(arg_bool(args[0]));         \
    }                                            \
    KX_HANDLER(fn_window_get_##name) {           \
        result.set_real(win().getter() ? 1 : 0); \
    }
WINDOW_FLAG(visible, set_visible, visible)
WINDOW_FLAG(fullscreen, set_fullscreen, fullscreen)
WINDOW_FLAG(showborder, set_show_border, show_border)
WINDOW_FLAG(showicons, set_show_icons, show_icons)
WINDOW_FLAG(stayontop, set_stay_on_top, stay_on_top)
WINDOW_FLAG(sizeable, set_sizeable, sizeable)
#undef WINDOW_FLAG

KX_HANDLER(fn_window_set_caption) {
    win().set_caption(std::string(arg_text(args[0])));
}
KX_HANDLER(fn_window_get_caption) {
    result.set_string(KxString(win().caption()));
}
KX_HANDLER(fn_window_set_cursor) {
    win().set_cursor(ii(args, 0));
}
KX_HANDLER(fn_window_get_cursor) {
    result.set_real(win().cursor());
}
KX_HANDLER(fn_window_set_color) {
    win().set_colour(static_cast<int32_t>(arg_int(args[0])));
}
KX_HANDLER(fn_window_get_color) {
    result.set_real(win().colour());
}
KX_HANDLER(fn_window_set_position) {
    win().set_position(ii(args, 0), ii(args, 1));
}
KX_HANDLER(fn_window_set_size) {
    win().set_size(ii(args, 0), ii(args, 1));
}
KX_HANDLER(fn_window_set_rectangle) {
    win().set_position(ii(args, 0), ii(args, 1));
    win().set_size(ii(args, 2), ii(args, 3));
}
KX_HANDLER(fn_window_center) {
    win().center();
}
KX_HANDLER(fn_window_default) {
    win().window_default();
}
KX_HANDLER(fn_window_get_x) {
    result.set_real(win().client().x);
}
KX_HANDLER(fn_window_get_y) {
    result.set_real(win().client().y);
}
KX_HANDLER(fn_window_get_width) {
    result.set_real(win().client().w);
}
KX_HANDLER(fn_window_get_height) {
    result.set_real(win().client().h);
}
KX_HANDLER(fn_window_set_region_size) {
    win().set_region_size(ii(args, 0), ii(args, 1), arg_bool(args[2]));
}
KX_HANDLER(fn_window_get_region_width) {
    result.set_real(win().region_width());
}
KX_HANDLER(fn_window_get_region_height) {
    result.set_real(win().region_height());
}
KX_HANDLER(fn_window_set_region_scale) {
    win().set_region_scale(arg_real(args[0]), arg_bool(args[1]));
}
KX_HANDLER(fn_window_get_region_scale) {
    result.set_real(win().region_scale());
}

KX_HANDLER(fn_window_mouse_get_x) {
    double x, y;
    win().mouse_client(x, y);
    result.set_real(std::round(x));
}
KX_HANDLER(fn_window_mouse_get_y) {
    double x, y;
    win().mouse_client(x, y);
    result.set_real(std::round(y));
}
KX_HANDLER(fn_window_mouse_set) {
    win().set_mouse_client(arg_real(args[0]), arg_real(args[1]));
}

void view_mouse(int view, double& rx, double& ry) {
    double x, y;
    win().mouse_client(x, y);
    if (view < 0 || !win().window_to_room_view(view, x, y, rx, ry))
        win().window_to_room(x, y, rx, ry);
}
KX_HANDLER(fn_window_view_mouse_get_x) {
    double x, y;
    view_mouse(ii(args, 0), x, y);
    result.set_real(x);
}
KX_HANDLER(fn_window_view_mouse_get_y) {
    double x, y;
    view_mouse(ii(args, 0), x, y);
    result.set_real(y);
}
KX_HANDLER(fn_window_views_mouse_get_x) {
    double x, y, rx, ry;
    win().mouse_client(x, y);
    win().window_to_room_views(x, y, rx, ry);
    result.set_real(rx);
}
KX_HANDLER(fn_window_views_mouse_get_y) {
    double x, y, rx, ry;
    win().mouse_client(x, y);
    win().window_to_room_views(x, y, rx, ry);
    result.set_real(ry);
}
void move_mouse_to_room(int view, double x, double y) {
    double qx = x, qy = y;
    if (view >= 0) win().room_to_region(view, x, y, qx, qy);
    double cx, cy;
    win().region_to_client(qx, qy, cx, cy);
    win().set_mouse_client(cx, cy);
}
KX_HANDLER(fn_window_view_mouse_set) {
    move_mouse_to_room(ii(args, 0), arg_real(args[1]), arg_real(args[2]));
}
KX_HANDLER(fn_window_views_mouse_set) {
    move_mouse_to_room(win().first_used_view(), arg_real(args[0]), arg_real(args[1]));
}

const BuiltinDef kDisplayFunctions[] = {
    {"set_synchronization", fn_set_synchronization, 1},
    {"set_automatic_draw", fn_set_automatic_draw, 1},
    {"screen_redraw", fn_screen_redraw, 0},
    {"screen_refresh", fn_screen_refresh, 0},
    {"screen_wait_vsync", fn_screen_wait_vsync, 0},
    {"screen_save", fn_screen_save, 1},
    {"screen_save_part", fn_screen_save_part, 5},
    {"draw_getpixel", fn_draw_getpixel, 2},
    {"display_get_width", fn_display_get_width, 0},
    {"display_get_height", fn_display_get_height, 0},
    {"display_get_colordepth", fn_display_get_colordepth, 0},
    {"display_get_frequency", fn_display_get_frequency, 0},
    {"display_set_size", fn_display_set_size, 2},
    {"display_set_colordepth", fn_display_set_colordepth, 1},
    {"display_set_frequency", fn_display_set_frequency, 1},
    {"display_set_all", fn_display_set_all, 4},
    {"display_test_all", fn_display_test_all, 4},
    {"display_reset", fn_display_reset, 0},
    {"display_mouse_get_x", fn_display_mouse_get_x, 0},
    {"display_mouse_get_y", fn_display_mouse_get_y, 0},
    {"display_mouse_set", fn_display_mouse_set, 2},
    {"window_set_visible", fn_window_set_visible, 1},
    {"window_get_visible", fn_window_get_visible, 0},
    {"window_set_fullscreen", fn_window_set_fullscreen, 1},
    {"window_get_fullscreen", fn_window_get_fullscreen, 0},
    {"window_set_showborder", fn_window_set_showborder, 1},
    {"window_get_showborder", fn_window_get_showborder, 0},
    {"window_set_showicons", fn_window_set_showicons, 1},
    {"window_get_showicons", fn_window_get_showicons, 0},
    {"window_set_stayontop", fn_window_set_stayontop, 1},
    {"window_get_stayontop", fn_window_get_stayontop, 0},
    {"window_set_sizeable", fn_window_set_sizeable, 1},
    {"window_get_sizeable", fn_window_get_sizeable, 0},
    {"window_set_caption", fn_window_set_caption, 1},
    {"window_get_caption", fn_window_get_caption, 0},
    {"window_set_cursor", fn_window_set_cursor, 1},
    {"window_get_cursor", fn_window_get_cursor, 0},
    {"window_set_color", fn_window_set_color, 1},
    {"window_get_color", fn_window_get_color, 0},
    {"window_set_position", fn_window_set_position, 2},
    {"window_set_size", fn_window_set_size, 2},
    {"window_set_rectangle", fn_window_set_rectangle, 4},
    {"window_center", fn_window_center, 0},
    {"window_default", fn_window_default, 0},
    {"window_get_x", fn_window_get_x, 0},
    {"window_get_y", fn_window_get_y, 0},
    {"window_get_width", fn_window_get_width, 0},
    {"window_get_height", fn_window_get_height, 0},
    {"window_set_region_size", fn_window_set_region_size, 3},
    {"window_get_region_width", fn_window_get_region_width, 0},
    {"window_get_region_height", fn_window_get_region_height, 0},
    {"window_set_region_scale", fn_window_set_region_scale, 2},
    {"window_get_region_scale", fn_window_get_region_scale, 0},
    {"window_mouse_get_x", fn_window_mouse_get_x, 0},
    {"window_mouse_get_y", fn_window_mouse_get_y, 0},
    {"window_mouse_set", fn_window_mouse_set, 2},
    {"window_view_mouse_get_x", fn_window_view_mouse_get_x, 1},
    {"window_view_mouse_get_y", fn_window_view_mouse_get_y, 1},
    {"window_view_mouse_set", fn_window_view_mouse_set, 3},
    {"window_views_mouse_get_x", fn_window_views_mouse_get_x, 0},
    {"window_views_mouse_get_y", fn_window_views_mouse_get_y, 0},
    {"window_views_mouse_set", fn_window_views_mouse_set, 2},
};

}  // namespace

void register_function_display(FunctionTable& table) {
    table.add(kDisplayFunctions);
}

}  // namespace kx
