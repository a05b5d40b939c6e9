// GIF files through giflib, every frame composed on a canvas of the logical
// screen with the frames' disposal methods and transparent colours.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "image/picture_file.h"
#include "image/picture_internal.h"

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

std::optional<GifPicture> decode_gif(std::span<const uint8_t> bytes) {
    if (bytes.size() < 6 || std::memcmp(bytes.data(), "GIF", 3) != 0) return std::nullopt;
    GifSource src{bytes, 0};
    int err = 0;
    GifCloser closer{DGifOpen(&src, gif_read_mem, &err)};
    GifFileType* gif = closer.gif;
    if (!gif) return std::nullopt;
    GifPicture out;
    out.width = gif->SWidth;
    out.height = gif->SHeight;
    // LZW codes of at least 3 bits for at most 4096 pixels each bound a frame;
    // the screen may not outgrow the file by more than that either.
    if (!sane_size(out.width, out.height) ||
        !plausible(uint64_t(out.width) * out.height, bytes.size(), 8192))
        return std::nullopt;

    std::vector<GifPixelType> indexes;
    int disposal = 0, transparent = -1, delay = 0;
    uint64_t total = 0;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) != GIF_OK) return std::nullopt;
        if (type == TERMINATE_RECORD_TYPE) break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) != GIF_OK) return std::nullopt;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                disposal = (ext[1] >> 2) & 7;
                delay = ext[2] | (ext[3] << 8);
                transparent = (ext[1] & 1) ? ext[4] : -1;
            }
            while (ext)
                if (DGifGetExtensionNext(gif, &ext) != GIF_OK) return std::nullopt;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) return std::nullopt;
        if (DGifGetImageDesc(gif) != GIF_OK) return std::nullopt;
        const GifImageDesc& d = gif->Image;
        const int32_t fw = d.Width, fh = d.Height;
        total += uint64_t(std::max(fw, 0)) * uint64_t(std::max(fh, 0));
        if (!sane_size(fw, fh) || total > kMaxPixels ||
            !plausible(uint64_t(fw) * fh, bytes.size() - src.pos, 8192))
            return std::nullopt;
        const ColorMapObject* cmap = d.ColorMap ? d.ColorMap : gif->SColorMap;
        if (!cmap) return std::nullopt;

        indexes.resize(static_cast<size_t>(fw) * static_cast<size_t>(fh));
        auto read_row = [&](int32_t y) {
            return DGifGetLine(gif, indexes.data() + static_cast<size_t>(y) * fw, fw) == GIF_OK;
        };
        if (d.Interlace) {
            static constexpr int32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int32_t y = kStart[pass]; y < fh; y += kStep[pass])
                    if (!read_row(y)) return std::nullopt;
        } else {
            for (int32_t y = 0; y < fh; ++y)
                if (!read_row(y)) return std::nullopt;
        }

        GifFrame frame;
        frame.left = d.Left;
        frame.top = d.Top;
        frame.disposal = disposal;
        frame.delay = delay;
        frame.has_transparency = transparent >= 0;
        frame.image = CBitmap32::blank(fw, fh);
        for (size_t i = 0; i < indexes.size(); ++i) {
            int idx = indexes[i];
            if (idx == transparent) continue;  // stays 0: see-through
            uint32_t c = argb(255, 0, 0, 0);
            if (idx < cmap->ColorCount) {
                const GifColorType& g = cmap->Colors[idx];
                c = argb(255, g.Red, g.Green, g.Blue);
            }
            frame.image.pixels[i] = c;
        }
        out.frames.push_back(std::move(frame));
        disposal = 0;  // a control extension applies to the next image only
        transparent = -1;
        delay = 0;
    }
    if (out.frames.empty()) return std::nullopt;
    return out;
}

std::vector<DecodedPicture> decode_gif_frames(std::span<const uint8_t> bytes) {
    auto gif = decode_gif(bytes);
    if (!gif) return {};
    const int32_t sw = gif->width, sh = gif->height;
    const size_t screen = static_cast<size_t>(sw) * static_cast<size_t>(sh);
    if (screen * gif->frames.size() > kMaxPixels) return {};

    std::vector<DecodedPicture> frames;
    std::vector<uint32_t> canvas(screen, 0), saved;  // the screen starts see-through
    for (const GifFrame& f : gif->frames) {
        const int32_t fw = f.image.width;
        const int32_t x0 = std::max(f.left, 0), y0 = std::max(f.top, 0);
        const auto x1 = static_cast<int32_t>(std::min<int64_t>(int64_t(f.left) + fw, sw));
        const auto y1 =
            static_cast<int32_t>(std::min<int64_t>(int64_t(f.top) + f.image.height, sh));
        if (f.disposal == kPrevious) saved = canvas;
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x) {
                uint32_t c = f.image.at(x - f.left, y - f.top);
                if (c >> 24) canvas[static_cast<size_t>(y) * sw + x] = c;
            }

        DecodedPicture pic;
        pic.image = CBitmap32::blank(sw, sh);
        pic.image.pixels = canvas;
        pic.has_alpha =
            std::any_of(canvas.begin(), canvas.end(), [](uint32_t p) { return (p >> 24) != 255; });
        frames.push_back(std::move(pic));

        if (f.disposal == kBackground) {
            for (int32_t y = y0; y < y1; ++y)
                std::fill_n(canvas.begin() + static_cast<ptrdiff_t>(y) * sw + x0,
                            std::max(0, x1 - x0), 0u);
        } else if (f.disposal == kPrevious) {
            canvas = saved;
        }
    }
    return frames;
}

std::optional<DecodedPicture> decode_gif_first(std::span<const uint8_t> bytes) {
    auto frames = decode_gif_frames(bytes);
    if (frames.empty()) return std::nullopt;
    return std::move(frames.front());
}

}  // namespace kx
