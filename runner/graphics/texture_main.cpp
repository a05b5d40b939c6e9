#include "graphics/texture_main.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/graphics_state.h"
#include "sprites/background_class.h"
#include "sprites/sprite_class.h"
#include "sprites/sprite_state.h"

namespace kx {

// ---------------------------------------------------------------- table

void TextureTable::reset(IDrawDevice* device) {
    // Another device's textures went (or go) with it; our own are given back.
    if (m_device && m_device == device) {
        for (const RTexture& t : m_entries)
            if (t.exists && t.page < 0) m_device->destroy_texture(t.device_id);
        for (const Page& p : m_pages)
            if (p.device_id >= 0) m_device->destroy_texture(p.device_id);
    }
    m_device = device;
    m_entries.clear();
    m_pages.clear();
}

int32_t TextureTable::free_entry() {
    int32_t id = 0;
    while (id < count() && m_entries[static_cast<size_t>(id)].exists) ++id;
    if (id == count()) m_entries.emplace_back();
    return id;
}

const RTexture* TextureTable::get(int32_t id) const {
    if (id < 0 || id >= count()) return nullptr;
    const RTexture& t = m_entries[static_cast<size_t>(id)];
    return t.exists ? &t : nullptr;
}

int32_t TextureTable::create(int32_t w, int32_t h, bool render_target) {
    if (!m_device || w < 1 || h < 1) return -1;
    int gw = 0, gh = 0;
    if (!m_device->grant_texture_size(w, h, &gw, &gh)) return -1;
    const int device_id = m_device->create_texture(gw, gh, render_target);
    if (device_id < 0) return -1;
    int tw = gw, th = gh;
    if (!m_device->texture_size(device_id, &tw, &th)) tw = gw, th = gh;
    const int32_t id = free_entry();
    m_entries[static_cast<size_t>(id)] = RTexture{device_id, w, h, tw, th, true};
    return id;
}

bool TextureTable::upload(const RTexture& t, const CBitmap32& image) {
    if (t.texture_width == image.width && t.texture_height == image.height)
        return m_device->upload_texture(t.device_id, image.pixels.data(), image.width, image.height,
                                        image.width);
    const CBitmap32 band = image.edge_banded(t.texture_width, t.texture_height);
    return band.exists && m_device->upload_texture(t.device_id, band.pixels.data(), band.width,
                                                   band.height, band.width);
}

int32_t TextureTable::from_image(const CBitmap32& image) {
    if (!image.exists || image.width < 1 || image.height < 1) return -1;
    const int32_t id = create(image.width, image.height, false);
    if (id < 0) return -1;
    if (!upload(m_entries[static_cast<size_t>(id)], image)) {
        free(id);
        return -1;
    }
    return id;
}

int32_t TextureTable::from_alpha(int32_t w, int32_t h, std::span<const uint8_t> alpha) {
    return from_image(CBitmap32::from_alpha(w, h, alpha));
}

namespace {

// Pictures up to this size (with their border) share pages of this size.
constexpr int kPackedMax = 256;
constexpr int kPageSize = 1024;

}  // namespace

bool TextureTable::place(int w, int h, int* page, int* x, int* y) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_pages.empty() && m_pages.back().device_id >= 0) {
            Page& p = m_pages.back();
            if (p.shelf_x + w > p.w) {
                p.shelf_y += p.shelf_h;
                p.shelf_x = p.shelf_h = 0;
            }
            if (p.shelf_x + w <= p.w && p.shelf_y + h <= p.h) {
                *page = static_cast<int>(m_pages.size()) - 1;
                *x = p.shelf_x;
                *y = p.shelf_y;
                p.shelf_x += w;
                p.shelf_h = std::max(p.shelf_h, h);
                return true;
            }
        }
        Page p;
        if (!m_device->grant_texture_size(kPageSize, kPageSize, &p.w, &p.h)) return false;
        p.device_id = m_device->create_texture(p.w, p.h, false);
        if (p.device_id < 0) return false;
        m_pages.push_back(p);
    }
    return false;
}

