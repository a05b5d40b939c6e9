#include "sprites/font_main.h"

namespace kx {

bool FontList::read_font_section(CStream& s) {
    clear();
    if (s.read_int() != kFontSectionVersion) return false;
    const int32_t n = s.read_int();
    if (n < 0 || static_cast<size_t>(n) > s.remaining() / 4)
        throw StreamError("corrupt font count");
    for (int32_t i = 0; i < n; ++i) {
        if (!s.read_bool()) {
            add({}, nullptr);
            continue;
        }
        std::string name = s.read_string();
        auto font = std::make_unique<CFont>();
        if (!font->read(s)) return false;
        add(std::move(name), std::move(font));
    }
    return true;
}

void FontList::write_font_section(CStream& s) const {
    s.write_int(kFontSectionVersion);
    s.write_int(count());
    for (int32_t i = 0; i < count(); ++i) {
        const CFont* f = get(i);
        s.write_bool(f != nullptr);
        if (!f) continue;
        s.write_string(name(i));
        f->write(s);
    }
}

int32_t FontList::add_font(const std::string& name, int32_t size, bool bold, bool italic,
                           int32_t first, int32_t last) {
    const int32_t id = add_empty();
    get(id)->create_page_font(name, size, bold, italic, first, last);
    return id;
}

int32_t FontList::add_sprite_font(const CSprite& sprite, int32_t sprite_id, int32_t first,
                                  bool proportional, int32_t separation) {
    const int32_t id = add_empty();
    get(id)->create_sprite_font(sprite, sprite_id, first, proportional, separation);
    return id;
}

bool FontList::replace_font(int32_t id, const std::string& name, int32_t size, bool bold,
                            bool italic, int32_t first, int32_t last) {
    return replace_with(id, [&](CFont& f) {
        f.create_page_font(name, size, bold, italic, first, last);
        return true;
    });
}

bool FontList::replace_sprite_font(int32_t id, const CSprite& sprite, int32_t sprite_id,
                                   int32_t first, bool proportional, int32_t separation) {
    return replace_with(id, [&](CFont& f) {
        f.create_sprite_font(sprite, sprite_id, first, proportional, separation);
        return true;
    });
}

}  // namespace kx
