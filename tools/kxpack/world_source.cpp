// Objects, rooms and time lines in a source folder: one JSON file each under
// objects/, rooms/ and timelines/, events and actions written by name.
#include <fstream>
#include <iterator>
#include <string>

#include "gamedata/cstream.h"
#include "kxpack/game_source.h"
#include "kxpack/source_json.h"
#include "platform/virtual_keys.h"

namespace kx::pack {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

// Indexed by the other-event number, ev::OutsideRoom to ev::NoMoreHealth.
const char* const kOtherNames[] = {
    "outside_room", "boundary",      "game_start",    "game_end",    "room_start",
    "room_end",     "no_more_lives", "animation_end", "end_of_path", "no_more_health"};
static_assert(std::size(kOtherNames) == ev::NoMoreHealth + 1);
constexpr int32_t kUserEvents = 16;
// Indexed by event type.
const char* const kTypeNames[] = {"create", "destroy", "alarm", "step",     "collision", "keyboard",
                                  "mouse",  "other",   "draw",  "keypress", "keyrelease"};
static_assert(std::size(kTypeNames) == kEventTypeCount);

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw SourceError(where + ": " + what);
}

bool is_number(const std::string& s) {
    if (s.empty()) return false;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    for (; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

int32_t parse_int(const std::string& where, const std::string& s) {
    if (!is_number(s) || s.size() > 10) fail(where, "\"" + s + "\" is not a number");
    return static_cast<int32_t>(std::stol(s));
}

int32_t index_of(const std::vector<std::string>& names, const std::string& n) {
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == n) return static_cast<int32_t>(i);
    return -1;
}

// What a source file may name: the resource names of game.json.
struct Names {
    std::vector<std::string> objects, sprites, backgrounds;
    static int32_t ref(const std::string& where, const ordered_json& v,
                       const std::vector<std::string>& names, const char* kind) {
        if (v.is_number_integer()) return v.get<int32_t>();
        if (!v.is_string()) fail(where, std::string("a ") + kind + " is a name or an index");
        const int32_t i = index_of(names, v.get<std::string>());
        if (i < 0)
            fail(where, std::string("no ") + kind + " named \"" + v.get<std::string>() + "\"");
        return i;
    }
    int32_t object(const std::string& where, const ordered_json& v) const {
        return ref(where, v, objects, "object");
    }
    // A key that holds a resource of the given list, or def when missing.
    int32_t resource(const std::string& where, const ordered_json& j, const char* key,
                     const std::vector<std::string>& names, const char* kind) const {
        if (!j.contains(key)) return -1;
        return ref(where + " \"" + key + "\"", j[key], names, kind);
    }
    std::string object_ref(int32_t i) const {
        if (i < 0 || static_cast<size_t>(i) >= objects.size() ||
            objects[static_cast<size_t>(i)].empty())
            return std::to_string(i);
        // A name that occurs twice stays an index.
        return index_of(objects, objects[static_cast<size_t>(i)]) == i
                   ? objects[static_cast<size_t>(i)]
                   : std::to_string(i);
    }
};

ordered_json object_json(const Names& n, int32_t i) {
    std::string r = n.object_ref(i);
    if (is_number(r)) return i;
    return r;
}

int32_t key_code(const std::string& where, const std::string& s) {
    if (const VirtualKey* k = printed_key(s)) return k->code;
    if (s.size() == 1 && is_character_key(s[0])) return s[0];
    if (!is_number(s) || s.size() > 10)
        fail(where, "no key named \"" + s +
                        "\": a key is a vk_ name (vk_up, vk_space, ...), a capital letter or "
                        "digit, or a key code");
    return parse_int(where, s);
}

std::string key_text(int32_t code) {
    if (const VirtualKey* k = printed_key(code)) return std::string(k->name);
    if (is_character_key(code)) return std::string(1, char(code));
    return std::to_string(code);
}

std::pair<int32_t, int32_t> parse_event(const std::string& where, const std::string& key,
                                        const Names& n) {
    const size_t colon = key.find(':');
    const std::string type = key.substr(0, colon);
    const std::string arg = colon == std::string::npos ? std::string() : key.substr(colon + 1);
    const std::string w = where + " event \"" + key + "\"";
    if (type == "create" && arg.empty()) return {ev::Create, 0};
    if (type == "destroy" && arg.empty()) return {ev::Destroy, 0};
    if (type == "draw" && arg.empty()) return {ev::Draw, 0};
    if (type == "step" && arg.empty()) return {ev::Step, ev::StepNormal};
    if (type == "step_begin" && arg.empty()) return {ev::Step, ev::StepBegin};
    if (type == "step_end" && arg.empty()) return {ev::Step, ev::StepEnd};
    if (arg.empty()) fail(w, "unknown event");
    if (type == "alarm") return {ev::Alarm, parse_int(w, arg)};
    if (type == "collision")
        return {ev::Collision, is_number(arg) ? parse_int(w, arg) : n.object(w, arg)};
    if (type == "keyboard") return {ev::Keyboard, key_code(w, arg)};
    if (type == "keypress") return {ev::KeyPress, key_code(w, arg)};
    if (type == "keyrelease") return {ev::KeyRelease, key_code(w, arg)};
    if (type == "mouse") return {ev::Mouse, parse_int(w, arg)};
    if (type == "other") {
        for (int32_t i = ev::OutsideRoom; i <= ev::NoMoreHealth; ++i)
            if (arg == kOtherNames[i]) return {ev::Other, i};
        if (arg.rfind("user", 0) == 0 && is_number(arg.substr(4)))
            return {ev::Other, ev::User0 + parse_int(w, arg.substr(4))};
        return {ev::Other, parse_int(w, arg)};
    }
    fail(w, "unknown event");
}

std::string event_key(int32_t t, int32_t num, const Names& n) {
    switch (t) {
        case ev::Create:
        case ev::Destroy:
        case ev::Draw:
            if (num == 0) return kTypeNames[t];
            break;
        case ev::Step:
            if (num == ev::StepNormal) return "step";
            if (num == ev::StepBegin) return "step_begin";
            if (num == ev::StepEnd) return "step_end";
            break;
        case ev::Collision:
            return "collision:" + n.object_ref(num);
        case ev::Keyboard:
        case ev::KeyPress:
        case ev::KeyRelease:
            return std::string(kTypeNames[t]) + ":" + key_text(num);
        case ev::Other:
            if (num >= ev::OutsideRoom && num <= ev::NoMoreHealth)
                return std::string("other:") + kOtherNames[num];
            if (num >= ev::User0 && num < ev::User0 + kUserEvents)
                return "other:user" + std::to_string(num - ev::User0);
            break;
        default:
            break;
    }
    return std::string(kTypeNames[t]) + ":" + std::to_string(num);
}

template <class T>
T get(const std::string& where, const ordered_json& j, const char* key, T def) {
    if (!j.contains(key)) return def;
    try {
        return j.at(key).get<T>();
    } catch (const nlohmann::json::exception&) {
        fail(where, std::string("wrong type for \"") + key + "\"");
    }
}

void check_keys(const std::string& where, const ordered_json& j,
                std::initializer_list<const char*> allowed) {
    if (!j.is_object()) fail(where, "must be an object");
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool ok = false;
        for (const char* a : allowed) ok = ok || it.key() == a;
        if (!ok) fail(where, "unknown key \"" + it.key() + "\"");
    }
}

