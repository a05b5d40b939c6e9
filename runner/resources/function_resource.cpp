// Built-in functions that inspect and change sprites and backgrounds.
#include <fstream>
#include <string>

#include "core/runtime.h"
#include "graphics/frame_main.h"
#include "graphics/graphics_state.h"
#include "graphics/texture_main.h"
#include "image/picture_file.h"
#include "resources/resources_main.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "sprites/sprite_state.h"

namespace kx {
namespace {

SpriteList& sprites() {
    return active_sprites().sprites;
}
BackgroundList& backgrounds() {
    return active_sprites().backgrounds;
}
const CSprite* sprite_arg(const RValue& v) {
    return sprites().get(arg_id(v));
}
const CBackground* background_arg(const RValue& v) {
    return backgrounds().get(arg_id(v));
}
void report(const char* message) {
    report_with_context(rt(), message, false);
}
// The flags that are true only above one half.
bool above_half(const RValue& v) {
    return arg_real(v) > 0.5;
}
std::string text(const RValue& v) {
    return std::string(arg_text(v));
}
bool write_png(const std::string& fname, const CBitmap32& image) {
    if (!image.exists) return false;
    const std::vector<uint8_t> bytes = encode_png(image);
    std::ofstream out(fname, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// ------------------------------------------------------------ sprites

KX_HANDLER(fn_sprite_exists) {
    result = RValue(sprite_arg(args[0]) ? 1.0 : 0.0);
}
KX_HANDLER(fn_sprite_get_name) {
    result = RValue(KxString(sprites().name(arg_id(args[0]))));
}

template <class F>
void sprite_field(RValue& result, const RValue& id, F f) {
    const CSprite* s = sprite_arg(id);
    result = RValue(s ? double(f(*s)) : -1.0);
}
#define SPRITE_GETTER(fn, expr)                                               \
    KX_HANDLER(fn) {                                                          \
        sprite_field(result, args[0], [](const CSprite& s) { return expr; }); \
    }
SPRITE_GETTER(fn_sprite_get_number, s.subimage_count())
SPRITE_GETTER(fn_sprite_get_width, s.width())
SPRITE_GETTER(fn_sprite_get_height, s.height())
SPRITE_GETTER(fn_sprite_get_transparent, s.transparent() ? 1 : 0)
SPRITE_GETTER(fn_sprite_get_smooth, s.smooth() ? 1 : 0)
SPRITE_GETTER(fn_sprite_get_preload, s.preload() ? 1 : 0)
SPRITE_GETTER(fn_sprite_get_xoffset, s.xoffset())
SPRITE_GETTER(fn_sprite_get_yoffset, s.yoffset())
SPRITE_GETTER(fn_sprite_get_bbox_mode, s.bbox_mode())
SPRITE_GETTER(fn_sprite_get_bbox_left, s.bbox().left)
SPRITE_GETTER(fn_sprite_get_bbox_right, s.bbox().right)
SPRITE_GETTER(fn_sprite_get_bbox_top, s.bbox().top)
SPRITE_GETTER(fn_sprite_get_bbox_bottom, s.bbox().bottom)
SPRITE_GETTER(fn_sprite_get_precise, s.precise() ? 1 : 0)
#undef SPRITE_GETTER

CSprite* sprite_mut(const RValue& v) {
    return sprites().get(arg_id(v));
}

KX_HANDLER(fn_sprite_set_offset) {
    if (CSprite* s = sprite_mut(args[0])) s->set_origin(arg_i32(args[1]), arg_i32(args[2]));
}
KX_HANDLER(fn_sprite_set_bbox_mode) {
    if (CSprite* s = sprite_mut(args[0])) s->set_bbox_mode(arg_i32(args[1]));
}
KX_HANDLER(fn_sprite_set_bbox) {
    if (CSprite* s = sprite_mut(args[0]))
        s->set_bbox(arg_i32(args[1]), arg_i32(args[2]), arg_i32(args[3]), arg_i32(args[4]));
}
KX_HANDLER(fn_sprite_set_precise) {
    if (CSprite* s = sprite_mut(args[0])) s->set_precise(arg_bool(args[1]));
}
KX_HANDLER(fn_sprite_set_alpha_from_sprite) {
    CSprite* s = sprite_mut(args[0]);
    const CSprite* from = sprite_arg(args[1]);
    if (s && from) s->alpha_from_sprite(*from);
}

// A new sprite from a grab; an empty grab leaves it empty.
double new_sprite_from(const std::optional<CBitmap32>& image, bool is32bit, const RValue* f) {
    const int32_t id = sprites().add_empty();
    if (image && image->exists)
        sprites().get(id)->set_from_image(*image, is32bit, above_half(f[0]), arg_i32(f[4]),
                                          arg_i32(f[5]), above_half(f[3]), above_half(f[2]),
                                          above_half(f[1]));
    return id;
}

std::optional<CBitmap32> surface_grab(const RValue* a) {
    GraphicsState& g = active_graphics();
    CBitmap32 b = g.surfaces.grab(g, arg_i32(a[0]), arg_i32(a[1]), arg_i32(a[2]), arg_i32(a[3]),
                                  arg_i32(a[4]));
    if (!b.exists) return std::nullopt;
    return b;
}

KX_HANDLER(fn_sprite_create_from_screen) {
    result = RValue(new_sprite_from(
        grab_screen(rt(), arg_i32(args[0]), arg_i32(args[1]), arg_i32(args[2]), arg_i32(args[3])),
        false, args + 4));
}
KX_HANDLER(fn_sprite_add_from_screen) {
    CSprite* s = sprite_mut(args[0]);
    if (!s) return report("Trying to add to non-existing sprite.");
    const auto image =
        grab_screen(rt(), arg_i32(args[1]), arg_i32(args[2]), arg_i32(args[3]), arg_i32(args[4]));
    if (image) s->add_image(*image, false);
}
KX_HANDLER(fn_sprite_create_from_surface) {
    result = RValue(new_sprite_from(surface_grab(args), true, args + 5));
}
KX_HANDLER(fn_sprite_add_from_surface) {
    CSprite* s = sprite_mut(args[0]);
    if (!s) return report("Trying to add to non-existing sprite.");
    if (const auto image = surface_grab(args + 1)) s->add_image(*image, true);
}
KX_HANDLER(fn_sprite_add) {
    result = RValue(double(sprites().add_from_file(
        text(args[0]), arg_i32(args[1]), arg_i32(args[6]), arg_i32(args[7]), arg_bool(args[3]),
        above_half(args[4]), above_half(args[5]), arg_bool(args[2]))));
}
KX_HANDLER(fn_sprite_replace) {
    const int32_t id = arg_id(args[0]);
    if (!sprites().exists(id)) return report("Trying to replace non-existing sprite.");
    result =
        RValue(sprites().replace_from_file(id, text(args[1]), arg_i32(args[2]), arg_i32(args[7]),
                                           arg_i32(args[8]), arg_bool(args[4]), above_half(args[5]),
                                           above_half(args[6]), arg_bool(args[3]))
                   ? 1.0
                   : 0.0);
}
KX_HANDLER(fn_sprite_delete) {
    if (!sprites().remove(arg_id(args[0]))) return report("Trying to delete non-existing sprite.");
    result = RValue(1.0);
}
KX_HANDLER(fn_sprite_duplicate) {
    const int32_t id = sprites().duplicate(arg_id(args[0]));
    if (id < 0) return report("Trying to duplicate non-existing sprite.");
    result = RValue(double(id));
}
KX_HANDLER(fn_sprite_assign) {
    if (!sprites().assign(arg_id(args[0]), arg_id(args[1]))) report("Error assigning a sprite.");
}
KX_HANDLER(fn_sprite_merge) {
    CSprite* to = sprite_mut(args[0]);
    if (!to) return report("Trying to merge to non-existing sprite.");
    const CSprite* from = sprite_arg(args[1]);
    if (!from) return report("Trying to merge from non-existing sprite.");
    to->merge(*from);
}
// sprite_save(ind, subimg, fname): one subimage as a PNG file; 1 or 0.
KX_HANDLER(fn_sprite_save) {
    const CSprite* s = sprite_arg(args[0]);
    if (!s) return report("Trying to save non-existing sprite.");
    const int64_t i = arg_int(args[1]);
    if (i < 0 || i >= s->subimage_count()) return;
    result = RValue(write_png(text(args[2]), s->subimages()[size_t(i)]) ? 1.0 : 0.0);
}

// ------------------------------------------------------------ backgrounds

KX_HANDLER(fn_background_exists) {
    result = RValue(background_arg(args[0]) ? 1.0 : 0.0);
}
KX_HANDLER(fn_background_get_name) {
    result = RValue(KxString(backgrounds().name(arg_id(args[0]))));
}
template <class F>
void background_field(RValue& result, const RValue& id, F f) {
    const CBackground* b = background_arg(id);
    result = RValue(b ? double(f(*b)) : -1.0);
}
#define BACKGROUND_GETTER(fn, expr)                                                   \
    KX_HANDLER(fn) {                                                                  \
        background_field(result, args[0], [](const CBackground& b) { return expr; }); \
    }
BACKGROUND_GETTER(fn_background_get_width, b.width())
BACKGROUND_GETTER(fn_background_get_height, b.height())
BACKGROUND_GETTER(fn_background_get_transparent, b.transparent() ? 1 : 0)
BACKGROUND_GETTER(fn_background_get_smooth, b.smooth() ? 1 : 0)
BACKGROUND_GETTER(fn_background_get_preload, b.preload() ? 1 : 0)
#undef BACKGROUND_GETTER

KX_HANDLER(fn_background_set_alpha_from_background) {
    CBackground* b = backgrounds().get(arg_id(args[0]));
    const CBackground* from = background_arg(args[1]);
    if (b && from) b->alpha_from_background(*from);
}
double new_background_from(const std::optional<CBitmap32>& image, bool is32bit, const RValue* f) {
    const int32_t id = backgrounds().add_empty();
    if (image && image->exists)
        backgrounds().get(id)->set_from_image(*image, is32bit, above_half(f[2]), above_half(f[1]),
                                              above_half(f[0]));
    return id;
}
KX_HANDLER(fn_background_create_from_screen) {
    result = RValue(new_background_from(
        grab_screen(rt(), arg_i32(args[0]), arg_i32(args[1]), arg_i32(args[2]), arg_i32(args[3])),
        false, args + 4));
}
KX_HANDLER(fn_background_create_from_surface) {
    result = RValue(new_background_from(surface_grab(args), true, args + 5));
}
KX_HANDLER(fn_background_create_color) {
    const int32_t id = backgrounds().add_empty();
    backgrounds().get(id)->solid_colour(arg_i32(args[0]), arg_i32(args[1]),
                                        static_cast<uint32_t>(arg_int(args[2])),
                                        above_half(args[3]));
    result = RValue(double(id));
}
KX_HANDLER(fn_background_create_gradient) {
    const int32_t id = backgrounds().add_empty();
    backgrounds().get(id)->gradient(
        arg_i32(args[0]), arg_i32(args[1]), static_cast<uint32_t>(arg_int(args[2])),
        static_cast<uint32_t>(arg_int(args[3])), arg_i32(args[4]), above_half(args[5]));
    result = RValue(double(id));
}
KX_HANDLER(fn_background_add) {
    result = RValue(double(backgrounds().add_from_file(text(args[0]), arg_bool(args[1]),
                                                       arg_bool(args[2]), above_half(args[3]))));
}
KX_HANDLER(fn_background_replace) {
    const int32_t id = arg_id(args[0]);
    if (!backgrounds().exists(id)) return report("Trying to replace non-existing background.");
    result = RValue(backgrounds().replace_from_file(id, text(args[1]), arg_bool(args[2]),
                                                    arg_bool(args[3]), above_half(args[4]))
                        ? 1.0
                        : 0.0);
}
KX_HANDLER(fn_background_delete) {
    if (!backgrounds().remove(arg_id(args[0])))
        return report("Trying to delete non-existing background.");
    result = RValue(1.0);
}
KX_HANDLER(fn_background_duplicate) {
    const int32_t id = backgrounds().duplicate(arg_id(args[0]));
    if (id < 0) return report("Trying to duplicate non-existing background.");
    result = RValue(double(id));
}
KX_HANDLER(fn_background_assign) {
    if (!backgrounds().assign(arg_id(args[0]), arg_id(args[1])))
        report("Error assigning a background.");
}
// background_save(ind, fname): the image as a PNG file; 1 or 0.
KX_HANDLER(fn_background_save) {
    const CBackground* b = background_arg(args[0]);
    if (!b) return report("Trying to save non-existing background.");
    result = RValue(write_png(text(args[1]), b->image()) ? 1.0 : 0.0);
}

constexpr BuiltinDef kResourceFunctions[] = {
    {"sprite_exists", fn_sprite_exists, 1},
    {"sprite_name", fn_sprite_get_name, 1},
    {"sprite_get_name", fn_sprite_get_name, 1},
    {"sprite_get_number", fn_sprite_get_number, 1},
    {"sprite_get_width", fn_sprite_get_width, 1},
    {"sprite_get_height", fn_sprite_get_height, 1},
    {"sprite_get_transparent", fn_sprite_get_transparent, 1},
    {"sprite_get_smooth", fn_sprite_get_smooth, 1},
    {"sprite_get_preload", fn_sprite_get_preload, 1},
    {"sprite_get_xoffset", fn_sprite_get_xoffset, 1},
    {"sprite_get_yoffset", fn_sprite_get_yoffset, 1},
    {"sprite_get_bbox_mode", fn_sprite_get_bbox_mode, 1},
    {"sprite_get_bbox_left", fn_sprite_get_bbox_left, 1},
    {"sprite_get_bbox_right", fn_sprite_get_bbox_right, 1},
    {"sprite_get_bbox_top", fn_sprite_get_bbox_top, 1},
    {"sprite_get_bbox_bottom", fn_sprite_get_bbox_bottom, 1},
    {"sprite_get_precise", fn_sprite_get_precise, 1},
    {"sprite_set_offset", fn_sprite_set_offset, 3},
    {"sprite_set_bbox_mode", fn_sprite_set_bbox_mode, 2},
    {"sprite_set_bbox", fn_sprite_set_bbox, 5},
    {"sprite_set_precise", fn_sprite_set_precise, 2},
    {"sprite_set_alpha_from_sprite", fn_sprite_set_alpha_from_sprite, 2},
    {"sprite_create_from_screen", fn_sprite_create_from_screen, 10},
    {"sprite_add_from_screen", fn_sprite_add_from_screen, 5},
    {"sprite_create_from_surface", fn_sprite_create_from_surface, 11},
    {"sprite_add_from_surface", fn_sprite_add_from_surface, 6},
    {"sprite_add", fn_sprite_add, 8},
    {"sprite_replace", fn_sprite_replace, 9},
    {"sprite_delete", fn_sprite_delete, 1},
    {"sprite_duplicate", fn_sprite_duplicate, 1},
    {"sprite_assign", fn_sprite_assign, 2},
    {"sprite_merge", fn_sprite_merge, 2},
    {"sprite_save", fn_sprite_save, 3},
    {"background_exists", fn_background_exists, 1},
    {"background_name", fn_background_get_name, 1},
    {"background_get_name", fn_background_get_name, 1},
    {"background_get_width", fn_background_get_width, 1},
    {"background_get_height", fn_background_get_height, 1},
    {"background_get_transparent", fn_background_get_transparent, 1},
    {"background_get_smooth", fn_background_get_smooth, 1},
    {"background_get_preload", fn_background_get_preload, 1},
    {"background_set_alpha_from_background", fn_background_set_alpha_from_background, 2},
    {"background_create_from_screen", fn_background_create_from_screen, 7},
    {"background_create_from_surface", fn_background_create_from_surface, 8},
    {"background_create_color", fn_background_create_color, 4},
    {"background_create_gradient", fn_background_create_gradient, 6},
    {"background_add", fn_background_add, 4},
    {"background_replace", fn_background_replace, 5},
    {"background_delete", fn_background_delete, 1},
    {"background_duplicate", fn_background_duplicate, 1},
    {"background_assign", fn_background_assign, 2},
    {"background_save", fn_background_save, 2},
};

}  // namespace

void register_function_resource(FunctionTable& table) {
    table.add(kResourceFunctions);
}

}  // namespace kx
