#pragma once
// Helpers shared by the picture decoders; not part of the public API.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "image/picture_file.h"

namespace kx::picture_detail {

// No decoder makes an image of more pixels than this.
inline constexpr uint64_t kMaxPixels = static_cast<uint64_t>(CBitmap32::kMaxPixels);

inline bool sane_size(int64_t w, int64_t h) {
    return w > 0 && h > 0 && static_cast<uint64_t>(w) * static_cast<uint64_t>(h) <= kMaxPixels;
}

// Compressed data cannot stand for more than per_byte pixels per byte; a header
// claiming more lies, and is refused before anything is allocated. Small
// pictures always pass.
inline bool plausible(uint64_t pixels, uint64_t data_bytes, uint64_t per_byte) {
    return pixels <= (uint64_t(1) << 20) || pixels <= data_bytes * per_byte;
}

inline uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline uint32_t argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}

// A device-independent bitmap without its file header. pixel_offset is where the
// pixel data starts, counted from the start of dib; absent means right after the
// header, bit masks and palette (as in icon entries). In icon mode the stored
// height covers the colour image and the AND mask, and the mask gives alpha.
std::optional<DecodedPicture> decode_dib(std::span<const uint8_t> dib,
                                         std::optional<size_t> pixel_offset, bool icon_mode);

bool is_png(std::span<const uint8_t> bytes);

}  // namespace kx::picture_detail

namespace kx {
// The first frame of a GIF; the file must be sound to its end.
std::optional<DecodedPicture> decode_gif_first(std::span<const uint8_t> bytes);

}  // namespace kx
