#pragma once
// Decoding and encoding of picture files (Windows bitmap, icon, GIF, JPEG, PNG).
// Every decoder answers std::nullopt for a file it cannot decode: bad or
// truncated input never crashes and never allocates from an unchecked size.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/bitmap32.h"

namespace kx {

// One decoded picture as its graphic: 32-bit pixels in CBitmap32 order. has_alpha
// tells whether the file carried real alpha (32-bit BMP with alpha, PNG with
// alpha, GIF transparency, ICO masks); when false every alpha byte is 255.
struct DecodedPicture {
    CBitmap32 image;
    bool has_alpha = false;
};

std::optional<DecodedPicture> decode_bmp(std::span<const uint8_t> bytes);
std::optional<DecodedPicture> decode_ico(std::span<const uint8_t> bytes);
std::optional<DecodedPicture> decode_png(std::span<const uint8_t> bytes);
std::optional<DecodedPicture> decode_jpeg(std::span<const uint8_t> bytes);
// One image of a GIF file as stored: its place on the logical screen, its own
// size, see-through pixels (the transparent index) as 0 and every other pixel
// opaque; the disposal method of its graphic control extension (0 none given,
// 1 do not dispose, 2 restore to background, 3 restore to previous) and its
// delay in hundredths of a second.
struct GifFrame {
    int32_t left = 0, top = 0;
    CBitmap32 image;
    int disposal = 0;
    int delay = 0;
    bool has_transparency = false;
};
struct GifPicture {
    int32_t width = 0, height = 0;  // the logical screen
    std::vector<GifFrame> frames;   // at least one
};
// The frames as stored, for callers that compose them their own way.
std::optional<GifPicture> decode_gif(std::span<const uint8_t> bytes);
// Every frame of an animated GIF, composed on a see-through screen as a viewer
// shows them (disposal and transparency applied); empty on failure.
std::vector<DecodedPicture> decode_gif_frames(std::span<const uint8_t> bytes);

enum class PictureFormat { Unknown, Bmp, Ico, Png, Jpeg, Gif, Metafile };
// The format a file's leading bytes announce.
PictureFormat sniff_picture(std::span<const uint8_t> bytes);

// Chooses the decoder by the file's leading bytes (not by its name); a GIF gives
// its first frame. Metafiles and unknown formats give std::nullopt.
std::optional<DecodedPicture> decode_picture(std::span<const uint8_t> bytes);

// A Windows bitmap file: 24 bits when with_alpha is false, else 32 bits with
// alpha (BITMAPV4 header with bit fields); rows bottom-up unless top_down.
// Empty for a non-existing or empty image.
std::vector<uint8_t> encode_bmp(const CBitmap32& image, bool with_alpha, bool top_down = false);
// An 8-bit RGBA PNG file; empty for a non-existing or empty image.
std::vector<uint8_t> encode_png(const CBitmap32& image);

}  // namespace kx
