#include "drawing/graphics_draw.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "drawing/drawing_state.h"
#include "drawing/support_color.h"
#include "graphics/graphics_state.h"
#include "motion/path_class.h"

namespace kx {

namespace {

// Room of the largest shape: a rounded rectangle of P + 6 vertices, and its
// outline of P + 5 lines as up to four triangles each.
constexpr size_t kMaxShapeVertices = kMaxCirclePrecision + 6;
using ShapeVertices = std::array<VertexC, kMaxShapeVertices>;
using OutlineVertices = std::array<VertexC, kMaxShapeVertices * 12>;

IDrawDevice* shape_device(GraphicsState& g) {
    IDrawDevice* dev = g.device.device();
    if (dev) dev->set_texture(-1);
    return dev;
}

float depth(const GraphicsState& g) {
    return static_cast<float>(g.device.draw_depth());
}

VertexC vc(double x, double y, float z, uint32_t c) {
    return {static_cast<float>(x), static_cast<float>(y), z, c};
}

void emit(GraphicsState& g, PrimitiveKind kind, std::span<const VertexC> v) {
    if (IDrawDevice* dev = shape_device(g)) dev->draw(kind, v);
}

// The vertex at fraction f of the way from a to b (f may lie outside 0 .. 1):
// position, colour bytes (clamped) and texture coordinates.
template <class V>
V along(const V& a, const V& b, double f) {
    V o = a;
    o.x = static_cast<float>(a.x + (b.x - a.x) * f);
    o.y = static_cast<float>(a.y + (b.y - a.y) * f);
    o.z = static_cast<float>(a.z + (b.z - a.z) * f);
    uint32_t c = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const double ca = (a.colour >> shift) & 255, cb = (b.colour >> shift) & 255;
        const double v = std::clamp(std::nearbyint(ca + (cb - ca) * f), 0.0, 255.0);
        c |= static_cast<uint32_t>(v) << shift;
    }
    o.colour = c;
    if constexpr (requires { o.u; }) {
        o.u = static_cast<float>(a.u + (b.u - a.u) * f);
        o.v = static_cast<float>(a.v + (b.v - a.v) * f);
    }
    return o;
}

// Lines and points are drawn as triangles of our own rather than the
// device's line and point primitives, whose pixel rules differ between
// drivers: a line covers, along its major axis, the pixel of its start and
// not that of its end, one pixel thick across, so a closed outline meets
// itself exactly; a point covers the pixel its centre lies in.
template <class V>
size_t line_quad(const GraphicsState& g, const V& a, const V& b, V* out) {
    const double px = g.device.pixel_width(), py = g.device.pixel_height();
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    if (dx == 0 && dy == 0) return 0;
    // Both ends slide half a pixel back along the line (their colours and
    // texture coordinates with them, so each pixel centre keeps the value of
    // its place on the line); the band is one pixel across.
    double back, wx = 0, wy = 0;
    if (std::fabs(dx) / px >= std::fabs(dy) / py) {
        back = 0.5 * px / std::fabs(dx);
        wy = py / 2;
    } else {
        back = 0.5 * py / std::fabs(dy);
        wx = px / 2;
    }
    auto band = [&](V s, V e, V* o) {
        V q[4] = {s, e, e, s};
        const double side[4] = {-1, -1, 1, 1};
        for (int i = 0; i < 4; ++i) {
            q[i].x = static_cast<float>(q[i].x + side[i] * wx);
            q[i].y = static_cast<float>(q[i].y + side[i] * wy);
        }
        o[0] = q[0], o[1] = q[1], o[2] = q[2];
        o[3] = q[0], o[4] = q[2], o[5] = q[3];
        return size_t(6);
    };
    V s = a;
    s.x = static_cast<float>(a.x - (b.x - a.x) * back);
    s.y = static_cast<float>(a.y - (b.y - a.y) * back);
    const V e = along(a, b, 1 - back);
    bool same = a.colour == b.colour;
    if constexpr (requires { a.u; }) same = same && a.u == b.u && a.v == b.v;
    if (same) return band(s, e, out);
    // A half-pixel cap in the start's own values, so that nothing is
    // extrapolated beyond what a byte holds.
    const size_t n = band(s, a, out);
    return n + band(a, e, out + n);
}

template <class V>
size_t point_quad(const GraphicsState& g, const V& a, V* out) {
    const double hx = g.device.pixel_width() / 2, hy = g.device.pixel_height() / 2;
    V q[4] = {a, a, a, a};
    const double ox[4] = {-hx, hx, hx, -hx}, oy[4] = {-hy, -hy, hy, hy};
    for (int i = 0; i < 4; ++i) {
        q[i].x = static_cast<float>(a.x + ox[i]);
        q[i].y = static_cast<float>(a.y + oy[i]);
    }
    out[0] = q[0], out[1] = q[1], out[2] = q[2];
    out[3] = q[0], out[4] = q[2], out[5] = q[3];
    return 6;
}

template <class V>
size_t strip_quads(const GraphicsState& g, std::span<const V> v, V* out) {
    size_t n = 0;
    for (size_t i = 0; i + 1 < v.size(); ++i) n += line_quad(g, v[i], v[i + 1], out + n);
    return n;
}

void emit_strip(GraphicsState& g, std::span<const VertexC> v) {
    if (g.device.in_3d()) return emit(g, PrimitiveKind::LineStrip, v);
    OutlineVertices out;
    const size_t n = strip_quads(g, v, out.data());
    emit(g, PrimitiveKind::TriangleList, std::span<const VertexC>(out.data(), n));
}

}  // namespace