int32_t applies_to(const std::string& where, const ordered_json& j, const Names& n) {
    if (!j.contains("applies_to")) return -1;
    const auto& v = j["applies_to"];
    if (v == "self") return -1;
    if (v == "other") return -2;
    return n.object(where, v);
}

CAction parse_action(const std::string& where, const ordered_json& j, const Names& n) {
    CAction a;
    if (!j.is_object()) fail(where, "an action is an object");
    if (j.contains("exec")) {  // every field as stored
        check_keys(
            where, j,
            {"library", "action", "kind", "may_be_relative", "question", "applies_to_used", "exec",
             "function", "code", "arg_count", "kinds", "applies_to", "relative", "args", "not"});
        a.library_id = get<int32_t>(where, j, "library", 0);
        a.action_id = get<int32_t>(where, j, "action", 0);
        a.kind = get<int32_t>(where, j, "kind", 0);
        a.may_be_relative = get<bool>(where, j, "may_be_relative", false);
        a.is_question = get<bool>(where, j, "question", false);
        a.uses_applies_to = get<bool>(where, j, "applies_to_used", false);
        a.exec_type = get<int32_t>(where, j, "exec", 0);
        a.function_name = get<std::string>(where, j, "function", "");
        a.code = get<std::string>(where, j, "code", "");
        a.arg_kinds = get<std::vector<int32_t>>(where, j, "kinds", {});
        a.args = get<std::vector<std::string>>(where, j, "args", {});
        a.arg_count = get<int32_t>(where, j, "arg_count", static_cast<int32_t>(a.args.size()));
        a.applies_to = applies_to(where, j, n);
        a.relative = get<bool>(where, j, "relative", false);
        a.negate = get<bool>(where, j, "not", false);
    } else {
        check_keys(where, j,
                   {"kind", "code", "function", "args", "kinds", "relative", "may_be_relative",
                    "question", "not", "applies_to", "library", "action"});
        const std::string kind =
            get<std::string>(where, j, "kind", j.contains("function") ? "function" : "code");
        a.uses_applies_to = true;
        a.applies_to = applies_to(where, j, n);
        a.relative = get<bool>(where, j, "relative", false);
        a.is_question = get<bool>(where, j, "question", false);
        a.negate = get<bool>(where, j, "not", false);
        a.args = get<std::vector<std::string>>(where, j, "args", {});
        a.library_id = get<int32_t>(where, j, "library", 1);
        if (kind == "code") {
            if (!j.contains("code")) fail(where, "a code action needs \"code\"");
            a.action_id = get<int32_t>(where, j, "action", 603);
            a.kind = act::Code;
            a.exec_type = act::ExecCode;
            a.args = {get<std::string>(where, j, "code", "")};
            a.arg_kinds = {act::KindString};
        } else if (kind == "function") {
            a.action_id = get<int32_t>(where, j, "action", 0);
            a.exec_type = act::ExecFunction;
            a.function_name = get<std::string>(where, j, "function", "");
            a.may_be_relative = get<bool>(where, j, "may_be_relative", j.contains("relative"));
            a.arg_kinds = get<std::vector<int32_t>>(where, j, "kinds",
                                                    std::vector<int32_t>(a.args.size(), 0));
        } else if (kind == "variable") {
            a.action_id = get<int32_t>(where, j, "action", 611);
            a.kind = act::Variable;
            a.exec_type = act::ExecCode;
            a.may_be_relative = true;
            a.arg_kinds = {act::KindString, act::KindString};
            if (a.args.size() != 2) fail(where, "a variable action has args [\"name\", \"value\"]");
        } else if (kind == "repeat") {
            a.action_id = get<int32_t>(where, j, "action", 423);
            a.kind = act::Repeat;
            a.arg_kinds = {0};
            if (a.args.size() != 1) fail(where, "a repeat action has args [\"count\"]");
        } else {
            static const std::pair<const char*, int32_t> kControl[] = {
                {"begin", act::Begin}, {"end", act::End}, {"else", act::Else}, {"exit", act::Exit}};
            bool found = false;
            for (const auto& [name, k] : kControl)
                if (kind == name) {
                    a.kind = k;
                    found = true;
                }
            if (!found) fail(where, "unknown action kind \"" + kind + "\"");
            a.action_id = get<int32_t>(where, j, "action", 0);
            a.args.clear();
        }
        a.arg_count = static_cast<int32_t>(a.args.size());
    }
    if (a.arg_count < 0 || a.arg_count > kMaxActionArgsRun || a.args.size() > kMaxActionArgs ||
        a.arg_kinds.size() > kMaxActionArgs)
        fail(where, "an action takes at most 7 arguments");
    return a;
}

