#include "world/object_class.h"

#include "gamedata/cstream.h"
#include "platform/virtual_keys.h"

namespace kx {

namespace {

// A count read from the stream, refused when it cannot fit in what is left
// (each entry takes at least min_bytes).
bool read_count(CStream& s, int32_t& n, size_t min_bytes, int32_t max = INT32_MAX) {
    n = s.read_int();
    return n >= 0 && n <= max && static_cast<size_t>(n) <= s.remaining() / min_bytes;
}

}  // namespace

CEvent& CObject::event_at(int32_t type, int32_t n) {
    return events[static_cast<size_t>(type)][n];
}

const CEvent* CObject::present_event(int32_t type, int32_t n) const {
    if (type < 0 || type >= kEventTypeCount || n < 0) return nullptr;
    const auto& list = events[static_cast<size_t>(type)];
    auto it = list.find(n);
    return it != list.end() && it->second.present() ? &it->second : nullptr;
}

bool CObject::has_type(int32_t type) const {
    for (const auto& [n, e] : events[static_cast<size_t>(type)])
        if (e.present()) return true;
    return false;
}

bool read_action(CStream& s, CAction& a) {
    a = CAction();
    if (s.read_int() != kActionVersion) return true;  // left empty; reading goes on
    a.library_id = s.read_int();
    a.action_id = s.read_int();
    a.kind = s.read_int();
    a.may_be_relative = s.read_bool();
    a.is_question = s.read_bool();
    a.uses_applies_to = s.read_bool();
    a.exec_type = s.read_int();
    a.function_name = s.read_string();
    a.code = s.read_string();
    a.arg_count = s.read_int();
    if (a.arg_count < 0 || a.arg_count > kMaxActionArgsRun) return false;
    int32_t k = 0;
    if (!read_count(s, k, 4, kMaxActionArgs)) return false;
    for (int32_t i = 0; i < k; ++i) a.arg_kinds.push_back(s.read_int());
    a.applies_to = s.read_int();
    a.relative = s.read_bool();
    int32_t m = 0;
    if (!read_count(s, m, 4, kMaxActionArgs)) return false;
    for (int32_t i = 0; i < m; ++i) a.args.push_back(s.read_string());
    a.negate = s.read_bool();
    return true;
}

void write_action(CStream& s, const CAction& a) {
    s.write_int(kActionVersion);
    s.write_int(a.library_id);
    s.write_int(a.action_id);
    s.write_int(a.kind);
    s.write_bool(a.may_be_relative);
    s.write_bool(a.is_question);
    s.write_bool(a.uses_applies_to);
    s.write_int(a.exec_type);
    s.write_string(a.function_name);
    s.write_string(a.code);
    s.write_int(a.arg_count);
    s.write_int(static_cast<int32_t>(a.arg_kinds.size()));
    for (int32_t k : a.arg_kinds) s.write_int(k);
    s.write_int(a.applies_to);
    s.write_bool(a.relative);
    s.write_int(static_cast<int32_t>(a.args.size()));
    for (const auto& t : a.args) s.write_string(t);
    s.write_bool(a.negate);
}

bool read_event(CStream& s, CEvent& e) {
    if (s.read_int() != kEventVersion) return false;
    int32_t n = 0;
    if (!read_count(s, n, 4)) return false;
    e.actions.clear();
    e.actions.resize(static_cast<size_t>(n));
    for (CAction& a : e.actions)
        if (!read_action(s, a)) return false;
    e.stored = true;
    return true;
}

void write_event(CStream& s, const CEvent& e) {
    s.write_int(kEventVersion);
    s.write_int(static_cast<int32_t>(e.actions.size()));
    for (const CAction& a : e.actions) write_action(s, a);
}

bool read_object(CStream& s, CObject& o) {
    const int32_t version = s.read_int();
    if (version != 400 && version != 430) return false;
    o.sprite = s.read_int();
    o.solid = s.read_bool();
    o.visible = s.read_bool();
    o.depth = s.read_int();
    o.persistent = s.read_bool();
    o.parent = s.read_int();
    o.mask = s.read_int();
    const int32_t last = version == 400 ? 8 : s.read_int();
    if (last >= kEventTypeCount) return false;
    o.last_type = last;
    for (int32_t t = 0; t <= last; ++t) {
        for (;;) {
            const int32_t n = s.read_int();
            if (n < 0) break;
            if (n > kMaxEventNumber) return false;
            if (!read_event(s, o.event_at(t, n))) return false;
        }
    }
    return true;
}

void write_object(CStream& s, const CObject& o) {
    s.write_int(430);
    s.write_int(o.sprite);
    s.write_bool(o.solid);
    s.write_bool(o.visible);
    s.write_int(o.depth);
    s.write_bool(o.persistent);
    s.write_int(o.parent);
    s.write_int(o.mask);
    int32_t last = o.last_type;
    for (int32_t t = last + 1; t < kEventTypeCount; ++t)
        for (const auto& [n, e] : o.events[static_cast<size_t>(t)])
            if (e.stored || e.present()) last = t;
    s.write_int(last);
    for (int32_t t = 0; t <= last; ++t) {
        for (const auto& [n, e] : o.events[static_cast<size_t>(t)]) {
            if (!e.stored && !e.present()) continue;
            s.write_int(n);
            write_event(s, e);
        }
        s.write_int(-1);
    }
}

bool read_object_list(CStream& s, std::vector<std::unique_ptr<CObject>>& out) {
    out.clear();
    if (s.read_int() != kObjectListVersion) return false;
    int32_t n = 0;
    if (!read_count(s, n, 4)) return false;
    for (int32_t i = 0; i < n; ++i) {
        if (!s.read_bool()) {
            out.emplace_back();
            continue;
        }
        auto o = std::make_unique<CObject>();
        o->name = s.read_string();
        if (!read_object(s, *o)) return false;
        out.push_back(std::move(o));
    }
    return true;
}

void write_object_list(CStream& s, const std::vector<const CObject*>& list) {
    s.write_int(kObjectListVersion);
    s.write_int(static_cast<int32_t>(list.size()));
    for (const auto& o : list) {
        s.write_bool(o != nullptr);
        if (!o) continue;
        s.write_string(o->name);
        write_object(s, *o);
    }
}

std::string key_name(int32_t key) {
    if (const VirtualKey* k = printed_key(key)) return std::string(k->printed);
    if (is_character_key(key)) return std::string(1, char(key)) + "-key";
    return "<unknown>";
}

namespace {

std::string mouse_name(int32_t n) {
    static const char* const kFirst[] = {"Left Button",     "Right Button",  "Middle Button",
                                         "No Button",       "Left Pressed",  "Right Pressed",
                                         "Middle Pressed",  "Left Released", "Right Released",
                                         "Middle Released", "Mouse Enter",   "Mouse Leave"};
    if (n >= 0 && n <= 11) return kFirst[n];
    auto joystick = [](int j, int k) -> std::string {
        static const char* const kDir[] = {"Left", "Right", "Up", "Down"};
        const std::string p = "Joystick " + std::to_string(j) + " ";
        if (k < 4) return p + kDir[k];
        return p + "Button " + std::to_string(k - 4);
    };
    if (n >= 16 && n <= 19) return joystick(1, n - 16);
    if (n >= 21 && n <= 28) return joystick(1, n - 21 + 5);
    if (n >= 31 && n <= 34) return joystick(2, n - 31);
    if (n >= 36 && n <= 43) return joystick(2, n - 36 + 5);
    static const char* const kGlob[] = {
        "Glob Left Button",   "Glob Right Button",   "Glob Middle Button",
        "Glob Left Pressed",  "Glob Right Pressed",  "Glob Middle Pressed",
        "Glob Left Released", "Glob Right Released", "Glob Middle Released"};
    if (n >= 50 && n <= 58) return kGlob[n - 50];
    if (n == 60) return "Mouse Wheel Up";
    if (n == 61) return "Mouse Wheel Down";
    return "<unknown>";
}

std::string other_name(int32_t n) {
    static const char* const kNames[] = {
        "Outside Room", "Intersect Boundary", "Game Start",    "Game End",    "Room Start",
        "Room End",     "No More Lives",      "Animation End", "End Of Path", "No More Health"};
    if (n >= 0 && n <= 9) return kNames[n];
    if (n >= 10 && n <= 25) return "User Defined " + std::to_string(n - 10);
    return "<unknown>";
}

}  // namespace

std::string event_name(int32_t type, int32_t n, const std::string& other_object_name) {
    switch (type) {
        case ev::Create:
            return "Create Event";
        case ev::Destroy:
            return "Destroy Event";
        case ev::Alarm:
            return "Alarm Event for alarm " + std::to_string(n);
        case ev::Step:
            return n == 0   ? " Step Event"
                   : n == 1 ? "Begin Step Event"
                   : n == 2 ? "End Step Event"
                            : "<unknown> Step Event";
        case ev::Collision:
            return "Collision Event with object " + other_object_name;
        case ev::Keyboard:
            return "Keyboard Event for " + key_name(n) + " Key";
        case ev::Mouse:
            return "Mouse Event for " + mouse_name(n);
        case ev::Other:
            return "Other Event: " + other_name(n);
        case ev::Draw:
            return "Draw Event";
        case ev::KeyPress:
            return "Key Press Event for " + key_name(n) + " Key";
        case ev::KeyRelease:
            return "Key Release Event for " + key_name(n) + " Key";
        default:
            return "<Unknown Event>";
    }
}

}  // namespace kx