void draw_point(GraphicsState& g, double x, double y, uint32_t c) {
    const VertexC v = vc(x, y, depth(g), c);
    if (g.device.in_3d()) return emit(g, PrimitiveKind::PointList, std::span<const VertexC>(&v, 1));
    VertexC out[6];
    point_quad(g, v, out);
    emit(g, PrimitiveKind::TriangleList, out);
}

void draw_line(GraphicsState& g, double x1, double y1, double x2, double y2, uint32_t c1,
               uint32_t c2) {
    const float z = depth(g);
    const VertexC v[2] = {vc(x1, y1, z, c1), vc(x2, y2, z, c2)};
    emit_strip(g, v);
}

void draw_line_width(GraphicsState& g, double x1, double y1, double x2, double y2, double w,
                     uint32_t c1, uint32_t c2) {
    const double len = std::hypot(x2 - x1, y2 - y1);
    if (!(len > 0)) return;
    const double nx = -(y2 - y1) / len * w / 2, ny = (x2 - x1) / len * w / 2;
    const float z = depth(g);
    const VertexC v[4] = {vc(x1 + nx, y1 + ny, z, c1), vc(x1 - nx, y1 - ny, z, c1),
                          vc(x2 - nx, y2 - ny, z, c2), vc(x2 + nx, y2 + ny, z, c2)};
    emit(g, PrimitiveKind::TriangleFan, v);
}

void draw_rectangle(GraphicsState& g, double x1, double y1, double x2, double y2, uint32_t c1,
                    uint32_t c2, uint32_t c3, uint32_t c4, bool outline) {
    const float z = depth(g);
    const VertexC v[5] = {vc(x1, y1, z, c1), vc(x2, y1, z, c2), vc(x2, y2, z, c3),
                          vc(x1, y2, z, c4), vc(x1, y1, z, c1)};
    if (outline)
        emit_strip(g, v);
    else
        emit(g, PrimitiveKind::TriangleFan, std::span<const VertexC>(v, 4));
}

void draw_triangle(GraphicsState& g, double x1, double y1, double x2, double y2, double x3,
                   double y3, uint32_t c1, uint32_t c2, uint32_t c3, bool outline) {
    const float z = depth(g);
    const VertexC v[4] = {vc(x1, y1, z, c1), vc(x2, y2, z, c2), vc(x3, y3, z, c3),
                          vc(x1, y1, z, c1)};
    if (outline)
        emit_strip(g, v);
    else
        emit(g, PrimitiveKind::TriangleList, std::span<const VertexC>(v, 3));
}