int32_t TextureTable::from_image_packed(const CBitmap32& image) {
    if (!m_device || !image.exists || image.width < 1 || image.height < 1) return -1;
    const int pw = image.width + 2, ph = image.height + 2;
    int page = -1, x = 0, y = 0;
    if (pw > kPackedMax || ph > kPackedMax || !place(pw, ph, &page, &x, &y))
        return from_image(image);
    CBitmap32 padded = CBitmap32::blank(pw, ph);
    for (int j = 0; j < ph; ++j)
        for (int i = 0; i < pw; ++i)
            padded.at(i, j) = image.at(std::clamp(i - 1, 0, image.width - 1),
                                       std::clamp(j - 1, 0, image.height - 1));
    Page& p = m_pages[static_cast<size_t>(page)];
    if (!m_device->upload_texture_at(p.device_id, x, y, padded.pixels.data(), pw, ph, pw))
        return -1;
    ++p.live;
    const int32_t id = free_entry();
    m_entries[static_cast<size_t>(id)] =
        RTexture{p.device_id, image.width, image.height, p.w, p.h, true, x + 1, y + 1, page};
    return id;
}

void TextureTable::free(int32_t id) {
    if (!exists(id)) return;
    RTexture& t = m_entries[static_cast<size_t>(id)];
    if (t.page >= 0) {
        // A page goes when its last picture does; its space is not reused before.
        Page& p = m_pages[static_cast<size_t>(t.page)];
        if (--p.live == 0 && p.device_id >= 0) {
            if (m_device) m_device->destroy_texture(p.device_id);
            p.device_id = -1;
        }
    } else if (m_device) {
        m_device->destroy_texture(t.device_id);
    }
    t = RTexture{};
}

void TextureTable::forget(int32_t id) {
    if (exists(id)) m_entries[static_cast<size_t>(id)] = RTexture{};
}

double TextureTable::width_fraction(int32_t id) const {
    const RTexture* t = get(id);
    return t ? double(t->image_width) / t->texture_width : 1.0;
}

double TextureTable::height_fraction(int32_t id) const {
    const RTexture* t = get(id);
    return t ? double(t->image_height) / t->texture_height : 1.0;
}

void TextureTable::set_stage0(int32_t id) const {
    if (!m_device) return;
    const RTexture* t = get(id);
    m_device->set_texture(t ? t->device_id : -1);
}

// ---------------------------------------------------------------- quads

