#pragma once
// A 32-bit image in main memory: rows top to bottom, each pixel
// A<<24 | R<<16 | G<<8 | B. A non-existing image has no pixels and every
// operation on it does nothing. A "24-bit image" below is a CBitmap32 whose
// alpha bytes are ignored on input and 255 on output.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kx {

struct DecodedPicture;

// Inclusive pixel rectangle.
struct BitmapBox {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const BitmapBox&) const = default;
};

struct CBitmap32 {
    bool exists = false;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    // No operation builds an image of more pixels than this; larger requests
    // give a non-existing image (or leave the image as it was).
    static constexpr int64_t kMaxPixels = int64_t(1) << 28;

    static CBitmap32 blank(int32_t w, int32_t h, uint32_t argb = 0) {
        CBitmap32 b;
        b.exists = true;
        b.width = w;
        b.height = h;
        b.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), argb);
        return b;
    }
    uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    uint32_t& at(int32_t x, int32_t y) { return pixels[static_cast<size_t>(y) * width + x]; }

    // The rectangle (x, y, w, h) of src; exists only when src exists and the
    // rectangle (at least 1 x 1) lies inside it.
    static CBitmap32 sub_image(const CBitmap32& src, int32_t x, int32_t y, int32_t w, int32_t h);
    // Every pixel the game colour (0x00BBGGRR), opaque; sizes raised to at least 1.
    static CBitmap32 solid(int32_t w, int32_t h, uint32_t colour);
    // Kinds: 0 horizontal, 1 vertical, 2 rectangle, 3 ellipse, 4 double
    // horizontal, 5 double vertical; any other kind stays black. Opaque.
    static CBitmap32 gradient(int32_t w, int32_t h, uint32_t colour1, uint32_t colour2, int kind);
    // A decoded picture drawn on a canvas (filled with R=64, G=128, B=0 when
    // transparent, so see-through parts of the file become that colour), then
    // as from_24bit.
    static CBitmap32 from_graphic(const DecodedPicture& graphic, bool smooth, bool transparent);
    // Opaque copy of the colours; then, when transparent, the bottom-left
    // pixel's colour is keyed out, and when smooth too, the edges are softened.
    static CBitmap32 from_24bit(const CBitmap32& image, bool smooth, bool transparent);
    // As from_24bit, but the image keeps its own alpha.
    static CBitmap32 from_32bit(const CBitmap32& image, bool smooth, bool transparent);

    // Over the overlapping area: alpha = min(alpha, (R + G + B) div 3 of other).
    void alpha_from(const CBitmap32& other);
    // Nearest neighbour; sizes raised to at least 1. False (image unchanged)
    // when the image does not exist or the size is too large.
    bool resize(int32_t w, int32_t h);
    // Smallest box holding every pixel with alpha != 0; (width-1, height-1, 0, 0)
    // when there is none; (0, 0, 0, 0) for a non-existing image.
    BitmapBox opaque_bbox() const;
    // The colours with alpha dropped (every alpha 255), for saving.
    CBitmap32 to_24bit() const;

    // White pixels with the given alpha bytes, row by row (font glyph pages).
    // Missing bytes count as 0; sizes below 1 give a non-existing image.
    static CBitmap32 from_alpha(int32_t w, int32_t h, std::span<const uint8_t> alpha);
    // What is uploaded into a texture of tw x th granted for this image: the
    // image itself when the sizes agree, else the image plus (room permitting)
    // one column repeating its last column and one row repeating its last row,
    // so that filtering at the right and bottom edges samples image colours.
    CBitmap32 edge_banded(int32_t tw, int32_t th) const;

    // The two steps of building with the transparent flag.
    void key_out_bottom_left();
    void smooth_edges();
};

}  // namespace kx
