#include "kxpack/game_source.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <variant>

#include "gamedata/scramble.h"
#include "image/picture_file.h"
#include "kxpack/source_json.h"

namespace kx::pack {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

// Every scalar setting, by its name in game.json and in the settings record.
struct SettingField {
    const char* name;
    std::variant<bool GameSettings::*, int32_t GameSettings::*> member;
};
const SettingField kSettingFields[] = {
    {"FullScreen", &GameSettings::FullScreen},
    {"Interpolate", &GameSettings::Interpolate},
    {"NoBorder", &GameSettings::NoBorder},
    {"ShowCursor", &GameSettings::ShowCursor},
    {"Scaling", &GameSettings::Scaling},
    {"AllowResize", &GameSettings::AllowResize},
    {"AlwaysOnTop", &GameSettings::AlwaysOnTop},
    {"ColorOutsideRoom", &GameSettings::ColorOutsideRoom},
    {"SetResolution", &GameSettings::SetResolution},
    {"ColorDepth", &GameSettings::ColorDepth},
    {"Resolution", &GameSettings::Resolution},
    {"Frequency", &GameSettings::Frequency},
    {"NoButtons", &GameSettings::NoButtons},
    {"UseVSync", &GameSettings::UseVSync},
    {"KeyF4Fullscreen", &GameSettings::KeyF4Fullscreen},
    {"KeyF1Info", &GameSettings::KeyF1Info},
    {"KeyEscEnd", &GameSettings::KeyEscEnd},
    {"KeyF5F6SaveLoad", &GameSettings::KeyF5F6SaveLoad},
    {"Priority", &GameSettings::Priority},
    {"FreezeOnLoseFocus", &GameSettings::FreezeOnLoseFocus},
    {"ShowProgressBar", &GameSettings::ShowProgressBar},
    {"LoadingImageTransparent", &GameSettings::LoadingImageTransparent},
    {"LoadingImageAlpha", &GameSettings::LoadingImageAlpha},
    {"ScaleProgressBar", &GameSettings::ScaleProgressBar},
    {"DisplayErrors", &GameSettings::DisplayErrors},
    {"WriteErrorLog", &GameSettings::WriteErrorLog},
    {"AbortOnError", &GameSettings::AbortOnError},
    {"UninitializedAsZero", &GameSettings::UninitializedAsZero},
};
// Pictures of the settings, by key.
constexpr const char* kPictureKeys[] = {"ProgressBarBack", "ProgressBarFront", "LoadingImage"};

std::vector<uint8_t> read_file(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    if (!f) throw SourceError("cannot read " + p.string());
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& p, std::span<const uint8_t> bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    if (!f) throw SourceError("cannot write " + p.string());
}

void write_text(const fs::path& p, const std::string& s) {
    write_file(p, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
}

// A picture for the game data is a Windows bitmap file; a PNG is converted.
std::vector<uint8_t> load_picture(const fs::path& p) {
    std::vector<uint8_t> bytes = read_file(p);
    if (auto bmp = decode_bmp(bytes)) return bytes;
    if (auto png = decode_png(bytes)) return encode_bmp(png->image, png->has_alpha);
    throw SourceError(p.string() + ": not a PNG or BMP picture");
}

// A script kept under another extension would otherwise be reported as
// missing, which hides the real mistake.
fs::path script_file(const fs::path& folder, const std::string& name) {
    const fs::path dir = folder / "scripts";
    fs::path p = dir / (name + ".kxs");
    std::error_code ec;
    if (fs::exists(p, ec) || !fs::is_directory(dir, ec)) return p;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        const fs::path& f = e.path();
        if (f.stem() == name && f.has_extension())
            throw SourceError("scripts/" + f.filename().string() + ": script files end in .kxs");
    }
    return p;
}

std::string hex(std::span<const uint8_t> b) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (uint8_t x : b) {
        s += d[x >> 4];
        s += d[x & 15];
    }
    return s;
}

