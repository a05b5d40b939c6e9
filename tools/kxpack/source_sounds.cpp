#include "kxpack/source_sounds.h"

#include <algorithm>
#include <fstream>

#include "gamedata/game_data.h"
#include "kxpack/game_source.h"

namespace kx::pack {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

// Kind names, indexed by kind.
constexpr const char* kKinds[] = {"normal", "background", "3d", "multimedia"};
struct EffectName {
    const char* name;
    int32_t flag;
};
constexpr EffectName kEffects[] = {{"chorus", 1},     {"echo", 2},         {"flanger", 4},
                                   {"gargle", 8},     {"reverb", 16},      {"compressor", 32},
                                   {"equalizer", 64}, {"distortion", 128}, {"room_reverb", 256}};

[[noreturn]] void fail(const fs::path& p, const std::string& what) {
    throw SourceError(p.string() + ": " + what);
}

void check_name(const std::string& name) {
    if (name.empty() || safe_extra_file_name(name) != name)
        throw SourceError("sound name \"" + name + "\" cannot be a file name");
}

int32_t read_effects(const fs::path& p, const ordered_json& e) {
    if (e.is_number_integer()) return e.get<int32_t>();
    if (!e.is_array()) fail(p, "effects is a list of effect names or a number");
    int32_t flags = 0;
    for (const auto& n : e) {
        const auto* it =
            std::find_if(std::begin(kEffects), std::end(kEffects),
                         [&](const EffectName& x) { return n.is_string() && n == x.name; });
        if (it == std::end(kEffects))
            fail(p,
                 "effects are chorus, echo, flanger, gargle, reverb, compressor, equalizer, "
                 "distortion, "
                 "room_reverb");
        flags |= it->flag;
    }
    return flags;
}

CSound load_sound(const fs::path& folder, const std::string& name) {
    const fs::path p = folder / "sounds" / (name + ".json");
    std::ifstream f(p);
    if (!f) throw SourceError("cannot read " + p.string());
    ordered_json j;
    try {
        j = ordered_json::parse(f);
    } catch (const nlohmann::json::parse_error& e) {
        fail(p, e.what());
    }
    if (!j.is_object()) fail(p, "must hold an object");
    for (auto it = j.begin(); it != j.end(); ++it)
        if (it.key() != "file" && it.key() != "kind" && it.key() != "effects" &&
            it.key() != "volume" && it.key() != "pan" && it.key() != "preload")
            fail(p, "unknown key \"" + it.key() + "\"");
    CSound s;
    s.kind = kSoundNormal;
    try {
        if (j.contains("kind") && j["kind"].is_number_integer()) {
            s.kind = j["kind"].get<int32_t>();
        } else if (j.contains("kind")) {
            const auto* k = std::find_if(std::begin(kKinds), std::end(kKinds),
                                         [&](const char* n) { return j["kind"] == n; });
            if (k == std::end(kKinds)) fail(p, "kind is normal, background, 3d or multimedia");
            s.kind = static_cast<int32_t>(k - std::begin(kKinds));
        }
        if (j.contains("effects")) s.effects = read_effects(p, j["effects"]);
        if (j.contains("volume")) s.volume = j["volume"].get<double>();
        if (j.contains("pan")) s.pan = j["pan"].get<double>();
        if (j.contains("preload")) s.preload = j["preload"].get<bool>();
        if (j.contains("file") && !j["file"].is_null()) {
            const std::string file = j["file"].get<std::string>();
            const fs::path fp = p.parent_path() / file;
            std::ifstream in(fp, std::ios::binary);
            if (!in) fail(p, "cannot read the sound file " + file);
            s.data = std::vector<uint8_t>{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
            s.file_name = fp.filename().string();
            s.file_type = fp.extension().string();
        }
    } catch (const nlohmann::json::exception&) {
        fail(p, "volume and pan are numbers, preload is true or false, file is a name");
    }
    if (!(s.volume >= 0 && s.volume <= 1)) fail(p, "volume lies in 0..1");
    if (!(s.pan >= -1 && s.pan <= 1)) fail(p, "pan lies in -1..1");
    return s;
}

}  // namespace

SoundList load_sounds(const ordered_json& list, const fs::path& folder) {
    if (!list.is_array()) throw SourceError("game.json: sounds is an array");
    SoundList out;
    for (const auto& e : list) {
        if (e.is_null()) {
            out.add_empty();
            continue;
        }
        if (!e.is_string()) throw SourceError("game.json: sounds lists names or null");
        const std::string name = e.get<std::string>();
        check_name(name);
        out.add(name, load_sound(folder, name));
    }
    return out;
}

ordered_json save_sounds(const SoundList& sounds, const fs::path& folder) {
    ordered_json list = ordered_json::array();
    std::vector<std::string> seen, files;
    for (int32_t i = 0; i < sounds.count(); ++i) {
        const CSound* s = sounds.get(i);
        if (!s) {
            list.push_back(nullptr);
            continue;
        }
        const std::string& name = sounds.name(i);
        check_name(name);
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            throw SourceError("two sounds are named \"" + name + "\"");
        seen.push_back(name);
        ordered_json j;
        const fs::path dir = folder / "sounds";
        fs::create_directories(dir);
        if (s->data) {
            // The stored type may be anything: only a plain extension is kept.
            std::string ext;
            for (char c : s->file_type)
                if (std::isalnum(static_cast<unsigned char>(c))) ext += c;
            // The sound's own file name when it is a safe one that no other
            // sound took, so that the game builds back to the same bytes.
            std::string file = name + (ext.empty() ? ".snd" : "." + ext);
            const std::string own = s->file_name;
            if (!own.empty() && safe_extra_file_name(own) == own &&
                fs::path(own).extension() == s->file_type && fs::path(own).extension() != ".json" &&
                std::find(files.begin(), files.end(), own) == files.end())
                file = own;
            files.push_back(file);
            std::ofstream out(dir / file, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(s->data->data()),
                      static_cast<std::streamsize>(s->data->size()));
            if (!out) throw SourceError("cannot write " + (dir / file).string());
            j["file"] = file;
        } else {
            j["file"] = nullptr;
        }
        if (s->kind >= 0 && s->kind <= 3)
            j["kind"] = kKinds[s->kind];
        else
            j["kind"] = s->kind;
        ordered_json fx = ordered_json::array();
        int32_t rest = s->effects;
        for (const auto& e : kEffects)
            if (rest & e.flag) {
                fx.push_back(e.name);
                rest &= ~e.flag;
            }
        if (rest == 0)
            j["effects"] = fx;
        else
            j["effects"] = s->effects;
        j["volume"] = s->volume;
        j["pan"] = s->pan;
        j["preload"] = s->preload;
        const fs::path file = dir / (name + ".json");
        std::ofstream f(file, std::ios::trunc);
        f << j.dump(2) << "\n";
        if (!f) throw SourceError("cannot write " + file.string());
        list.push_back(name);
    }
    return list;
}

}  // namespace kx::pack
