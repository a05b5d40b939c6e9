// Windows bitmap files: every bit depth, RLE4/RLE8, bit fields, OS/2 core and
// 2.x headers, top-down and bottom-up rows. Also the pixel part of icon entries.
#include <bit>
#include <cstring>

#include "image/picture_file.h"
#include "image/picture_internal.h"

namespace kx {

using namespace picture_detail;

namespace {

enum : uint32_t {
    kBiRgb = 0,
    kBiRle8 = 1,
    kBiRle4 = 2,
    kBiBitfields = 3,
    kBiJpeg = 4,
    kBiPng = 5,
    kBiAlphaBitfields = 6
};

bool is_windows_header(uint32_t hs) {
    return hs == 40 || hs == 52 || hs == 56 || hs == 108 || hs == 124;
}

// Scales one bit-field channel of a pixel to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Channel(uint32_t m = 0) : mask(m) {
        if (m == 0) return;
        shift = std::countr_zero(m);
        bits = std::popcount(m);
    }
    uint8_t get(uint32_t px) const {
        if (bits == 0) return 0;
        uint32_t v = (px & mask) >> shift;
        if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
        uint32_t max = (1u << bits) - 1;
        return static_cast<uint8_t>((v * 255 + max / 2) / max);
    }
};

uint32_t palette_colour(const std::vector<uint32_t>& pal, unsigned index) {
    return index < pal.size() ? pal[index] : argb(255, 0, 0, 0);
}

// Run-length data into palette indexes, one byte per pixel in file row order
// (row 0 is the first stored row). False when the data ends before the image.
bool decode_rle(std::span<const uint8_t> d, int32_t w, int32_t h, bool four_bit,
                std::vector<uint8_t>& idx) {
    idx.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    size_t pos = 0;
    int64_t x = 0, y = 0;
    auto put = [&](uint8_t v) {
        if (x < w && y < h)
            idx[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = v;
        ++x;
    };
    while (y < h) {
        if (pos + 2 > d.size()) return y == h - 1 && x >= w;
        uint8_t a = d[pos], b = d[pos + 1];
        pos += 2;
        if (a > 0) {
            for (int i = 0; i < a && x < w; ++i)
                put(four_bit ? static_cast<uint8_t>((i & 1) ? (b & 15) : (b >> 4)) : b);
            continue;
        }
        if (b == 0) {  // end of line
            x = 0;
            ++y;
        } else if (b == 1) {  // end of bitmap
            return true;
        } else if (b == 2) {  // delta
            if (pos + 2 > d.size()) return false;
            x += d[pos];
            y += d[pos + 1];
            pos += 2;
        } else {  // absolute run, padded to a whole 16-bit word
            size_t nbytes = four_bit ? (b + 1u) / 2u : b;
            size_t padded = nbytes + (nbytes & 1);
            if (pos + nbytes > d.size()) return false;
            for (int i = 0; i < b; ++i) {
                uint8_t v = four_bit ? static_cast<uint8_t>((i & 1) ? (d[pos + i / 2] & 15)
                                                                    : (d[pos + i / 2] >> 4))
                                     : d[pos + i];
                put(v);
            }
            pos = std::min(d.size(), pos + padded);
        }
    }
    return true;
}

}  // namespace

namespace picture_detail {

std::optional<DecodedPicture> decode_dib(std::span<const uint8_t> dib,
                                         std::optional<size_t> pixel_offset, bool icon_mode) {
    if (dib.size() < 12) return std::nullopt;
    const uint8_t* p = dib.data();
    uint32_t hs = le32(p);
    if (hs > dib.size() || (hs != 12 && hs < 16)) return std::nullopt;

    int64_t w, h;
    unsigned bpp;
    uint32_t compression = kBiRgb, clr_used = 0, size_image = 0;
    size_t entry = 4;
    if (hs == 12) {  // OS/2 core header: unsigned 16-bit sizes, 3-byte palette entries
        w = le16(p + 4);
        h = le16(p + 6);
        bpp = le16(p + 10);
        entry = 3;
    } else {
        w = static_cast<int32_t>(le32(p + 4));
        h = static_cast<int32_t>(le32(p + 8));
        bpp = le16(p + 14);
        if (hs >= 20) compression = le32(p + 16);
        if (hs >= 24) size_image = le32(p + 20);
        if (hs >= 36) clr_used = le32(p + 32);
        // OS/2 2.x reuses 3 and 4 for Huffman and 24-bit RLE, which we do not read.
        if (!is_windows_header(hs) && compression > kBiRle4) return std::nullopt;
    }
    bool top_down = false;
    if (icon_mode) h /= 2;
    if (h < 0 && hs != 12 && !icon_mode) {
        top_down = true;
        h = -h;
    }
    if (!sane_size(w, h)) return std::nullopt;

    switch (compression) {
        case kBiRgb:
            if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
                return std::nullopt;
            break;
        case kBiRle8:
            if (bpp != 8) return std::nullopt;
            break;
        case kBiRle4:
            if (bpp != 4) return std::nullopt;
            break;
        case kBiBitfields:
        case kBiAlphaBitfields:
            if (bpp != 16 && bpp != 32) return std::nullopt;
            break;
        case kBiJpeg:
        case kBiPng:
            break;
        default:
            return std::nullopt;
    }

    // Bit masks: in the header from V2 on, else right after a 40-byte header.
    uint32_t masks[4] = {0, 0, 0, 0};
    size_t after_header = hs;
    if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
        if (hs >= 52) {
            for (int i = 0; i < 3; ++i) masks[i] = le32(p + 40 + 4 * i);
            if (hs >= 56) masks[3] = le32(p + 52);
        } else {
            size_t n = compression == kBiAlphaBitfields ? 4 : 3;
            if (hs + 4 * n > dib.size()) return std::nullopt;
            for (size_t i = 0; i < n; ++i) masks[i] = le32(p + hs + 4 * i);
            after_header = hs + 4 * n;
        }
    }

