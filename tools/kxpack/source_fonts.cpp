#include "kxpack/source_fonts.h"

#include <fstream>
#include <iterator>

#include "gamedata/game_data.h"
#include "image/picture_file.h"
#include "kxpack/game_source.h"
#include "platform/system_font.h"
#include "sprites/font_main.h"
#include "sprites/sprite_class.h"

namespace kx::pack {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

constexpr const char* kKeys[] = {"font",         "file",       "size", "bold",
                                 "italic",       "first",      "last", "sprite",
                                 "proportional", "separation", "page", "glyphs"};

std::vector<uint8_t> read_bytes(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    if (!f) throw SourceError("cannot read " + p.string());
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void write_bytes(const fs::path& p, std::span<const uint8_t> bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    if (!f) throw SourceError("cannot write " + p.string());
}

std::shared_ptr<CFont> load_font(const std::string& name, const fs::path& dir,
                                 const std::vector<std::optional<SpriteSource>>& sprites) {
    const fs::path file = dir / (name + ".json");
    const auto fail = [&](const std::string& what) -> void {
        throw SourceError(file.string() + ": " + what);
    };
    ordered_json j;
    {
        std::ifstream in(file);
        if (!in) throw SourceError("cannot read " + file.string());
        try {
            j = ordered_json::parse(in);
        } catch (const nlohmann::json::parse_error& e) {
            fail(e.what());
        }
    }
    if (!j.is_object()) fail("must hold an object");
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool ok = false;
        for (const char* k : kKeys) ok = ok || it.key() == k;
        if (!ok) fail("unknown key \"" + it.key() + "\"");
    }
    auto font = std::make_shared<CFont>();
    try {
        const int32_t size = j.value("size", 12);
        const bool bold = j.value("bold", false), italic = j.value("italic", false);
        const int32_t first = j.value("first", 32), last = j.value("last", 128);
        const int kinds =
            int(j.contains("file")) + int(j.contains("sprite")) + int(j.contains("page"));
        if (kinds > 1) fail("give only one of \"file\", \"sprite\" and \"page\"");
        if (j.contains("page")) {
            // The stored form: the glyph table and the page picture (its alpha).
            std::array<RGlyph, 256> glyphs{};
            if (j.contains("glyphs"))
                for (const auto& e : j.at("glyphs")) {
                    const auto v = e.get<std::vector<int32_t>>();
                    if (v.size() != 7 || v[0] < 0 || v[0] > 255)
                        fail("each glyph is [code, x, y, width, height, advance, offset]");
                    glyphs[static_cast<size_t>(v[0])] = RGlyph{v[1], v[2], v[3], v[4], v[5], v[6]};
                }
            if (j.at("page").is_null()) {
                font->set_stored(j.value("font", std::string()), size, bold, italic, first, last,
                                 glyphs, 0, 0, {});
                return font;
            }
            const fs::path pic = dir / j.at("page").get<std::string>();
            std::optional<DecodedPicture> d = decode_picture(read_bytes(pic));
            if (!d || !d->image.exists)
                throw SourceError(pic.string() + ": not a PNG or BMP picture");
            const CBitmap32& im = d->image;
            std::vector<uint8_t> page(im.pixels.size());
            for (size_t i = 0; i < page.size(); ++i) {
                const uint32_t p = im.pixels[i];
                page[i] = d->has_alpha
                              ? uint8_t(p >> 24)
                              : uint8_t((((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255)) / 3);
            }
            font->set_stored(j.value("font", std::string()), size, bold, italic, first, last,
                             glyphs, im.width, im.height, std::move(page));
        } else if (j.contains("sprite")) {
            const std::string sp = j.at("sprite").get<std::string>();
            const SpriteSource* src = nullptr;
            for (const auto& s : sprites)
                if (s && s->name == sp) src = &*s;
            if (!src) fail("no sprite \"" + sp + "\"");
            CSprite sprite;
            sprite.set_stored(src->width, src->height, src->bbox_mode, src->bbox, src->frames);
            font->create_page_from_sprite(sprite, j.value("font", sp), first,
                                          j.value("proportional", true), j.value("separation", 0));
        } else if (j.contains("file")) {
            const fs::path ff = dir / j.at("file").get<std::string>();
            auto face = open_font_file(ff.string(), size);
            if (!face) throw SourceError(ff.string() + ": not a font file");
            font->create_page_font_from(*face, j.value("font", face->family()), size, bold, italic,
                                        first, last);
        } else {
            if (!j.contains("font")) fail("needs \"font\", \"file\", \"sprite\" or \"page\"");
            if (!font->create_page_font(j.at("font").get<std::string>(), size, bold, italic, first,
                                        last))
                fail("no installed font can stand for \"" + j.at("font").get<std::string>() + "\"");
        }
    } catch (const nlohmann::json::exception& e) {
        fail(std::string("wrong type: ") + e.what());
    }
    return font;
}

}  // namespace

std::vector<std::optional<FontSource>> load_fonts(
    const ordered_json& list, const fs::path& folder,
    const std::vector<std::optional<SpriteSource>>& sprites) {
    std::vector<std::optional<FontSource>> out;
    if (!list.is_array()) throw SourceError("game.json: fonts is a list");
    for (const auto& e : list) {
        if (e.is_null()) {
            out.emplace_back();
            continue;
        }
        if (!e.is_string()) throw SourceError("game.json: each of fonts is a name or null");
        const std::string name = e.get<std::string>();
        if (name.empty() || safe_extra_file_name(name) != name)
            throw SourceError("game.json: fonts name \"" + name + "\" cannot be a file name");
        out.push_back(FontSource{name, load_font(name, folder / "fonts", sprites)});
    }
    return out;
}

ordered_json save_fonts(const std::vector<std::optional<FontSource>>& fonts,
                        const fs::path& folder) {
    ordered_json list = ordered_json::array();
    const fs::path dir = folder / "fonts";
    for (const auto& f : fonts) {
        if (!f) {
            list.push_back(nullptr);
            continue;
        }
        if (safe_extra_file_name(f->name) != f->name || f->name.empty())
            throw SourceError("font name \"" + f->name + "\" cannot be a file name");
        const CFont& font = *f->font;
        ordered_json j;
        j["font"] = font.name();
        j["size"] = font.size();
        j["bold"] = font.bold();
        j["italic"] = font.italic();
        j["first"] = font.first();
        j["last"] = font.last();
        if (font.page().empty()) {
            j["page"] = nullptr;
        } else {
            const std::string pic = f->name + ".png";
            write_bytes(dir / pic, encode_png(CBitmap32::from_alpha(
                                       font.page_width(), font.page_height(), font.page())));
            j["page"] = pic;
        }
        // One glyph a line: the table stays readable.
        std::string glyphs = "[";
        for (int c = 0; c < 256; ++c) {
            const RGlyph& g = font.glyph(static_cast<uint8_t>(c));
            if (g == RGlyph{}) continue;
            glyphs += std::string(glyphs.size() > 1 ? "," : "") + "\n    " +
                      ordered_json{c, g.x, g.y, g.width, g.height, g.advance, g.offset}.dump();
        }
        glyphs += glyphs.size() > 1 ? "\n  ]" : "]";
        j["glyphs"] = "@glyphs@";
        std::string text = j.dump(2) + "\n";
        text.replace(text.find("\"@glyphs@\""), 10, glyphs);
        write_bytes(
            dir / (f->name + ".json"),
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        list.push_back(f->name);
    }
    return list;
}

void write_fonts_section(CStream& st, const std::vector<std::optional<FontSource>>& fonts) {
    FontList list;
    for (const auto& f : fonts) {
        if (!f) {
            list.add({}, nullptr);
            continue;
        }
        auto copy = std::make_unique<CFont>();
        copy->assign(*f->font);
        list.add(f->name, std::move(copy));
    }
    list.write_font_section(st);
}

bool read_fonts_section(CStream& st, std::vector<std::optional<FontSource>>& out) {
    out.clear();
    FontList list;
    const bool ok = list.read_font_section(st);
    for (int32_t i = 0; i < list.count(); ++i) {
        const CFont* f = list.get(i);
        if (!f) {
            out.emplace_back();
            continue;
        }
        auto copy = std::make_shared<CFont>();
        copy->assign(*f);
        out.push_back(FontSource{list.name(i), std::move(copy)});
    }
    return ok;
}

}  // namespace kx::pack
