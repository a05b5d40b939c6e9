#include "platform/system_font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>

namespace kx {

uint32_t western_to_unicode(uint8_t code) {
    // 0x80..0x9F are the code page's own; everything else is Latin-1.
    static const uint16_t k80[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return code >= 0x80 && code < 0xA0 ? k80[code - 0x80] : code;
}

namespace {

class FreeTypeFont final : public ISystemFont {
public:
    ~FreeTypeFont() override {
        if (m_face) FT_Done_Face(m_face);
        if (m_lib) FT_Done_FreeType(m_lib);
    }

    bool open(const std::string& path, int index, int32_t size) {
        if (FT_Init_FreeType(&m_lib) != 0) return false;
        if (FT_New_Face(m_lib, path.c_str(), index, &m_face) != 0) {
            m_face = nullptr;
            return false;
        }
        m_file = path;
        if (m_face->family_name) m_family = m_face->family_name;
        // Points on a 96 dpi screen; sizes the face cannot take fall back to
        // its nearest fixed size.
        const FT_F26Dot6 points = FT_F26Dot6(std::clamp(size, 1, 1000)) * 64;
        if (FT_Set_Char_Size(m_face, 0, points, 96, 96) != 0) {
            if (m_face->num_fixed_sizes <= 0) return false;
            FT_Select_Size(m_face, 0);
        }
        const FT_Size_Metrics& m = m_face->size->metrics;
        m_ascent = static_cast<int32_t>((m.ascender + 63) >> 6);
        m_descent = static_cast<int32_t>((-m.descender + 63) >> 6);
        return true;
    }

    int32_t ascent() const override { return m_ascent; }
    int32_t descent() const override { return m_descent; }
    std::string family() const override { return m_family; }
    std::string file() const override { return m_file; }

    bool glyph(uint8_t code, GlyphImage& out) override {
        out = GlyphImage{};
        const FT_UInt index = FT_Get_Char_Index(m_face, western_to_unicode(code));
        if (FT_Load_Glyph(m_face, index, FT_LOAD_DEFAULT) != 0) return false;
        if (FT_Render_Glyph(m_face->glyph, FT_RENDER_MODE_NORMAL) != 0) return false;
        const FT_GlyphSlot slot = m_face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        out.left = slot->bitmap_left;
        out.top = slot->bitmap_top;
        out.width = static_cast<int32_t>(bm.width);
        out.height = static_cast<int32_t>(bm.rows);
        out.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
        out.coverage.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0);
        for (int32_t y = 0; y < out.height; ++y) {
            const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
            for (int32_t x = 0; x < out.width; ++x) {
                uint8_t v = 0;
                if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
                    v = static_cast<uint8_t>(row[x] * 255 / std::max(1, bm.num_grays - 1));
                else if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                    v = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                out.coverage[static_cast<size_t>(y) * static_cast<size_t>(out.width) +
                             static_cast<size_t>(x)] = v;
            }
        }
        return true;
    }

private:
    FT_Library m_lib = nullptr;
    FT_Face m_face = nullptr;
    int32_t m_ascent = 0, m_descent = 0;
    std::string m_family, m_file;
};

// The file and face index fontconfig picks for the pattern, or false. Each
// lookup loads a configuration of its own and frees it again: the library's
// shared default one is never released.
bool match_font(const std::string& name, bool bold, bool italic, std::string& file, int& index) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return false;
    FcPattern* pat = FcPatternCreate();
    if (!pat) {
        FcConfigDestroy(config);
        return false;
    }
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(config, pat, &result);
    FcPatternDestroy(pat);
    bool ok = false;
    if (found) {
        FcChar8* path = nullptr;
        ok = FcPatternGetString(found, FC_FILE, 0, &path) == FcResultMatch && path;
        if (ok) {
            file = reinterpret_cast<const char*>(path);
            index = 0;
            FcPatternGetInteger(found, FC_INDEX, 0, &index);
        }
        FcPatternDestroy(found);
    }
    FcConfigDestroy(config);
    return ok;
}

}  // namespace

std::unique_ptr<ISystemFont> open_system_font(const std::string& name, int32_t size, bool bold,
                                              bool italic) {
    std::string file;
    int index = 0;
    if (!match_font(name.empty() ? std::string("Arial") : name, bold, italic, file, index))
        return nullptr;
    auto f = std::make_unique<FreeTypeFont>();
    if (!f->open(file, index, size)) return nullptr;
    return f;
}

std::unique_ptr<ISystemFont> open_font_file(const std::string& path, int32_t size) {
    auto f = std::make_unique<FreeTypeFont>();
    if (!f->open(path, 0, size)) return nullptr;
    return f;
}

}  // namespace kx