ordered_json action_json(const CAction& a, const Names& n) {
    ordered_json j;
    j["library"] = a.library_id;
    j["action"] = a.action_id;
    j["kind"] = a.kind;
    j["may_be_relative"] = a.may_be_relative;
    j["question"] = a.is_question;
    j["applies_to_used"] = a.uses_applies_to;
    j["exec"] = a.exec_type;
    j["function"] = a.function_name;
    j["code"] = a.code;
    j["arg_count"] = a.arg_count;
    j["kinds"] = a.arg_kinds;
    j["applies_to"] = a.applies_to == -1   ? ordered_json("self")
                      : a.applies_to == -2 ? ordered_json("other")
                                           : object_json(n, a.applies_to);
    j["relative"] = a.relative;
    j["args"] = a.args;
    j["not"] = a.negate;
    return j;
}

CEvent parse_event_actions(const std::string& where, const ordered_json& list, const Names& n) {
    if (!list.is_array()) fail(where, "an event is a list of actions");
    CEvent e;
    e.stored = true;
    for (size_t i = 0; i < list.size(); ++i)
        e.actions.push_back(parse_action(where + " action " + std::to_string(i), list[i], n));
    return e;
}

ordered_json event_json(const CEvent& e, const Names& n) {
    ordered_json list = ordered_json::array();
    for (const CAction& a : e.actions) list.push_back(action_json(a, n));
    return list;
}