namespace {

struct Corners {
    double x[4], y[4];  // top-left, top-right, bottom-right, bottom-left
};

// Relative corners (l, t) .. (r, b) about (x, y), turned when the angle is
// large enough to matter.
Corners place(double x, double y, double l, double t, double r, double b, double angle) {
    const double rx[4] = {l, r, r, l}, ry[4] = {t, t, b, b};
    Corners c;
    const bool turn = std::fabs(angle) >= 0.01;
    const double cs = turn ? std::cos(angle) : 1, sn = turn ? std::sin(angle) : 0;
    for (int i = 0; i < 4; ++i) {
        c.x[i] = x + rx[i] * cs + ry[i] * sn;
        c.y[i] = y - rx[i] * sn + ry[i] * cs;
    }
    return c;
}

// One triangle fan; consecutive quads of one texture and state end up in one
// batch on the device.
void emit(GraphicsState& g, int32_t id, const Corners& c, const uint32_t colours[4], double u1,
          double v1, double u2, double v2) {
    IDrawDevice* dev = g.device.device();
    if (!dev) return;
    dev->set_texture_address(TextureAddress::Clamp);
    g.texture_table.set_stage0(id);
    if (const RTexture* t = g.texture_table.get(id); t && t->page >= 0) {
        const double du = double(t->x) / t->texture_width, dv = double(t->y) / t->texture_height;
        u1 += du, u2 += du, v1 += dv, v2 += dv;
    }
    const float z = static_cast<float>(g.device.draw_depth());
    const float u[4] = {float(u1), float(u2), float(u2), float(u1)};
    const float v[4] = {float(v1), float(v1), float(v2), float(v2)};
    VertexCT q[4];
    for (int i = 0; i < 4; ++i)
        q[i] = {static_cast<float>(c.x[i]), static_cast<float>(c.y[i]), z, colours[i], u[i], v[i]};
    dev->draw(PrimitiveKind::TriangleFan, std::span<const VertexCT>(q));
}

void emit_whole(GraphicsState& g, int32_t id, const RTexture& t, const Corners& c,
                uint32_t colour) {
    const uint32_t cols[4] = {colour, colour, colour, colour};
    emit(g, id, c, cols, 0, 0, double(t.image_width) / t.texture_width,
         double(t.image_height) / t.texture_height);
}

void draw_part_coloured(GraphicsState& g, int32_t id, const uint32_t cols[4], double angle,
                        double left, double top, double width, double height, double x, double y,
                        double xscale, double yscale) {
    const RTexture* t = g.texture_table.get(id);
    if (!t) return;
    const Corners c = place(x, y, -0.5, -0.5, width * xscale - 0.5, height * yscale - 0.5, angle);
    const double tw = t->texture_width, th = t->texture_height;
    emit(g, id, c, cols, left / tw, top / th, (left + width) / tw, (top + height) / th);
}

// round() of the drawing rules as an integer that cannot overflow the tiling.
int64_t round_coord(double v) {
    if (!(v == v)) return 0;
    v = std::clamp(v, -1e15, 1e15);
    return static_cast<int64_t>(std::nearbyint(v));
}

// Tile starts along one axis: the first start whose tile reaches the area.
struct TileRun {
    int64_t first = 0, count = 0;
};
TileRun tile_run(bool tiled, int64_t pos, int64_t size, double area_start, double area_len) {
    TileRun r;
    const double area_end = area_start + area_len;
    if (!tiled) {
        r.first = pos;
        r.count = double(pos) < area_end ? 1 : 0;
        return r;
    }
    int64_t x = pos % size;  // C++ remainder: the sign of pos
    if (x > 0) x -= size;
    if (double(x + size) < area_start) {
        const double k = std::ceil((area_start - double(size) - double(x)) / double(size));
        x += static_cast<int64_t>(k) * size;
        while (double(x + size) < area_start) x += size;
    }
    r.first = x;
    if (double(x) < area_end)
        r.count = static_cast<int64_t>(std::ceil((area_end - double(x)) / double(size)));
    return r;
}

}  // namespace

void draw_texture(GraphicsState& g, int32_t id, double x, double y) {
    const RTexture* t = g.texture_table.get(id);
    if (!t) return;
    const Corners c = place(x, y, -0.5, -0.5, t->image_width - 0.5, t->image_height - 0.5, 0);
    emit_whole(g, id, *t, c, 0xffffffffu);
}

void draw_texture_ext(GraphicsState& g, int32_t id, int64_t colour, double alpha, double angle,
                      double xorig, double yorig, double x, double y, double xscale,
                      double yscale) {
    const RTexture* t = g.texture_table.get(id);
    if (!t) return;
    const double l = -xorig * xscale - 0.5, tp = -yorig * yscale - 0.5;
    const Corners c =
        place(x, y, l, tp, l + t->image_width * xscale, tp + t->image_height * yscale, angle);
    emit_whole(g, id, *t, c, to_device_color(colour, alpha));
}

void draw_texture_part(GraphicsState& g, int32_t id, int64_t colour, double alpha, double angle,
                       double left, double top, double width, double height, double x, double y,
                       double xscale, double yscale) {
    const uint32_t c = to_device_color(colour, alpha);
    const uint32_t cols[4] = {c, c, c, c};
    draw_part_coloured(g, id, cols, angle, left, top, width, height, x, y, xscale, yscale);
}

void draw_texture_general(GraphicsState& g, int32_t id, int64_t c1, int64_t c2, int64_t c3,
                          int64_t c4, double alpha, double angle, double left, double top,
                          double width, double height, double x, double y, double xscale,
                          double yscale) {
    const uint32_t cols[4] = {to_device_color(c1, alpha), to_device_color(c2, alpha),
                              to_device_color(c3, alpha), to_device_color(c4, alpha)};
    draw_part_coloured(g, id, cols, angle, left, top, width, height, x, y, xscale, yscale);
}

