#include "image/bitmap32.h"

#include <algorithm>
#include <cmath>

#include "image/picture_file.h"

namespace kx {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kRgb = 0x00FFFFFFu;

bool fits(int64_t w, int64_t h) {
    return w >= 1 && h >= 1 && w * h <= CBitmap32::kMaxPixels;
}

// Game colour (red in the low byte) to an opaque pixel.
uint32_t pixel_of(uint32_t colour) {
    return kOpaque | ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

uint32_t alpha_of(uint32_t px) {
    return px >> 24;
}

// (1 - t) * c1 + t * c2 per channel of two game colours, each rounded, as a pixel.
uint32_t merge(uint32_t c1, uint32_t c2, double t) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        double a = (c1 >> shift) & 0xFF, b = (c2 >> shift) & 0xFF;
        auto v = static_cast<uint32_t>(std::clamp(std::nearbyint((1 - t) * a + t * b), 0.0, 255.0));
        out |= v << shift;
    }
    return pixel_of(out);
}

// g / n of the rectangle, ellipse and double kinds; a 1-pixel side makes n 0
// and then every step is the first colour.
double fraction(int64_t g, int64_t n) {
    return n > 0 ? static_cast<double>(g) / static_cast<double>(n) : 0.0;
}

}  // namespace

CBitmap32 CBitmap32::sub_image(const CBitmap32& src, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (!src.exists || x < 0 || y < 0 || w < 1 || h < 1 || int64_t(x) + w > src.width ||
        int64_t(y) + h > src.height)
        return {};
    CBitmap32 out = blank(w, h);
    for (int32_t r = 0; r < h; ++r)
        std::copy_n(src.pixels.begin() + (static_cast<ptrdiff_t>(y + r) * src.width + x), w,
                    out.pixels.begin() + static_cast<ptrdiff_t>(r) * w);
    return out;
}

CBitmap32 CBitmap32::solid(int32_t w, int32_t h, uint32_t colour) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    if (!fits(w, h)) return {};
    return blank(w, h, pixel_of(colour));
}

CBitmap32 CBitmap32::gradient(int32_t w, int32_t h, uint32_t c1, uint32_t c2, int kind) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    if (!fits(w, h)) return {};
    CBitmap32 img = blank(w, h, kOpaque);
    auto fill_rect = [&](int64_t l, int64_t t, int64_t r, int64_t b,
                         uint32_t px) {  // right, bottom exclusive
        l = std::max<int64_t>(l, 0);
        t = std::max<int64_t>(t, 0);
        r = std::min<int64_t>(r, w);
        b = std::min<int64_t>(b, h);
        for (int64_t y = t; y < b; ++y)
            for (int64_t x = l; x < r; ++x)
                img.at(static_cast<int32_t>(x), static_cast<int32_t>(y)) = px;
    };
    const int64_t n = std::min(w, h) / 2;
    switch (kind) {
        case 0:
            for (int32_t i = 0; i < w; ++i) fill_rect(i, 0, i + 1, h, merge(c1, c2, double(i) / w));
            break;
        case 1:
            for (int32_t i = 0; i < h; ++i) fill_rect(0, i, w, i + 1, merge(c1, c2, double(i) / h));
            break;
        case 2:
            for (int64_t g = 0; g <= n; ++g)
                fill_rect(g, g, w - g, h - g, merge(c1, c2, fraction(g, n)));
            break;
        case 3:
            fill_rect(0, 0, w, h, pixel_of(c1));
            for (int64_t g = 0; g <= n; ++g) {
                // Filled ellipse inscribed in (g, g)-(w - g, h - g): pixel centres inside it.
                double rx = (w - 2.0 * g) / 2, ry = (h - 2.0 * g) / 2;
                if (rx <= 0 || ry <= 0) break;
                double cx = w / 2.0, cy = h / 2.0;
                uint32_t px = merge(c1, c2, fraction(g, n));
                for (int64_t y = g; y < h - g; ++y) {
                    double dy = (y + 0.5 - cy) / ry;
                    for (int64_t x = g; x < w - g; ++x) {
                        double dx = (x + 0.5 - cx) / rx;
                        if (dx * dx + dy * dy <= 1.0)
                            img.at(static_cast<int32_t>(x), static_cast<int32_t>(y)) = px;
                    }
                }
            }
            break;
        case 4: {
            const int64_t m = w / 2;
            for (int64_t i = 0; i <= m; ++i) {
                uint32_t px = merge(c1, c2, fraction(i, m));
                fill_rect(i, 0, i + 1, h, px);
                fill_rect(w - i, 0, w - i + 1, h, px);
            }
            break;
        }
        case 5: {
            const int64_t m = h / 2;
            for (int64_t i = 0; i <= m; ++i) {
                uint32_t px = merge(c1, c2, fraction(i, m));
                fill_rect(0, i, w, i + 1, px);
                fill_rect(0, h - i, w, h - i + 1, px);
            }
            break;
        }
        default:
            break;
    }
    return img;
}

