#include "collision/collision_shape.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "script/code_operator.h"
#include "sprites/sprite_main.h"

namespace kx {
namespace {


// Where an instance's mask sits in the room, for mapping room pixels into it.
struct MaskView {
    const CSprite* sprite = nullptr;
    const CMask* mask = nullptr;  // null: maskless
    double rx = 0, ry = 0;        // the rounded position
    double xscale = 1, yscale = 1;
    double c = 1, s = 0;  // cos and sin of minus the angle
};

enum class Mode { Plain, Scaled, Rotated };

int32_t subimage(const CInstance& i, const CSprite& s) {
    const int32_t n = s.subimage_count();
    if (n <= 0) return 0;
    double k = std::fmod(std::floor(i.image_index), static_cast<double>(n));
    if (!std::isfinite(k)) return 0;
    if (k < 0) k += n;
    return std::clamp(static_cast<int32_t>(k), 0, n - 1);
}

MaskView view_of(const CInstance& i, const CSprite& s) {
    MaskView v;
    v.sprite = &s;
    v.mask = s.mask(subimage(i, s));
    v.rx = round_to_i32(i.x);
    v.ry = round_to_i32(i.y);
    v.xscale = i.image_xscale;
    v.yscale = i.image_yscale;
    const double a = -i.image_angle * std::numbers::pi / 180;
    v.c = std::cos(a);
    v.s = std::sin(a);
    return v;
}

// Image cell (u, v), already floored. Maskless sprites answer maskless_set
// inside the image.
bool cell_set(const MaskView& m, double u, double v, bool maskless_set) {
    if (!(u >= 0 && v >= 0 && u < m.sprite->width() && v < m.sprite->height())) return false;
    if (!m.mask) return maskless_set;
    return m.mask->test(static_cast<int32_t>(u), static_cast<int32_t>(v));
}

bool pixel_set(const MaskView& m, double px, double py, Mode mode, bool maskless_set) {
    const double xo = m.sprite->xoffset(), yo = m.sprite->yoffset();
    const double dx = px - m.rx, dy = py - m.ry;
    switch (mode) {
        case Mode::Plain:
            return cell_set(m, xo + dx, yo + dy, maskless_set);
        case Mode::Scaled:
            return cell_set(m, std::floor(dx / m.xscale + xo), std::floor(dy / m.yscale + yo),
                            maskless_set);
        case Mode::Rotated:
            return cell_set(m, std::floor((dx * m.c + dy * m.s) / m.xscale + xo),
                            std::floor((dy * m.c - dx * m.s) / m.yscale + yo), maskless_set);
    }
    return false;
}

// In the plain and scaled modes a room column decides u and a room row
// decides v, each for both instances. Columns (rows) that give the same pair
// of cells form a run, and one pixel stands for a whole run x run block, so a
// large scaled overlap costs its width plus its height plus the runs, not
// its area. Answers exactly as the pixel scan does.
struct AxisRun {
    double a, b;  // the cell index in each image
};
std::vector<AxisRun> runs(int64_t from, int64_t to, double ra, double oa, double sa, double rb,
                          double ob, double sb, bool scaled) {
    std::vector<AxisRun> out;
    for (int64_t p = from; p <= to; ++p) {
        const double d = static_cast<double>(p);
        const double ua = scaled ? std::floor((d - ra) / sa + oa) : oa + (d - ra);
        const double ub = scaled ? std::floor((d - rb) / sb + ob) : ob + (d - rb);
        if (out.empty() || out.back().a != ua || out.back().b != ub) out.push_back({ua, ub});
    }
    return out;
}

bool meet_by_runs(const MaskView& ma, const MaskView& mb, bool scaled, int64_t l, int64_t r,
                  int64_t t, int64_t b) {
    const auto xs = runs(l, r, ma.rx, ma.sprite->xoffset(), ma.xscale, mb.rx, mb.sprite->xoffset(),
                         mb.xscale, scaled);
    const auto ys = runs(t, b, ma.ry, ma.sprite->yoffset(), ma.yscale, mb.ry, mb.sprite->yoffset(),
                         mb.yscale, scaled);
    for (const AxisRun& x : xs)
        for (const AxisRun& y : ys)
            if (cell_set(ma, x.a, y.a, true) && cell_set(mb, x.b, y.b, true)) return true;
    return false;
}

// Above this many pixels a scaled, unturned overlap is tested by runs.
constexpr int64_t kRunsFrom = 1 << 16;

// Turned overlaps above this many pixels are split into blocks. Pixel
// positions map into an image by an affine map, so a block's pixels land in
// the convex hull of its corners' images; when the four corners fall in one
// (half-open, convex) cell, every pixel of the block does, and one cell
// answers for the whole block. Only blocks across cell edges are split
// further, so the cost follows the cells' edges, not the area.
constexpr int64_t kBlocksFrom = 1 << 18;

struct Cell {
    double u, v;
    bool operator==(const Cell&) const = default;
};
Cell turned_cell(const MaskView& m, double px, double py) {
    const double dx = px - m.rx, dy = py - m.ry;
    return {std::floor((dx * m.c + dy * m.s) / m.xscale + m.sprite->xoffset()),
            std::floor((dy * m.c - dx * m.s) / m.yscale + m.sprite->yoffset())};
}
// -1: the block's pixels differ; else whether they are all set.
int block_value(const MaskView& m, int64_t l, int64_t r, int64_t t, int64_t b) {
    const double x0 = static_cast<double>(l), x1 = static_cast<double>(r);
    const double y0 = static_cast<double>(t), y1 = static_cast<double>(b);
    const Cell c = turned_cell(m, x0, y0);
    if (!(turned_cell(m, x1, y0) == c && turned_cell(m, x0, y1) == c &&
          turned_cell(m, x1, y1) == c))
        return -1;
    return cell_set(m, c.u, c.v, true) ? 1 : 0;
}
bool meet_by_blocks(const MaskView& ma, const MaskView& mb, int64_t l, int64_t r, int64_t t,
                    int64_t b) {
    const int va = block_value(ma, l, r, t, b);
    if (va == 0) return false;
    const int vb = block_value(mb, l, r, t, b);
    if (vb == 0) return false;
    if (va == 1 && vb == 1) return true;
    if (l == r && t == b) {
        const double x = static_cast<double>(l), y = static_cast<double>(t);
        return pixel_set(ma, x, y, Mode::Rotated, true) && pixel_set(mb, x, y, Mode::Rotated, true);
    }
    if (r - l >= b - t) {
        const int64_t m = l + (r - l) / 2;
        return meet_by_blocks(ma, mb, l, m, t, b) || meet_by_blocks(ma, mb, m + 1, r, t, b);
    }
    const int64_t m = t + (b - t) / 2;
    return meet_by_blocks(ma, mb, l, r, t, m) || meet_by_blocks(ma, mb, l, r, m + 1, b);
}

bool has_images(const CSprite* s) {
    return s && s->subimage_count() > 0;
}

// The decisions the shape tests share before any pixel is read: 1 passes,
// 0 fails, -1 the mask decides.
int shape_precise_decision(const SpriteList& sprites, const CInstance& i, bool precise,
                           const CSprite*& s) {
    if (!precise || !i.precise) return 1;
    s = mask_sprite(sprites, i);
    if (!has_images(s)) return 0;
    if (!s->has_masks()) return 1;
    return -1;
}

Mode shape_scan_mode(const CInstance& i) {
    return i.image_xscale != 1 || i.image_yscale != 1 || i.image_angle != 0 ? Mode::Rotated
                                                                            : Mode::Plain;
}

// Any set pixel in the part of [l, r] x [t, b] inside the box; inside()
// restricts the pixels further.
template <class Inside>
bool scan_rect(const CInstance& i, const CSprite& s, RBox area, Inside inside, bool whole = false) {
    const int32_t l = std::max(area.left, i.bbox_left), r = std::min(area.right, i.bbox_right);
    const int32_t t = std::max(area.top, i.bbox_top), b = std::min(area.bottom, i.bbox_bottom);
    const MaskView m = view_of(i, s);
    const Mode mode = shape_scan_mode(i);
    // Unturned, the rotated mapping is the scaled one exactly (the sine is a zero).
    if (whole && i.image_angle == 0 && mode == Mode::Rotated &&
        (int64_t{r} - l + 1) * (int64_t{b} - t + 1) > kRunsFrom)
        return meet_by_runs(m, m, true, l, r, t, b);
    for (int64_t px = l; px <= r; ++px)
        for (int64_t py = t; py <= b; ++py)
            if (inside(px, py) &&
                pixel_set(m, static_cast<double>(px), static_cast<double>(py), mode, true))
                return true;
    return false;
}

bool outside_box(const CInstance& i, const RBox& q) {
    return q.left > i.bbox_right || q.right < i.bbox_left || q.top > i.bbox_bottom ||
           q.bottom < i.bbox_top;
}

}  // namespace

bool instances_meet(const SpriteList& sprites, const CInstance& a, const CInstance& b,
                    bool precise) {
    if (!box_of(a).overlaps(box_of(b))) return false;
    if (&a == &b || a.destroyed() || b.destroyed()) return false;
    if (!precise || (!a.precise && !b.precise)) return true;
    const CSprite* sa = mask_sprite(sprites, a);
    const CSprite* sb = mask_sprite(sprites, b);
    if (!has_images(sa) || !has_images(sb)) return false;
    MaskView ma = view_of(a, *sa), mb = view_of(b, *sb);
    // The side that is not precise is solid over its whole image.
    if (!a.precise) ma.mask = nullptr;
    if (!b.precise) mb.mask = nullptr;
    Mode mode = Mode::Plain;
    if (a.image_angle != 0 || b.image_angle != 0)
        mode = Mode::Rotated;
    else if (a.image_xscale != 1 || a.image_yscale != 1 || b.image_xscale != 1 ||
             b.image_yscale != 1)
        mode = Mode::Scaled;
    const int64_t l = std::max(a.bbox_left, b.bbox_left), r = std::min(a.bbox_right, b.bbox_right);
    const int64_t t = std::max(a.bbox_top, b.bbox_top), bt = std::min(a.bbox_bottom, b.bbox_bottom);
    // In doubles: two boxes of 32-bit bounds can overlap over more than 2^63 pixels.
    const double area = static_cast<double>(r - l + 1) * static_cast<double>(bt - t + 1);
    if (mode == Mode::Scaled && area > kRunsFrom)
        return meet_by_runs(ma, mb, mode == Mode::Scaled, l, r, t, bt);
    if (mode == Mode::Rotated && l <= r && t <= bt && area > kBlocksFrom)
        return meet_by_blocks(ma, mb, l, r, t, bt);
    for (int64_t px = l; px <= r; ++px)
        for (int64_t py = t; py <= bt; ++py) {
            const double x = static_cast<double>(px), y = static_cast<double>(py);
            if (pixel_set(ma, x, y, mode, true) && pixel_set(mb, x, y, mode, true)) return true;
        }
    return false;
}

RBox point_box(double px, double py) {
    const int32_t x = round_to_i32(px), y = round_to_i32(py);
    return {x, y, x, y};
}

RBox rectangle_box(double x1, double y1, double x2, double y2) {
    return {round_to_i32(std::min(x1, x2)), round_to_i32(std::min(y1, y2)),
            round_to_i32(std::max(x1, x2)), round_to_i32(std::max(y1, y2))};
}

bool point_in(const SpriteList& sprites, const CInstance& i, double px, double py, bool precise) {
    const RBox p = point_box(px, py);
    if (outside_box(i, p) || i.destroyed()) return false;
    const CSprite* s = nullptr;
    const int d = shape_precise_decision(sprites, i, precise, s);
    if (d >= 0) return d == 1;
    const Mode mode = i.image_angle != 0 ? Mode::Rotated : Mode::Scaled;
    return pixel_set(view_of(i, *s), p.left, p.top, mode, true);
}

bool rectangle_meets(const SpriteList& sprites, const CInstance& i, double x1, double y1, double x2,
                     double y2, bool precise) {
    const RBox q = rectangle_box(x1, y1, x2, y2);
    if (outside_box(i, q) || i.destroyed()) return false;
    const CSprite* s = nullptr;
    const int d = shape_precise_decision(sprites, i, precise, s);
    if (d >= 0) return d == 1;
    return scan_rect(
        i, *s, q, [](int64_t, int64_t) { return true; }, true);
}

bool ellipse_meets(const SpriteList& sprites, const CInstance& i, double x1, double y1, double x2,
                   double y2, bool precise) {
    const RBox q = rectangle_box(x1, y1, x2, y2);
    if (q.left == q.right || q.top == q.bottom)
        return rectangle_meets(sprites, i, x1, y1, x2, y2, precise);
    if (outside_box(i, q) || i.destroyed()) return false;
    const double ecx = (static_cast<double>(q.left) + q.right) / 2;
    const double ecy = (static_cast<double>(q.top) + q.bottom) / 2;
    const double ex = (static_cast<double>(q.right) - q.left) / 2;
    const double ey = (static_cast<double>(q.bottom) - q.top) / 2;
    auto in_ellipse = [&](double qx, double qy) {
        const double u = (qx - ecx) / ex, v = (qy - ecy) / ey;
        return u * u + v * v <= 1;
    };
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
    if (!(i.bbox_left <= cx && cx <= i.bbox_right) && !(i.bbox_top <= cy && cy <= i.bbox_bottom)) {
        const double l = i.bbox_left, r = i.bbox_right, t = i.bbox_top, b = i.bbox_bottom;
        if (!in_ellipse(l, t) && !in_ellipse(l, b) && !in_ellipse(r, t) && !in_ellipse(r, b))
            return false;
    }
    const CSprite* s = nullptr;
    const int d = shape_precise_decision(sprites, i, precise, s);
    if (d >= 0) return d == 1;
    return scan_rect(i, *s, q, [&](int64_t px, int64_t py) {
        return in_ellipse(static_cast<double>(px), static_cast<double>(py));
    });
}

bool line_meets(const SpriteList& sprites, const CInstance& i, double x1, double y1, double x2,
                double y2, bool precise) {
    if (outside_box(i, rectangle_box(x1, y1, x2, y2)) || i.destroyed()) return false;
    double px = x1, py = y1, qx = x2, qy = y2;
    if (qx < px) {
        std::swap(px, qx);
        std::swap(py, qy);
    }
    // A vertical line has no slope to clip along; it stands in the column it
    // rounds to, which the rejection above has already found inside the box.
    if (px != qx) {
        if (i.bbox_left > px) {
            py += (qy - py) * (i.bbox_left - px) / (qx - px);
            px = i.bbox_left;
        }
        if (qx > i.bbox_right) {
            qy = py + (qy - py) * (i.bbox_right - px) / (qx - px);
            qx = i.bbox_right;
        }
    }
    if ((py < i.bbox_top && qy < i.bbox_top) || (py > i.bbox_bottom && qy > i.bbox_bottom))
        return false;
    const CSprite* s = nullptr;
    const int d = shape_precise_decision(sprites, i, precise, s);
    if (d >= 0) return d == 1;
    const double rpx = round_to_i32(px), rpy = round_to_i32(py), rqx = round_to_i32(qx),
                 rqy = round_to_i32(qy);
    if (rpx == rqx || rpy == rqy)
        return scan_rect(
            i, *s, rectangle_box(rpx, rpy, rqx, rqy), [](int64_t, int64_t) { return true; }, true);
    const MaskView m = view_of(i, *s);
    if (std::abs(rqx - rpx) < std::abs(rqy - rpy)) {
        double ax = rpx, ay = rpy, bx = rqx, by = rqy;
        if (by < ay) {
            std::swap(ax, bx);
            std::swap(ay, by);
        }
        const int64_t from = std::max<int64_t>(i.bbox_top, static_cast<int64_t>(ay));
        const int64_t to = std::min<int64_t>(i.bbox_bottom, static_cast<int64_t>(by));
        for (int64_t y = from; y <= to; ++y) {
            const double yy = static_cast<double>(y);
            const double xx = ax + (yy - ay) * (bx - ax) / (by - ay);
            if (pixel_set(m, xx, yy, Mode::Rotated, true)) return true;
        }
    } else {
        const int64_t from = std::max<int64_t>(i.bbox_left, static_cast<int64_t>(rpx));
        const int64_t to = std::min<int64_t>(i.bbox_right, static_cast<int64_t>(rqx));
        for (int64_t x = from; x <= to; ++x) {
            const double xx = static_cast<double>(x);
            const double yy = rpy + (xx - rpx) * (rqy - rpy) / (rqx - rpx);
            if (pixel_set(m, xx, yy, Mode::Rotated, true)) return true;
        }
    }
    return false;
}

}  // namespace kx