    std::vector<uint32_t> pal;
    size_t pal_start = after_header, pixel_start;
    if (bpp <= 8 && compression != kBiJpeg && compression != kBiPng) {
        size_t n = size_t(1) << bpp;
        if (clr_used != 0 && clr_used < n) n = clr_used;
        size_t limit = pixel_offset && *pixel_offset > pal_start
                           ? std::min(*pixel_offset, dib.size())
                           : dib.size();
        size_t avail = (limit - pal_start) / entry;
        if (!pixel_offset && avail < n)
            return std::nullopt;  // icon: pixels follow the whole palette
        n = std::min(n, avail);
        pal.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* e = p + pal_start + i * entry;
            pal.push_back(argb(255, e[2], e[1], e[0]));
        }
        pixel_start = pixel_offset ? *pixel_offset : pal_start + n * entry;
    } else {
        pixel_start = pixel_offset ? *pixel_offset : after_header;
    }
    if (pixel_start > dib.size()) return std::nullopt;
    std::span<const uint8_t> data = dib.subspan(pixel_start);

    if (compression == kBiJpeg || compression == kBiPng) {
        if (size_image != 0 && size_image < data.size()) data = data.first(size_image);
        auto inner = compression == kBiPng ? decode_png(data) : decode_jpeg(data);
        if (!inner || inner->image.width != w || inner->image.height != h) return std::nullopt;
        return inner;
    }

    const auto W = static_cast<int32_t>(w), H = static_cast<int32_t>(h);
    DecodedPicture out;
    auto dest_row = [&](int64_t r) { return static_cast<int32_t>(top_down ? r : H - 1 - r); };
    const uint64_t stride = (static_cast<uint64_t>(w) * bpp + 31) / 32 * 4;
    const uint64_t row_bytes = (static_cast<uint64_t>(w) * bpp + 7) / 8;

    if (compression == kBiRle8 || compression == kBiRle4) {
        std::vector<uint8_t> idx;
        if (size_image != 0 && size_image < data.size()) data = data.first(size_image);
        if (!plausible(static_cast<uint64_t>(w) * h, data.size(), 1024)) return std::nullopt;
        if (!decode_rle(data, W, H, compression == kBiRle4, idx)) return std::nullopt;
        out.image = CBitmap32::blank(W, H);
        for (int32_t r = 0; r < H; ++r) {
            int32_t y = dest_row(r);
            for (int32_t x = 0; x < W; ++x)
                out.image.at(x, y) = palette_colour(pal, idx[static_cast<size_t>(r) * W + x]);
        }
        return out;
    }

    if ((static_cast<uint64_t>(h) - 1) * stride + row_bytes > data.size()) return std::nullopt;
    out.image = CBitmap32::blank(W, H);

    if (bpp <= 8) {
        const unsigned per_byte = 8 / bpp, mask = (1u << bpp) - 1;
        for (int32_t r = 0; r < H; ++r) {
            const uint8_t* row = data.data() + r * stride;
            int32_t y = dest_row(r);
            for (int32_t x = 0; x < W; ++x) {
                unsigned byte = row[x / per_byte];
                unsigned shift = 8 - bpp * (x % per_byte + 1);
                out.image.at(x, y) = palette_colour(pal, (byte >> shift) & mask);
            }
        }
    } else if (bpp == 24) {
        for (int32_t r = 0; r < H; ++r) {
            const uint8_t* row = data.data() + r * stride;
            int32_t y = dest_row(r);
            for (int32_t x = 0; x < W; ++x)
                out.image.at(x, y) = argb(255, row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        }
    } else {
        bool fields = compression == kBiBitfields || compression == kBiAlphaBitfields;
        if (!fields) {
            if (bpp == 16) {
                masks[0] = 0x7C00;
                masks[1] = 0x03E0;
                masks[2] = 0x001F;
            } else {
                masks[0] = 0xFF0000;
                masks[1] = 0xFF00;
                masks[2] = 0xFF;
            }
            masks[3] = 0;
        }
        auto read_px = [&](const uint8_t* row, int32_t x) {
            return bpp == 16 ? uint32_t(le16(row + 2 * x)) : le32(row + 4 * x);
        };
        // A plain 32-bit file has a spare byte per pixel; it is alpha only when
        // some pixel actually sets it (writers that do not use it leave zeros).
        if (bpp == 32 && !fields) {
            for (int32_t r = 0; r < H && masks[3] == 0; ++r)
                for (int32_t x = 0; x < W; ++x)
                    if (data[r * stride + 4 * x + 3] != 0) {
                        masks[3] = 0xFF000000;
                        break;
                    }
        }
        const Channel cr(masks[0]), cg(masks[1]), cb(masks[2]), ca(masks[3]);
        out.has_alpha = masks[3] != 0;
        for (int32_t r = 0; r < H; ++r) {
            const uint8_t* row = data.data() + r * stride;
            int32_t y = dest_row(r);
            for (int32_t x = 0; x < W; ++x) {
                uint32_t px = read_px(row, x);
                out.image.at(x, y) =
                    argb(out.has_alpha ? ca.get(px) : 255, cr.get(px), cg.get(px), cb.get(px));
            }
        }
    }

    if (icon_mode) {
        out.has_alpha = true;
        bool own_alpha = false;
        if (bpp == 32)
            for (uint32_t px : out.image.pixels)
                if (px >> 24) {
                    own_alpha = true;
                    break;
                }
        if (!own_alpha && bpp == 32)  // the spare byte was all zero: the mask decides
            for (uint32_t& px : out.image.pixels) px |= 0xFF000000u;
        const uint64_t mstride = (static_cast<uint64_t>(w) + 31) / 32 * 4;
        const uint64_t mstart = static_cast<uint64_t>(h) * stride;
        bool has_mask = mstart + (static_cast<uint64_t>(h) - 1) * mstride +
                            (static_cast<uint64_t>(w) + 7) / 8 <=
                        data.size();
        if (!has_mask) {
            if (!own_alpha) return std::nullopt;
        } else if (!own_alpha) {
            for (int32_t r = 0; r < H; ++r) {
                const uint8_t* row = data.data() + mstart + r * mstride;
                int32_t y = H - 1 - r;
                for (int32_t x = 0; x < W; ++x)
                    if ((row[x / 8] >> (7 - x % 8)) & 1) out.image.at(x, y) &= 0x00FFFFFFu;
            }
        }
    }
    return out;
}

}  // namespace picture_detail