CBitmap32 CBitmap32::from_graphic(const DecodedPicture& graphic, bool smooth, bool transparent) {
    const CBitmap32& g = graphic.image;
    const bool has =
        g.exists && g.width >= 1 && g.height >= 1 &&
        g.pixels.size() == static_cast<size_t>(g.width) * static_cast<size_t>(g.height);
    const int32_t w = has ? g.width : 1, h = has ? g.height : 1;
    const uint32_t fill = transparent ? 0x408000u : 0u;  // R=64, G=128, B=0
    CBitmap32 canvas = blank(w, h, kOpaque | fill);
    if (has) {
        for (size_t i = 0; i < canvas.pixels.size(); ++i) {
            uint32_t src = g.pixels[i];
            uint32_t a = graphic.has_alpha ? alpha_of(src) : 255;
            uint32_t out = kOpaque;
            for (int shift = 0; shift < 24; shift += 8) {
                uint32_t s = (src >> shift) & 0xFF, d = (fill >> shift) & 0xFF;
                out |= ((s * a + d * (255 - a) + 127) / 255) << shift;
            }
            canvas.pixels[i] = out;
        }
    }
    return from_24bit(canvas, smooth, transparent);
}

CBitmap32 CBitmap32::from_24bit(const CBitmap32& image, bool smooth, bool transparent) {
    CBitmap32 out = image.to_24bit();
    if (!out.exists) return out;
    if (transparent) {
        out.key_out_bottom_left();
        if (smooth) out.smooth_edges();
    }
    return out;
}

CBitmap32 CBitmap32::from_32bit(const CBitmap32& image, bool smooth, bool transparent) {
    CBitmap32 out = image;
    if (!out.exists) return out;
    if (transparent) {
        out.key_out_bottom_left();
        if (smooth) out.smooth_edges();
    }
    return out;
}

void CBitmap32::key_out_bottom_left() {
    if (!exists || width < 1 || height < 1) return;
    const uint32_t key = at(0, height - 1) & kRgb;
    for (uint32_t& px : pixels)
        if ((px & kRgb) == key) px &= kRgb;
    // Hidden pixels take a visible neighbour's colour, so that filtered
    // drawing does not bleed the key colour into the edges.
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint32_t& px = at(x, y);
            if (alpha_of(px) != 0) continue;
            const int32_t nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
            for (int k = 0; k < 4; ++k) {
                if (nx[k] < 0 || ny[k] < 0 || nx[k] >= width || ny[k] >= height) continue;
                uint32_t n = at(nx[k], ny[k]);
                if (alpha_of(n) != 0) {
                    px = n & kRgb;
                    break;
                }
            }
        }
}

void CBitmap32::smooth_edges() {
    if (!exists) return;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            if (alpha_of(at(x, y)) != 0) continue;
            for (int32_t yy = std::max(y - 1, 0); yy <= std::min(y + 1, height - 1); ++yy)
                for (int32_t xx = std::max(x - 1, 0); xx <= std::min(x + 1, width - 1); ++xx) {
                    uint32_t& n = at(xx, yy);
                    if (alpha_of(n) >= 32) n -= 32u << 24;
                }
        }
}

void CBitmap32::alpha_from(const CBitmap32& other) {
    if (!exists || !other.exists) return;
    const int32_t w = std::min(width, other.width), h = std::min(height, other.height);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint32_t o = other.at(x, y);
            uint32_t grey = (((o >> 16) & 0xFF) + ((o >> 8) & 0xFF) + (o & 0xFF)) / 3;
            uint32_t& px = at(x, y);
            if (grey < alpha_of(px)) px = (px & kRgb) | (grey << 24);
        }
}

bool CBitmap32::resize(int32_t w, int32_t h) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    if (!exists || width < 1 || height < 1 || !fits(w, h)) return false;
    CBitmap32 out = blank(w, h);
    for (int32_t i = 0; i < h; ++i) {
        auto sy = static_cast<int32_t>(int64_t(i) * height / h);
        for (int32_t j = 0; j < w; ++j)
            out.at(j, i) = at(static_cast<int32_t>(int64_t(j) * width / w), sy);
    }
    *this = std::move(out);
    return true;
}

BitmapBox CBitmap32::opaque_bbox() const {
    if (!exists) return {};
    BitmapBox b{width - 1, height - 1, 0, 0};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            if (alpha_of(at(x, y)) != 0) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

CBitmap32 CBitmap32::from_alpha(int32_t w, int32_t h, std::span<const uint8_t> alpha) {
    if (!fits(w, h)) return {};
    CBitmap32 out = blank(w, h, kRgb);
    for (size_t i = 0; i < out.pixels.size() && i < alpha.size(); ++i)
        out.pixels[i] |= uint32_t(alpha[i]) << 24;
    return out;
}

CBitmap32 CBitmap32::edge_banded(int32_t tw, int32_t th) const {
    if (!exists || width < 1 || height < 1) return {};
    if (tw == width && th == height) return *this;
    const int32_t w = std::min(width + 1, std::max(tw, width)),
                  h = std::min(height + 1, std::max(th, height));
    CBitmap32 out = blank(w, h);
    for (int32_t y = 0; y < h; ++y) {
        const int32_t sy = std::min(y, height - 1);
        for (int32_t x = 0; x < w; ++x) out.at(x, y) = at(std::min(x, width - 1), sy);
    }
    return out;
}

CBitmap32 CBitmap32::to_24bit() const {
    CBitmap32 out = *this;
    for (uint32_t& px : out.pixels) px |= kOpaque;
    return out;
}

}  // namespace kx
