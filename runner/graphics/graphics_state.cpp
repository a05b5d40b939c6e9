#include "graphics/graphics_state.h"

#include "core/runtime.h"

namespace kx {

void init_graphics_resources(Runtime& r) {
    if (!r.graphics) {
        r.graphics = std::make_shared<GraphicsState>();
        return;
    }
    r.graphics->sprites.clear();
    r.graphics->backgrounds.clear();
}

TextureMaker* texture_maker() {
    if (!has_runtime() || !rt().graphics) return nullptr;
    TextureMaker& m = rt().graphics->textures;
    return m.make ? &m : nullptr;
}

namespace {
GraphicsState& state() {
    if (!rt().graphics) init_graphics_resources(rt());
    return *rt().graphics;
}
}  // namespace

bool read_sprites_section(CStream& s) {
    return state().sprites.read_section(s);
}
bool read_backgrounds_section(CStream& s) {
    return state().backgrounds.read_section(s);
}
void write_sprites_section(CStream& s, const SpriteList& list) {
    list.write_section(s);
}
void write_backgrounds_section(CStream& s, const BackgroundList& list) {
    list.write_section(s);
}

void make_all_resource_textures() {
    GraphicsState& g = state();
    g.backgrounds.make_all_textures();
    g.sprites.make_all_textures();
}

}  // namespace kx
