// Picks the decoder by the file's leading bytes.
#include "image/picture_file.h"

#include <cstring>

#include "image/picture_internal.h"

namespace kx {

PictureFormat sniff_picture(std::span<const uint8_t> b) {
    auto starts = [&](const char* magic, size_t n) {
        return b.size() >= n && std::memcmp(b.data(), magic, n) == 0;
    };
    if (starts("BM", 2)) return PictureFormat::Bmp;
    if (picture_detail::is_png(b)) return PictureFormat::Png;
    if (starts("\xFF\xD8\xFF", 3)) return PictureFormat::Jpeg;
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) return PictureFormat::Gif;
    if (starts("\0\0\1\0", 4) || starts("\0\0\2\0", 4)) return PictureFormat::Ico;
    if (starts("\xD7\xCD\xC6\x9A", 4) || starts("\1\0\x09\0", 4) || starts("\2\0\x09\0", 4) ||
        (starts("\1\0\0\0", 4) && b.size() >= 44 && std::memcmp(b.data() + 40, " EMF", 4) == 0))
        return PictureFormat::Metafile;
    return PictureFormat::Unknown;
}

std::optional<DecodedPicture> decode_picture(std::span<const uint8_t> bytes) {
    switch (sniff_picture(bytes)) {
        case PictureFormat::Bmp:
            return decode_bmp(bytes);
        case PictureFormat::Png:
            return decode_png(bytes);
        case PictureFormat::Jpeg:
            return decode_jpeg(bytes);
        case PictureFormat::Gif:
            return decode_gif_first(bytes);
        case PictureFormat::Ico:
            return decode_ico(bytes);
        case PictureFormat::Metafile:
        case PictureFormat::Unknown:
            break;
    }
    return std::nullopt;
}

}  // namespace kx
