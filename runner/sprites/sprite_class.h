#pragma once
// A sprite: animated images with an origin, a bounding box and, when precise
// and transparent, one collision mask per subimage.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "gamedata/cstream.h"
#include "image/bitmap32.h"
#include "sprites/texture_link.h"

namespace kx {

inline constexpr int32_t kSpriteRecordVersion = 542;

// One subimage's collision grid, indexed [x][y]. A grid may be smaller than
// its sprite (a subimage of another size); cells outside it are not set.
class CMask {
public:
    CMask() = default;
    // Set where the image's alpha is not 0, over width x height cells; cells
    // beyond the image stay unset.
    CMask(const CBitmap32& image, int32_t width, int32_t height);

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    bool test(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < m_width && y < m_height &&
               m_bits[static_cast<size_t>(x) * static_cast<size_t>(m_height) +
                      static_cast<size_t>(y)] != 0;
    }

private:
    int32_t m_width = 0, m_height = 0;
    std::vector<uint8_t> m_bits;  // column by column
};

enum class BBoxMode : int32_t { Automatic = 0, Full = 1, Manual = 2 };

class CSprite {
public:
    CSprite() = default;
    // Copies go through assign(), which makes textures; moves carry them.
    CSprite(const CSprite&) = delete;
    CSprite& operator=(const CSprite&) = delete;
    CSprite(CSprite&&) = default;
    CSprite& operator=(CSprite&&) = default;

    // The game-data record, both directions. The box is taken as stored and
    // the masks are built after reading. A wrong record version answers
    // false; damaged data throws StreamError.
    bool read(CStream& s);
    void write(CStream& s) const;

    // Frees images, textures and masks; back to the defaults.
    void clear();

    // Image operations. Each ends as the sprite's rules say: textures made
    // again, box and masks rebuilt where they must be.
    bool load_from_file(const std::string& fname, int32_t subimages, int32_t xorig, int32_t yorig,
                        bool transparent, bool smooth, bool preload, bool precise);
    // The same from the file's bytes (name only decides whether it is a GIF).
    bool load_from_bytes(const std::string& fname, std::span<const uint8_t> bytes,
                         int32_t subimages, int32_t xorig, int32_t yorig, bool transparent,
                         bool smooth, bool preload, bool precise);
    void set_from_image(const CBitmap32& image, bool is32bit, bool precise, int32_t xorig,
                        int32_t yorig, bool preload, bool smooth, bool transparent);
    void add_image(const CBitmap32& image, bool is32bit);
    void merge(const CSprite& other);
    void alpha_from_sprite(const CSprite& other);
    void assign(const CSprite& other);

    void set_bbox_mode(int32_t mode);
    void set_bbox(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void set_precise(bool precise);
    void set_transparent(bool v) { m_transparent = v; }
    void set_smooth(bool v) { m_smooth = v; }
    void set_preload(bool v) { m_preload = v; }
    void set_origin(int32_t x, int32_t y) {
        m_xoffset = x;
        m_yoffset = y;
    }

    // Textures through the link's maker; without one every subimage has
    // none (-1). The list a sprite lives in sets the link.
    void set_texture_link(const TextureLink* link) { m_link = link; }
    void make_textures();
    void free_textures();
    int32_t subimage_texture(int32_t subimg) const;

    // Opaque box of subimage i, and a copy of it with alpha dropped (for
    // saving); outside 0 .. count - 1 the answers of a non-existing image.
    BitmapBox subimage_opaque_box(int32_t i) const;
    CBitmap32 subimage_to_24bit(int32_t i) const;

    // Recomputes the box from the mode and the images; rebuilds the masks.
    void compute_bbox();
    void build_masks();

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    int32_t xoffset() const { return m_xoffset; }
    int32_t yoffset() const { return m_yoffset; }
    // As stored: a game file may hold a mode other than 0, 1 or 2, which
    // then boxes like the full image.
    int32_t bbox_mode() const { return m_bbox_mode; }
    const BitmapBox& bbox() const { return m_bbox; }
    bool transparent() const { return m_transparent; }
    bool smooth() const { return m_smooth; }
    bool preload() const { return m_preload; }
    bool precise() const { return m_precise; }
    int32_t subimage_count() const { return static_cast<int32_t>(m_images.size()); }
    const std::vector<CBitmap32>& subimages() const { return m_images; }
    const std::vector<int32_t>& textures() const { return m_textures; }
    bool has_masks() const { return m_has_masks; }
    // Mask of subimage i; nullptr for a maskless sprite or an index out of range.
    const CMask* mask(int32_t i) const {
        return m_has_masks && i >= 0 && i < subimage_count() ? &m_masks[static_cast<size_t>(i)]
                                                             : nullptr;
    }

    // For building a sprite as stored (kxpack): fields set directly, nothing
    // recomputed; call build_masks() afterwards.
    void set_stored(int32_t width, int32_t height, int32_t mode, const BitmapBox& box,
                    std::vector<CBitmap32> images);

private:
    // The new subimage as SetFromImage and AddImage make it.
    CBitmap32 make_subimage(const CBitmap32& image, bool is32bit) const;
    void after_images_changed();  // textures, box, masks
    // The record's fixed fields in stream order, for reading and writing alike.
    template <class IO, class Self>
    static void record_fields(IO& io, Self& s);

    int32_t m_width = 1, m_height = 1;
    int32_t m_xoffset = 0, m_yoffset = 0;
    int32_t m_bbox_mode = 0;
    BitmapBox m_bbox{0, 0, 0, 0};
    bool m_transparent = true, m_smooth = false, m_preload = true, m_precise = true;
    std::vector<CBitmap32> m_images;
    const TextureLink* m_link = nullptr;
    ITextureMaker* texture_maker() const { return m_link ? m_link->maker : nullptr; }
    std::vector<int32_t> m_textures;
    std::vector<CMask> m_masks;
    bool m_has_masks = false;
};

}  // namespace kx