ordered_json read_json(const fs::path& p) {
    std::ifstream f(p);
    if (!f) throw SourceError("cannot read " + p.string());
    return parse_json(f, p.string());
}

void write_json(const fs::path& p, const ordered_json& j) {
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << j.dump(2) << "\n";
    if (!f) throw SourceError("cannot write " + p.string());
}

std::vector<std::optional<std::string>> name_list(const ordered_json& j, const char* kind) {
    std::vector<std::optional<std::string>> out;
    if (!j.contains(kind)) return out;
    for (const auto& e : j[kind]) {
        if (e.is_null())
            out.emplace_back();
        else if (e.is_string())
            out.push_back(e.get<std::string>());
        else
            throw SourceError(std::string("game.json: ") + kind + " lists names or null");
    }
    return out;
}

void check_file_name(const std::string& name) {
    if (name.empty() || safe_extra_file_name(name) != name || name == "." || name == "..")
        throw SourceError("resource name \"" + name + "\" cannot be a file name");
}

std::shared_ptr<CObject> load_object(const fs::path& p, const std::string& name, const Names& n) {
    const std::string where = p.string();
    ordered_json j = read_json(p);
    check_keys(where, j,
               {"sprite", "solid", "visible", "depth", "persistent", "parent", "mask", "events"});
    auto o = std::make_shared<CObject>();
    o->name = name;
    o->sprite = n.resource(where, j, "sprite", n.sprites, "sprite");
    o->solid = get<bool>(where, j, "solid", false);
    o->visible = get<bool>(where, j, "visible", true);
    o->depth = get<int32_t>(where, j, "depth", 0);
    o->persistent = get<bool>(where, j, "persistent", false);
    o->parent = j.contains("parent") ? n.object(where, j["parent"]) : -1;
    o->mask = n.resource(where, j, "mask", n.sprites, "sprite");
    if (j.contains("events")) {
        const auto& evs = j["events"];
        if (!evs.is_object()) fail(where, "events map names to action lists");
        for (auto it = evs.begin(); it != evs.end(); ++it) {
            auto [t, num] = parse_event(where, it.key(), n);
            if (num < 0 || num > kMaxEventNumber)
                fail(where, "event number out of range in \"" + it.key() + "\"");
            CEvent& slot = o->event_at(t, num);
            if (slot.stored) fail(where, "event \"" + it.key() + "\" given twice");
            slot = parse_event_actions(where + " event \"" + it.key() + "\"", it.value(), n);
        }
    }
    return o;
}

ordered_json object_to_json(const CObject& o, const Names& n) {
    ordered_json j;
    j["sprite"] = o.sprite;
    j["solid"] = o.solid;
    j["visible"] = o.visible;
    j["depth"] = o.depth;
    j["persistent"] = o.persistent;
    j["parent"] = object_json(n, o.parent);
    j["mask"] = o.mask;
    ordered_json evs = ordered_json::object();
    for (int32_t t = 0; t < kEventTypeCount; ++t) {
        for (const auto& [num, e] : o.events[static_cast<size_t>(t)])
            if (e.stored || e.present()) evs[event_key(t, num, n)] = event_json(e, n);
    }
    j["events"] = evs;
    return j;
}