std::array<uint8_t, 16> parse_identifier(const std::string& s) {
    std::array<uint8_t, 16> out{};
    std::string h;
    for (char c : s)
        if (c != '-' && c != '{' && c != '}') h += c;
    if (h.size() != 32) throw SourceError("game.json: identifier needs 32 hexadecimal digits");
    for (size_t i = 0; i < 16; ++i) {
        auto v = [&](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            throw SourceError("game.json: identifier needs 32 hexadecimal digits");
        };
        out[i] = static_cast<uint8_t>(v(h[2 * i]) * 16 + v(h[2 * i + 1]));
    }
    return out;
}

template <class T>
T get_or(const ordered_json& j, const char* key, T def) {
    if (!j.contains(key)) return def;
    try {
        return j.at(key).get<T>();
    } catch (const nlohmann::json::exception&) {
        throw SourceError(std::string("game.json: wrong type for \"") + key + "\"");
    }
}

void check_keys(const ordered_json& j, const char* where,
                std::initializer_list<const char*> allowed) {
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool ok = false;
        for (const char* a : allowed) ok = ok || it.key() == a;
        if (!ok) throw SourceError(std::string(where) + ": unknown key \"" + it.key() + "\"");
    }
}

void load_settings(const ordered_json& js, const fs::path& folder, GameSource& g) {
    for (auto it = js.begin(); it != js.end(); ++it) {
        const std::string& key = it.key();
        bool known = false;
        for (const auto& f : kSettingFields) {
            if (key != f.name) continue;
            known = true;
            try {
                if (auto b = std::get_if<bool GameSettings::*>(&f.member))
                    g.settings.*(*b) = it.value().get<bool>();
                else
                    g.settings.*std::get<int32_t GameSettings::*>(f.member) =
                        it.value().get<int32_t>();
            } catch (const nlohmann::json::exception&) {
                throw SourceError("game.json: wrong type for setting \"" + key + "\"");
            }
        }
        for (int k = 0; k < 3; ++k) {
            if (key != kPictureKeys[k]) continue;
            known = true;
            if (it.value().is_null()) continue;
            auto pic = load_picture(folder / it.value().get<std::string>());
            (k == 0 ? g.bar_back : k == 1 ? g.bar_front : g.loading) = std::move(pic);
        }
        if (!known) throw SourceError("game.json: unknown setting \"" + key + "\"");
    }
}

}  // namespace

