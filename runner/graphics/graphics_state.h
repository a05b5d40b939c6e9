#pragma once
// The graphics subsystem's state: the game window, the drawing device and
// what is drawn with it (textures, surfaces, drawing settings).
#include <cstdint>
#include <memory>
#include <string>

#include "core/subsystem.h"
#include "graphics/graphics_device.h"
#include "graphics/graphics_text.h"
#include "graphics/texture_main.h"
#include "graphics/window_main.h"
#include "platform/draw_device.h"
#include "platform/platform.h"
#include "sprites/texture_link.h"

namespace kx {

// What the frame code keeps between presents.
struct FrameState {
    std::string dump_dir;  // --dump-frames: empty for none
    int64_t frames_dumped = 0;
    bool in_redraw = false;  // screen_redraw running (draw events may call it again)
    int64_t next_blank_us = 0;
};

// Sprite and background images become textures in the table.
class TableTextureMaker : public ITextureMaker {
public:
    explicit TableTextureMaker(TextureTable& table) : m_table(table) {}
    int32_t make(const CBitmap32& image) override { return m_table.from_image(image); }
    int32_t make_packed(const CBitmap32& image) override {
        return m_table.from_image_packed(image);
    }
    void free(int32_t texture) override { m_table.free(texture); }
    void preload(int32_t) override {}  // every texture is resident once uploaded

private:
    TextureTable& m_table;
};

struct GraphicsState {
    GraphicsState() : texture_maker(texture_table) {}
    GraphicsState(const GraphicsState&) = delete;
    GraphicsState& operator=(const GraphicsState&) = delete;

    // The window and the device are released last, the device before its window.
    std::unique_ptr<IGameWindow> game_window;
    std::unique_ptr<IDrawDevice> draw_device;
    FrameState frame;
    GraphicsDevice device;
    WindowState window;
    TextureTable texture_table;
    SurfaceTable surfaces;
    TableTextureMaker texture_maker;
    TextState text;
};

extern const Subsystem kGraphicsSubsystem;

}  // namespace kx
