// JPEG files through libjpeg-turbo. Errors, and the warnings that mean a
// truncated or damaged file, leave through longjmp; the library never exits.
// clang-format off
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <memory>

#include "image/picture_file.h"
#include "image/picture_internal.h"

namespace kx {

using namespace picture_detail;

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void jpeg_fail(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

void jpeg_message(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace messages
    int code = cinfo->err->msg_code;
    // The library would pad a short file with grey and carry on.
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC)
        jpeg_fail(cinfo);
}

void jpeg_silent(j_common_ptr) {}

struct JpegState {
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    DecodedPicture out;
    std::vector<uint8_t> row;
};

}  // namespace

std::optional<DecodedPicture> decode_jpeg(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return std::nullopt;
    auto st = std::make_unique<JpegState>();
    jpeg_decompress_struct& ci = st->cinfo;
    ci.err = jpeg_std_error(&st->err.mgr);
    st->err.mgr.error_exit = jpeg_fail;
    st->err.mgr.emit_message = jpeg_message;
    st->err.mgr.output_message = jpeg_silent;
    if (setjmp(st->err.jump)) {
        jpeg_destroy_decompress(&st->cinfo);
        return std::nullopt;
    }
    jpeg_create_decompress(&ci);
    jpeg_mem_src(&ci, bytes.data(), static_cast<unsigned long>(bytes.size()));
    // Every 8 x 8 block costs at least a bit or so of coded data.
    if (jpeg_read_header(&ci, TRUE) != JPEG_HEADER_OK ||
        !sane_size(ci.image_width, ci.image_height) ||
        !plausible(uint64_t(ci.image_width) * ci.image_height, bytes.size(), 1024)) {
        jpeg_destroy_decompress(&ci);
        return std::nullopt;
    }
    const bool cmyk = ci.jpeg_color_space == JCS_CMYK || ci.jpeg_color_space == JCS_YCCK;
    ci.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&ci);
    if (ci.output_components != 4) jpeg_fail(reinterpret_cast<j_common_ptr>(&ci));
    const int32_t w = static_cast<int32_t>(ci.output_width),
                  h = static_cast<int32_t>(ci.output_height);
    st->out.image = CBitmap32::blank(w, h);
    st->row.resize(static_cast<size_t>(w) * 4);
    while (ci.output_scanline < ci.output_height) {
        auto y = static_cast<int32_t>(ci.output_scanline);
        JSAMPROW rowp = st->row.data();
        if (jpeg_read_scanlines(&ci, &rowp, 1) != 1) jpeg_fail(reinterpret_cast<j_common_ptr>(&ci));
        const uint8_t* r = st->row.data();
        for (int32_t x = 0; x < w; ++x, r += 4) {
            if (cmyk) {
                // Adobe writers store the inks inverted.
                unsigned c = r[0], m = r[1], ye = r[2], k = r[3];
                if (!ci.saw_Adobe_marker) {
                    c = 255 - c;
                    m = 255 - m;
                    ye = 255 - ye;
                    k = 255 - k;
                }
                st->out.image.at(x, y) = argb(255, static_cast<uint8_t>((c * k + 127) / 255),
                                              static_cast<uint8_t>((m * k + 127) / 255),
                                              static_cast<uint8_t>((ye * k + 127) / 255));
            } else {
                st->out.image.at(x, y) = argb(255, r[2], r[1], r[0]);
            }
        }
    }
    jpeg_finish_decompress(&ci);
    jpeg_destroy_decompress(&ci);
    return std::move(st->out);
}

}  // namespace kx
