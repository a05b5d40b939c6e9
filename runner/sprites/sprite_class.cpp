#include "sprites/sprite_class.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

#include "gamedata/bitmap32_stream.h"
#include "gamedata/record_io.h"
#include "image/picture_file.h"
#include "sprites/resource_list.h"

namespace kx {

namespace {

constexpr uint32_t kCanvasColour = 0xFF408000;  // R=64, G=128, B=0, opaque

bool alpha_set(uint32_t px) {
    return (px >> 24) != 0;
}

// The opaque box of the part of image that lies inside the sprite's
// width x height. For an image of the sprite's size this is its opaque box.
BitmapBox opaque_box_within(const CBitmap32& img, int32_t w, int32_t h) {
    if (!img.exists) return {0, 0, 0, 0};
    const int32_t cw = std::min(img.width, w), ch = std::min(img.height, h);
    BitmapBox b{cw - 1, ch - 1, 0, 0};
    for (int32_t y = 0; y < ch; ++y)
        for (int32_t x = 0; x < cw; ++x) {
            if (!alpha_set(img.at(x, y))) continue;
            b.left = std::min(b.left, x);
            b.right = std::max(b.right, x);
            b.top = std::min(b.top, y);
            b.bottom = std::max(b.bottom, y);
        }
    return b;
}

bool is_gif_name(const std::string& fname) {
    if (fname.size() < 4) return false;
    std::string ext = fname.substr(fname.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".gif";
}

bool read_whole_file(const std::string& fname, std::vector<uint8_t>& out) {
    std::ifstream f(fname, std::ios::binary);
    if (!f) return false;
    out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

}  // namespace

CMask::CMask(const CBitmap32& image, int32_t width, int32_t height) {
    if (!image.exists) return;
    m_width = std::max(0, std::min(width, image.width));
    m_height = std::max(0, std::min(height, image.height));
    m_bits.assign(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), 0);
    for (int32_t x = 0; x < m_width; ++x)
        for (int32_t y = 0; y < m_height; ++y)
            m_bits[static_cast<size_t>(x) * static_cast<size_t>(m_height) +
                   static_cast<size_t>(y)] = alpha_set(image.at(x, y)) ? 1 : 0;
}

template <class IO, class Self>
void CSprite::record_fields(IO& io, Self& s) {
    io.i(s.m_width);
    io.i(s.m_height);
    // The stored order of the box is left, right, bottom, top.
    io.i(s.m_bbox.left);
    io.i(s.m_bbox.right);
    io.i(s.m_bbox.bottom);
    io.i(s.m_bbox.top);
    io.b(s.m_transparent);
    io.b(s.m_smooth);
    io.b(s.m_preload);
    io.i(s.m_bbox_mode);
    io.b(s.m_precise);
    io.i(s.m_xoffset);
    io.i(s.m_yoffset);
}

bool CSprite::read(CStream& s) {
    clear();
    if (s.read_int() != kSpriteRecordVersion) return false;
    RecordReader r{s};
    record_fields(r, *this);
    const int32_t count = s.read_int();
    // Every subimage record takes at least its 4-byte version.
    if (count < 0 || static_cast<size_t>(count) > s.remaining() / 4)
        throw StreamError("corrupt sprite subimage count");
    for (int32_t i = 0; i < count; ++i) m_images.push_back(read_bitmap32_record(s));
    build_masks();
    return true;
}

void CSprite::write(CStream& s) const {
    s.write_int(kSpriteRecordVersion);
    RecordWriter w{s};
    record_fields(w, *this);
    s.write_int(subimage_count());
    for (const CBitmap32& img : m_images) write_bitmap32_record(s, img);
}

void CSprite::clear() {
    free_textures();
    const TextureLink* link = m_link;  // the list's, not the contents'
    *this = CSprite();
    m_link = link;
}

CBitmap32 CSprite::make_subimage(const CBitmap32& image, bool is32bit) const {
    return is32bit ? CBitmap32::from_32bit(image, m_smooth, m_transparent)
                   : CBitmap32::from_24bit(image, m_smooth, m_transparent);
}

void CSprite::after_images_changed() {
    make_textures();
    compute_bbox();
    build_masks();
}

bool CSprite::load_from_file(const std::string& fname, int32_t subimages, int32_t xorig,
                             int32_t yorig, bool transparent, bool smooth, bool preload,
                             bool precise) {
    std::vector<uint8_t> bytes;
    if (!read_whole_file(fname, bytes)) return false;
    return load_from_bytes(fname, bytes, subimages, xorig, yorig, transparent, smooth, preload,
                           precise);
}

bool CSprite::load_from_bytes(const std::string& fname, std::span<const uint8_t> bytes,
                              int32_t subimages, int32_t xorig, int32_t yorig, bool transparent,
                              bool smooth, bool preload, bool precise) {
    // Everything is decoded before the sprite changes, so a failure leaves it as it was.
    std::vector<CBitmap32> images;
    int32_t w = 0, h = 0;
    if (is_gif_name(fname)) {
        std::optional<GifPicture> gif = decode_gif(bytes);
        if (!gif || gif->frames.empty()) return false;
        w = std::max(gif->width, 1);
        h = std::max(gif->height, 1);
        // Every frame becomes a full-screen subimage: refuse what would not fit.
        if (int64_t(w) * h * static_cast<int64_t>(gif->frames.size()) > CBitmap32::kMaxPixels)
            return false;
        CBitmap32 canvas = CBitmap32::blank(w, h, kCanvasColour);
        for (const GifFrame& f : gif->frames) {
            for (int32_t y = 0; y < f.image.height; ++y)
                for (int32_t x = 0; x < f.image.width; ++x) {
                    const int64_t cx = int64_t(f.left) + x, cy = int64_t(f.top) + y;
                    if (cx < 0 || cy < 0 || cx >= w || cy >= h) continue;
                    const uint32_t px = f.image.at(x, y);
                    if (alpha_set(px))
                        canvas.at(static_cast<int32_t>(cx), static_cast<int32_t>(cy)) = px;
                }
            images.push_back(CBitmap32::from_24bit(canvas, smooth, transparent));
            if (f.disposal != 1) canvas = CBitmap32::blank(w, h, kCanvasColour);
        }
    } else {
        std::optional<DecodedPicture> pic = decode_picture(bytes);
        if (!pic || !pic->image.exists) return false;
        // At least one pixel column per subimage, so a huge count cannot
        // make a huge list of empty images.
        const int32_t count = std::clamp(subimages, 1, std::max(pic->image.width, 1));
        w = pic->image.width / count;
        h = pic->image.height;
        const CBitmap32 whole = CBitmap32::from_graphic(*pic, smooth, transparent);
        for (int32_t i = 0; i < count; ++i)
            images.push_back(CBitmap32::sub_image(whole, i * w, 0, w, h));
    }
    clear();
    m_width = w;
    m_height = h;
    m_images = std::move(images);
    m_bbox_mode = 0;
    m_transparent = transparent;
    m_smooth = smooth;
    m_preload = preload;
    m_precise = precise;
    m_xoffset = xorig;
    m_yoffset = yorig;
    after_images_changed();
    return true;
}

void CSprite::set_from_image(const CBitmap32& image, bool is32bit, bool precise, int32_t xorig,
                             int32_t yorig, bool preload, bool smooth, bool transparent) {
    // The image may be one of this sprite's own subimages.
    CBitmap32 source = image;
    clear();
    m_precise = precise;
    m_xoffset = xorig;
    m_yoffset = yorig;
    m_preload = preload;
    m_smooth = smooth;
    m_transparent = transparent;
    m_images.push_back(make_subimage(source, is32bit));
    m_width = source.width;
    m_height = source.height;
    m_bbox_mode = 0;
    after_images_changed();
}

void CSprite::add_image(const CBitmap32& image, bool is32bit) {
    if (m_images.empty()) {
        m_width = image.width;
        m_height = image.height;
    }
    CBitmap32 sub = make_subimage(image, is32bit);
    sub.resize(m_width, m_height);
    m_images.push_back(std::move(sub));
    after_images_changed();
}

void CSprite::merge(const CSprite& other) {
    if (m_images.empty()) {
        m_width = other.m_width;
        m_height = other.m_height;
    }
    std::vector<CBitmap32> copies = other.m_images;  // other may be this sprite
    for (CBitmap32& c : copies) {
        c.resize(m_width, m_height);
        m_images.push_back(std::move(c));
    }
    after_images_changed();
}

void CSprite::alpha_from_sprite(const CSprite& other) {
    if (other.m_images.empty()) return;
    const size_t n = other.m_images.size();
    std::vector<CBitmap32> alpha = other.m_images;
    for (size_t i = 0; i < m_images.size(); ++i) m_images[i].alpha_from(alpha[i % n]);
    make_textures();
}

void CSprite::assign(const CSprite& other) {
    if (this == &other) return;
    clear();
    m_width = other.m_width;
    m_height = other.m_height;
    m_bbox = other.m_bbox;
    m_transparent = other.m_transparent;
    m_smooth = other.m_smooth;
    m_preload = other.m_preload;
    m_precise = other.m_precise;
    m_bbox_mode = other.m_bbox_mode;
    m_xoffset = other.m_xoffset;
    m_yoffset = other.m_yoffset;
    m_images = other.m_images;
    make_textures();
    build_masks();
}

void CSprite::set_bbox_mode(int32_t mode) {
    if (mode < 0 || mode > 2 || mode == m_bbox_mode) return;
    m_bbox_mode = mode;
    compute_bbox();
}

void CSprite::set_bbox(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (m_bbox_mode != static_cast<int32_t>(BBoxMode::Manual)) return;
    m_bbox = {left, top, right, bottom};
}

void CSprite::set_precise(bool precise) {
    if (precise == m_precise) return;
    m_precise = precise;
    build_masks();
}

void CSprite::set_stored(int32_t width, int32_t height, int32_t mode, const BitmapBox& box,
                         std::vector<CBitmap32> images) {
    free_textures();
    m_width = width;
    m_height = height;
    m_bbox_mode = mode;
    m_bbox = box;
    m_images = std::move(images);
}

void CSprite::make_textures() {
    free_textures();
    ITextureMaker* tm = texture_maker();
    m_textures.assign(m_images.size(), -1);
    if (!tm) return;
    for (size_t i = 0; i < m_images.size(); ++i) {
        m_textures[i] = tm->make_packed(m_images[i]);
        if (m_preload && m_textures[i] >= 0) tm->preload(m_textures[i]);
    }
}

void CSprite::free_textures() {
    if (ITextureMaker* tm = texture_maker())
        for (int32_t id : m_textures)
            if (id >= 0) tm->free(id);
    m_textures.clear();
}

int32_t CSprite::subimage_texture(int32_t subimg) const {
    const int32_t n = subimage_count();
    if (n == 0) return -1;
    const size_t k = static_cast<size_t>(((subimg % n) + n) % n);
    return k < m_textures.size() ? m_textures[k] : -1;
}

BitmapBox CSprite::subimage_opaque_box(int32_t i) const {
    if (i < 0 || i >= subimage_count()) return {0, 0, 0, 0};
    return m_images[static_cast<size_t>(i)].opaque_bbox();
}

CBitmap32 CSprite::subimage_to_24bit(int32_t i) const {
    if (i < 0 || i >= subimage_count()) return {};
    return m_images[static_cast<size_t>(i)].to_24bit();
}

void CSprite::compute_bbox() {
    if (m_bbox_mode == static_cast<int32_t>(BBoxMode::Manual)) return;
    if (m_bbox_mode == static_cast<int32_t>(BBoxMode::Automatic) && m_transparent) {
        if (m_images.empty()) {
            m_bbox = {0, 0, 0, 0};
            return;
        }
        BitmapBox b{m_width - 1, m_height - 1, 0, 0};
        for (const CBitmap32& img : m_images) {
            const BitmapBox o = opaque_box_within(img, m_width, m_height);
            b.left = std::min(b.left, o.left);
            b.top = std::min(b.top, o.top);
            b.right = std::max(b.right, o.right);
            b.bottom = std::max(b.bottom, o.bottom);
        }
        m_bbox = b;
        return;
    }
    m_bbox = {0, 0, m_width - 1, m_height - 1};
}

void CSprite::build_masks() {
    m_masks.clear();
    m_has_masks = m_precise && m_transparent && !m_images.empty();
    if (!m_has_masks) return;
    m_masks.reserve(m_images.size());
    for (const CBitmap32& img : m_images) m_masks.emplace_back(img, m_width, m_height);
}

}  // namespace kx