void load_room(const fs::path& p, RoomRecord& r, const Names& n, int32_t& next_id,
               int32_t& next_tile) {
    const std::string where = p.string();
    ordered_json j = read_json(p);
    check_keys(where, j,
               {"caption", "width", "height", "speed", "persistent", "background_color",
                "show_background_color", "creation_code", "backgrounds", "views_enabled", "views",
                "instances", "tiles"});
    r.caption = get<std::string>(where, j, "caption", "");
    r.width = get<int32_t>(where, j, "width", 640);
    r.height = get<int32_t>(where, j, "height", 480);
    r.speed = get<int32_t>(where, j, "speed", 30);
    r.persistent = get<bool>(where, j, "persistent", false);
    r.color = get<int32_t>(where, j, "background_color", 12632256);
    r.show_color = get<bool>(where, j, "show_background_color", true);
    r.code = get<std::string>(where, j, "creation_code", "");
    r.views_enabled = get<bool>(where, j, "views_enabled", false);
    if (j.contains("backgrounds")) {
        const auto& bl = j["backgrounds"];
        if (!bl.is_array() || bl.size() > 8)
            fail(where, "backgrounds is a list of at most 8 layers");
        for (size_t k = 0; k < bl.size(); ++k) {
            const std::string w = where + " background " + std::to_string(k);
            const auto& b = bl[k];
            check_keys(w, b,
                       {"visible", "foreground", "background", "x", "y", "htiled", "vtiled",
                        "hspeed", "vspeed", "stretch"});
            auto& l = r.layers[k];
            l.visible = get<bool>(w, b, "visible", false);
            l.foreground = get<bool>(w, b, "foreground", false);
            l.index = n.resource(w, b, "background", n.backgrounds, "background");
            l.x = get<int32_t>(w, b, "x", 0);
            l.y = get<int32_t>(w, b, "y", 0);
            l.htiled = get<bool>(w, b, "htiled", true);
            l.vtiled = get<bool>(w, b, "vtiled", true);
            l.hspeed = get<int32_t>(w, b, "hspeed", 0);
            l.vspeed = get<int32_t>(w, b, "vspeed", 0);
            l.stretch = get<bool>(w, b, "stretch", false);
        }
    }
    if (j.contains("views")) {
        const auto& vl = j["views"];
        if (!vl.is_array() || vl.size() > 8) fail(where, "views is a list of at most 8 views");
        for (size_t k = 0; k < vl.size(); ++k) {
            const std::string w = where + " view " + std::to_string(k);
            const auto& v = vl[k];
            check_keys(w, v,
                       {"visible", "xview", "yview", "wview", "hview", "xport", "yport", "wport",
                        "hport", "hborder", "vborder", "hspeed", "vspeed", "object"});
            auto& d = r.views[k];
            d.visible = get<bool>(w, v, "visible", false);
            d.xview = get<int32_t>(w, v, "xview", 0);
            d.yview = get<int32_t>(w, v, "yview", 0);
            d.wview = get<int32_t>(w, v, "wview", 640);
            d.hview = get<int32_t>(w, v, "hview", 480);
            d.xport = get<int32_t>(w, v, "xport", 0);
            d.yport = get<int32_t>(w, v, "yport", 0);
            d.wport = get<int32_t>(w, v, "wport", 640);
            d.hport = get<int32_t>(w, v, "hport", 480);
            d.hborder = get<int32_t>(w, v, "hborder", 32);
            d.vborder = get<int32_t>(w, v, "vborder", 32);
            d.hspeed = get<int32_t>(w, v, "hspeed", -1);
            d.vspeed = get<int32_t>(w, v, "vspeed", -1);
            d.object = v.contains("object") ? n.object(w, v["object"]) : -1;
        }
    }
    if (j.contains("instances")) {
        for (const auto& i : j["instances"]) {
            const std::string w = where + " instance";
            check_keys(w, i, {"x", "y", "object", "id", "code"});
            RoomRecord::Instance ri;
            ri.x = get<int32_t>(w, i, "x", 0);
            ri.y = get<int32_t>(w, i, "y", 0);
            if (!i.contains("object")) fail(w, "needs an \"object\"");
            ri.object = n.object(w, i["object"]);
            ri.id = i.contains("id") ? get<int32_t>(w, i, "id", 0) : ++next_id;
            if (ri.id > next_id) next_id = ri.id;
            ri.code = get<std::string>(w, i, "code", "");
            r.instances.push_back(ri);
        }
    }
    if (j.contains("tiles")) {
        for (const auto& t : j["tiles"]) {
            const std::string w = where + " tile";
            check_keys(w, t,
                       {"x", "y", "background", "left", "top", "width", "height", "depth", "id"});
            RoomRecord::Tile rt;
            rt.x = get<int32_t>(w, t, "x", 0);
            rt.y = get<int32_t>(w, t, "y", 0);
            rt.background = n.resource(w, t, "background", n.backgrounds, "background");
            rt.left = get<int32_t>(w, t, "left", 0);
            rt.top = get<int32_t>(w, t, "top", 0);
            rt.width = get<int32_t>(w, t, "width", 0);
            rt.height = get<int32_t>(w, t, "height", 0);
            rt.depth = get<int32_t>(w, t, "depth", 0);
            rt.id = t.contains("id") ? get<int32_t>(w, t, "id", 0) : ++next_tile;
            if (rt.id > next_tile) next_tile = rt.id;
            r.tiles.push_back(rt);
        }
    }
}

