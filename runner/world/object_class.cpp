#include "world/object_class.h"

#include "gamedata/cstream.h"
#include "gamedata/record_io.h"
#include "platform/virtual_keys.h"

namespace kx {

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

namespace {

template <class IO, class Action>
bool action_record(IO& io, Action& a) {
    if constexpr (IO::kReads) a = CAction();
    if (!io.version(kActionVersion)) return true;  // left empty; reading goes on
    io.i(a.library_id);
    io.i(a.action_id);
    io.i(a.kind);
    io.b(a.may_be_relative);
    io.b(a.is_question);
    io.b(a.uses_applies_to);
    io.i(a.exec_type);
    io.str(a.function_name);
    io.str(a.code);
    io.i(a.arg_count);
    if constexpr (IO::kReads)
        if (a.arg_count < 0 || a.arg_count > kMaxActionArgsRun) return false;
    if (!io.list(a.arg_kinds, 4, kMaxActionArgs, [&](auto& k) { io.i(k); })) return false;
    io.i(a.applies_to);
    io.b(a.relative);
    if (!io.list(a.args, 4, kMaxActionArgs, [&](auto& t) { io.str(t); })) return false;
    io.b(a.negate);
    return true;
}

template <class IO, class Event>
bool event_record(IO& io, Event& e) {
    if (!io.version(kEventVersion)) return false;
    if (!io.list(e.actions, 4, [&](auto& a) { return action_record(io, a); })) return false;
    if constexpr (IO::kReads) e.stored = true;
    return true;
}

// Version 400 has no last event type: it is 8. Writing gives version 430.
constexpr int32_t kObjectVersionOld = 400;
constexpr int32_t kObjectVersion = 430;

template <class IO, class Object>
void object_fields(IO& io, Object& o) {
    io.i(o.sprite);
    io.b(o.solid);
    io.b(o.visible);
    io.i(o.depth);
    io.b(o.persistent);
    io.i(o.parent);
    io.i(o.mask);
}

}  // namespace

bool read_action(CStream& s, CAction& a) {
    RecordReader io{s};
    return action_record(io, a);
}

void write_action(CStream& s, const CAction& a) {
    RecordWriter io{s};
    action_record(io, a);
}

bool read_event(CStream& s, CEvent& e) {
    RecordReader io{s};
    return event_record(io, e);
}

void write_event(CStream& s, const CEvent& e) {
    RecordWriter io{s};
    event_record(io, e);
}

// The reader takes the event numbers as they come until -1; the writer
// picks the stored and present events, so the two walks stay apart.
bool read_object(CStream& s, CObject& o) {
    const int32_t version = s.read_int();
    if (version != kObjectVersionOld && version != kObjectVersion) return false;
    RecordReader io{s};
    object_fields(io, o);
    const int32_t last = version == kObjectVersionOld ? 8 : s.read_int();
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
    s.write_int(kObjectVersion);
    RecordWriter io{s};
    object_fields(io, o);
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

namespace {

template <class IO, class List>
bool object_list_record(IO& io, List& list) {
    if (!io.version(kObjectListVersion)) return false;
    return io.list(list, 4, [&](auto& o) {
        if (!io.slot(o)) return true;
        io.str(o->name);
        return io.record(*o, read_object, write_object);
    });
}

}  // namespace

bool read_object_list(CStream& s, std::vector<std::unique_ptr<CObject>>& out) {
    out.clear();
    RecordReader io{s};
    return object_list_record(io, out);
}

void write_object_list(CStream& s, const std::vector<const CObject*>& list) {
    RecordWriter io{s};
    object_list_record(io, list);
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
