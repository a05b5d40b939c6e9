#include "graphics/graphics_text.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>

#include "graphics/graphics_state.h"
#include "graphics/texture_main.h"
#include "sprites/font_class.h"
#include "sprites/sprite_state.h"

namespace kx {

const CFont& text_font(GraphicsState& g, SpriteState& s) {
    if (const CFont* f = s.fonts.get(g.text.font)) return *f;
    if (!g.text.default_font) {
        g.text.default_font = std::make_unique<CFont>();
        g.text.default_font->set_texture_link(&s.textures);
        g.text.default_font->create_page_font("Arial", 12, false, false, 32, 127);
    }
    return *g.text.default_font;
}

void drop_default_font_texture(GraphicsState& g) {
    if (g.text.default_font) g.text.default_font->free_texture();
}
void make_default_font_texture(GraphicsState& g) {
    if (g.text.default_font) g.text.default_font->make_texture();
}

namespace {

// The lines of the text before wrapping.
std::vector<std::string> break_lines(std::string_view text) {
    std::vector<std::string> lines;
    std::string cur;
    bool open = false;  // cur holds characters or follows a break
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '#' && !cur.empty() && cur.back() == '\\') {
            cur.back() = '#';
            open = true;
        } else if (ch == '#' || ch == '\r' || ch == '\n') {
            lines.push_back(std::move(cur));
            cur.clear();
            open = false;
        } else {
            cur.push_back(ch);
            open = true;
        }
    }
    if (open) lines.push_back(std::move(cur));
    return lines;
}

}  // namespace

std::vector<std::string> split_lines(const CFont& font, std::string_view text, double width) {
    std::vector<std::string> lines = break_lines(text);
    if (width < 0) return lines;
    std::vector<std::string> out;
    std::vector<std::string_view> words;
    for (const std::string& line : lines) {
        words.clear();
        size_t start = 0;
        for (size_t i = 0; i < line.size(); ++i)
            if (line[i] == ' ' || line[i] == '-') {
                words.push_back(std::string_view(line).substr(start, i + 1 - start));
                start = i + 1;
            }
        if (start < line.size()) words.push_back(std::string_view(line).substr(start));
        size_t k = 0;
        while (k < words.size()) {
            std::string cur(words[k++]);
            int32_t w = font.text_width(cur);
            while (w < width && k < words.size()) {
                const int32_t ww = font.text_width(words[k]);
                if (double(w) + ww > width) break;
                cur += words[k++];
                w += ww;
            }
            out.push_back(std::move(cur));
        }
    }
    return out;
}

int32_t text_block_width(const CFont& font, std::string_view text, double width) {
    int32_t best = 1;
    for (const std::string& line : split_lines(font, text, width))
        best = std::max(best, font.text_width(line));
    return best;
}

int32_t text_block_height(const CFont& font, std::string_view text, int32_t sep, double width) {
    const int64_t n = static_cast<int64_t>(split_lines(font, text, width).size());
    if (n == 0) return 1;
    const int64_t h = font.line_height();
    const int64_t s = sep < 0 ? h : sep;
    return static_cast<int32_t>(std::clamp<int64_t>(h + s * (n - 1), INT32_MIN, INT32_MAX));
}

namespace {

int32_t merge_colour(int64_t a, int64_t b, double amount) {
    int32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double ca = double((a >> shift) & 0xff), cb = double((b >> shift) & 0xff);
        const double v = std::nearbyint((1 - amount) * ca + amount * cb);
        out |= (static_cast<int32_t>(std::clamp(v, 0.0, 255.0)) & 0xff) << shift;
    }
    return out;
}

constexpr double kDegToRad = std::numbers::pi / 180.0;

struct GlyphDraw {
    GraphicsState& g;
    SpriteState& s;
    const CFont& font;
    const CSprite* sprite;  // a sprite font's sprite, when it exists
    const TextStyle& st;