GameSource load_source(const fs::path& folder) {
    GameSource g;
    g.data.seed = kDefaultSeed;
    g.data.filler_a = 3;
    g.data.filler_b = 2;
    ordered_json j;
    {
        std::ifstream f(folder / "game.json");
        if (!f) throw SourceError("cannot read " + (folder / "game.json").string());
        j = parse_json(f, "game.json");
    }
    if (!j.is_object()) throw SourceError("game.json: must hold an object");
    check_keys(j, "game.json", {"game_id",      "identifier",
                                "debug",        "seed",
                                "filler",       "settings",
                                "constants",    "container",
                                "extra_files",  "game_information",
                                "library_init", "room_order",
                                "scripts",      "sounds",
                                "sprites",      "backgrounds",
                                "paths",        "fonts",
                                "timelines",    "objects",
                                "rooms",        "last_instance_id",
                                "last_tile_id"});
    g.data.header.game_id = get_or<int32_t>(j, "game_id", 0);
    g.data.header.debug_mode = get_or<bool>(j, "debug", false);
    if (j.contains("identifier"))
        g.data.header.identifier = parse_identifier(j["identifier"].get<std::string>());
    g.data.seed = get_or<int32_t>(j, "seed", kDefaultSeed);
    if (!scramble_forward_table(g.data.seed))
        throw SourceError("game.json: seed must be -64249 or more");
    if (j.contains("filler")) {
        auto fl = j["filler"];
        if (!fl.is_array() || fl.size() != 2) throw SourceError("game.json: filler is [A, B]");
        g.data.filler_a = fl[0].get<int32_t>();
        g.data.filler_b = fl[1].get<int32_t>();
        if (g.data.filler_a < 0 || g.data.filler_b < 0 || g.data.filler_a > 1000 ||
            g.data.filler_b > 1000)
            throw SourceError("game.json: filler counts lie in 0..1000");
    }
    if (j.contains("settings")) load_settings(j["settings"], folder, g);
    if (j.contains("constants")) {
        for (const auto& c : j["constants"]) {
            if (!c.is_array() || c.size() != 2)
                throw SourceError("game.json: each constant is [\"name\", \"value text\"]");
            g.settings.constants.push_back({c[0].get<std::string>(), c[1].get<std::string>()});
        }
    }
    if (j.contains("container")) {
        const auto& c = j["container"];
        check_keys(c, "game.json container",
                   {"delete_extra_files", "overwrite_extra_files", "extra_files_to_temp",
                    "extension_library"});
        g.container.delete_extra_files = get_or<bool>(c, "delete_extra_files", false);
        g.container.overwrite_extra_files = get_or<bool>(c, "overwrite_extra_files", false);
        g.container.extra_to_temp = get_or<bool>(c, "extra_files_to_temp", true);
        g.container.extension_library = get_or<std::string>(c, "extension_library", "D3DX8.dll");
    }
    // The extension library is never loaded by kxrun; a game file still carries one.
    static const char kPlaceholder[] =
        "kxrun placeholder: the drawing extension library is built in\n";
    g.container.extension_library_content.assign(kPlaceholder,
                                                 kPlaceholder + sizeof(kPlaceholder) - 1);
    if (j.contains("extra_files")) {
        for (const auto& e : j["extra_files"]) {
            ExtraFile f;
            if (e.is_string()) {
                f.name = fs::path(e.get<std::string>()).filename().string();
                f.content = read_file(folder / e.get<std::string>());
            } else {
                check_keys(e, "game.json extra file", {"name", "file"});
                f.name = e.at("name").get<std::string>();
                f.content = read_file(folder / e.at("file").get<std::string>());
            }
            g.container.extra_files.push_back(std::move(f));
        }
    }
    if (j.contains("game_information")) {
        const auto& gi = j["game_information"];
        check_keys(gi, "game.json game_information",
                   {"file", "background_color", "over_game_window", "caption", "left", "top",
                    "width", "height", "border", "sizeable", "stay_on_top", "pause_game"});
        GameInformation& in = g.info;
        in.background_color = get_or<int32_t>(gi, "background_color", in.background_color);
        in.over_game_window = get_or<bool>(gi, "over_game_window", in.over_game_window);
        in.caption = get_or<std::string>(gi, "caption", in.caption);
        in.left = get_or<int32_t>(gi, "left", in.left);
        in.top = get_or<int32_t>(gi, "top", in.top);
        in.width = get_or<int32_t>(gi, "width", in.width);
        in.height = get_or<int32_t>(gi, "height", in.height);
        in.border = get_or<bool>(gi, "border", in.border);
        in.sizeable = get_or<bool>(gi, "sizeable", in.sizeable);
        in.stay_on_top = get_or<bool>(gi, "stay_on_top", in.stay_on_top);
        in.pause_game = get_or<bool>(gi, "pause_game", in.pause_game);
        if (gi.contains("file")) {
            auto b = read_file(folder / gi["file"].get<std::string>());
            in.text.assign(b.begin(), b.end());
        }
    }
    if (j.contains("library_init"))
        g.library_init = j["library_init"].get<std::vector<std::string>>();
    if (j.contains("room_order")) {
        g.room_order = j["room_order"].get<std::vector<int32_t>>();
        if (g.room_order.empty())
            throw SourceError("game.json: room_order needs at least one room");
    }
    if (j.contains("scripts")) {
        for (const auto& s : j["scripts"]) {
            if (s.is_null()) {
                g.scripts.emplace_back();
                continue;
            }
            std::string name = s.get<std::string>();
            auto b = read_file(script_file(folder, name));
            g.scripts.push_back(ScriptSource{name, std::string(b.begin(), b.end())});
        }
    }
    if (j.contains("sprites")) g.sprites = load_sprites(j["sprites"], folder);
    if (j.contains("backgrounds")) g.backgrounds = load_backgrounds(j["backgrounds"], folder);
    if (j.contains("paths")) g.paths = load_paths(j["paths"], folder);
    if (j.contains("fonts")) g.fonts = load_fonts(j["fonts"], folder, g.sprites);
    if (j.contains("sounds")) g.sounds = load_sounds(j["sounds"], folder);
    load_world_sources(j, folder, g);
    return g;
}

