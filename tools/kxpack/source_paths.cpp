#include "kxpack/source_paths.h"

#include <algorithm>
#include <fstream>

#include "gamedata/game_data.h"
#include "kxpack/game_source.h"
#include "kxpack/source_json.h"

namespace kx::pack {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

constexpr const char* kKindNames[] = {"straight", "smooth"};

[[noreturn]] void fail(const fs::path& p, const std::string& what) {
    throw SourceError(p.string() + ": " + what);
}

void check_name(const std::string& name) {
    if (name.empty() || safe_extra_file_name(name) != name || name == "." || name == "..")
        throw SourceError("path name \"" + name + "\" cannot be a file name");
}

RPathPoint read_point(const fs::path& p, const ordered_json& e) {
    if (!e.is_array() || e.size() < 2 || e.size() > 3)
        fail(p, "a point is [x, y] or [x, y, speed]");
    for (const auto& v : e)
        if (!v.is_number()) fail(p, "point coordinates and speeds are numbers");
    return {e[0].get<double>(), e[1].get<double>(), e.size() == 3 ? e[2].get<double>() : 100.0};
}

CPath load_path(const fs::path& p) {
    std::ifstream f(p);
    if (!f) throw SourceError("cannot read " + p.string());
    ordered_json j = parse_json(f, p.string());
    if (!j.is_object()) fail(p, "must hold an object");
    for (auto it = j.begin(); it != j.end(); ++it)
        if (it.key() != "kind" && it.key() != "closed" && it.key() != "precision" &&
            it.key() != "points")
            fail(p, "unknown key \"" + it.key() + "\"");
    CPath path;
    try {
        if (j.contains("kind")) {
            const auto& k = j["kind"];
            if (k == kKindNames[0])
                path.set_kind(CPath::kStraight);
            else if (k == kKindNames[1])
                path.set_kind(CPath::kSmooth);
            else
                fail(p, "kind is \"straight\" or \"smooth\"");
        }
        if (j.contains("closed")) path.set_closed(j["closed"].get<bool>());
        if (j.contains("precision")) {
            const int32_t prec = j["precision"].get<int32_t>();
            if (prec < 0 || prec > CPath::kMaxPrecision) fail(p, "precision lies in 0..8");
            path.set_precision(prec);
        }
    } catch (const nlohmann::json::exception&) {
        fail(p, "precision is an integer, closed is true or false");
    }
    std::vector<RPathPoint> points;
    if (j.contains("points")) {
        if (!j["points"].is_array()) fail(p, "points is an array");
        for (const auto& e : j["points"]) points.push_back(read_point(p, e));
    }
    path.set_points(std::move(points));
    return path;
}

}  // namespace

PathList load_paths(const ordered_json& list, const fs::path& folder) {
    if (!list.is_array()) throw SourceError("game.json: paths is an array");
    PathList out;
    for (const auto& e : list) {
        if (e.is_null()) {
            out.add_empty();
            continue;
        }
        if (!e.is_string()) throw SourceError("game.json: paths lists names or null");
        const std::string name = e.get<std::string>();
        check_name(name);
        out.add(name, load_path(folder / "paths" / (name + ".json")));
    }
    return out;
}

ordered_json save_paths(const PathList& paths, const fs::path& folder) {
    ordered_json list = ordered_json::array();
    std::vector<std::string> seen;
    for (int32_t i = 0; i < paths.count(); ++i) {
        const CPath* path = paths.get(i);
        if (!path) {
            list.push_back(nullptr);
            continue;
        }
        const std::string& name = paths.name(i);
        check_name(name);
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            throw SourceError("two paths are named \"" + name + "\"");
        seen.push_back(name);
        ordered_json j;
        j["kind"] = kKindNames[path->kind() == CPath::kSmooth ? 1 : 0];
        j["closed"] = path->closed();
        j["precision"] = path->precision();
        ordered_json points = ordered_json::array();
        for (const auto& pt : path->points()) points.push_back({pt.x, pt.y, pt.speed});
        j["points"] = points;
        const fs::path file = folder / "paths" / (name + ".json");
        fs::create_directories(file.parent_path());
        std::ofstream f(file, std::ios::trunc);
        f << j.dump(2) << "\n";
        if (!f) throw SourceError("cannot write " + file.string());
        list.push_back(name);
    }
    return list;
}

}  // namespace kx::pack
