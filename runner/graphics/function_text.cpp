// Built-in functions of text: the current font and alignments, measuring
// and drawing.
#include "core/runtime.h"
#include "graphics/graphics_state.h"
#include "graphics/graphics_text.h"
#include "graphics/texture_main.h"
#include "script/builtin_args.h"
#include "script/code_function.h"
#include "script/function_math.h"
#include "sprites/sprite_state.h"

namespace kx {
namespace {

// The text of a drawing or measuring argument: a real is written as string() writes it.
std::string text_arg(const RValue& v) {
    return v.is_string() ? std::string(v.str.view()) : real_to_string(v.real);
}

const CFont& font_now() {
    return text_font(active_graphics(), active_sprites());
}

int32_t align_arg(const RValue& v) {
    const int64_t a = arg_int(v);
    return a >= 0 && a <= 2 ? static_cast<int32_t>(a) : 0;
}

KX_HANDLER(fn_draw_set_font) {
    const int32_t id = arg_id(args[0]);
    active_graphics().text.font = active_sprites().fonts.exists(id) ? id : -1;
}
KX_HANDLER(fn_draw_set_halign) {
    active_graphics().text.halign = align_arg(args[0]);
}
KX_HANDLER(fn_draw_set_valign) {
    active_graphics().text.valign = align_arg(args[0]);
}

KX_HANDLER(fn_string_width) {
    result.set_real(text_block_width(font_now(), text_arg(args[0]), -1));
}
KX_HANDLER(fn_string_height) {
    result.set_real(text_block_height(font_now(), text_arg(args[0]), -1, -1));
}
KX_HANDLER(fn_string_width_ext) {
    result.set_real(text_block_width(font_now(), text_arg(args[0]), arg_real(args[2])));
}
KX_HANDLER(fn_string_height_ext) {
    result.set_real(
        text_block_height(font_now(), text_arg(args[0]), arg_i32(args[1]), arg_real(args[2])));
}

TextStyle plain_style() {
    const GraphicsState& g = active_graphics();
    TextStyle st;
    st.colour = g.device.draw_colour();
    st.alpha = g.device.draw_alpha();
    return st;
}
void set_ext(TextStyle& st, const RValue* a) {
    st.sep = arg_i32(a[0]);
    st.width = arg_real(a[1]);
}
void set_transform(TextStyle& st, const RValue* a) {
    st.transformed = true;
    st.xscale = arg_real(a[0]);
    st.yscale = arg_real(a[1]);
    st.angle = arg_real(a[2]);
}
void set_gradient(TextStyle& st, const RValue* a) {
    st.gradient = true;
    st.c1 = arg_int(a[0]);
    st.c2 = arg_int(a[1]);
    st.c3 = arg_int(a[2]);
    st.c4 = arg_int(a[3]);
    st.alpha = arg_real(a[4]);
}
void draw(const RValue* args, const TextStyle& st) {
    draw_text_block(active_graphics(), active_sprites(), arg_real(args[0]), arg_real(args[1]),
                    text_arg(args[2]), st);
}

KX_HANDLER(fn_draw_text) {
    draw(args, plain_style());
}
KX_HANDLER(fn_draw_text_ext) {
    TextStyle st = plain_style();
    set_ext(st, args + 3);
    draw(args, st);
}
KX_HANDLER(fn_draw_text_transformed) {
    TextStyle st = plain_style();
    set_transform(st, args + 3);
    draw(args, st);
}
KX_HANDLER(fn_draw_text_ext_transformed) {
    TextStyle st = plain_style();
    set_ext(st, args + 3);
    set_transform(st, args + 5);
    draw(args, st);
}
KX_HANDLER(fn_draw_text_color) {
    TextStyle st = plain_style();
    set_gradient(st, args + 3);
    draw(args, st);
}
KX_HANDLER(fn_draw_text_ext_color) {
    TextStyle st = plain_style();
    set_ext(st, args + 3);
    set_gradient(st, args + 5);
    draw(args, st);
}
KX_HANDLER(fn_draw_text_transformed_color) {
    TextStyle st = plain_style();
    set_transform(st, args + 3);
    set_gradient(st, args + 6);
    draw(args, st);
}
KX_HANDLER(fn_draw_text_ext_transformed_color) {
    TextStyle st = plain_style();
    set_ext(st, args + 3);
    set_transform(st, args + 5);
    set_gradient(st, args + 8);
    draw(args, st);
}

const BuiltinDef kTextFunctions[] = {
    {"draw_set_font", fn_draw_set_font, 1},
    {"draw_set_halign", fn_draw_set_halign, 1},
    {"draw_set_valign", fn_draw_set_valign, 1},
    {"string_width", fn_string_width, 1},
    {"string_height", fn_string_height, 1},
    {"string_width_ext", fn_string_width_ext, 3},
    {"string_height_ext", fn_string_height_ext, 3},
    {"draw_text", fn_draw_text, 3},
    {"draw_text_ext", fn_draw_text_ext, 5},
    {"draw_text_transformed", fn_draw_text_transformed, 6},
    {"draw_text_ext_transformed", fn_draw_text_ext_transformed, 8},
    {"draw_text_color", fn_draw_text_color, 8},
    {"draw_text_ext_color", fn_draw_text_ext_color, 10},
    {"draw_text_transformed_color", fn_draw_text_transformed_color, 11},
    {"draw_text_ext_transformed_color", fn_draw_text_ext_transformed_color, 13},
};

}  // namespace

void register_function_text(FunctionTable& table) {
    table.add(kTextFunctions);
}

}  // namespace kx
