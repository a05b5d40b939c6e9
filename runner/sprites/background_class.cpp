#include "sprites/background_class.h"

#include <fstream>
#include <iterator>

#include "gamedata/bitmap32_stream.h"
#include "gamedata/record_io.h"
#include "image/picture_file.h"
#include "sprites/resource_list.h"

namespace kx {

template <class IO, class Self>
void CBackground::record_fields(IO& io, Self& s) {
    io.i(s.m_width);
    io.i(s.m_height);
    io.b(s.m_transparent);
    io.b(s.m_smooth);
    io.b(s.m_preload);
}

bool CBackground::read(CStream& s) {
    clear();
    if (s.read_int() != kBackgroundRecordVersion) return false;
    RecordReader r{s};
    record_fields(r, *this);
    if (s.read_bool()) m_image = read_bitmap32_record(s);
    return true;
}

void CBackground::write(CStream& s) const {
    s.write_int(kBackgroundRecordVersion);
    RecordWriter w{s};
    record_fields(w, *this);
    s.write_bool(m_image.exists);
    if (m_image.exists) write_bitmap32_record(s, m_image);
}

void CBackground::clear() {
    free_texture();
    const TextureLink* link = m_link;  // the list's, not the contents'
    *this = CBackground();
    m_link = link;
}

void CBackground::assign(const CBackground& other) {
    if (this == &other) return;
    clear();
    m_width = other.m_width;
    m_height = other.m_height;
    m_transparent = other.m_transparent;
    m_smooth = other.m_smooth;
    m_preload = other.m_preload;
    m_image = other.m_image;
    make_texture();
}

void CBackground::set_image(CBitmap32 image) {
    m_image = std::move(image);
    m_width = m_image.width;
    m_height = m_image.height;
    make_texture();
}

bool CBackground::load_from_file(const std::string& fname, bool transparent, bool smooth,
                                 bool preload) {
    std::ifstream f(fname, std::ios::binary);
    if (!f) return false;
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    return load_from_bytes(bytes, transparent, smooth, preload);
}

bool CBackground::load_from_bytes(std::span<const uint8_t> bytes, bool transparent, bool smooth,
                                  bool preload) {
    std::optional<DecodedPicture> pic = decode_picture(bytes);
    if (!pic || !pic->image.exists) return false;
    CBitmap32 img = CBitmap32::from_graphic(*pic, smooth, transparent);
    clear();
    m_transparent = transparent;
    m_smooth = smooth;
    m_preload = preload;
    set_image(std::move(img));
    return true;
}

void CBackground::set_from_image(const CBitmap32& image, bool is32bit, bool preload, bool smooth,
                                 bool transparent) {
    CBitmap32 img = is32bit ? CBitmap32::from_32bit(image, smooth, transparent)
                            : CBitmap32::from_24bit(image, smooth, transparent);
    clear();
    m_transparent = transparent;
    m_smooth = smooth;
    m_preload = preload;
    set_image(std::move(img));
}

void CBackground::solid_colour(int32_t w, int32_t h, uint32_t colour, bool preload) {
    clear();
    m_preload = preload;
    set_image(CBitmap32::solid(w, h, colour));
}

void CBackground::gradient(int32_t w, int32_t h, uint32_t colour1, uint32_t colour2, int kind,
                           bool preload) {
    clear();
    m_preload = preload;
    set_image(CBitmap32::gradient(w, h, colour1, colour2, kind));
}

void CBackground::alpha_from_background(const CBackground& other) {
    CBitmap32 alpha = other.m_image;  // other may be this background
    m_image.alpha_from(alpha);
    make_texture();
}

void CBackground::make_texture() {
    free_texture();
    ITextureMaker* tm = texture_maker();
    if (!tm || !m_image.exists) return;
    m_texture = tm->make(m_image);
    if (m_preload && m_texture >= 0) tm->preload(m_texture);
}

void CBackground::free_texture() {
    if (m_texture >= 0)
        if (ITextureMaker* tm = texture_maker()) tm->free(m_texture);
    m_texture = -1;
}

void CBackground::set_stored(int32_t width, int32_t height, bool transparent, bool smooth,
                             bool preload, CBitmap32 image) {
    free_texture();
    m_width = width;
    m_height = height;
    m_transparent = transparent;
    m_smooth = smooth;
    m_preload = preload;
    m_image = std::move(image);
}

}  // namespace kx
