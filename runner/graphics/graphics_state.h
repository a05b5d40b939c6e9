#pragma once
// The graphics subsystem's state, owned by the Runtime: one member per part.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "gamedata/cstream.h"
#include "platform/draw_device.h"
#include "platform/platform.h"
#include "graphics/background_main.h"
#include "graphics/graphics_device.h"
#include "graphics/sprite_main.h"
#include "graphics/texture_main.h"
#include "graphics/window_main.h"

namespace kx {

struct Runtime;

// How sprites and backgrounds reach the texture table. Filled by the drawing
// device's part; while it is empty, images have no textures (-1).
struct TextureMaker {
    std::function<int32_t(const CBitmap32&)> make;  // id or -1
    std::function<void(int32_t)> free;
    std::function<void(int32_t)> preload;
};

// What the frame code keeps between presents.
struct FrameState {
    std::string dump_dir;     // --dump-frames: empty for none
    int64_t frames_dumped = 0;
    bool in_redraw = false;   // screen_redraw running (draw events may call it again)
    int64_t next_blank_us = 0;
};

struct GraphicsState {
    // The window and the device are released last, the device before its window.
    std::unique_ptr<IGameWindow> game_window;
    std::unique_ptr<IDrawDevice> draw_device;
    FrameState frame;
    // Drawing state first: the texture hooks below reach into it while they go.
    GraphicsDevice device;
    WindowState window;
    TextureTable texture_table;
    SurfaceTable surfaces;
    TextureMaker textures;  // before the lists: they may call it while they go
    SpriteList sprites;
    BackgroundList backgrounds;
};

// Creates rt-level graphics state, or empties the resource lists of one there is.
void init_graphics_resources(Runtime& r);

// The texture maker of the active runtime, or nullptr when there is none to use.
TextureMaker* texture_maker();

// The sprite and background sections of the game data, read into
// rt().graphics. False for a version the reader does not know; damaged data
// throws StreamError. Entries read before a failure stay.
bool read_sprites_section(CStream& s);
bool read_backgrounds_section(CStream& s);
void write_sprites_section(CStream& s, const SpriteList& list);
void write_backgrounds_section(CStream& s, const BackgroundList& list);

// Graphics preparation: every background's texture, then every sprite's.
void make_all_resource_textures();

}  // namespace kx
