#pragma once
// The sprites subsystem: the game's sprites and backgrounds as data, read
// from the game data and changed at run time. Drawing them is the graphics
// subsystem's; the world and the collision tests read their boxes and masks.
#include "core/subsystem.h"
#include "sprites/background_main.h"
#include "sprites/font_main.h"
#include "sprites/sprite_main.h"
#include "sprites/texture_link.h"

namespace kx {

struct SpriteState {
    SpriteState() {
        sprites.set_texture_link(&textures);
        backgrounds.set_texture_link(&textures);
        fonts.set_texture_link(&textures);
    }
    SpriteState(const SpriteState&) = delete;
    SpriteState& operator=(const SpriteState&) = delete;

    TextureLink textures;  // before the lists: they free through it while they go
    SpriteList sprites;
    BackgroundList backgrounds;
    FontList fonts;
};

extern const Subsystem kSpritesSubsystem;

// Every background's texture, then every sprite's, then every font page's
// (graphics preparation).
void make_all_resource_textures(SpriteState& s);

}  // namespace kx
