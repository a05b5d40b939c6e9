// Built-in functions of the drawing colour and alpha, colour arithmetic,
// clearing, shapes, the circle precision and the user primitives.
#include <algorithm>
#include <cmath>

#include "core/runtime.h"
#include "drawing/drawing_state.h"
#include "drawing/graphics_draw.h"
#include "drawing/support_color.h"
#include "graphics/graphics_state.h"
#include "graphics/texture_main.h"
#include "motion/motion_main.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"

namespace kx {
namespace {

DrawingState& drawing() {
    return rt().get<DrawingState>();
}
double alpha() {
    return active_graphics().device.draw_alpha();
}
uint32_t current() {
    return active_graphics().device.draw_device_colour();
}
// A colour argument with the current alpha.
uint32_t col(const RValue& v) {
    return to_device_color(arg_int(v), alpha());
}
double r(const RValue* a, int i) {
    return arg_real(a[i]);
}

KX_HANDLER(fn_draw_set_color) {
    active_graphics().device.set_draw_colour(arg_int(args[0]));
}
KX_HANDLER(fn_draw_set_alpha) {
    double a = arg_real(args[0]);
    a = std::isnan(a) ? 0 : std::clamp(a, 0.0, 1.0);
    active_graphics().device.set_draw_alpha(a);
}
KX_HANDLER(fn_draw_get_color) {
    result = RValue(double(active_graphics().device.draw_colour()));
}
KX_HANDLER(fn_draw_get_alpha) {
    result = RValue(alpha());
}
KX_HANDLER(fn_make_color_rgb) {
    result = RValue(make_color_rgb(r(args, 0), r(args, 1), r(args, 2)));
}
KX_HANDLER(fn_make_color_hsv) {
    result = RValue(double(make_color_hsv(r(args, 0), r(args, 1), r(args, 2))));
}
KX_HANDLER(fn_color_get_red) {
    result = RValue(double(color_get_red(arg_int(args[0]))));
}
KX_HANDLER(fn_color_get_green) {
    result = RValue(double(color_get_green(arg_int(args[0]))));
}
KX_HANDLER(fn_color_get_blue) {
    result = RValue(double(color_get_blue(arg_int(args[0]))));
}
KX_HANDLER(fn_color_get_hue) {
    result = RValue(double(color_get_hue(arg_int(args[0]))));
}
KX_HANDLER(fn_color_get_saturation) {
    result = RValue(double(color_get_saturation(arg_int(args[0]))));
}
KX_HANDLER(fn_color_get_value) {
    result = RValue(double(color_get_value(arg_int(args[0]))));
}
KX_HANDLER(fn_merge_color) {
    result = RValue(double(merge_color(arg_int(args[0]), arg_int(args[1]), r(args, 2))));
}
KX_HANDLER(fn_draw_set_blend_mode) {
    active_graphics().device.set_blend_mode(arg_int(args[0]));
}
KX_HANDLER(fn_draw_set_blend_mode_ext) {
    active_graphics().device.set_blend_factors(arg_int(args[0]), arg_int(args[1]));
}
KX_HANDLER(fn_draw_clear) {
    if (IDrawDevice* d = active_graphics().device.device())
        d->clear(true, false, to_device_color(arg_int(args[0]), 1));
}
KX_HANDLER(fn_draw_clear_alpha) {
    if (IDrawDevice* d = active_graphics().device.device())
        d->clear(true, false, to_device_color(arg_int(args[0]), r(args, 1)));
}
KX_HANDLER(fn_draw_point) {
    draw_point(active_graphics(), r(args, 0), r(args, 1), current());
}
KX_HANDLER(fn_draw_point_color) {
    draw_point(active_graphics(), r(args, 0), r(args, 1), col(args[2]));
}
KX_HANDLER(fn_draw_line) {
    const uint32_t c = current();
    draw_line(active_graphics(), r(args, 0), r(args, 1), r(args, 2), r(args, 3), c, c);
}
KX_HANDLER(fn_draw_line_color) {
    draw_line(active_graphics(), r(args, 0), r(args, 1), r(args, 2), r(args, 3), col(args[4]),
              col(args[5]));
}
KX_HANDLER(fn_draw_line_width) {
    const uint32_t c = current();
    draw_line_width(active_graphics(), r(args, 0), r(args, 1), r(args, 2), r(args, 3), r(args, 4),
                    c, c);
}
KX_HANDLER(fn_draw_line_width_color) {
    draw_line_width(active_graphics(), r(args, 0), r(args, 1), r(args, 2), r(args, 3), r(args, 4),
                    col(args[5]), col(args[6]));
}
KX_HANDLER(fn_draw_rectangle) {
    const uint32_t c = current();
    draw_rectangle(active_graphics(), r(args, 0), r(args, 1), r(args, 2), r(args, 3), c, c, c, c,
                   arg_bool(args[4]));
}
KX_HANDLER(fn_draw_rectangle_color) {
    draw_rectangle(active_graphics(), r(args, 0), r(args, 1), r(args, 2), r(args, 3), col(args[4]),
                   col(args[5]), col(args[6]), col(args[7]), arg_bool(args[8]));
}
KX_HANDLER(fn_draw_roundrect) {
    const uint32_t c = current();
    draw_roundrect(active_graphics(), drawing().circle, r(args, 0), r(args, 1), r(args, 2),
                   r(args, 3), c, c, arg_bool(args[4]));
}
KX_HANDLER(fn_draw_roundrect_color) {
    draw_roundrect(active_graphics(), drawing().circle, r(args, 0), r(args, 1), r(args, 2),
                   r(args, 3), col(args[4]), col(args[5]), arg_bool(args[6]));
}
KX_HANDLER(fn_draw_triangle) {
    const uint32_t c = current();
    draw_triangle(active_graphics(), r(args, 0), r(args, 1), r(args, 2), r(args, 3), r(args, 4),
                  r(args, 5), c, c, c, arg_bool(args[6]));
}
KX_HANDLER(fn_draw_triangle_color) {
    draw_triangle(active_graphics(), r(args, 0), r(args, 1), r(args, 2), r(args, 3), r(args, 4),
                  r(args, 5), col(args[6]), col(args[7]), col(args[8]), arg_bool(args[9]));
}
KX_HANDLER(fn_draw_circle) {
    const double x = r(args, 0), y = r(args, 1), rad = r(args, 2);
    const uint32_t c = current();
    draw_ellipse(active_graphics(), drawing().circle, x - rad, y - rad, x + rad, y + rad, c, c,
                 arg_bool(args[3]));
}
KX_HANDLER(fn_draw_circle_color) {
    const double x = r(args, 0), y = r(args, 1), rad = r(args, 2);
    draw_ellipse(active_graphics(), drawing().circle, x - rad, y - rad, x + rad, y + rad,
                 col(args[3]), col(args[4]), arg_bool(args[5]));
}
KX_HANDLER(fn_draw_ellipse) {
    const uint32_t c = current();
    draw_ellipse(active_graphics(), drawing().circle, r(args, 0), r(args, 1), r(args, 2),
                 r(args, 3), c, c, arg_bool(args[4]));
}
KX_HANDLER(fn_draw_ellipse_color) {
    draw_ellipse(active_graphics(), drawing().circle, r(args, 0), r(args, 1), r(args, 2),
                 r(args, 3), col(args[4]), col(args[5]), arg_bool(args[6]));
}
KX_HANDLER(fn_draw_arrow) {
    draw_arrow(active_graphics(), r(args, 0), r(args, 1), r(args, 2), r(args, 3), r(args, 4),
               current());
}
KX_HANDLER(fn_draw_button) {
    GraphicsState& g = active_graphics();
    draw_button(g, r(args, 0), r(args, 1), r(args, 2), r(args, 3), arg_bool(args[4]),
                g.device.draw_colour(), g.device.draw_alpha());
}
KX_HANDLER(fn_draw_healthbar) {
    draw_healthbar(active_graphics(), r(args, 0), r(args, 1), r(args, 2), r(args, 3), r(args, 4),
                   arg_int(args[5]), arg_int(args[6]), arg_int(args[7]), arg_int(args[8]),
                   arg_bool(args[9]), arg_bool(args[10]), alpha());
}
KX_HANDLER(fn_draw_path) {
    const CPath* path = rt().get<MotionState>().paths.get(arg_int(args[0]));
    if (!path) {
        report_with_context(rt(), "Trying to drawn non-existing path.", false);
        return;
    }
    draw_path(active_graphics(), drawing().primitive, *path, r(args, 1), r(args, 2),
              arg_bool(args[3]), current());
}
KX_HANDLER(fn_draw_set_circle_precision) {
    drawing().circle.set_precision(r(args, 0));
}
KX_HANDLER(fn_draw_primitive_begin) {
    primitive_begin(drawing().primitive, arg_int(args[0]), -1);
}
KX_HANDLER(fn_draw_primitive_begin_texture) {
    primitive_begin(drawing().primitive, arg_int(args[0]), arg_id(args[1]));
}
KX_HANDLER(fn_draw_vertex) {
    primitive_vertex(active_graphics(), drawing().primitive, r(args, 0), r(args, 1), 0, 0,
                     current());
}
KX_HANDLER(fn_draw_vertex_color) {
    primitive_vertex(active_graphics(), drawing().primitive, r(args, 0), r(args, 1), 0, 0,
                     to_device_color(arg_int(args[2]), r(args, 3)));
}
KX_HANDLER(fn_draw_vertex_texture) {
    primitive_vertex(active_graphics(), drawing().primitive, r(args, 0), r(args, 1), r(args, 2),
                     r(args, 3), current());
}
KX_HANDLER(fn_draw_vertex_texture_color) {
    primitive_vertex(active_graphics(), drawing().primitive, r(args, 0), r(args, 1), r(args, 2),
                     r(args, 3), to_device_color(arg_int(args[4]), r(args, 5)));
}
KX_HANDLER(fn_draw_primitive_end) {
    primitive_end(active_graphics(), drawing().primitive);
}

constexpr BuiltinDef kDrawFunctions[] = {
    {"draw_set_color", fn_draw_set_color, 1},
    {"draw_set_alpha", fn_draw_set_alpha, 1},
    {"draw_get_color", fn_draw_get_color, 0},
    {"draw_get_alpha", fn_draw_get_alpha, 0},
    {"make_color", fn_make_color_rgb, 3},
    {"make_color_rgb", fn_make_color_rgb, 3},
    {"make_color_hsv", fn_make_color_hsv, 3},
    {"color_get_red", fn_color_get_red, 1},
    {"color_get_green", fn_color_get_green, 1},
    {"color_get_blue", fn_color_get_blue, 1},
    {"color_get_hue", fn_color_get_hue, 1},
    {"color_get_saturation", fn_color_get_saturation, 1},
    {"color_get_value", fn_color_get_value, 1},
    {"merge_color", fn_merge_color, 3},
    {"draw_set_blend_mode", fn_draw_set_blend_mode, 1},
    {"draw_set_blend_mode_ext", fn_draw_set_blend_mode_ext, 2},
    {"draw_clear", fn_draw_clear, 1},
    {"draw_clear_alpha", fn_draw_clear_alpha, 2},
    {"draw_point", fn_draw_point, 2},
    {"draw_line", fn_draw_line, 4},
    {"draw_line_width", fn_draw_line_width, 5},
    {"draw_rectangle", fn_draw_rectangle, 5},
    {"draw_roundrect", fn_draw_roundrect, 5},
    {"draw_triangle", fn_draw_triangle, 7},
    {"draw_circle", fn_draw_circle, 4},
    {"draw_ellipse", fn_draw_ellipse, 5},
    {"draw_arrow", fn_draw_arrow, 5},
    {"draw_button", fn_draw_button, 5},
    {"draw_healthbar", fn_draw_healthbar, 11},
    {"draw_path", fn_draw_path, 4},
    {"draw_point_color", fn_draw_point_color, 3},
    {"draw_line_color", fn_draw_line_color, 6},
    {"draw_line_width_color", fn_draw_line_width_color, 7},
    {"draw_rectangle_color", fn_draw_rectangle_color, 9},
    {"draw_roundrect_color", fn_draw_roundrect_color, 7},
    {"draw_triangle_color", fn_draw_triangle_color, 10},
    {"draw_circle_color", fn_draw_circle_color, 6},
    {"draw_ellipse_color", fn_draw_ellipse_color, 7},
    {"draw_set_circle_precision", fn_draw_set_circle_precision, 1},
    {"draw_primitive_begin", fn_draw_primitive_begin, 1},
    {"draw_primitive_begin_texture", fn_draw_primitive_begin_texture, 2},
    {"draw_vertex", fn_draw_vertex, 2},
    {"draw_vertex_color", fn_draw_vertex_color, 4},
    {"draw_vertex_texture", fn_draw_vertex_texture, 4},
    {"draw_vertex_texture_color", fn_draw_vertex_texture_color, 6},
    {"draw_primitive_end", fn_draw_primitive_end, 0},
};

}  // namespace

void register_function_draw(FunctionTable& table) {
    table.add(kDrawFunctions);
}

}  // namespace kx
