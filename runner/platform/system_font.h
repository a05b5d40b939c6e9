#pragma once
// The system font rasteriser: faces found by family name (Windows names
// resolve to the closest installed face) or opened from a file, at a point
// size, giving each character's metrics and its anti-aliased coverage.
// Character codes are the 8-bit codes of the Windows Western code page.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kx {

// One rendered character: coverage bytes (0 none, 255 full), rows top to
// bottom, placed at (pen x + left, baseline − top). The black box is
// left / width, so the ABC widths are A = left, B = width and
// C = advance − A − B.
struct GlyphImage {
    int32_t left = 0, top = 0;
    int32_t width = 0, height = 0;
    int32_t advance = 0;
    std::vector<uint8_t> coverage;
};

class ISystemFont {
public:
    virtual ~ISystemFont() = default;
    virtual int32_t ascent() const = 0;   // pixels above the baseline
    virtual int32_t descent() const = 0;  // pixels below it
    // False when the face cannot render the code at all.
    virtual bool glyph(uint8_t code, GlyphImage& out) = 0;
    virtual std::string family() const = 0;  // the face that was chosen
    virtual std::string file() const = 0;
};

// The closest installed face to family name, bold and italic, at size points
// on a 96 dpi screen; null when no face could be opened at all.
std::unique_ptr<ISystemFont> open_system_font(const std::string& name, int32_t size, bool bold,
                                              bool italic);
// A face from a font file (first face of the file); null when it does not open.
std::unique_ptr<ISystemFont> open_font_file(const std::string& path, int32_t size);

// The Unicode code point of an 8-bit Western code-page character.
uint32_t western_to_unicode(uint8_t code);

}  // namespace kx
