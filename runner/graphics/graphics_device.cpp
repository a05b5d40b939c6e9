#include "graphics/graphics_device.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/matrix.h"

namespace kx {

uint32_t to_device_color(int64_t colour, double alpha) {
    const uint32_t c = static_cast<uint32_t>(colour);
    double a = alpha * 255.0;
    if (!(a > 0)) a = 0;  // NaN too
    if (a > 255) a = 255;
    const uint32_t ai = static_cast<uint32_t>(std::nearbyint(a));
    const uint32_t r = c & 255, g = (c >> 8) & 255, b = (c >> 16) & 255;
    return ai << 24 | r << 16 | g << 8 | b;
}

int32_t to_game_color(uint32_t argb) {
    const uint32_t r = (argb >> 16) & 255, g = (argb >> 8) & 255, b = argb & 255;
    return static_cast<int32_t>(r | g << 8 | b << 16);
}

void GraphicsDevice::attach(IDrawDevice* device, int region_width, int region_height) {
    m_device = device;
    m_region_w = region_width;
    m_region_h = region_height;
    if (!m_device) return;
    set_viewport(0, 0, region_width, region_height);
    set_projection_2d(0, 0, region_width, region_height, 0);
    reapply_render_states();
}

void GraphicsDevice::set_region_size(int width, int height) {
    m_region_w = width;
    m_region_h = height;
    if (!m_device) return;
    set_viewport(0, 0, width, height);
    set_projection_2d(0, 0, width, height, 0);
}

void GraphicsDevice::reapply_render_states() {
    if (!m_device) return;
    // Blending stays on for the device's whole life; the factors decide.
    m_device->set_blend_enable(true);
    set_culling(m_culling);
    m_device->set_blend_factors(m_src, m_dest);
    set_lighting(m_lighting);
    set_shading(m_gouraud);
    set_hidden(m_hidden);
    set_fog(m_fog, m_fog_colour, m_fog_start, m_fog_end);
    set_interpolation(m_interpolation);
    set_texture_blending(m_texture_blending);
    set_texture_repeat(m_texture_repeat);
}

void GraphicsDevice::set_blend_mode(int64_t mode) {
    using B = BlendFactor;
    switch (mode) {
        case 1:
            m_src = B::SrcAlpha, m_dest = B::One;
            break;
        case 2:
            m_src = B::SrcAlpha, m_dest = B::InvSrcColor;
            break;
        case 3:
            m_src = B::Zero, m_dest = B::InvSrcColor;
            break;
        default:
            m_src = B::SrcAlpha, m_dest = B::InvSrcAlpha;
            break;
    }
    if (m_device) m_device->set_blend_factors(m_src, m_dest);
}

void GraphicsDevice::set_blend_factors(int64_t src, int64_t dest) {
    auto valid = [](int64_t f) { return f >= 1 && f <= 11; };
    if (valid(src)) m_src = static_cast<BlendFactor>(src);
    if (valid(dest)) m_dest = static_cast<BlendFactor>(dest);
    if (m_device) m_device->set_blend_factors(m_src, m_dest);
}

void GraphicsDevice::set_interpolation(bool on) {
    m_interpolation = on;
    if (m_device) m_device->set_texture_filter(on ? TextureFilter::Linear : TextureFilter::Nearest);
}

void GraphicsDevice::set_texture_blending(bool on) {
    m_texture_blending = on;
    if (m_device) m_device->set_texture_op(on ? TextureOp::Modulate : TextureOp::SelectTexture);
}

void GraphicsDevice::set_texture_repeat(bool on) {
    m_texture_repeat = on;
    if (m_device) m_device->set_texture_address(on ? TextureAddress::Wrap : TextureAddress::Clamp);
}

void GraphicsDevice::set_hidden(bool on) {
    m_hidden = on;
    if (!m_device) return;
    const bool active = on && m_3d;
    m_device->set_z_enable(active);
    // Fully transparent pixels write no depth.
    m_device->set_alpha_test(active, active ? CompareFunc::Greater : CompareFunc::Always, 0);
}

void GraphicsDevice::set_lighting(bool on) {
    m_lighting = on;
    if (m_device) m_device->set_lighting(on);
}

void GraphicsDevice::set_shading(bool gouraud) {
    m_gouraud = gouraud;
    if (m_device) m_device->set_shading(gouraud ? ShadeMode::Gouraud : ShadeMode::Flat);
}

void GraphicsDevice::set_fog(bool on, int64_t colour, double start, double end) {
    m_fog_colour = colour;
    m_fog = on;
    m_fog_start = static_cast<float>(start);
    m_fog_end = static_cast<float>(end);
    if (!m_device) return;
    FogState fog;
    fog.colour = to_device_color(m_fog_colour, 1);
    fog.start = m_fog_start;
    fog.end = m_fog_end;
    if (on) {
        const DeviceCaps& caps = m_device->caps();
        if (caps.table_fog) {
            fog.mode = FogMode::Table;
        } else if (caps.vertex_fog) {
            fog.mode = FogMode::Vertex;
            fog.range = caps.range_fog;
        }
    }
    m_device->set_fog(fog);
}

void GraphicsDevice::set_culling(bool on) {
    m_culling = on;
    if (m_device) m_device->set_cull(on ? CullMode::CounterClockwise : CullMode::None);
}

void GraphicsDevice::set_3d(bool on) {
    m_3d = on;
    if (!on) m_depth = 0;
    set_hidden(m_hidden);
}

void GraphicsDevice::set_viewport(int x, int y, int w, int h) {
    if (m_device) m_device->set_viewport({x, y, w, h}, 0.0f, 1.0f);
}

void GraphicsDevice::set_projection_2d(double x, double y, double w, double h, double angle) {
    if (!m_device) return;
    const DeviceRect port = m_device->viewport();
    m_pixel_w = port.w > 0 && w > 0 ? w / port.w : 1;
    m_pixel_h = port.h > 0 && h > 0 ? h / port.h : 1;
    const double a = -angle * std::numbers::pi / 180.0;
    const float cx = static_cast<float>(x + w / 2), cy = static_cast<float>(y + h / 2);
    m_device->set_transform(TransformKind::World, matrix_identity());
    m_device->set_transform(
        TransformKind::View,
        matrix_look_at_lh({cx, cy, -16000}, {cx, cy, 0},
                          {static_cast<float>(std::sin(a)), static_cast<float>(std::cos(a)), 0}));
    m_device->set_transform(
        TransformKind::Projection,
        matrix_ortho_lh(static_cast<float>(w), -static_cast<float>(h), 1, 32000));
}

void GraphicsDevice::set_draw_depth(double depth) {
    m_depth = m_3d ? std::clamp(depth, -16000.0, 16000.0) : 0.0;
}

void GraphicsDevice::set_draw_colour(int64_t colour) {
    m_colour = static_cast<int32_t>(static_cast<uint32_t>(colour) & 0xffffffu);
    m_device_colour = to_device_color(m_colour, m_alpha);
}

void GraphicsDevice::set_draw_alpha(double alpha) {
    m_alpha = alpha;
    m_device_colour = to_device_color(m_colour, m_alpha);
}

}  // namespace kx
