// Built-in functions of textures and surfaces.
#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>
#include <numbers>
#include <string>

#include "core/runtime.h"
#include "graphics/graphics_state.h"
#include "graphics/texture_main.h"
#include "image/picture_file.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/function_math.h"
#include "script/function_string.h"
#include "sprites/sprite_state.h"
#include "world/world_state.h"

namespace kx {

GraphicsState& active_graphics() {
    return rt().get<GraphicsState>();
}

SpriteState& active_sprites() {
    return rt().get<SpriteState>();
}

TileArea room_tile_area() {
    const CRoom* room = rt().get<WorldState>().current;
    if (room) return {0, 0, double(room->width), double(room->height)};
    const GraphicsState& g = active_graphics();
    return {0, 0, double(g.device.region_width()), double(g.device.region_height())};
}

namespace {

int32_t clamp32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
// floor(image_index) of the caller, for a negative subimage.
int64_t subimage_arg(CInstance* self, const RValue* a, int i) {
    const int64_t k = arg_int(a[i]);
    if (k >= 0) return k;
    if (!self) return 0;
    const double f = std::floor(self->image_index);
    return std::isfinite(f) ? static_cast<int64_t>(std::clamp(f, -1e15, 1e15)) : 0;
}

constexpr const char* kNoSurface = "Trying to use non-existing surface.";

const RSurface* surface_or_report(int32_t id) {
    const RSurface* s = active_graphics().surfaces.get(id);
    if (!s) report_with_context(rt(), kNoSurface, false);
    return s;
}

KX_HANDLER(fn_sprite_get_texture) {
    const CSprite* s = active_sprites().sprites.get(arg_id(args[0]));
    if (!s) {
        report_with_context(rt(), "Trying to get texture from non-existing sprite.", false);
        result.set_real(-1);
        return;
    }
    const int64_t n = s->subimage_count();
    if (n <= 0) {
        result.set_real(-1);
        return;
    }
    int64_t k = subimage_arg(self, args, 1) % n;
    if (k < 0) k += n;
    result.set_real(s->subimage_texture(static_cast<int32_t>(k)));
}

KX_HANDLER(fn_background_get_texture) {
    const CBackground* b = active_sprites().backgrounds.get(arg_id(args[0]));
    if (!b) {
        report_with_context(rt(), "Trying to get texture from non-existing background.", false);
        result.set_real(-1);
        return;
    }
    result.set_real(b->texture());
}

KX_HANDLER(fn_texture_exists) {
    result.set_real(active_graphics().texture_table.exists(arg_id(args[0])) ? 1 : 0);
}
KX_HANDLER(fn_texture_set_interpolation) {
    active_graphics().device.set_interpolation(arg_bool(args[0]));
}
KX_HANDLER(fn_texture_set_blending) {
    active_graphics().device.set_texture_blending(arg_bool(args[0]));
}
KX_HANDLER(fn_texture_set_repeat) {
    active_graphics().device.set_texture_repeat(arg_bool(args[0]));
}
KX_HANDLER(fn_texture_get_width) {
    result.set_real(active_graphics().texture_table.width_fraction(arg_id(args[0])));
}
KX_HANDLER(fn_texture_get_height) {
    result.set_real(active_graphics().texture_table.height_fraction(arg_id(args[0])));
}
// Every texture is resident on the device once uploaded, so preloading and
// priorities have nothing to change.
KX_HANDLER(fn_texture_preload) {}
KX_HANDLER(fn_texture_set_priority) {}

KX_HANDLER(fn_surface_create) {
    const int64_t w = arg_int(args[0]), h = arg_int(args[1]);
    GraphicsState& g = active_graphics();
    result.set_real(w < 1 || h < 1 || w > INT32_MAX || h > INT32_MAX
                        ? -1
                        : g.surfaces.create(g, static_cast<int32_t>(w), static_cast<int32_t>(h)));
}
KX_HANDLER(fn_surface_free) {
    GraphicsState& g = active_graphics();
    g.surfaces.free(g, arg_id(args[0]));
}
KX_HANDLER(fn_surface_exists) {
    result.set_real(active_graphics().surfaces.exists(arg_id(args[0])) ? 1 : 0);
}
KX_HANDLER(fn_surface_get_width) {
    const RSurface* s = active_graphics().surfaces.get(arg_id(args[0]));
    result.set_real(s ? s->width : -1);
}
KX_HANDLER(fn_surface_get_height) {
    const RSurface* s = active_graphics().surfaces.get(arg_id(args[0]));
    result.set_real(s ? s->height : -1);
}
KX_HANDLER(fn_surface_get_texture) {
    const RSurface* s = active_graphics().surfaces.get(arg_id(args[0]));
    result.set_real(s ? s->texture : -1);
}
KX_HANDLER(fn_surface_set_target) {
    GraphicsState& g = active_graphics();
    result.set_real(g.surfaces.set_target(g, arg_id(args[0])) ? 1 : 0);
}
KX_HANDLER(fn_surface_reset_target) {
    GraphicsState& g = active_graphics();
    result.set_real(g.surfaces.reset_target(g) ? 1 : 0);
}

KX_HANDLER(fn_draw_surface) {
    const RSurface* s = surface_or_report(arg_id(args[0]));
    if (s) draw_texture(active_graphics(), s->texture, arg_real(args[1]), arg_real(args[2]));
}
KX_HANDLER(fn_draw_surface_ext) {
    const RSurface* s = surface_or_report(arg_id(args[0]));
    if (!s) return;
    draw_texture_ext(active_graphics(), s->texture, arg_int(args[6]), arg_real(args[7]),
                     arg_real(args[5]) * std::numbers::pi / 180.0, 0, 0, arg_real(args[1]),
                     arg_real(args[2]), arg_real(args[3]), arg_real(args[4]));
}
void surface_stretched(const RValue* args, int64_t colour, double alpha) {
    const RSurface* s = surface_or_report(arg_id(args[0]));
    if (!s) return;
    const double w = arg_real(args[3]), h = arg_real(args[4]);
    if (!(w > 0 && h > 0 && s->width > 0 && s->height > 0)) return;
    draw_texture_ext(active_graphics(), s->texture, colour, alpha, 0, 0, 0, arg_real(args[1]),
                     arg_real(args[2]), w / s->width, h / s->height);
}
KX_HANDLER(fn_draw_surface_stretched) {
    surface_stretched(args, 0xffffff, 1);
}
KX_HANDLER(fn_draw_surface_stretched_ext) {
    surface_stretched(args, arg_int(args[5]), arg_real(args[6]));
}
KX_HANDLER(fn_draw_surface_part) {
    const RSurface* s = surface_or_report(arg_id(args[0]));
    if (!s) return;
    draw_texture_part(active_graphics(), s->texture, 0xffffff, 1, 0, arg_real(args[1]),
                      arg_real(args[2]), arg_real(args[3]), arg_real(args[4]), arg_real(args[5]),
                      arg_real(args[6]), 1, 1);
}
KX_HANDLER(fn_draw_surface_part_ext) {
    const RSurface* s = surface_or_report(arg_id(args[0]));
    if (!s) return;
    draw_texture_part(active_graphics(), s->texture, arg_int(args[9]), arg_real(args[10]), 0,
                      arg_real(args[1]), arg_real(args[2]), arg_real(args[3]), arg_real(args[4]),
                      arg_real(args[5]), arg_real(args[6]), arg_real(args[7]), arg_real(args[8]));
}
KX_HANDLER(fn_draw_surface_general) {
    const RSurface* s = surface_or_report(arg_id(args[0]));
    if (!s) return;
    draw_texture_general(active_graphics(), s->texture, arg_int(args[10]), arg_int(args[11]),
                         arg_int(args[12]), arg_int(args[13]), arg_real(args[14]),
                         arg_real(args[9]) * std::numbers::pi / 180.0, arg_real(args[1]),
                         arg_real(args[2]), arg_real(args[3]), arg_real(args[4]), arg_real(args[5]),
                         arg_real(args[6]), arg_real(args[7]), arg_real(args[8]));
}
KX_HANDLER(fn_draw_surface_tiled) {
    const RSurface* s = surface_or_report(arg_id(args[0]));
    if (!s) return;
    draw_texture_tiled(active_graphics(), s->texture, true, true, 0xffffff, 1, arg_real(args[1]),
                       arg_real(args[2]), 1, 1, 0, 0, room_tile_area());
}
KX_HANDLER(fn_draw_surface_tiled_ext) {
    const RSurface* s = surface_or_report(arg_id(args[0]));
    if (!s) return;
    draw_texture_tiled(active_graphics(), s->texture, true, true, arg_int(args[5]),
                       arg_real(args[6]), arg_real(args[1]), arg_real(args[2]), arg_real(args[3]),
                       arg_real(args[4]), 0, 0, room_tile_area());
}

void save_surface(const RValue* args, int64_t x, int64_t y, int64_t w, int64_t h) {
    const RSurface* s = surface_or_report(arg_id(args[0]));
    if (!s) return;
    const std::string_view name = arg_text(args[1]);
    if (name.empty()) {
        report_with_context(rt(), "Trying to save surface to empty image file name.", false);
        return;
    }
    GraphicsState& g = active_graphics();
    const CBitmap32 image =
        g.surfaces.grab(g, arg_id(args[0]), clamp32(x), clamp32(y), clamp32(w), clamp32(h));
    const std::vector<uint8_t> bytes = encode_bmp(image, false);
    if (bytes.empty()) return;
    // Write failures are silent.
    std::ofstream out(std::string(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
KX_HANDLER(fn_surface_save) {
    save_surface(args, 0, 0, INT32_MAX, INT32_MAX);
}
KX_HANDLER(fn_surface_save_part) {
    save_surface(args, arg_int(args[2]), arg_int(args[3]), arg_int(args[4]), arg_int(args[5]));
}
KX_HANDLER(fn_surface_getpixel) {
    if (!surface_or_report(arg_id(args[0]))) return;
    GraphicsState& g = active_graphics();
    const int64_t x = arg_int(args[1]), y = arg_int(args[2]);
    const RSurface* s = g.surfaces.get(arg_id(args[0]));
    if (x < 0 || y < 0 || x >= s->width || y >= s->height) return;
    const CBitmap32 px = g.surfaces.grab(g, arg_id(args[0]), int32_t(x), int32_t(y), 1, 1);
    if (px.exists) result.set_real(to_game_color(px.pixels[0]));
}
void copy_surface(const RValue* args, int64_t xs, int64_t ys, int64_t ws, int64_t hs) {
    GraphicsState& g = active_graphics();
    const int32_t dest = arg_id(args[0]), src = arg_id(args[3]);
    if (!g.surfaces.exists(dest) || !g.surfaces.exists(src)) {
        report_with_context(rt(), kNoSurface, false);
        return;
    }
    g.surfaces.copy(g, dest, clamp32(arg_int(args[1])), clamp32(arg_int(args[2])), src, clamp32(xs),
                    clamp32(ys), clamp32(ws), clamp32(hs));
}
KX_HANDLER(fn_surface_copy) {
    copy_surface(args, 0, 0, INT32_MAX, INT32_MAX);
}
KX_HANDLER(fn_surface_copy_part) {
    copy_surface(args, arg_int(args[4]), arg_int(args[5]), arg_int(args[6]), arg_int(args[7]));
}

const BuiltinDef kTextureFunctions[] = {
    {"sprite_get_texture", fn_sprite_get_texture, 2},
    {"background_get_texture", fn_background_get_texture, 1},
    {"texture_exists", fn_texture_exists, 1},
    {"texture_set_interpolation", fn_texture_set_interpolation, 1},
    {"texture_set_blending", fn_texture_set_blending, 1},
    {"texture_set_repeat", fn_texture_set_repeat, 1},
    {"texture_get_width", fn_texture_get_width, 1},
    {"texture_get_height", fn_texture_get_height, 1},
    {"texture_preload", fn_texture_preload, 1},
    {"texture_set_priority", fn_texture_set_priority, 2},
    {"surface_create", fn_surface_create, 2},
    {"surface_free", fn_surface_free, 1},
    {"surface_exists", fn_surface_exists, 1},
    {"surface_get_width", fn_surface_get_width, 1},
    {"surface_get_height", fn_surface_get_height, 1},
    {"surface_get_texture", fn_surface_get_texture, 1},
    {"surface_set_target", fn_surface_set_target, 1},
    {"surface_reset_target", fn_surface_reset_target, 0},
    {"draw_surface", fn_draw_surface, 3},
    {"draw_surface_ext", fn_draw_surface_ext, 8},
    {"draw_surface_stretched", fn_draw_surface_stretched, 5},
    {"draw_surface_stretched_ext", fn_draw_surface_stretched_ext, 7},
    {"draw_surface_part", fn_draw_surface_part, 7},
    {"draw_surface_part_ext", fn_draw_surface_part_ext, 11},
    {"draw_surface_general", fn_draw_surface_general, 15},
    {"draw_surface_tiled", fn_draw_surface_tiled, 3},
    {"draw_surface_tiled_ext", fn_draw_surface_tiled_ext, 7},
    {"surface_save", fn_surface_save, 2},
    {"surface_save_part", fn_surface_save_part, 6},
    {"surface_getpixel", fn_surface_getpixel, 3},
    {"surface_copy", fn_surface_copy, 4},
    {"surface_copy_part", fn_surface_copy_part, 8},
};

}  // namespace

void register_function_texture(FunctionTable& table) {
    table.add(kTextureFunctions);
}

}  // namespace kx
