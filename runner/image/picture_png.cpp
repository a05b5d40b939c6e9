// PNG files through libpng, read from and written to memory.
#include <png.h>

#include <bit>
#include <cstring>
#include <memory>

#include "image/picture_file.h"
#include "image/picture_internal.h"

namespace kx {

using namespace picture_detail;

static_assert(std::endian::native == std::endian::little,
              "pixels are read as little-endian BGRA bytes");

namespace {

// Everything the decoder touches after setjmp lives here, behind one pointer
// that does not change, so a longjmp leaves nothing in a stale register.
struct PngReadState {
    std::span<const uint8_t> in;
    size_t pos = 0;
    DecodedPicture out;
    std::vector<png_bytep> rows;
};

[[noreturn]] void png_fail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void png_quiet(png_structp, png_const_charp) {}

void png_read_mem(png_structp png, png_bytep dst, png_size_t n) {
    auto* st = static_cast<PngReadState*>(png_get_io_ptr(png));
    if (n > st->in.size() - st->pos) png_error(png, "truncated");
    std::memcpy(dst, st->in.data() + st->pos, n);
    st->pos += n;
}

void png_write_mem(png_structp png, png_bytep src, png_size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), src, src + n);
}
void png_flush_mem(png_structp) {}

}  // namespace

namespace picture_detail {
bool is_png(std::span<const uint8_t> bytes) {
    return bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0;
}
}  // namespace picture_detail

std::optional<DecodedPicture> decode_png(std::span<const uint8_t> bytes) {
    if (!is_png(bytes)) return std::nullopt;
    auto st = std::make_unique<PngReadState>();
    st->in = bytes;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_fail, png_quiet);
    if (!png) return std::nullopt;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return std::nullopt;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return std::nullopt;
    }
    png_set_read_fn(png, st.get(), png_read_mem);
    png_set_user_limits(png, 1u << 24, 1u << 24);
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    int colour_type = png_get_color_type(png, info);
    int depth = png_get_bit_depth(png, info);
    uint64_t channels = png_get_channels(png, info);
    // Deflate cannot expand beyond about 1032:1; a larger raw size means the
    // file lies about its dimensions.
    uint64_t raw =
        static_cast<uint64_t>(h) * (1 + (static_cast<uint64_t>(w) * channels * depth + 7) / 8);
    if (!sane_size(w, h) || raw > static_cast<uint64_t>(bytes.size()) * 1100 + 4096) {
        png_destroy_read_struct(&png, &info, nullptr);
        return std::nullopt;
    }
    st->out.has_alpha =
        (colour_type & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_expand(png);
    png_set_scale_16(png);
    if (!(colour_type & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(w) * 4)
        png_error(png, "unexpected row size");
    st->out.image = CBitmap32::blank(static_cast<int32_t>(w), static_cast<int32_t>(h));
    st->rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y)
        st->rows[y] =
            reinterpret_cast<png_bytep>(st->out.image.pixels.data() + static_cast<size_t>(y) * w);
    png_read_image(png, st->rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return std::move(st->out);
}

std::vector<uint8_t> encode_png(const CBitmap32& image) {
    if (!image.exists || image.width < 1 || image.height < 1) return {};
    auto out = std::make_unique<std::vector<uint8_t>>();
    auto rgba = std::make_unique<std::vector<uint8_t>>(image.pixels.size() * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        uint32_t px = image.pixels[i];
        (*rgba)[4 * i] = (px >> 16) & 255;
        (*rgba)[4 * i + 1] = (px >> 8) & 255;
        (*rgba)[4 * i + 2] = px & 255;
        (*rgba)[4 * i + 3] = px >> 24;
    }
    auto rows = std::make_unique<std::vector<png_bytep>>(static_cast<size_t>(image.height));
    for (int32_t y = 0; y < image.height; ++y)
        (*rows)[y] = rgba->data() + static_cast<size_t>(y) * image.width * 4;

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_fail, png_quiet);
    if (!png) return {};
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, out.get(), png_write_mem, png_flush_mem);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows->data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::move(*out);
}

}  // namespace kx