void draw_ellipse(GraphicsState& g, const CircleTables& t, double x1, double y1, double x2,
                  double y2, uint32_t centre, uint32_t edge, bool outline) {
    const int P = t.precision();
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
    const double rx = std::fabs(x2 - x1) / 2, ry = std::fabs(y2 - y1) / 2;
    const float z = depth(g);
    ShapeVertices v;
    v[0] = vc(cx, cy, z, centre);
    for (int i = 0; i <= P; ++i)
        v[size_t(i) + 1] = vc(cx + rx * t.cos(i), cy + ry * t.sin(i), z, edge);
    if (outline) {
        v[0] = v[size_t(P)];
        emit_strip(g, std::span<const VertexC>(v.data(), size_t(P) + 1));
    } else {
        emit(g, PrimitiveKind::TriangleFan, std::span<const VertexC>(v.data(), size_t(P) + 2));
    }
}

void draw_roundrect(GraphicsState& g, const CircleTables& t, double x1, double y1, double x2,
                    double y2, uint32_t centre, uint32_t edge, bool outline) {
    const int P = t.precision(), Q = P / 4;
    const double W = std::fabs(x2 - x1), H = std::fabs(y2 - y1);
    const double a = std::min(10.0, W), b = std::min(10.0, H);
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
    const double dx = W / 2 - a / 2, dy = H / 2 - b / 2;
    const float z = depth(g);
    ShapeVertices v;
    size_t n = 0;
    v[n++] = vc(cx, cy, z, centre);
    // Quarter arcs clockwise on screen from the right: each corner's centre
    // moved out by (dx, dy) in that quarter's direction.
    const double sx[4] = {dx, -dx, -dx, dx}, sy[4] = {dy, dy, -dy, -dy};
    for (int k = 0; k < 4; ++k)
        for (int i = k * Q; i <= (k + 1) * Q; ++i)
            v[n++] = vc(cx + sx[k] + t.cos(i) * a / 2, cy + sy[k] + t.sin(i) * b / 2, z, edge);
    v[n] = v[1];
    ++n;
    if (outline) {
        v[0] = v[1];
        emit_strip(g, std::span<const VertexC>(v.data(), n));
    } else {
        emit(g, PrimitiveKind::TriangleFan, std::span<const VertexC>(v.data(), n));
    }
}

void draw_arrow(GraphicsState& g, double x1, double y1, double x2, double y2, double size,
                uint32_t c) {
    const double L = std::hypot(x2 - x1, y2 - y1);
    if (!(L > 0)) return;
    size = std::min(size, L);
    draw_line(g, x1, y1, x2, y2, c, c);
    const double dx = (x2 - x1) * size / L, dy = (y2 - y1) * size / L;
    draw_triangle(g, x2 - dx - dy / 3, y2 - dy + dx / 3, x2, y2, x2 - dx + dy / 3, y2 - dy - dx / 3,
                  c, c, c, false);
}

void draw_button(GraphicsState& g, double x1, double y1, double x2, double y2, bool up,
                 int64_t colour, double alpha) {
    uint32_t light = to_device_color(16777215, alpha), dark = to_device_color(8421504, alpha);
    if (!up) std::swap(light, dark);
    draw_triangle(g, x1, y1, x2, y1, x1, y2, light, light, light, false);
    draw_triangle(g, x1, y2, x2, y1, x2, y2, dark, dark, dark, false);
    const uint32_t c = to_device_color(colour, alpha);
    draw_rectangle(g, x1 + 2, y1 + 2, x2 - 2, y2 - 2, c, c, c, c, false);
}

