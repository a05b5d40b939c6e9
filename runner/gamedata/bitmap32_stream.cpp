#include "gamedata/bitmap32_stream.h"

namespace kx {

CBitmap32 read_bitmap32_record(CStream& s) {
    if (s.read_int() != kBitmap32RecordVersion) return {};
    if (!s.read_bool()) return {};
    const int32_t w = s.read_int(), h = s.read_int();
    // The game data may hold an image of 0 pixels; negative sizes are damage.
    if (w < 0 || h < 0 || int64_t(w) * h > CBitmap32::kMaxPixels)
        throw StreamError("bad image size");
    const size_t expected = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
    const int32_t n = s.read_int();
    if (n < 0) throw StreamError("negative compressed block length");
    std::vector<uint8_t> packed = s.read_bytes(static_cast<size_t>(n));
    std::vector<uint8_t> raw = zlib_inflate(packed, expected);
    if (raw.size() != expected) throw StreamError("image pixel block has the wrong size");
    CBitmap32 img = CBitmap32::blank(w, h);
    for (size_t i = 0; i < img.pixels.size(); ++i)
        img.pixels[i] = uint32_t(raw[4 * i]) | (uint32_t(raw[4 * i + 1]) << 8) |
                        (uint32_t(raw[4 * i + 2]) << 16) | (uint32_t(raw[4 * i + 3]) << 24);
    return img;
}

void write_bitmap32_record(CStream& s, const CBitmap32& image) {
    s.write_int(kBitmap32RecordVersion);
    s.write_bool(image.exists);
    if (!image.exists) return;
    s.write_int(image.width);
    s.write_int(image.height);
    std::vector<uint8_t> raw(image.pixels.size() * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        for (int k = 0; k < 4; ++k)
            raw[4 * i + k] = static_cast<uint8_t>(image.pixels[i] >> (8 * k));
    s.write_compressed(raw);
}

}  // namespace kx