    // Character c with its top-left pen at (px, py); p and line_w give its
    // place in the line for gradients.
    void draw(uint8_t c, double px, double py, int32_t p, int32_t line_w) const {
        if (!font.covers(c)) return;
        const RGlyph& gl = font.glyph(c);
        const double sx = st.transformed ? st.xscale : 1, sy = st.transformed ? st.yscale : 1;
        const double deg = st.transformed ? st.angle : 0;
        double x, y;
        if (st.transformed) {
            const double rad = deg * kDegToRad;
            x = px + sx * gl.offset * std::cos(rad);
            y = py - sx * gl.offset * std::sin(rad);
        } else {
            x = px + gl.offset;
            y = py;
        }
        int64_t cols[4] = {st.colour, st.colour, st.colour, st.colour};
        if (st.gradient) {
            // A line without width has nowhere to run: it takes the left colours.
            const double w = line_w;
            const double a0 = line_w != 0 ? p / w : 0;
            const double a1 = line_w != 0 ? (p + gl.advance) / w : 0;
            cols[0] = merge_colour(st.c1, st.c2, a0);
            cols[1] = merge_colour(st.c1, st.c2, a1);
            cols[2] = merge_colour(st.c4, st.c3, a1);
            cols[3] = merge_colour(st.c4, st.c3, a0);
        }
        if (font.sprite() >= 0) {
            if (!sprite) return;
            const int32_t k = c - font.first();
            if (st.gradient)
                sprite_draw_general(g, *sprite, k, 0, 0, sprite->width(), sprite->height(), x, y,
                                    sx, sy, deg, cols[0], cols[1], cols[2], cols[3], st.alpha);
            else
                sprite_draw_ext(g, *sprite, k, x, y, sx, sy, deg, st.colour, st.alpha);
            return;
        }
        if (font.texture() < 0) return;
        draw_texture_general(g, font.texture(), cols[0], cols[1], cols[2], cols[3], st.alpha,
                             deg * kDegToRad, gl.x, gl.y, gl.width, gl.height, x, y, sx, sy);
    }
};

}  // namespace

void draw_text_block(GraphicsState& g, SpriteState& s, double x, double y, std::string_view text,
                     const TextStyle& st) {
    const CFont& font = text_font(g, s);
    // Most text is one line without breaks: it is drawn from the argument itself.
    std::vector<std::string> split;
    std::string_view one[1] = {text};
    std::span<const std::string_view> single(one, text.empty() ? 0 : 1);
    std::vector<std::string_view> views;
    if (st.width >= 0 || text.find_first_of("#\r\n") != std::string_view::npos) {
        split = split_lines(font, text, st.width);
        views.assign(split.begin(), split.end());
        single = views;
    }
    const std::span<const std::string_view> lines = single;
    const int64_t n = static_cast<int64_t>(lines.size());
    const int64_t sep = st.sep < 0 ? font.line_height() : st.sep;
    const GlyphDraw gd{g, s, font, font.sprite() >= 0 ? s.sprites.get(font.sprite()) : nullptr, st};
    const int32_t halign = g.text.halign, valign = g.text.valign;

    if (!st.transformed) {
        if (valign == 1) y -= double((n * sep) / 2);
        if (valign == 2) y -= double(n * sep);
        for (const std::string_view line : lines) {
            const int32_t w = font.text_width(line);
            const int32_t off = halign == 1 ? -(w / 2) : halign == 2 ? -w : 0;
            double px = x + off;
            int32_t p = 0;
            for (char ch : line) {
                const uint8_t c = static_cast<uint8_t>(ch);
                gd.draw(c, px, y, p, w);
                const int32_t adv = font.advance(c);
                px += adv;
                p += adv;
            }
            y += double(sep);
        }
        return;
    }

    const double rad = st.angle * kDegToRad;
    const double c = std::cos(rad), sn = std::sin(rad);
    const double step_x = st.yscale * double(sep) * sn, step_y = st.yscale * double(sep) * c;
    if (valign == 1) {
        x -= std::nearbyint(double(n) * step_x / 2);
        y -= std::nearbyint(double(n) * step_y / 2);
    } else if (valign == 2) {
        x -= std::nearbyint(double(n) * step_x);
        y -= std::nearbyint(double(n) * step_y);
    }
    for (const std::string_view line : lines) {
        const int32_t w = font.text_width(line);
        const double o = halign == 1   ? -std::nearbyint(st.xscale * w / 2)
                         : halign == 2 ? -std::nearbyint(st.xscale * w)
                                       : 0;
        double px = x + o * c, py = y - o * sn;
        int32_t p = 0;
        for (char ch : line) {
            const uint8_t cc = static_cast<uint8_t>(ch);
            gd.draw(cc, px, py, p, w);
            const int32_t adv = font.advance(cc);
            px += adv * c * st.xscale;
            py -= adv * sn * st.xscale;
            p += adv;
        }
        x += step_x;
        y += step_y;
    }
}

}  // namespace kx