std::optional<DecodedPicture> decode_bmp(std::span<const uint8_t> bytes) {
    if (bytes.size() < 14 + 12 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
    uint32_t off = le32(bytes.data() + 10);
    std::optional<size_t> pixel_offset;
    if (off != 0) {
        if (off < 14 + 12 || off > bytes.size()) return std::nullopt;
        pixel_offset = off - 14;
    }
    return decode_dib(bytes.subspan(14), pixel_offset, false);
}

std::vector<uint8_t> encode_bmp(const CBitmap32& image, bool with_alpha, bool top_down) {
    if (!image.exists || image.width < 1 || image.height < 1) return {};
    const uint32_t hs = with_alpha ? 108 : 40;
    const uint32_t bpp = with_alpha ? 32 : 24;
    const uint64_t stride = (static_cast<uint64_t>(image.width) * bpp + 31) / 32 * 4;
    const uint64_t data_size = stride * static_cast<uint64_t>(image.height);
    const uint64_t off = 14 + hs;
    if (off + data_size > 0xFFFFFFFFu) return {};
    std::vector<uint8_t> out(static_cast<size_t>(off + data_size), 0);
    auto put16 = [&](size_t at, uint32_t v) {
        out[at] = v & 255;
        out[at + 1] = (v >> 8) & 255;
    };
    auto put32 = [&](size_t at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<uint32_t>(out.size()));
    put32(10, static_cast<uint32_t>(off));
    put32(14, hs);
    put32(18, static_cast<uint32_t>(image.width));
    put32(22, static_cast<uint32_t>(top_down ? -image.height : image.height));
    put16(26, 1);
    put16(28, bpp);
    put32(30, with_alpha ? kBiBitfields : kBiRgb);
    put32(34, static_cast<uint32_t>(data_size));
    put32(38, 2835);  // 72 dpi
    put32(42, 2835);
    if (with_alpha) {
        put32(54, 0x00FF0000);
        put32(58, 0x0000FF00);
        put32(62, 0x000000FF);
        put32(66, 0xFF000000);
        put32(70, 0x73524742);  // 'sRGB'
    }
    for (int32_t y = 0; y < image.height; ++y) {
        int32_t r = top_down ? y : image.height - 1 - y;
        uint8_t* row = out.data() + off + static_cast<uint64_t>(r) * stride;
        for (int32_t x = 0; x < image.width; ++x) {
            uint32_t px = image.at(x, y);
            if (with_alpha) {
                put32(static_cast<size_t>(row - out.data()) + 4 * x, px);
            } else {
                row[3 * x] = px & 255;
                row[3 * x + 1] = (px >> 8) & 255;
                row[3 * x + 2] = (px >> 16) & 255;
            }
        }
    }
    return out;
}

}  // namespace kx
