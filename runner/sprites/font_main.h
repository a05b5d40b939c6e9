#pragma once
// The game's fonts: a list of CFont by id, read from the font section.
#include "sprites/font_class.h"
#include "sprites/resource_list.h"

namespace kx {

inline constexpr int32_t kFontSectionVersion = 540;

class FontList : public ResourceList<CFont> {
public:
    FontList() : ResourceList<CFont>("font") {}

    // The section: version 540, count, then per slot exists and, for a font,
    // its name and record. The old list goes first.
    bool read_font_section(CStream& s);
    void write_font_section(CStream& s) const;

    // A new page or sprite font in the next slot; its id.
    int32_t add_font(const std::string& name, int32_t size, bool bold, bool italic, int32_t first,
                     int32_t last);
    int32_t add_sprite_font(const CSprite& sprite, int32_t sprite_id, int32_t first,
                            bool proportional, int32_t separation);
    // A new font in an existing slot (an empty one too); false outside the list.
    bool replace_font(int32_t id, const std::string& name, int32_t size, bool bold, bool italic,
                      int32_t first, int32_t last);
    bool replace_sprite_font(int32_t id, const CSprite& sprite, int32_t sprite_id, int32_t first,
                             bool proportional, int32_t separation);
};

}  // namespace kx
