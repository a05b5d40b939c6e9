#include "kxpack/source_sprites.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>

#include "gamedata/game_data.h"
#include "image/picture_file.h"
#include "kxpack/game_source.h"
#include "kxpack/source_json.h"
#include "sprites/background_main.h"
#include "sprites/sprite_main.h"

namespace kx::pack {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

constexpr const char* kModeNames[] = {"automatic", "full", "manual"};

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

ordered_json read_json(const fs::path& p) {
    std::ifstream f(p);
    if (!f) throw SourceError("cannot read " + p.string());
    ordered_json j = parse_json(f, p.string());
    if (!j.is_object()) throw SourceError(p.string() + ": must hold an object");
    return j;
}

void write_json(const fs::path& p, const ordered_json& j) {
    const std::string text = j.dump(2) + "\n";
    write_bytes(
        p, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// Reads one resource file with its own error context.
class Reader {
public:
    Reader(const fs::path& file, std::initializer_list<const char*> allowed)
        : m_file(file), m_j(read_json(file)) {
        for (auto it = m_j.begin(); it != m_j.end(); ++it) {
            bool ok = false;
            for (const char* a : allowed) ok = ok || it.key() == a;
            if (!ok) fail("unknown key \"" + it.key() + "\"");
        }
    }
    [[noreturn]] void fail(const std::string& what) const {
        throw SourceError(m_file.string() + ": " + what);
    }
    bool has(const char* key) const { return m_j.contains(key); }
    // The file as a source folder names it: "sprites/spr_x.json".
    std::string shown() const {
        return (m_file.parent_path().filename() / m_file.filename()).string();
    }
    const ordered_json& at(const char* key) const { return m_j.at(key); }
    template <class T>
    T get(const char* key, T def) const {
        if (!m_j.contains(key)) return def;
        try {
            return m_j.at(key).get<T>();
        } catch (const nlohmann::json::exception&) {
            fail(std::string("wrong type for \"") + key + "\"");
        }
    }
    // An array of exactly n integers.
    std::vector<int32_t> ints(const char* key, size_t n) const {
        std::vector<int32_t> v;
        try {
            v = m_j.at(key).get<std::vector<int32_t>>();
        } catch (const nlohmann::json::exception&) {
            v.clear();
        }
        if (v.size() != n)
            fail(std::string("\"") + key + "\" needs " + std::to_string(n) + " integers");
        return v;
    }
    const fs::path& file() const { return m_file; }

private:
    fs::path m_file;
    ordered_json m_j;
};

// A picture entry of a resource file: a file name, null for no image, or
// {"width", "height"} for a stored image without pixels. A picture with its
// own alpha is taken as it is; one without is keyed and smoothed as the
// runner does for pictures loaded at run time.
CBitmap32 load_image(const Reader& r, const ordered_json& e, const fs::path& dir, bool smooth,
                     bool transparent, std::vector<std::string>& warnings) {
    if (e.is_null()) return {};
    if (e.is_object()) {
        const int32_t w = e.value("width", -1), h = e.value("height", -1);
        if (w < 0 || h < 0 || int64_t(w) * h != 0)
            r.fail("an image without a file has width or height 0");
        return CBitmap32::blank(w, h);
    }
    if (!e.is_string()) r.fail("an image is a file name, null, or {\"width\", \"height\"}");
    const fs::path p = dir / e.get<std::string>();
    std::optional<DecodedPicture> pic = decode_picture(read_bytes(p));
    if (!pic || !pic->image.exists) throw SourceError(p.string() + ": not a PNG or BMP picture");
    if (pic->has_alpha) return std::move(pic->image);
    CBitmap32 img = CBitmap32::from_24bit(pic->image, smooth, transparent);
    // A one-colour picture keyed by its own bottom-left pixel vanishes.
    if (transparent && !img.pixels.empty() &&
        std::all_of(img.pixels.begin(), img.pixels.end(),
                    [](uint32_t px) { return (px >> 24) == 0; }))
        warnings.push_back(r.shown() + ": picture " + e.get<std::string>() +
                           ": \"transparent\" keys out its bottom-left colour, which is every "
                           "pixel, so it draws nothing; set \"transparent\": false or give the "
                           "picture an alpha channel");
    return img;
}

ordered_json save_image(const CBitmap32& img, const fs::path& dir, const std::string& file) {
    if (!img.exists) return nullptr;
    if (img.pixels.empty()) return ordered_json{{"width", img.width}, {"height", img.height}};
    write_bytes(dir / file, encode_png(img));
    return file;
}

std::string checked_name(const ordered_json& e, const char* kind) {
    if (!e.is_string())
        throw SourceError(std::string("game.json: each of ") + kind + " is a name or null");
    std::string name = e.get<std::string>();
    if (name.empty() || safe_extra_file_name(name) != name)
        throw SourceError(std::string("game.json: ") + kind + " name \"" + name +
                          "\" cannot be a file name");
    return name;
}

const CBitmap32* first_existing(const std::vector<CBitmap32>& frames) {
    for (const CBitmap32& f : frames)
        if (f.exists) return &f;
    return nullptr;
}

SpriteSource load_sprite(const std::string& name, const fs::path& dir) {
    Reader r(dir / (name + ".json"), {"size", "origin", "bbox_mode", "bbox", "transparent",
                                      "smooth", "preload", "precise", "frames"});
    SpriteSource s;
    s.name = name;
    s.transparent = r.get<bool>("transparent", true);
    s.smooth = r.get<bool>("smooth", false);
    s.preload = r.get<bool>("preload", true);
    s.precise = r.get<bool>("precise", true);
    if (r.has("origin")) {
        auto o = r.ints("origin", 2);
        s.xorig = o[0];
        s.yorig = o[1];
    }
    if (r.has("bbox_mode")) {
        const ordered_json& m = r.at("bbox_mode");
        if (m.is_number_integer()) {
            s.bbox_mode = m.get<int32_t>();
        } else {
            std::string text = m.is_string() ? m.get<std::string>() : "";
            s.bbox_mode = -1;
            for (int i = 0; i < 3; ++i)
                if (text == kModeNames[i]) s.bbox_mode = i;
            if (s.bbox_mode < 0) r.fail("bbox_mode is \"automatic\", \"full\" or \"manual\"");
        }
    }
    if (r.has("frames")) {
        if (!r.at("frames").is_array()) r.fail("\"frames\" is an array");
        for (const auto& e : r.at("frames"))
            s.frames.push_back(load_image(r, e, dir, s.smooth, s.transparent, s.warnings));
    }
    if (r.has("size")) {
        auto sz = r.ints("size", 2);
        s.width = sz[0];
        s.height = sz[1];
    } else if (const CBitmap32* f = first_existing(s.frames)) {
        s.width = f->width;
        s.height = f->height;
    }
    if (r.has("bbox")) {
        auto b = r.ints("bbox", 4);
        s.bbox = {b[0], b[1], b[2], b[3]};
    } else if (s.bbox_mode == 2) {
        r.fail("a manual bounding box needs \"bbox\": [left, top, right, bottom]");
    } else {
        // The box the runner computes for these images.
        CSprite sp;
        sp.set_stored(s.width, s.height, s.bbox_mode, {}, s.frames);
        sp.set_transparent(s.transparent);
        sp.compute_bbox();
        s.bbox = sp.bbox();
    }
    return s;
}

BackgroundSource load_background(const std::string& name, const fs::path& dir) {
    Reader r(dir / (name + ".json"), {"size", "image", "transparent", "smooth", "preload"});
    BackgroundSource b;
    b.name = name;
    b.transparent = r.get<bool>("transparent", false);
    b.smooth = r.get<bool>("smooth", false);
    b.preload = r.get<bool>("preload", false);
    if (r.has("image"))
        b.image = load_image(r, r.at("image"), dir, b.smooth, b.transparent, b.warnings);
    if (r.has("size")) {
        auto sz = r.ints("size", 2);
        b.width = sz[0];
        b.height = sz[1];
    } else if (b.image.exists) {
        b.width = b.image.width;
        b.height = b.image.height;
    }
    return b;
}

template <class T, class Load>
std::vector<std::optional<T>> load_list(const ordered_json& list, const char* kind,
                                        const fs::path& dir, Load load) {
    if (!list.is_array()) throw SourceError(std::string("game.json: ") + kind + " is an array");
    std::vector<std::optional<T>> out;
    for (const auto& e : list) {
        if (e.is_null())
            out.emplace_back();
        else
            out.emplace_back(load(checked_name(e, kind), dir));
    }
    return out;
}

void check_save_name(const std::string& name, const char* kind) {
    if (name.empty() || safe_extra_file_name(name) != name)
        throw SourceError(std::string(kind) + " name \"" + name + "\" cannot be a file name");
}

}  // namespace

std::vector<std::optional<SpriteSource>> load_sprites(const ordered_json& list,
                                                      const fs::path& folder) {
    return load_list<SpriteSource>(list, "sprites", folder / "sprites", load_sprite);
}

std::vector<std::optional<BackgroundSource>> load_backgrounds(const ordered_json& list,
                                                              const fs::path& folder) {
    return load_list<BackgroundSource>(list, "backgrounds", folder / "backgrounds",
                                       load_background);
}

ordered_json save_sprites(const std::vector<std::optional<SpriteSource>>& sprites,
                          const fs::path& folder) {
    const fs::path dir = folder / "sprites";
    ordered_json list = ordered_json::array();
    for (const auto& s : sprites) {
        if (!s) {
            list.push_back(nullptr);
            continue;
        }
        check_save_name(s->name, "sprite");
        ordered_json j;
        const CBitmap32* first = first_existing(s->frames);
        if (!first || first->width != s->width || first->height != s->height)
            j["size"] = {s->width, s->height};
        j["origin"] = {s->xorig, s->yorig};
        if (s->bbox_mode >= 0 && s->bbox_mode <= 2)
            j["bbox_mode"] = kModeNames[s->bbox_mode];
        else
            j["bbox_mode"] = s->bbox_mode;
        j["bbox"] = {s->bbox.left, s->bbox.top, s->bbox.right, s->bbox.bottom};
        j["transparent"] = s->transparent;
        j["smooth"] = s->smooth;
        j["preload"] = s->preload;
        j["precise"] = s->precise;
        ordered_json frames = ordered_json::array();
        for (size_t i = 0; i < s->frames.size(); ++i)
            frames.push_back(
                save_image(s->frames[i], dir, s->name + "_" + std::to_string(i) + ".png"));
        j["frames"] = frames;
        write_json(dir / (s->name + ".json"), j);
        list.push_back(s->name);
    }
    return list;
}

ordered_json save_backgrounds(const std::vector<std::optional<BackgroundSource>>& backgrounds,
                              const fs::path& folder) {
    const fs::path dir = folder / "backgrounds";
    ordered_json list = ordered_json::array();
    for (const auto& b : backgrounds) {
        if (!b) {
            list.push_back(nullptr);
            continue;
        }
        check_save_name(b->name, "background");
        ordered_json j;
        const bool sized_by_image = b->image.exists
                                        ? b->image.width == b->width && b->image.height == b->height
                                        : b->width == 0 && b->height == 0;
        if (!sized_by_image) j["size"] = {b->width, b->height};
        j["image"] = save_image(b->image, dir, b->name + ".png");
        j["transparent"] = b->transparent;
        j["smooth"] = b->smooth;
        j["preload"] = b->preload;
        write_json(dir / (b->name + ".json"), j);
        list.push_back(b->name);
    }
    return list;
}

void write_sprites_section(CStream& st, const std::vector<std::optional<SpriteSource>>& sprites) {
    SpriteList list;
    for (const auto& s : sprites) {
        if (!s) {
            list.add({}, nullptr);
            continue;
        }
        auto sp = std::make_unique<CSprite>();
        sp->set_stored(s->width, s->height, s->bbox_mode, s->bbox, s->frames);
        sp->set_transparent(s->transparent);
        sp->set_smooth(s->smooth);
        sp->set_preload(s->preload);
        sp->set_precise(s->precise);
        sp->set_origin(s->xorig, s->yorig);
        list.add(s->name, std::move(sp));
    }
    list.write_section(st);
}

void write_backgrounds_section(CStream& st,
                               const std::vector<std::optional<BackgroundSource>>& backgrounds) {
    BackgroundList list;
    for (const auto& b : backgrounds) {
        if (!b) {
            list.add({}, nullptr);
            continue;
        }
        auto bg = std::make_unique<CBackground>();
        bg->set_stored(b->width, b->height, b->transparent, b->smooth, b->preload, b->image);
        list.add(b->name, std::move(bg));
    }
    list.write_section(st);
}

// The lists are read here without a runtime: without a texture link they
// make no textures.
bool read_sprites_section(CStream& st, std::vector<std::optional<SpriteSource>>& out) {
    out.clear();
    SpriteList list;
    const bool ok = list.read_section(st);
    for (int32_t i = 0; i < list.count(); ++i) {
        const CSprite* sp = list.get(i);
        if (!sp) {
            out.emplace_back();
            continue;
        }
        SpriteSource s;
        s.name = list.name(i);
        s.width = sp->width();
        s.height = sp->height();
        s.xorig = sp->xoffset();
        s.yorig = sp->yoffset();
        s.bbox_mode = sp->bbox_mode();
        s.bbox = sp->bbox();
        s.transparent = sp->transparent();
        s.smooth = sp->smooth();
        s.preload = sp->preload();
        s.precise = sp->precise();
        s.frames = sp->subimages();
        out.push_back(std::move(s));
    }
    return ok;
}

bool read_backgrounds_section(CStream& st, std::vector<std::optional<BackgroundSource>>& out) {
    out.clear();
    BackgroundList list;
    const bool ok = list.read_section(st);
    for (int32_t i = 0; i < list.count(); ++i) {
        const CBackground* bg = list.get(i);
        if (!bg) {
            out.emplace_back();
            continue;
        }
        BackgroundSource b;
        b.name = list.name(i);
        b.width = bg->width();
        b.height = bg->height();
        b.transparent = bg->transparent();
        b.smooth = bg->smooth();
        b.preload = bg->preload();
        b.image = bg->image();
        out.push_back(std::move(b));
    }
    return ok;
}

}  // namespace kx::pack