ordered_json room_to_json(const RoomRecord& r, const Names& n) {
    ordered_json j;
    j["caption"] = r.caption;
    j["width"] = r.width;
    j["height"] = r.height;
    j["speed"] = r.speed;
    j["persistent"] = r.persistent;
    j["background_color"] = r.color;
    j["show_background_color"] = r.show_color;
    j["creation_code"] = r.code;
    ordered_json bl = ordered_json::array();
    for (const auto& l : r.layers)
        bl.push_back({{"visible", l.visible},
                      {"foreground", l.foreground},
                      {"background", l.index},
                      {"x", l.x},
                      {"y", l.y},
                      {"htiled", l.htiled},
                      {"vtiled", l.vtiled},
                      {"hspeed", l.hspeed},
                      {"vspeed", l.vspeed},
                      {"stretch", l.stretch}});
    j["backgrounds"] = bl;
    j["views_enabled"] = r.views_enabled;
    ordered_json vl = ordered_json::array();
    for (const auto& v : r.views)
        vl.push_back({{"visible", v.visible},
                      {"xview", v.xview},
                      {"yview", v.yview},
                      {"wview", v.wview},
                      {"hview", v.hview},
                      {"xport", v.xport},
                      {"yport", v.yport},
                      {"wport", v.wport},
                      {"hport", v.hport},
                      {"hborder", v.hborder},
                      {"vborder", v.vborder},
                      {"hspeed", v.hspeed},
                      {"vspeed", v.vspeed},
                      {"object", object_json(n, v.object)}});
    j["views"] = vl;
    ordered_json il = ordered_json::array();
    for (const auto& i : r.instances)
        il.push_back({{"x", i.x},
                      {"y", i.y},
                      {"object", object_json(n, i.object)},
                      {"id", i.id},
                      {"code", i.code}});
    j["instances"] = il;
    ordered_json tl = ordered_json::array();
    for (const auto& t : r.tiles)
        tl.push_back({{"x", t.x},
                      {"y", t.y},
                      {"background", t.background},
                      {"left", t.left},
                      {"top", t.top},
                      {"width", t.width},
                      {"height", t.height},
                      {"depth", t.depth},
                      {"id", t.id}});
    j["tiles"] = tl;
    return j;
}

std::shared_ptr<CTimeLine> load_timeline(const fs::path& p, const std::string& name,
                                         const Names& n) {
    const std::string where = p.string();
    ordered_json j = read_json(p);
    check_keys(where, j, {"moments"});
    auto t = std::make_shared<CTimeLine>();
    t->name = name;
    if (!j.contains("moments")) return t;
    for (const auto& m : j["moments"]) {
        check_keys(where + " moment", m, {"time", "actions"});
        const int32_t time = get<int32_t>(where, m, "time", 0);
        t->times.push_back(time);
        t->moments.push_back(
            parse_event_actions(where + " moment " + std::to_string(time),
                                m.contains("actions") ? m["actions"] : ordered_json::array(), n));
    }
    return t;
}