void draw_texture_tiled(GraphicsState& g, int32_t id, bool htiled, bool vtiled, int64_t colour,
                        double alpha, double x, double y, double xscale, double yscale,
                        double xorig, double yorig, const TileArea& area) {
    const RTexture* t = g.texture_table.get(id);
    if (!t) return;
    const int64_t tw = round_coord(t->image_width * xscale);
    const int64_t th = round_coord(t->image_height * yscale);
    if (tw < 1 || th < 1) return;
    const TileRun cols = tile_run(htiled, round_coord(x), tw, area.left, area.width);
    const TileRun rows = tile_run(vtiled, round_coord(y), th, area.top, area.height);
    if (cols.count <= 0 || rows.count <= 0) return;
    if (cols.count > kMaxTilesPerDraw / rows.count) return;
    const uint32_t c = to_device_color(colour, alpha);
    const double l = -xorig * xscale - 0.5, tp = -yorig * yscale - 0.5;
    const double r = l + t->image_width * xscale, b = tp + t->image_height * yscale;
    for (int64_t j = 0; j < rows.count; ++j) {
        const double ty = double(rows.first + j * th);
        for (int64_t i = 0; i < cols.count; ++i) {
            const double tx = double(cols.first + i * tw);
            emit_whole(g, id, *t, place(tx, ty, l, tp, r, b, 0), c);
        }
    }
}

// ---------------------------------------------------------------- surfaces

const RSurface* SurfaceTable::get(int32_t id) const {
    if (id < 0 || id >= count()) return nullptr;
    const RSurface& s = m_entries[static_cast<size_t>(id)];
    return s.exists ? &s : nullptr;
}

int32_t SurfaceTable::create(GraphicsState& g, int32_t w, int32_t h) {
    const int32_t tex = g.texture_table.create(w, h, true);
    if (tex < 0) return -1;
    int32_t id = 0;
    while (id < count() && m_entries[static_cast<size_t>(id)].exists) ++id;
    if (id == count()) m_entries.emplace_back();
    m_entries[static_cast<size_t>(id)] = RSurface{tex, w, h, true};
    return id;
}

void SurfaceTable::free(GraphicsState& g, int32_t id) {
    if (!exists(id)) return;
    if (id == m_target) reset_target(g);
    RSurface& s = m_entries[static_cast<size_t>(id)];
    g.texture_table.free(s.texture);
    s = RSurface{};
}

void SurfaceTable::free_all(GraphicsState& g) {
    for (RSurface& s : m_entries) {
        if (s.exists) g.texture_table.forget(s.texture);
        s = RSurface{};
    }
    m_target = -1;
    m_has_previous = false;
}

bool SurfaceTable::set_target(GraphicsState& g, int32_t id) {
    IDrawDevice* dev = g.device.device();
    if (!dev || !exists(id)) return false;
    if (id == m_target) return true;
    const RSurface s = m_entries[static_cast<size_t>(id)];
    const RTexture* t = g.texture_table.get(s.texture);
    if (!t) return false;
    if (m_target >= 0) reset_target(g);
    const int previous = dev->render_target();
    if (!dev->set_render_target(t->device_id)) return false;
    m_previous = previous;
    m_has_previous = true;
    m_target = id;
    g.device.set_viewport(0, 0, s.width, s.height);
    g.device.set_projection_2d(0, 0, s.width, s.height, 0);
    return true;
}

bool SurfaceTable::reset_target(GraphicsState& g) {
    IDrawDevice* dev = g.device.device();
    if (!dev || !m_has_previous) return false;
    const DeviceRect view = dev->viewport();
    if (m_previous == kBackBuffer) {
        dev->reset_render_target();
    } else if (!dev->set_render_target(m_previous)) {
        return false;
    }
    // The device gives a new target its whole area; the viewport stays as the
    // surface set it until the drawing pass sets its own.
    dev->set_viewport(view);
    m_has_previous = false;
    m_target = -1;
    return true;
}

