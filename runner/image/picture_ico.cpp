// Icon and cursor files: the largest, then deepest, entry; BMP entries take
// alpha from their AND mask (or their own alpha), PNG entries from the PNG.
#include "image/picture_file.h"
#include "image/picture_internal.h"

namespace kx {

using namespace picture_detail;

std::optional<DecodedPicture> decode_ico(std::span<const uint8_t> bytes) {
    if (bytes.size() < 6) return std::nullopt;
    const uint8_t* p = bytes.data();
    uint16_t type = le16(p + 2), count = le16(p + 4);
    if (le16(p) != 0 || (type != 1 && type != 2) || count == 0) return std::nullopt;
    if (6 + 16 * size_t(count) > bytes.size()) return std::nullopt;

    std::span<const uint8_t> best;
    uint64_t best_area = 0;
    unsigned best_depth = 0;
    for (unsigned i = 0; i < count; ++i) {
        const uint8_t* e = p + 6 + 16 * i;
        uint32_t size = le32(e + 8), off = le32(e + 12);
        if (off > bytes.size() || size > bytes.size() - off || size < 8) return std::nullopt;
        std::span<const uint8_t> data = bytes.subspan(off, size);
        uint64_t w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
        unsigned depth = type == 1 ? le16(e + 6) : 0;  // cursors keep their hot spot there
        if (is_png(data)) {
            if (data.size() >= 26) {  // the PNG's own size and depth beat the directory's
                w = be32(data.data() + 16);
                h = be32(data.data() + 20);
                static constexpr unsigned kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
                unsigned ct = data[25];
                depth = data[24] * (ct < 7 ? kChannels[ct] : 0);
            }
        } else if (data.size() >= 16 && depth == 0) {
            depth = le16(data.data() + 14);
        }
        uint64_t area = w * h;
        if (best.empty() || area > best_area || (area == best_area && depth > best_depth)) {
            best = data;
            best_area = area;
            best_depth = depth;
        }
    }
    if (is_png(best)) {
        auto pic = decode_png(best);
        if (pic) pic->has_alpha = true;
        return pic;
    }
    return decode_dib(best, std::nullopt, true);
}

}  // namespace kx