Names names_of(const GameSource& g) {
    Names n;
    for (const auto& o : g.objects) n.objects.push_back(o ? o->name : std::string());
    return n;
}

}  // namespace

void load_world_sources(const ordered_json& j, const fs::path& folder, GameSource& g) {
    Names n;
    const auto objects = name_list(j, "objects");
    for (const auto& o : objects) n.objects.push_back(o.value_or(""));
    for (const auto& s : g.sprites) n.sprites.push_back(s ? s->name : std::string());
    for (const auto& b : g.backgrounds) n.backgrounds.push_back(b ? b->name : std::string());
    g.objects.clear();
    for (const auto& o : objects) {
        if (!o) {
            g.objects.emplace_back();
            continue;
        }
        check_file_name(*o);
        g.objects.push_back(load_object(folder / "objects" / (*o + ".json"), *o, n));
    }
    g.timelines.clear();
    for (const auto& t : name_list(j, "timelines")) {
        if (!t) {
            g.timelines.emplace_back();
            continue;
        }
        check_file_name(*t);
        g.timelines.push_back(load_timeline(folder / "timelines" / (*t + ".json"), *t, n));
    }
    g.rooms.rooms.clear();
    int32_t next_id = get<int32_t>("game.json", j, "last_instance_id", 100000);
    int32_t next_tile = get<int32_t>("game.json", j, "last_tile_id", 10000000);
    for (const auto& r : name_list(j, "rooms")) {
        if (!r) {
            g.rooms.rooms.emplace_back();
            continue;
        }
        check_file_name(*r);
        auto rec = std::make_shared<RoomRecord>();
        rec->name = *r;
        load_room(folder / "rooms" / (*r + ".json"), *rec, n, next_id, next_tile);
        g.rooms.rooms.push_back(rec);
    }
    g.rooms.last_instance_id = next_id;
    g.rooms.last_tile_id = next_tile;
}

void save_world_sources(const GameSource& g, ordered_json& j, const fs::path& folder) {
    const Names n = names_of(g);
    ordered_json list = ordered_json::array();
    for (const auto& o : g.objects) {
        if (!o) {
            list.push_back(nullptr);
            continue;
        }
        check_file_name(o->name);
        write_json(folder / "objects" / (o->name + ".json"), object_to_json(*o, n));
        list.push_back(o->name);
    }
    j["objects"] = list;
    list = ordered_json::array();
    for (const auto& t : g.timelines) {
        if (!t) {
            list.push_back(nullptr);
            continue;
        }
        check_file_name(t->name);
        ordered_json moments = ordered_json::array();
        for (size_t m = 0; m < t->times.size(); ++m)
            moments.push_back({{"time", t->times[m]}, {"actions", event_json(t->moments[m], n)}});
        write_json(folder / "timelines" / (t->name + ".json"), {{"moments", moments}});
        list.push_back(t->name);
    }
    j["timelines"] = list;
    list = ordered_json::array();
    for (const auto& r : g.rooms.rooms) {
        if (!r) {
            list.push_back(nullptr);
            continue;
        }
        check_file_name(r->name);
        write_json(folder / "rooms" / (r->name + ".json"), room_to_json(*r, n));
        list.push_back(r->name);
    }
    j["rooms"] = list;
    j["last_instance_id"] = g.rooms.last_instance_id;
    j["last_tile_id"] = g.rooms.last_tile_id;
}

void write_world_sections(CStream& st, Section s, const GameSource& g) {
    if (s == Section::TimeLines) {
        std::vector<const CTimeLine*> list;
        for (const auto& t : g.timelines) list.push_back(t.get());
        write_timeline_list(st, list);
    } else if (s == Section::Objects) {
        std::vector<const CObject*> list;
        for (const auto& o : g.objects) list.push_back(o.get());
        write_object_list(st, list);
    } else if (s == Section::Rooms) {
        write_room_section(st, g.rooms);
    }
}

}  // namespace kx::pack
