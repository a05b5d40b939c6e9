#pragma once
// The drawing settings the game controls and their mapping onto the drawing
// device: colours, depth, render states (kept so they can be applied again
// to a new or reset device), the viewport and the 2D projection.
#include <cstdint>

#include "platform/draw_device.h"

namespace kx {

// A game colour (0x00BBGGRR, top byte ignored) with alpha 0..1 as the device's
// A8R8G8B8; alpha is clamped and rounded.
uint32_t to_device_color(int64_t colour, double alpha);
// The device colour of a pixel back as a game colour.
int32_t to_game_color(uint32_t argb);

class GraphicsDevice {
public:
    // The device to draw through (not owned; null: nothing is drawn). A new
    // device, or one that IDrawDevice::reset returned to its defaults, gets
    // the whole region as viewport and projection and every stored render state.
    void attach(IDrawDevice* device, int region_width, int region_height);
    IDrawDevice* device() const { return m_device; }
    int region_width() const { return m_region_w; }
    int region_height() const { return m_region_h; }

    // A new region size: the whole region becomes viewport and projection.
    void set_region_size(int width, int height);
    // The stored states onto the device, in the order a new device needs them.
    void reapply_render_states();

    // bm_normal 0 (and any value not listed), bm_add 1, bm_max 2, bm_subtract 3.
    void set_blend_mode(int64_t mode);
    // Device factor numbers 1..11; others leave that factor as it was.
    void set_blend_factors(int64_t src, int64_t dest);
    void set_interpolation(bool on);
    void set_texture_blending(bool on);
    void set_texture_repeat(bool on);
    void set_hidden(bool on);
    void set_lighting(bool on);
    void set_shading(bool gouraud);
    void set_fog(bool on, int64_t colour, double start, double end);
    void set_culling(bool on);
    void set_synchronization(bool on) { m_synchronization = on; }
    void set_3d(bool on);

    bool interpolation() const { return m_interpolation; }
    bool texture_blending() const { return m_texture_blending; }
    bool texture_repeat() const { return m_texture_repeat; }
    bool hidden() const { return m_hidden; }
    bool synchronization() const { return m_synchronization; }
    BlendFactor blend_src() const { return m_src; }
    BlendFactor blend_dest() const { return m_dest; }

    // Device viewport in pixels of the current target, depth 0..1.
    void set_viewport(int x, int y, int w, int h);
    // The room rectangle (x, y, w, h) turned by angle degrees (counter-clockwise
    // on screen) fills the viewport; room point (i, j) lands on the centre of
    // pixel (i - x, j - y) when unturned and unscaled.
    void set_projection_2d(double x, double y, double w, double h, double angle);
    // The size of one target pixel in room units under the last 2D
    // projection (1 when unscaled); shapes draw their lines that thick.
    double pixel_width() const { return m_pixel_w; }
    double pixel_height() const { return m_pixel_h; }
    bool in_3d() const { return m_3d; }

    // Outside 3D mode the depth stays 0; in it, clamped to -16000..16000.
    void set_draw_depth(double depth);
    double draw_depth() const { return m_depth; }

    void set_draw_colour(int64_t colour);
    void set_draw_alpha(double alpha);
    int32_t draw_colour() const { return m_colour; }
    double draw_alpha() const { return m_alpha; }
    uint32_t draw_device_colour() const { return m_device_colour; }

private:
    IDrawDevice* m_device = nullptr;
    int m_region_w = 0, m_region_h = 0;
    bool m_interpolation = false, m_texture_blending = true, m_texture_repeat = false;
    bool m_hidden = false, m_synchronization = false, m_lighting = false, m_gouraud = true;
    bool m_fog = false;
    int64_t m_fog_colour = 0;  // game colour
    float m_fog_start = 0, m_fog_end = 0;
    bool m_culling = false;
    BlendFactor m_src = BlendFactor::SrcAlpha, m_dest = BlendFactor::InvSrcAlpha;
    bool m_3d = false;
    double m_pixel_w = 1, m_pixel_h = 1;
    double m_depth = 0;
    int32_t m_colour = 0;
    double m_alpha = 1;
    uint32_t m_device_colour = 0xff000000u;
};

}  // namespace kx