void draw_healthbar(GraphicsState& g, double x1, double y1, double x2, double y2, double amount,
                    int64_t backcol, int64_t mincol, int64_t maxcol, int64_t direction,
                    bool showback, bool showborder, double alpha) {
    const uint32_t black = to_device_color(0, alpha);
    if (showback) {
        const uint32_t c = to_device_color(backcol, alpha);
        draw_rectangle(g, x1, y1, x2, y2, c, c, c, c, false);
        if (showborder) draw_rectangle(g, x1, y1, x2, y2, black, black, black, black, true);
    }
    if (!(amount >= 0)) amount = 0;  // NaN too
    if (amount > 100) amount = 100;
    const double c = amount / 100;
    switch (direction) {
        case 1:
            x1 = x2 - (x2 - x1) * c;
            break;
        case 2:
            y2 = y1 + (y2 - y1) * c;
            break;
        case 3:
            y1 = y2 - (y2 - y1) * c;
            break;
        default:
            x2 = x1 + (x2 - x1) * c;
            break;
    }
    const int32_t mid = merge_color(mincol, maxcol, 0.5);
    const int32_t bar = amount > 50 ? merge_color(mid, maxcol, (amount - 50) / 50)
                                    : merge_color(mincol, mid, amount / 50);
    const uint32_t bc = to_device_color(bar, alpha);
    draw_rectangle(g, x1, y1, x2, y2, bc, bc, bc, bc, false);
    if (showborder) draw_rectangle(g, x1, y1, x2, y2, black, black, black, black, true);
}

void primitive_begin(PrimitiveBuilder& p, int64_t kind, int32_t texture) {
    p.kind = kind;
    p.texture = texture;
    p.count = 0;
}

void primitive_vertex(GraphicsState& g, PrimitiveBuilder& p, double x, double y, double u, double v,
                      uint32_t c) {
    if (p.count >= kMaxPrimitiveVertices) return;
    p.vertices[size_t(p.count++)] = {static_cast<float>(x), static_cast<float>(y), depth(g), c,
                                     static_cast<float>(u), static_cast<float>(v)};
}

void primitive_end(GraphicsState& g, PrimitiveBuilder& p) {
    if (p.kind < 1 || p.kind > 6) return;
    IDrawDevice* dev = g.device.device();
    if (!dev) return;
    g.texture_table.set_stage0(p.texture);
    const auto kind = static_cast<PrimitiveKind>(p.kind);
    std::span<const VertexCT> v(p.vertices.data(), size_t(p.count));
    // A picture on a shared page: its coordinates start at its place there.
    if (const RTexture* t = g.texture_table.get(p.texture); t && t->page >= 0) {
        const float du = float(double(t->x) / t->texture_width);
        const float dv = float(double(t->y) / t->texture_height);
        for (size_t i = 0; i < v.size(); ++i) {
            p.shifted[i] = v[i];
            p.shifted[i].u += du;
            p.shifted[i].v += dv;
        }
        v = std::span<const VertexCT>(p.shifted.data(), v.size());
    }
    const bool lines = kind == PrimitiveKind::LineList || kind == PrimitiveKind::LineStrip;
    if (g.device.in_3d() || !(lines || kind == PrimitiveKind::PointList)) {
        dev->draw(kind, v);
    } else {
        VertexCT* out = p.quads.data();
        size_t n = 0;
        if (kind == PrimitiveKind::LineStrip)
            n = strip_quads(g, v, out);
        else if (kind == PrimitiveKind::LineList)
            for (size_t i = 0; i + 1 < v.size(); i += 2) n += line_quad(g, v[i], v[i + 1], out + n);
        else
            for (const VertexCT& a : v) n += point_quad(g, a, out + n);
        dev->draw(PrimitiveKind::TriangleList, std::span<const VertexCT>(out, n));
    }
    dev->set_texture(-1);
}

void draw_path(GraphicsState& g, PrimitiveBuilder& p, const CPath& path, double x, double y,
               bool absolute, uint32_t c) {
    primitive_begin(p, static_cast<int64_t>(PrimitiveKind::LineStrip), -1);
    for (const RPathPoint& pt : path.draw_points(x, y, absolute))
        primitive_vertex(g, p, pt.x, pt.y, 0, 0, c);
    primitive_end(g, p);
}

}  // namespace kx
