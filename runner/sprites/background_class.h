#pragma once
// A background: one image used as a room background, a tile set or a texture.
#include <cstdint>
#include <span>
#include <string>

#include "gamedata/cstream.h"
#include "image/bitmap32.h"
#include "sprites/texture_link.h"

namespace kx {

inline constexpr int32_t kBackgroundRecordVersion = 543;

class CBackground {
public:
    CBackground() = default;
    // Copies go through assign(), which makes the texture; moves carry it.
    CBackground(const CBackground&) = delete;
    CBackground& operator=(const CBackground&) = delete;
    CBackground(CBackground&&) = default;
    CBackground& operator=(CBackground&&) = default;

    // The game-data record, both directions. A wrong record version answers
    // false; damaged data throws StreamError.
    bool read(CStream& s);
    void write(CStream& s) const;

    void clear();
    void assign(const CBackground& other);
    // The file must exist and decode; otherwise false and the background is
    // left as it was.
    bool load_from_file(const std::string& fname, bool transparent, bool smooth, bool preload);
    bool load_from_bytes(std::span<const uint8_t> bytes, bool transparent, bool smooth,
                         bool preload);
    void set_from_image(const CBitmap32& image, bool is32bit, bool preload, bool smooth,
                        bool transparent);
    void solid_colour(int32_t w, int32_t h, uint32_t colour, bool preload);
    void gradient(int32_t w, int32_t h, uint32_t colour1, uint32_t colour2, int kind, bool preload);
    void alpha_from_background(const CBackground& other);

    // Through the link's maker (none: no texture); the list sets the link.
    void set_texture_link(const TextureLink* link) { m_link = link; }
    void make_texture();
    void free_texture();

    // For building a background as stored (kxpack): nothing is recomputed.
    void set_stored(int32_t width, int32_t height, bool transparent, bool smooth, bool preload,
                    CBitmap32 image);
    void set_preload(bool v) { m_preload = v; }

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    bool transparent() const { return m_transparent; }
    bool smooth() const { return m_smooth; }
    bool preload() const { return m_preload; }
    bool has_image() const { return m_image.exists; }
    const CBitmap32& image() const { return m_image; }
    int32_t texture() const { return m_texture; }

private:
    template <class IO, class Self>
    static void record_fields(IO& io, Self& s);
    void set_image(CBitmap32 image);  // size from it, texture made

    int32_t m_width = 0, m_height = 0;
    bool m_transparent = false, m_smooth = false, m_preload = false;
    CBitmap32 m_image;
    const TextureLink* m_link = nullptr;
    ITextureMaker* texture_maker() const { return m_link ? m_link->maker : nullptr; }
    int32_t m_texture = -1;
};

}  // namespace kx
