#include "sprites/sprite_state.h"

#include "core/runtime.h"

namespace kx {

namespace {

void create(Runtime& r) {
    r.emplace<SpriteState>();
}

bool read_sprites(Runtime& r, CStream& s) {
    return r.get<SpriteState>().sprites.read_section(s);
}
bool read_backgrounds(Runtime& r, CStream& s) {
    return r.get<SpriteState>().backgrounds.read_section(s);
}

bool read_fonts(Runtime& r, CStream& s) {
    return r.get<SpriteState>().fonts.read_font_section(s);
}

int32_t find_sprite(Runtime& r, std::string_view name) {
    return r.get<SpriteState>().sprites.find_by_name(name);
}
int32_t find_background(Runtime& r, std::string_view name) {
    return r.get<SpriteState>().backgrounds.find_by_name(name);
}

int32_t find_font(Runtime& r, std::string_view name) {
    return r.get<SpriteState>().fonts.find_by_name(name);
}

constexpr SectionReader kSectionReaders[] = {
    {Section::Sprites, read_sprites},
    {Section::Backgrounds, read_backgrounds},
    {Section::Fonts, read_fonts},
};
constexpr ResourceFinder kFinders[] = {
    {ResourceKind::Sprite, find_sprite},
    {ResourceKind::Background, find_background},
    {ResourceKind::Font, find_font},
};

}  // namespace

const Subsystem kSpritesSubsystem{
    .name = "sprites",
    .create = create,
    .sections = kSectionReaders,
    .finders = kFinders,
};

void make_all_resource_textures(SpriteState& s) {
    s.backgrounds.make_all_textures();
    s.sprites.make_all_textures();
    s.fonts.make_all_textures();
}

}  // namespace kx