void save_source(const GameSource& g, const fs::path& folder) {
    fs::create_directories(folder);
    ordered_json j;
    j["game_id"] = g.data.header.game_id;
    j["identifier"] = hex(g.data.header.identifier);
    j["debug"] = g.data.header.debug_mode;
    j["seed"] = g.data.seed;
    j["filler"] = {g.data.filler_a, g.data.filler_b};
    ordered_json s = ordered_json::object();
    for (const auto& f : kSettingFields) {
        if (auto b = std::get_if<bool GameSettings::*>(&f.member))
            s[f.name] = g.settings.*(*b);
        else
            s[f.name] = g.settings.*std::get<int32_t GameSettings::*>(f.member);
    }
    const std::optional<std::vector<uint8_t>>* pics[] = {&g.bar_back, &g.bar_front, &g.loading};
    for (int k = 0; k < 3; ++k) {
        if (!*pics[k]) continue;
        std::string name = std::string(kPictureKeys[k]) + ".bmp";
        write_file(folder / name, **pics[k]);
        s[kPictureKeys[k]] = name;
    }
    j["settings"] = s;
    ordered_json consts = ordered_json::array();
    for (const auto& c : g.settings.constants) consts.push_back({c.name, c.value});
    j["constants"] = consts;
    j["container"] = {{"delete_extra_files", g.container.delete_extra_files},
                      {"overwrite_extra_files", g.container.overwrite_extra_files},
                      {"extra_files_to_temp", g.container.extra_to_temp},
                      {"extension_library", g.container.extension_library}};
    ordered_json extras = ordered_json::array();
    for (size_t i = 0; i < g.container.extra_files.size(); ++i) {
        const auto& f = g.container.extra_files[i];
        // Stored names may be unsafe; the copy in the source folder gets a safe one.
        std::string safe = safe_extra_file_name(f.name);
        std::string file = "files/" + std::to_string(i) + "_" + (safe.empty() ? "file" : safe);
        write_file(folder / file, f.content);
        extras.push_back({{"name", f.name}, {"file", file}});
    }
    j["extra_files"] = extras;
    const GameInformation& in = g.info;
    write_text(folder / "game_information.rtf", in.text);
    j["game_information"] = {{"file", "game_information.rtf"},
                             {"background_color", in.background_color},
                             {"over_game_window", in.over_game_window},
                             {"caption", in.caption},
                             {"left", in.left},
                             {"top", in.top},
                             {"width", in.width},
                             {"height", in.height},
                             {"border", in.border},
                             {"sizeable", in.sizeable},
                             {"stay_on_top", in.stay_on_top},
                             {"pause_game", in.pause_game}};
    j["library_init"] = g.library_init;
    j["room_order"] = g.room_order;
    ordered_json scripts = ordered_json::array();
    for (const auto& sc : g.scripts) {
        if (!sc) {
            scripts.push_back(nullptr);
            continue;
        }
        if (safe_extra_file_name(sc->name) != sc->name)
            throw SourceError("script name \"" + sc->name + "\" cannot be a file name");
        write_text(folder / "scripts" / (sc->name + ".kxs"), sc->code);
        scripts.push_back(sc->name);
    }
    j["scripts"] = scripts;
    j["sprites"] = save_sprites(g.sprites, folder);
    j["backgrounds"] = save_backgrounds(g.backgrounds, folder);
    j["paths"] = save_paths(g.paths, folder);
    j["fonts"] = save_fonts(g.fonts, folder);
    j["sounds"] = save_sounds(g.sounds, folder);
    save_world_sources(g, j, folder);
    write_text(folder / "game.json", j.dump(2) + "\n");
}

}  // namespace kx::pack
