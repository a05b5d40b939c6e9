// Built-in functions that draw sprites and backgrounds.
#include <algorithm>
#include <climits>
#include <cmath>

#include "core/runtime.h"
#include "graphics/graphics_state.h"
#include "graphics/texture_main.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/function_math.h"
#include "script/function_string.h"
#include "sprites/sprite_state.h"
#include "world/instance.h"

namespace kx {
namespace {

// A negative subimage is the caller's floor(image_index).
int64_t subimage_arg(CInstance* self, const RValue* a, int i) {
    const int64_t k = arg_int(a[i]);
    if (k >= 0) return k;
    if (!self) return 0;
    const double f = std::floor(self->image_index);
    return std::isfinite(f) ? static_cast<int64_t>(std::clamp(f, -1e15, 1e15)) : 0;
}

const CSprite* sprite_or_report(const RValue* a) {
    const CSprite* s = active_sprites().sprites.get(arg_id(a[0]));
    if (!s) report_with_context(rt(), "Trying to draw non-existing sprite.", false);
    return s;
}
const CBackground* background_or_report(const RValue* a) {
    const CBackground* b = active_sprites().backgrounds.get(arg_id(a[0]));
    if (!b) report_with_context(rt(), "Trying to draw non-existing background.", false);
    return b;
}

constexpr int64_t kWhite = 0xffffff;

KX_HANDLER(fn_draw_sprite) {
    if (const CSprite* s = sprite_or_report(args))
        sprite_draw(active_graphics(), *s, subimage_arg(self, args, 1), arg_real(args[2]),
                    arg_real(args[3]));
}
KX_HANDLER(fn_draw_sprite_ext) {
    if (const CSprite* s = sprite_or_report(args))
        sprite_draw_ext(active_graphics(), *s, subimage_arg(self, args, 1), arg_real(args[2]),
                        arg_real(args[3]), arg_real(args[4]), arg_real(args[5]), arg_real(args[6]),
                        arg_int(args[7]), arg_real(args[8]));
}
KX_HANDLER(fn_draw_sprite_stretched) {
    if (const CSprite* s = sprite_or_report(args))
        sprite_draw_stretched(active_graphics(), *s, subimage_arg(self, args, 1), arg_real(args[2]),
                              arg_real(args[3]), arg_real(args[4]), arg_real(args[5]), kWhite, 1);
}
KX_HANDLER(fn_draw_sprite_stretched_ext) {
    if (const CSprite* s = sprite_or_report(args))
        sprite_draw_stretched(active_graphics(), *s, subimage_arg(self, args, 1), arg_real(args[2]),
                              arg_real(args[3]), arg_real(args[4]), arg_real(args[5]),
                              arg_int(args[6]), arg_real(args[7]));
}
KX_HANDLER(fn_draw_sprite_part) {
    if (const CSprite* s = sprite_or_report(args))
        sprite_draw_part(active_graphics(), *s, subimage_arg(self, args, 1), arg_real(args[2]),
                         arg_real(args[3]), arg_real(args[4]), arg_real(args[5]), arg_real(args[6]),
                         arg_real(args[7]), 1, 1, kWhite, 1);
}
KX_HANDLER(fn_draw_sprite_part_ext) {
    if (const CSprite* s = sprite_or_report(args))
        sprite_draw_part(active_graphics(), *s, subimage_arg(self, args, 1), arg_real(args[2]),
                         arg_real(args[3]), arg_real(args[4]), arg_real(args[5]), arg_real(args[6]),
                         arg_real(args[7]), arg_real(args[8]), arg_real(args[9]), arg_int(args[10]),
                         arg_real(args[11]));
}
KX_HANDLER(fn_draw_sprite_general) {
    if (const CSprite* s = sprite_or_report(args))
        sprite_draw_general(active_graphics(), *s, subimage_arg(self, args, 1), arg_real(args[2]),
                            arg_real(args[3]), arg_real(args[4]), arg_real(args[5]),
                            arg_real(args[6]), arg_real(args[7]), arg_real(args[8]),
                            arg_real(args[9]), arg_real(args[10]), arg_int(args[11]),
                            arg_int(args[12]), arg_int(args[13]), arg_int(args[14]),
                            arg_real(args[15]));
}
KX_HANDLER(fn_draw_sprite_tiled) {
    if (const CSprite* s = sprite_or_report(args))
        sprite_draw_tiled(active_graphics(), *s, subimage_arg(self, args, 1), arg_real(args[2]),
                          arg_real(args[3]), 1, 1, kWhite, 1, room_tile_area());
}
KX_HANDLER(fn_draw_sprite_tiled_ext) {
    if (const CSprite* s = sprite_or_report(args))
        sprite_draw_tiled(active_graphics(), *s, subimage_arg(self, args, 1), arg_real(args[2]),
                          arg_real(args[3]), arg_real(args[4]), arg_real(args[5]), arg_int(args[6]),
                          arg_real(args[7]), room_tile_area());
}

KX_HANDLER(fn_draw_background) {
    if (const CBackground* b = background_or_report(args))
        background_draw(active_graphics(), *b, arg_real(args[1]), arg_real(args[2]));
}
KX_HANDLER(fn_draw_background_ext) {
    if (const CBackground* b = background_or_report(args))
        background_draw_ext(active_graphics(), *b, arg_real(args[1]), arg_real(args[2]),
                            arg_real(args[3]), arg_real(args[4]), arg_real(args[5]),
                            arg_int(args[6]), arg_real(args[7]));
}
KX_HANDLER(fn_draw_background_stretched) {
    if (const CBackground* b = background_or_report(args))
        background_draw_stretched(active_graphics(), *b, arg_real(args[1]), arg_real(args[2]),
                                  arg_real(args[3]), arg_real(args[4]), kWhite, 1);
}
KX_HANDLER(fn_draw_background_stretched_ext) {
    if (const CBackground* b = background_or_report(args))
        background_draw_stretched(active_graphics(), *b, arg_real(args[1]), arg_real(args[2]),
                                  arg_real(args[3]), arg_real(args[4]), arg_int(args[5]),
                                  arg_real(args[6]));
}
KX_HANDLER(fn_draw_background_part) {
    if (const CBackground* b = background_or_report(args))
        background_draw_part(active_graphics(), *b, arg_real(args[1]), arg_real(args[2]),
                             arg_real(args[3]), arg_real(args[4]), arg_real(args[5]),
                             arg_real(args[6]), 1, 1, kWhite, 1);
}
KX_HANDLER(fn_draw_background_part_ext) {
    if (const CBackground* b = background_or_report(args))
        background_draw_part(active_graphics(), *b, arg_real(args[1]), arg_real(args[2]),
                             arg_real(args[3]), arg_real(args[4]), arg_real(args[5]),
                             arg_real(args[6]), arg_real(args[7]), arg_real(args[8]),
                             arg_int(args[9]), arg_real(args[10]));
}
KX_HANDLER(fn_draw_background_general) {
    if (const CBackground* b = background_or_report(args))
        background_draw_general(active_graphics(), *b, arg_real(args[1]), arg_real(args[2]),
                                arg_real(args[3]), arg_real(args[4]), arg_real(args[5]),
                                arg_real(args[6]), arg_real(args[7]), arg_real(args[8]),
                                arg_real(args[9]), arg_int(args[10]), arg_int(args[11]),
                                arg_int(args[12]), arg_int(args[13]), arg_real(args[14]));
}
KX_HANDLER(fn_draw_background_tiled) {
    if (const CBackground* b = background_or_report(args))
        background_draw_tiled(active_graphics(), *b, true, true, arg_real(args[1]),
                              arg_real(args[2]), 1, 1, kWhite, 1, room_tile_area());
}
KX_HANDLER(fn_draw_background_tiled_ext) {
    if (const CBackground* b = background_or_report(args))
        background_draw_tiled(active_graphics(), *b, true, true, arg_real(args[1]),
                              arg_real(args[2]), arg_real(args[3]), arg_real(args[4]),
                              arg_int(args[5]), arg_real(args[6]), room_tile_area());
}

const BuiltinDef kSpriteFunctions[] = {
    {"draw_sprite", fn_draw_sprite, 4},
    {"draw_sprite_ext", fn_draw_sprite_ext, 9},
    {"draw_sprite_stretched", fn_draw_sprite_stretched, 6},
    {"draw_sprite_stretched_ext", fn_draw_sprite_stretched_ext, 8},
    {"draw_sprite_part", fn_draw_sprite_part, 8},
    {"draw_sprite_part_ext", fn_draw_sprite_part_ext, 12},
    {"draw_sprite_general", fn_draw_sprite_general, 16},
    {"draw_sprite_tiled", fn_draw_sprite_tiled, 4},
    {"draw_sprite_tiled_ext", fn_draw_sprite_tiled_ext, 8},
    {"draw_background", fn_draw_background, 3},
    {"draw_background_ext", fn_draw_background_ext, 8},
    {"draw_background_stretched", fn_draw_background_stretched, 5},
    {"draw_background_stretched_ext", fn_draw_background_stretched_ext, 7},
    {"draw_background_part", fn_draw_background_part, 7},
    {"draw_background_part_ext", fn_draw_background_part_ext, 11},
    {"draw_background_general", fn_draw_background_general, 15},
    {"draw_background_tiled", fn_draw_background_tiled, 3},
    {"draw_background_tiled_ext", fn_draw_background_tiled_ext, 7},
};

}  // namespace

void register_function_sprite(FunctionTable& table) {
    table.add(kSpriteFunctions);
}

}  // namespace kx