CBitmap32 SurfaceTable::grab(GraphicsState& g, int32_t id, int32_t x, int32_t y, int32_t w,
                             int32_t h) const {
    IDrawDevice* dev = g.device.device();
    const RSurface* s = get(id);
    if (!dev || !s) return {};
    const RTexture* t = g.texture_table.get(s->texture);
    if (!t) return {};
    x = std::max(x, 0);
    y = std::max(y, 0);
    const int64_t cw = std::min<int64_t>(w, int64_t(s->width) - x);
    const int64_t ch = std::min<int64_t>(h, int64_t(s->height) - y);
    if (cw <= 0 || ch <= 0) return {};
    CBitmap32 out = CBitmap32::blank(static_cast<int32_t>(cw), static_cast<int32_t>(ch));
    if (!dev->read_pixels(t->device_id, {x, y, out.width, out.height}, out.pixels.data(),
                          out.width))
        return {};
    return out;
}

bool SurfaceTable::copy(GraphicsState& g, int32_t destination, int32_t x, int32_t y, int32_t source,
                        int32_t xs, int32_t ys, int32_t ws, int32_t hs) const {
    IDrawDevice* dev = g.device.device();
    const RSurface* d = get(destination);
    const RSurface* s = get(source);
    if (!dev || !d || !s) return false;
    const RTexture* dt = g.texture_table.get(d->texture);
    const RTexture* st = g.texture_table.get(s->texture);
    if (!dt || !st) return false;
    int64_t X = x, Y = y, XS = xs, YS = ys, WS = ws, HS = hs;
    if (XS < 0) WS += XS, X -= XS, XS = 0;
    if (YS < 0) HS += YS, Y -= YS, YS = 0;
    WS = std::min<int64_t>(WS, s->width - XS);
    HS = std::min<int64_t>(HS, s->height - YS);
    if (X < 0) XS -= X, WS += X, X = 0;
    if (Y < 0) YS -= Y, HS += Y, Y = 0;
    WS = std::min<int64_t>(WS, d->width - X);
    HS = std::min<int64_t>(HS, d->height - Y);
    if (WS <= 0 || HS <= 0) return false;
    return dev->copy_rect(st->device_id, {int(XS), int(YS), int(WS), int(HS)}, dt->device_id,
                          int(X), int(Y));
}

// ---------------------------------------------------------------- device

void attach_drawing_device(GraphicsState& g, SpriteState& sprites, IDrawDevice* device,
                           int region_width, int region_height) {
    // The resources' old ids mean nothing in the new table: drop them without
    // freeing (no maker), then make every texture again on the new device.
    sprites.textures.maker = nullptr;
    for (int32_t i = 0; i < sprites.sprites.count(); ++i)
        if (CSprite* s = sprites.sprites.get(i)) s->free_textures();
    for (int32_t i = 0; i < sprites.backgrounds.count(); ++i)
        if (CBackground* b = sprites.backgrounds.get(i)) b->free_texture();
    for (int32_t i = 0; i < sprites.fonts.count(); ++i)
        if (CFont* f = sprites.fonts.get(i)) f->free_texture();
    drop_default_font_texture(g);
    g.surfaces.free_all(g);
    g.texture_table.reset(device);
    g.device.attach(device, region_width, region_height);
    if (!device) return;
    sprites.textures.maker = &g.texture_maker;
    make_all_resource_textures(sprites);
    make_default_font_texture(g);
}

// ---------------------------------------------------------------- sprites, backgrounds

namespace {
int32_t subimage_tex(const CSprite& s, int64_t subimg) {
    const int64_t n = s.subimage_count();
    if (n <= 0) return -1;
    int64_t k = subimg % n;
    if (k < 0) k += n;
    return s.subimage_texture(static_cast<int32_t>(k));
}
constexpr double kDegToRad = std::numbers::pi / 180.0;
}  // namespace

void sprite_draw(GraphicsState& g, const CSprite& s, int64_t subimg, double x, double y) {
    draw_texture(g, subimage_tex(s, subimg), x - s.xoffset(), y - s.yoffset());
}

