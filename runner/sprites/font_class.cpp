#include "sprites/font_class.h"

#include <algorithm>

#include "image/bitmap32.h"
#include "platform/system_font.h"
#include "sprites/sprite_class.h"

namespace kx {

namespace {

// Pages larger than this are refused when read (the widest range of the
// largest sizes stays far below it).
constexpr int64_t kMaxPageBytes = int64_t(1) << 26;

}  // namespace

void CFont::reset() {
    free_texture();
    m_name.clear();
    m_size = 12;
    m_bold = m_italic = false;
    m_first = 32;
    m_last = 128;
    m_sprite = -1;
    m_glyphs = {};
    m_page_width = m_page_height = 0;
    m_page.clear();
}

bool CFont::read(CStream& s) {
    reset();
    if (s.read_int() != kFontRecordVersion) return false;
    m_name = s.read_string();
    m_size = s.read_int();
    m_bold = s.read_bool();
    m_italic = s.read_bool();
    m_first = s.read_int();
    m_last = s.read_int();
    for (RGlyph& g : m_glyphs) {
        g.x = s.read_int();
        g.y = s.read_int();
        g.width = s.read_int();
        g.height = s.read_int();
        g.advance = s.read_int();
        g.offset = s.read_int();
    }
    m_page_width = s.read_int();
    m_page_height = s.read_int();
    const CStream block = s.read_compressed();
    // The page must hold every byte its size promises.
    if (m_page_width < 0 || m_page_height < 0 ||
        int64_t(m_page_width) * m_page_height > kMaxPageBytes ||
        block.size() < size_t(m_page_width) * size_t(m_page_height))
        throw StreamError("corrupt font page");
    m_page.assign(block.bytes().begin(),
                  block.bytes().begin() + ptrdiff_t(m_page_width) * m_page_height);
    // Metrics are looked up by these, so a damaged range must not reach past the table.
    m_first = std::clamp(m_first, 0, 255);
    m_last = std::clamp(m_last, 0, 255);
    return true;
}

void CFont::write(CStream& s) const {
    s.write_int(kFontRecordVersion);
    s.write_string(m_name);
    s.write_int(m_size);
    s.write_bool(m_bold);
    s.write_bool(m_italic);
    s.write_int(m_first);
    s.write_int(m_last);
    for (const RGlyph& g : m_glyphs) {
        s.write_int(g.x);
        s.write_int(g.y);
        s.write_int(g.width);
        s.write_int(g.height);
        s.write_int(g.advance);
        s.write_int(g.offset);
    }
    s.write_int(m_page_width);
    s.write_int(m_page_height);
    s.write_compressed(m_page);
}

bool CFont::create_page_font(const std::string& name, int32_t size, bool bold, bool italic,
                             int32_t first, int32_t last) {
    auto face = open_system_font(name, size, bold, italic);
    if (!face) {
        reset();
        m_name = name;
        m_size = size;
        m_bold = bold;
        m_italic = italic;
        m_first = std::clamp(first, 0, 255);
        m_last = std::clamp(last, 0, 255);
        return false;
    }
    create_page_font_from(*face, name, size, bold, italic, first, last);
    return true;
}

void CFont::create_page_font_from(ISystemFont& face, const std::string& name, int32_t size,
                                  bool bold, bool italic, int32_t first, int32_t last) {
    reset();
    m_name = name;
    m_size = size;
    m_bold = bold;
    m_italic = italic;
    m_first = std::clamp(first, 0, 255);
    m_last = std::clamp(last, 0, 255);
    if (m_first > m_last) {
        // An empty range: the line height still comes from the first entry.
        m_glyphs[static_cast<size_t>(m_first)].height = face.ascent() + face.descent();
        return;
    }

    const int32_t h = face.ascent() + face.descent();
    std::vector<GlyphImage> images(256);
    std::vector<bool> rendered(256, false);
    for (int32_t c = m_first; c <= m_last; ++c)
        rendered[static_cast<size_t>(c)] =
            face.glyph(static_cast<uint8_t>(c), images[static_cast<size_t>(c)]);

    std::vector<int32_t> cells(256, 0);
    for (int32_t c = m_first; c <= m_last; ++c) {
        RGlyph& g = m_glyphs[static_cast<size_t>(c)];
        const GlyphImage& im = images[static_cast<size_t>(c)];
        if (rendered[static_cast<size_t>(c)]) {
            // ABC widths: A the left bearing, B the black box.
            cells[static_cast<size_t>(c)] = im.width + 1;
            g.advance = im.advance;
            g.offset = im.left;
        } else {
            cells[static_cast<size_t>(c)] = m_italic ? h / 2 + 2 : 1;
        }
    }
    lay_out_page(cells, h);
    const int32_t w = m_page_width, page_h = m_page_height;

    // Rendering: white on black, then black on white at the same places; the
    // page keeps half their difference, which is the coverage wherever
    // characters do not overlap.
    const size_t n = static_cast<size_t>(w) * static_cast<size_t>(page_h);
    std::vector<uint8_t> on_black(n, 0), on_white(n, 255);
    for (int32_t c = m_first; c <= m_last; ++c) {
        if (!rendered[static_cast<size_t>(c)]) continue;
        const RGlyph& g = m_glyphs[static_cast<size_t>(c)];
        const GlyphImage& im = images[static_cast<size_t>(c)];
        // The character is drawn at (x - A, y), so its black box starts at x.
        const int32_t ox = g.x, oy = g.y + face.ascent() - im.top;
        for (int32_t j = 0; j < im.height; ++j) {
            const int32_t py = oy + j;
            if (py < 0 || py >= page_h) continue;
            for (int32_t i = 0; i < im.width; ++i) {
                const int32_t px = ox + i;
                if (px < 0 || px >= w) continue;
                const int cov = im.coverage[static_cast<size_t>(j) * static_cast<size_t>(im.width) +
                                            static_cast<size_t>(i)];
                const size_t at =
                    static_cast<size_t>(py) * static_cast<size_t>(w) + static_cast<size_t>(px);
                const int b = on_black[at], wv = on_white[at];
                on_black[at] = static_cast<uint8_t>(b + (cov * (255 - b) + 127) / 255);
                on_white[at] = static_cast<uint8_t>(wv - (cov * wv + 127) / 255);
            }
        }
    }
    m_page.resize(n);
    for (size_t i = 0; i < n; ++i)
        m_page[i] = static_cast<uint8_t>((on_black[i] - on_white[i] + 255) >> 1);
    make_texture();
}

void CFont::lay_out_page(const std::vector<int32_t>& cells, int32_t h) {
    // The page widens until it is at least as wide as it is high.
    int32_t w = 64, page_h = 0;
    do {
        w *= 2;
        int32_t x = 0, y = 0;
        for (int32_t c = m_first; c <= m_last; ++c) {
            RGlyph& g = m_glyphs[static_cast<size_t>(c)];
            const int32_t cell = cells[static_cast<size_t>(c)];
            g.height = h;
            g.width = cell;
            if (x > 0 && x + cell >= w) {
                x = 0;
                y += h + 1;
            }
            g.x = x;
            g.y = y;
            x += cell + 1;
        }
        page_h = y + h + 1;
    } while (w < page_h);
    m_page_width = w;
    m_page_height = page_h;
}

void CFont::create_page_from_sprite(const CSprite& sprite, const std::string& name, int32_t first,
                                    bool proportional, int32_t separation) {
    create_sprite_font(sprite, -1, first, proportional, separation);
    m_sprite = -1;
    m_name = name;
    if (m_last < m_first) return;
    std::vector<int32_t> cells(256, 0);
    std::vector<BitmapBox> boxes(256);
    for (int32_t c = m_first; c <= m_last; ++c) {
        RGlyph& g = m_glyphs[static_cast<size_t>(c)];
        // The box's columns, cut to the image; the cell keeps them all, so
        // the glyph's pixels land where the sprite would have put them.
        BitmapBox b{g.x, 0, std::min(g.x + g.width, sprite.width() - 1), sprite.height() - 1};
        if (b.right < b.left) b.right = b.left - 1;
        boxes[static_cast<size_t>(c)] = b;
        cells[static_cast<size_t>(c)] = b.right - b.left + 1;
        g.offset = 0;
    }
    lay_out_page(cells, sprite.height());
    m_page.assign(static_cast<size_t>(m_page_width) * static_cast<size_t>(m_page_height), 0);
    for (int32_t c = m_first; c <= m_last; ++c) {
        const RGlyph& g = m_glyphs[static_cast<size_t>(c)];
        const BitmapBox& b = boxes[static_cast<size_t>(c)];
        const auto& images = sprite.subimages();
        const CBitmap32& im = images[static_cast<size_t>(c - m_first)];
        if (!im.exists || im.pixels.empty()) continue;
        for (int32_t y = 0; y < g.height && y < im.height; ++y)
            for (int32_t x = 0; x < b.right - b.left + 1; ++x) {
                const int32_t sx = b.left + x;
                if (sx < 0 || sx >= im.width) continue;
                m_page[static_cast<size_t>(g.y + y) * static_cast<size_t>(m_page_width) +
                       static_cast<size_t>(g.x + x)] = static_cast<uint8_t>(im.at(sx, y) >> 24);
            }
    }
    make_texture();
}

void CFont::create_sprite_font(const CSprite& sprite, int32_t sprite_id, int32_t first,
                               bool proportional, int32_t separation) {
    reset();
    m_name.clear();
    m_sprite = sprite_id;
    m_first = std::clamp(first, 0, 255);
    m_last = std::min(255, m_first + sprite.subimage_count() - 1);
    for (int32_t c = m_first; c <= m_last; ++c) {
        const int32_t k = c - m_first;
        const BitmapBox box = proportional ? sprite.subimage_opaque_box(k)
                                           : BitmapBox{0, 0, sprite.width(), sprite.height()};
        RGlyph& g = m_glyphs[static_cast<size_t>(c)];
        g.x = box.left;
        g.y = box.top;
        g.width = box.right - box.left;
        g.height = sprite.height();
        g.advance = box.right + separation - box.left;
        g.offset = -box.left;
    }
    if (m_last < m_first) m_glyphs[static_cast<size_t>(m_first)].height = sprite.height();
}

void CFont::assign(const CFont& other) {
    if (&other == this) return;
    reset();
    m_name = other.m_name;
    m_size = other.m_size;
    m_bold = other.m_bold;
    m_italic = other.m_italic;
    m_first = other.m_first;
    m_last = other.m_last;
    m_sprite = other.m_sprite;
    m_glyphs = other.m_glyphs;
    m_page_width = other.m_page_width;
    m_page_height = other.m_page_height;
    m_page = other.m_page;
    make_texture();
}

void CFont::set_stored(std::string name, int32_t size, bool bold, bool italic, int32_t first,
                       int32_t last, const std::array<RGlyph, 256>& glyphs, int32_t page_width,
                       int32_t page_height, std::vector<uint8_t> page) {
    reset();
    m_name = std::move(name);
    m_size = size;
    m_bold = bold;
    m_italic = italic;
    m_first = std::clamp(first, 0, 255);
    m_last = std::clamp(last, 0, 255);
    m_glyphs = glyphs;
    m_page_width = page_width;
    m_page_height = page_height;
    m_page = std::move(page);
    m_page.resize(static_cast<size_t>(std::max(0, page_width)) *
                  static_cast<size_t>(std::max(0, page_height)));
}

void CFont::make_texture() {
    free_texture();
    ITextureMaker* maker = m_link ? m_link->maker : nullptr;
    if (!maker || m_sprite >= 0 || m_name.empty() || m_page.empty()) return;
    m_texture = maker->make(CBitmap32::from_alpha(m_page_width, m_page_height, m_page));
}

void CFont::free_texture() {
    if (m_texture < 0) return;
    if (m_link && m_link->maker) m_link->maker->free(m_texture);
    m_texture = -1;
}

int32_t CFont::advance(uint8_t c) const {
    if (covers(c)) return m_glyphs[c].advance;
    if (covers(' ')) return m_glyphs[' '].advance;
    return m_glyphs[static_cast<size_t>(m_first)].advance;
}

int32_t CFont::text_width(std::string_view line) const {
    int32_t w = 0;
    for (char ch : line) w += advance(static_cast<uint8_t>(ch));
    return w;
}

}  // namespace kx
