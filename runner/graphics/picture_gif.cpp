// GIF files through giflib, every frame composed on a canvas of the logical
// screen with the frames' disposal methods and transparent colours.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "graphics/picture_file.h"
#include "graphics/picture_internal.h"

namespace kx {

using namespace picture_detail;

namespace {

struct GifSource {
    std::span<const uint8_t> in;
    size_t pos = 0;
};

int gif_read_mem(GifFileType* gif, GifByteType* dst, int n) {
    auto* src = static_cast<GifSource*>(gif->UserData);
    size_t k = std::min(static_cast<size_t>(std::max(n, 0)), src->in.size() - src->pos);
    std::memcpy(dst, src->in.data() + src->pos, k);
    src->pos += k;
    return static_cast<int>(k);
}

struct GifCloser {
    GifFileType* gif;
    ~GifCloser() {
        int err = 0;
        if (gif) DGifCloseFile(gif, &err);
    }
};

enum Disposal { kNone = 0, kKeep = 1, kBackground = 2, kPrevious = 3 };

}  // namespace

// Frames up to max_frames; empty when the file is bad anywhere up to its end
// (or up to the last frame wanted).
static std::vector<DecodedPicture> decode_gif(std::span<const uint8_t> bytes, size_t max_frames) {
    if (bytes.size() < 6 || std::memcmp(bytes.data(), "GIF", 3) != 0) return {};
    GifSource src{bytes, 0};
    int err = 0;
    GifCloser closer{DGifOpen(&src, gif_read_mem, &err)};
    GifFileType* gif = closer.gif;
    if (!gif) return {};
    const int32_t sw = gif->SWidth, sh = gif->SHeight;
    // LZW codes of at least 3 bits for at most 4096 pixels each bound a frame;
    // the screen may not outgrow the file by more than that either.
    if (!sane_size(sw, sh) || !plausible(uint64_t(sw) * sh, bytes.size(), 8192)) return {};
    const size_t screen = static_cast<size_t>(sw) * static_cast<size_t>(sh);

    std::vector<DecodedPicture> frames;
    std::vector<uint32_t> canvas(screen, 0), saved;
    std::vector<GifPixelType> indexes;
    int disposal = kNone, transparent = -1;
    uint64_t total = 0;

    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) != GIF_OK) return {};
        if (type == TERMINATE_RECORD_TYPE) break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) != GIF_OK) return {};
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                disposal = (ext[1] >> 2) & 7;
                transparent = (ext[1] & 1) ? ext[4] : -1;
            }
            while (ext)
                if (DGifGetExtensionNext(gif, &ext) != GIF_OK) return {};
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) return {};
        if (DGifGetImageDesc(gif) != GIF_OK) return {};
        const GifImageDesc& d = gif->Image;
        const int32_t fw = d.Width, fh = d.Height, fl = d.Left, ft = d.Top;
        total += screen;
        if (!sane_size(fw, fh) || total > kMaxPixels ||
            !plausible(uint64_t(fw) * fh, bytes.size() - src.pos, 8192))
            return {};
        const ColorMapObject* cmap = d.ColorMap ? d.ColorMap : gif->SColorMap;
        if (!cmap) return {};

        indexes.resize(static_cast<size_t>(fw) * static_cast<size_t>(fh));
        auto read_row = [&](int32_t y) {
            return DGifGetLine(gif, indexes.data() + static_cast<size_t>(y) * fw, fw) == GIF_OK;
        };
        if (d.Interlace) {
            static constexpr int32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int32_t y = kStart[pass]; y < fh; y += kStep[pass])
                    if (!read_row(y)) return {};
        } else {
            for (int32_t y = 0; y < fh; ++y)
                if (!read_row(y)) return {};
        }

        if (disposal == kPrevious) saved = canvas;
        const int32_t x0 = std::max(fl, 0), y0 = std::max(ft, 0);
        const int32_t x1 = std::min<int64_t>(int64_t(fl) + fw, sw), y1 = std::min<int64_t>(int64_t(ft) + fh, sh);
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x) {
                int idx = indexes[static_cast<size_t>(y - ft) * fw + (x - fl)];
                if (idx == transparent) continue;
                uint32_t c = argb(255, 0, 0, 0);
                if (idx < cmap->ColorCount) {
                    const GifColorType& g = cmap->Colors[idx];
                    c = argb(255, g.Red, g.Green, g.Blue);
                }
                canvas[static_cast<size_t>(y) * sw + x] = c;
            }

        DecodedPicture frame;
        frame.image = CBitmap32::blank(sw, sh);
        frame.image.pixels = canvas;
        frame.has_alpha = std::any_of(canvas.begin(), canvas.end(), [](uint32_t p) { return (p >> 24) != 255; });
        frames.push_back(std::move(frame));
        if (frames.size() >= max_frames) return frames;

        if (disposal == kBackground) {
            for (int32_t y = y0; y < y1; ++y)
                std::fill_n(canvas.begin() + static_cast<ptrdiff_t>(y) * sw + x0, std::max(0, x1 - x0), 0u);
        } else if (disposal == kPrevious) {
            canvas = saved;
        }
        disposal = kNone;  // a control extension applies to the next image only
        transparent = -1;
    }
    return frames;
}

std::vector<DecodedPicture> decode_gif_frames(std::span<const uint8_t> bytes) {
    return decode_gif(bytes, SIZE_MAX);
}

std::optional<DecodedPicture> decode_gif_first(std::span<const uint8_t> bytes) {
    // The whole file is read, so that a damaged later frame refuses it too.
    auto frames = decode_gif(bytes, SIZE_MAX);
    if (frames.empty()) return std::nullopt;
    return std::move(frames.front());
}

}  // namespace kx