void sprite_draw_ext(GraphicsState& g, const CSprite& s, int64_t subimg, double x, double y,
                     double xscale, double yscale, double angle, int64_t colour, double alpha) {
    draw_texture_ext(g, subimage_tex(s, subimg), colour, alpha, angle * kDegToRad, s.xoffset(),
                     s.yoffset(), x, y, xscale, yscale);
}

void sprite_draw_stretched(GraphicsState& g, const CSprite& s, int64_t subimg, double x, double y,
                           double w, double h, int64_t colour, double alpha) {
    if (!(w > 0 && h > 0 && s.width() > 0 && s.height() > 0)) return;
    draw_texture_ext(g, subimage_tex(s, subimg), colour, alpha, 0, 0, 0, x, y, w / s.width(),
                     h / s.height());
}

void sprite_draw_part(GraphicsState& g, const CSprite& s, int64_t subimg, double left, double top,
                      double width, double height, double x, double y, double xscale, double yscale,
                      int64_t colour, double alpha) {
    draw_texture_part(g, subimage_tex(s, subimg), colour, alpha, 0, left, top, width, height, x, y,
                      xscale, yscale);
}

void sprite_draw_general(GraphicsState& g, const CSprite& s, int64_t subimg, double left,
                         double top, double width, double height, double x, double y, double xscale,
                         double yscale, double angle, int64_t c1, int64_t c2, int64_t c3,
                         int64_t c4, double alpha) {
    draw_texture_general(g, subimage_tex(s, subimg), c1, c2, c3, c4, alpha, angle * kDegToRad, left,
                         top, width, height, x, y, xscale, yscale);
}

void sprite_draw_tiled(GraphicsState& g, const CSprite& s, int64_t subimg, double x, double y,
                       double xscale, double yscale, int64_t colour, double alpha,
                       const TileArea& area) {
    draw_texture_tiled(g, subimage_tex(s, subimg), true, true, colour, alpha, x, y, xscale, yscale,
                       s.xoffset(), s.yoffset(), area);
}

void background_draw(GraphicsState& g, const CBackground& b, double x, double y) {
    draw_texture(g, b.texture(), x, y);
}

void background_draw_ext(GraphicsState& g, const CBackground& b, double x, double y, double xscale,
                         double yscale, double angle, int64_t colour, double alpha) {
    draw_texture_ext(g, b.texture(), colour, alpha, angle * kDegToRad, 0, 0, x, y, xscale, yscale);
}

void background_draw_stretched(GraphicsState& g, const CBackground& b, double x, double y, double w,
                               double h, int64_t colour, double alpha) {
    if (!(w > 0 && h > 0 && b.width() > 0 && b.height() > 0)) return;
    draw_texture_ext(g, b.texture(), colour, alpha, 0, 0, 0, x, y, w / b.width(), h / b.height());
}

void background_draw_part(GraphicsState& g, const CBackground& b, double left, double top,
                          double width, double height, double x, double y, double xscale,
                          double yscale, int64_t colour, double alpha) {
    draw_texture_part(g, b.texture(), colour, alpha, 0, left, top, width, height, x, y, xscale,
                      yscale);
}

void background_draw_general(GraphicsState& g, const CBackground& b, double left, double top,
                             double width, double height, double x, double y, double xscale,
                             double yscale, double angle, int64_t c1, int64_t c2, int64_t c3,
                             int64_t c4, double alpha) {
    draw_texture_general(g, b.texture(), c1, c2, c3, c4, alpha, angle * kDegToRad, left, top, width,
                         height, x, y, xscale, yscale);
}

void background_draw_tiled(GraphicsState& g, const CBackground& b, bool htiled, bool vtiled,
                           double x, double y, double xscale, double yscale, int64_t colour,
                           double alpha, const TileArea& area) {
    draw_texture_tiled(g, b.texture(), htiled, vtiled, colour, alpha, x, y, xscale, yscale, 0, 0,
                       area);
}

}  // namespace kx
