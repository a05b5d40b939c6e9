#pragma once
// The texture table (images on the drawing device, addressed by texture id),
// the textured quads that all sprite, background, surface and text drawing
// rests on, and surfaces: textures that can be drawn into.
#include <cstdint>
#include <span>
#include <vector>

#include "image/bitmap32.h"
#include "platform/draw_device.h"

namespace kx {

struct GraphicsState;
struct SpriteState;
class CSprite;
class CBackground;
class FunctionTable;
class CInstance;

struct RTexture {
    int device_id = -1;
    int32_t image_width = 0, image_height = 0;      // the picture it holds
    int32_t texture_width = 0, texture_height = 0;  // as the device granted it
    bool exists = false;
    // Where the picture starts in its device texture, and the shared page it
    // lies on (-1: the device texture is its own).
    int32_t x = 0, y = 0;
    int32_t page = -1;
};

// Ids are indices; the table grows and never shrinks, a freed entry is taken
// again by the next creation.
class TextureTable {
public:
    // Empties the table for device. Entries made on that same device are
    // destroyed; another device's ids mean nothing here and are dropped.
    void reset(IDrawDevice* device);
    IDrawDevice* device() const { return m_device; }

    int32_t create(int32_t w, int32_t h, bool render_target);  // id or -1
    int32_t from_image(const CBitmap32& image);                // id or -1
    // A small picture goes onto a shared page (with a border of its edge
    // texels, so filtering at its edges stays its own), so that quads of
    // different pictures can go to the device in one draw call; a large one
    // gets its own texture as from_image.
    int32_t from_image_packed(const CBitmap32& image);
    int32_t from_alpha(int32_t w, int32_t h, std::span<const uint8_t> alpha);
    void free(int32_t id);
    // Render-target textures do not survive a device reset: their entries go.
    void forget(int32_t id);

