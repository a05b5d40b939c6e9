#pragma once
// Shared by the tests that give objects events in code.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/runtime.h"
#include "script/code_error.h"
#include "script/script_state.h"
#include "world/object_class.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx::test {

// A code action that runs code with self = other = the instance.
inline CAction code_action(const std::string& code) {
    CAction a;
    a.kind = act::Code;
    a.exec_type = act::ExecCode;
    a.uses_applies_to = true;
    a.arg_count = 1;
    a.arg_kinds = {act::KindString};
    a.args = {code};
    return a;
}

// Appends an object with this name (and parent); answers its index.
inline int32_t add_object(Runtime& r, const std::string& name, int32_t parent = -1) {
    WorldState& w = r.get<WorldState>();
    auto o = std::make_unique<CObject>();
    o->name = name;
    o->parent = parent;
    w.objects.push_back(std::move(o));
    return static_cast<int32_t>(w.objects.size()) - 1;
}

// Appends a compiled code action to event (type, n) of object obj.
inline ::testing::AssertionResult add_code(Runtime& r, int32_t obj, int32_t type, int32_t n,
                                           const std::string& code) {
    CEvent& e = r.get<WorldState>().objects[static_cast<size_t>(obj)]->event_at(type, n);
    e.actions.push_back(code_action(code));
    if (compile_action(r, e.actions.back())) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << pending_message(r.get<ScriptState>());
}

// Adds rooms rm0.. in order (the first is the game's first room).
inline void add_rooms(Runtime& r, int count, int width = 640, int height = 480) {
    WorldState& w = r.get<WorldState>();
    for (int i = 0; i < count; ++i) {
        auto room = std::make_unique<CRoom>();
        room->name = "rm" + std::to_string(w.rooms.size());
        room->width = width;
        room->height = height;
        w.room_order.push_back(static_cast<int32_t>(w.rooms.size()));
        w.rooms.push_back(std::move(room));
    }
}

}  // namespace kx::test
