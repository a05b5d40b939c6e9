// Built-in functions that inspect, add, replace and delete fonts.
#include "core/runtime.h"
#include "graphics/graphics_state.h"
#include "graphics/graphics_text.h"
#include "graphics/texture_main.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "sprites/sprite_state.h"

namespace kx {
namespace {

FontList& fonts() {
    return active_sprites().fonts;
}
const CFont* font_arg(const RValue& v) {
    return fonts().get(arg_id(v));
}
void report(const char* message) {
    report_with_context(rt(), message, false);
}

KX_HANDLER(fn_font_exists) {
    result.set_real(font_arg(args[0]) ? 1 : 0);
}
KX_HANDLER(fn_font_get_name) {
    result.set_string(KxString(fonts().name(arg_id(args[0]))));
}
KX_HANDLER(fn_font_get_fontname) {
    const CFont* f = font_arg(args[0]);
    result.set_string(KxString(f && f->sprite() < 0 ? f->name() : std::string()));
}

template <class Field>
void font_field(const RValue& v, RValue& result, Field field) {
    const CFont* f = font_arg(v);
    result.set_real(f ? double(field(*f)) : -1.0);
}
KX_HANDLER(fn_font_get_size) {
    font_field(args[0], result, [](const CFont& f) { return f.size(); });
}
KX_HANDLER(fn_font_get_bold) {
    font_field(args[0], result, [](const CFont& f) { return f.bold() ? 1 : 0; });
}
KX_HANDLER(fn_font_get_italic) {
    font_field(args[0], result, [](const CFont& f) { return f.italic() ? 1 : 0; });
}
KX_HANDLER(fn_font_get_first) {
    font_field(args[0], result, [](const CFont& f) { return f.first(); });
}
KX_HANDLER(fn_font_get_last) {
    font_field(args[0], result, [](const CFont& f) { return f.last(); });
}

KX_HANDLER(fn_font_add) {
    result.set_real(fonts().add_font(std::string(arg_text(args[0])), arg_i32(args[1]),
                                     arg_bool(args[2]), arg_bool(args[3]), arg_i32(args[4]),
                                     arg_i32(args[5])));
}
KX_HANDLER(fn_font_add_sprite) {
    const int32_t spr = arg_id(args[0]);
    const CSprite* s = active_sprites().sprites.get(spr);
    if (!s) {
        report("Trying to create font from non-existing sprite.");
        result.set_real(-1);
        return;
    }
    result.set_real(
        fonts().add_sprite_font(*s, spr, arg_i32(args[1]), arg_bool(args[2]), arg_i32(args[3])));
}
KX_HANDLER(fn_font_replace) {
    const int32_t id = arg_id(args[0]);
    if (!fonts().exists(id)) {
        report("Trying to replace non-existing font.");
        return;
    }
    result.set_real(fonts().replace_font(id, std::string(arg_text(args[1])), arg_i32(args[2]),
                                         arg_bool(args[3]), arg_bool(args[4]), arg_i32(args[5]),
                                         arg_i32(args[6]))
                        ? 1
                        : 0);
}
KX_HANDLER(fn_font_replace_sprite) {
    const int32_t id = arg_id(args[0]);
    if (!fonts().exists(id)) {
        report("Trying to replace non-existing font.");
        return;
    }
    const int32_t spr = arg_id(args[1]);
    const CSprite* s = active_sprites().sprites.get(spr);
    if (!s) {
        report("Trying to replace font from non-existing sprite.");
        return;
    }
    result.set_real(fonts().replace_sprite_font(id, *s, spr, arg_i32(args[2]), arg_bool(args[3]),
                                                arg_i32(args[4]))
                        ? 1
                        : 0);
}
KX_HANDLER(fn_font_delete) {
    if (!fonts().remove(arg_id(args[0]))) {
        report("Trying to delete non-existing font.");
        return;
    }
    result.set_real(1);
}

const BuiltinDef kFontFunctions[] = {
    {"font_exists", fn_font_exists, 1},
    {"font_name", fn_font_get_name, 1},
    {"font_get_name", fn_font_get_name, 1},
    {"font_get_fontname", fn_font_get_fontname, 1},
    {"font_get_size", fn_font_get_size, 1},
    {"font_get_bold", fn_font_get_bold, 1},
    {"font_get_italic", fn_font_get_italic, 1},
    {"font_get_first", fn_font_get_first, 1},
    {"font_get_last", fn_font_get_last, 1},
    {"font_add", fn_font_add, 6},
    {"font_add_sprite", fn_font_add_sprite, 4},
    {"font_replace", fn_font_replace, 7},
    {"font_replace_sprite", fn_font_replace_sprite, 5},
    {"font_delete", fn_font_delete, 1},
};

}  // namespace

void register_function_font(FunctionTable& table) {
    table.add(kFontFunctions);
}

}  // namespace kx