    bool exists(int32_t id) const { return get(id) != nullptr; }
    const RTexture* get(int32_t id) const;
    double width_fraction(int32_t id) const;  // image width / texture width; 1 for none
    double height_fraction(int32_t id) const;
    // Stage 0 gets the texture, or none for an id that is not a texture.
    void set_stage0(int32_t id) const;
    int32_t count() const { return static_cast<int32_t>(m_entries.size()); }

private:
    struct Page {
        int device_id = -1;  // -1 once every picture on it was freed
        int w = 0, h = 0;
        int shelf_x = 0, shelf_y = 0, shelf_h = 0;  // pictures are laid in rows
        int live = 0;
    };
    bool upload(const RTexture& t, const CBitmap32& image);
    int32_t free_entry();
    // A place for a w x h block on the last page, or on a new one; false
    // when no page can be made.
    bool place(int w, int h, int* page, int* x, int* y);
    IDrawDevice* m_device = nullptr;
    std::vector<RTexture> m_entries;
    std::vector<Page> m_pages;
};

// The textured quads. Angles in radians, counter-clockwise on screen; colours
// are game colours with alpha 0..1. Ids that are not textures draw nothing.
void draw_texture(GraphicsState& g, int32_t id, double x, double y);
void draw_texture_ext(GraphicsState& g, int32_t id, int64_t colour, double alpha, double angle,
                      double xorig, double yorig, double x, double y, double xscale, double yscale);
void draw_texture_part(GraphicsState& g, int32_t id, int64_t colour, double alpha, double angle,
                       double left, double top, double width, double height, double x, double y,
                       double xscale, double yscale);
void draw_texture_general(GraphicsState& g, int32_t id, int64_t c1, int64_t c2, int64_t c3,
                          int64_t c4, double alpha, double angle, double left, double top,
                          double width, double height, double x, double y, double xscale,
                          double yscale);
struct TileArea {
    double left = 0, top = 0, width = 0, height = 0;
};
void draw_texture_tiled(GraphicsState& g, int32_t id, bool htiled, bool vtiled, int64_t colour,
                        double alpha, double x, double y, double xscale, double yscale,
                        double xorig, double yorig, const TileArea& area);

// Never more tiles than this in one tiled draw, so a huge area cannot hang a frame.
inline constexpr int64_t kMaxTilesPerDraw = int64_t(1) << 22;

struct RSurface {
    int32_t texture = -1;
    int32_t width = 0, height = 0;
    bool exists = false;
};

class SurfaceTable {
public:
    int32_t create(GraphicsState& g, int32_t w, int32_t h);  // id or -1
    void free(GraphicsState& g, int32_t id);                 // resets the target first
    void free_all(GraphicsState& g);                         // device reset: textures gone
    bool exists(int32_t id) const { return get(id) != nullptr; }
    const RSurface* get(int32_t id) const;
    bool set_target(GraphicsState& g, int32_t id);
    bool reset_target(GraphicsState& g);
    int32_t target() const { return m_target; }
    // The rectangle cut to the surface; a non-existing image when nothing is left.
    CBitmap32 grab(GraphicsState& g, int32_t id, int32_t x, int32_t y, int32_t w, int32_t h) const;
    // The rectangle (xs, ys, ws, hs) of source to (x, y) of destination, cut to both.
    bool copy(GraphicsState& g, int32_t destination, int32_t x, int32_t y, int32_t source,
              int32_t xs, int32_t ys, int32_t ws, int32_t hs) const;
    int32_t count() const { return static_cast<int32_t>(m_entries.size()); }

private:
    std::vector<RSurface> m_entries;
    int32_t m_target = -1;
    bool m_has_previous = false;
    int m_previous = kBackBuffer;
};

// Connects the active runtime's graphics state to a drawing device (null
// detaches): the texture table and the surfaces start empty, the stored
// settings are applied, and every sprite and background gets its textures
// on the new device (and makes them through it from then on).
void attach_drawing_device(GraphicsState& g, SpriteState& sprites, IDrawDevice* device,
                           int region_width, int region_height);

// Sprite and background drawing. subimg is taken modulo the subimage count
// (made non-negative); angles in degrees.
void sprite_draw(GraphicsState& g, const CSprite& s, int64_t subimg, double x, double y);
void sprite_draw_ext(GraphicsState& g, const CSprite& s, int64_t subimg, double x, double y,
                     double xscale, double yscale, double angle, int64_t colour, double alpha);
void sprite_draw_stretched(GraphicsState& g, const CSprite& s, int64_t subimg, double x, double y,
                           double w, double h, int64_t colour, double alpha);
void sprite_draw_part(GraphicsState& g, const CSprite& s, int64_t subimg, double left, double top,
                      double width, double height, double x, double y, double xscale, double yscale,
                      int64_t colour, double alpha);
void sprite_draw_general(GraphicsState& g, const CSprite& s, int64_t subimg, double left,
                         double top, double width, double height, double x, double y, double xscale,
                         double yscale, double angle, int64_t c1, int64_t c2, int64_t c3,
                         int64_t c4, double alpha);
void sprite_draw_tiled(GraphicsState& g, const CSprite& s, int64_t subimg, double x, double y,
                       double xscale, double yscale, int64_t colour, double alpha,
                       const TileArea& area);
void background_draw(GraphicsState& g, const CBackground& b, double x, double y);
void background_draw_ext(GraphicsState& g, const CBackground& b, double x, double y, double xscale,
                         double yscale, double angle, int64_t colour, double alpha);
void background_draw_stretched(GraphicsState& g, const CBackground& b, double x, double y, double w,
                               double h, int64_t colour, double alpha);
void background_draw_part(GraphicsState& g, const CBackground& b, double left, double top,
                          double width, double height, double x, double y, double xscale,
                          double yscale, int64_t colour, double alpha);
void background_draw_general(GraphicsState& g, const CBackground& b, double left, double top,
                             double width, double height, double x, double y, double xscale,
                             double yscale, double angle, int64_t c1, int64_t c2, int64_t c3,
                             int64_t c4, double alpha);
void background_draw_tiled(GraphicsState& g, const CBackground& b, bool htiled, bool vtiled,
                           double x, double y, double xscale, double yscale, int64_t colour,
                           double alpha, const TileArea& area);

// For the built-in functions: the graphics and sprite states of the runtime
// they act on, and the whole current room as a tiling area (the drawing
// region when no room is current).
GraphicsState& active_graphics();
SpriteState& active_sprites();
TileArea room_tile_area();

// Built-in functions: texture_*, surface_*, draw_surface_*, sprite_get_texture
// and background_get_texture; draw_sprite* and draw_background*.
void register_function_texture(FunctionTable& table);
void register_function_sprite(FunctionTable& table);

}  // namespace kx
