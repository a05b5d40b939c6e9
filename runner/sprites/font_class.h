#pragma once
// A font: either a glyph page (one alpha image holding every character of a
// range, rendered from a system font) or a sprite whose subimages are the
// characters. Metrics are table lookups by 8-bit character code.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gamedata/cstream.h"
#include "sprites/texture_link.h"

namespace kx {

inline constexpr int32_t kFontRecordVersion = 540;

class CSprite;
class ISystemFont;

// A glyph's cell on the page (x, y, width, height; height is also the line
// height), how far the pen moves after it and what is added to the pen
// where it is drawn.
struct RGlyph {
    int32_t x = 0, y = 0, width = 0, height = 0, advance = 0, offset = 0;
    bool operator==(const RGlyph&) const = default;
};

class CFont {
public:
    CFont() = default;
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    // The game-data record, both directions. A wrong version answers false;
    // damaged data throws StreamError.
    bool read(CStream& s);
    void write(CStream& s) const;

    // A page font from the installed face closest to name; first and last are
    // clamped to 0 .. 255. False (and no glyphs) when no face opens at all.
    bool create_page_font(const std::string& name, int32_t size, bool bold, bool italic,
                          int32_t first, int32_t last);
    // The same from a face already opened at its size (a font file).
    void create_page_font_from(ISystemFont& face, const std::string& name, int32_t size, bool bold,
                               bool italic, int32_t first, int32_t last);
    // Characters from first on are the sprite's subimages; no page, no texture.
    void create_sprite_font(const CSprite& sprite, int32_t sprite_id, int32_t first,
                            bool proportional, int32_t separation);
    // A page font holding a sprite font's characters: the metrics of
    // create_sprite_font, each character's box of its subimage (alpha only)
    // laid out on a page as page fonts are; drawn like any page font.
    void create_page_from_sprite(const CSprite& sprite, const std::string& name, int32_t first,
                                 bool proportional, int32_t separation);
    void assign(const CFont& other);

    // The page texture through the link (page fonts with a name only).
    void set_texture_link(const TextureLink* link) { m_link = link; }
    void make_texture();
    void free_texture();
    int32_t texture() const { return m_texture; }

    // How far the pen moves after c: its own advance inside the range, else
    // the space's when the range holds it, else the first character's.
    int32_t advance(uint8_t c) const;
    int32_t text_width(std::string_view line) const;
    int32_t line_height() const { return m_glyphs[static_cast<size_t>(m_first)].height; }
    bool covers(uint8_t c) const { return c >= m_first && c <= m_last; }
    const RGlyph& glyph(uint8_t c) const { return m_glyphs[c]; }

    const std::string& name() const { return m_name; }
    int32_t size() const { return m_size; }
    bool bold() const { return m_bold; }
    bool italic() const { return m_italic; }
    int32_t first() const { return m_first; }
    int32_t last() const { return m_last; }
    int32_t sprite() const { return m_sprite; }
    int32_t page_width() const { return m_page_width; }
    int32_t page_height() const { return m_page_height; }
    const std::vector<uint8_t>& page() const { return m_page; }

    // For building a font as stored (kxpack, tests): nothing is recomputed.
    void set_stored(std::string name, int32_t size, bool bold, bool italic, int32_t first,
                    int32_t last, const std::array<RGlyph, 256>& glyphs, int32_t page_width,
                    int32_t page_height, std::vector<uint8_t> page);

private:
    void reset();
    // Places cells of the given widths (first .. last) on a page of width at
    // least its height: x, y, width and height of every glyph.
    void lay_out_page(const std::vector<int32_t>& cells, int32_t line_height);

    std::string m_name;
    int32_t m_size = 12;
    bool m_bold = false, m_italic = false;
    int32_t m_first = 32, m_last = 128;
    int32_t m_sprite = -1;
    std::array<RGlyph, 256> m_glyphs{};
    int32_t m_page_width = 0, m_page_height = 0;
    std::vector<uint8_t> m_page;
    const TextureLink* m_link = nullptr;
    int32_t m_texture = -1;
};

}  // namespace kx
