#include "world/world_state.h"

#include "core/runtime.h"
#include "script/script_state.h"
#include "world/function_game.h"
#include "world/object_main.h"
#include "world/room_main.h"

namespace kx {

void register_variables_world(BuiltinVariableTable& table);

WorldState& world() {
    return *rt().world;
}

RoomInstances& room_instances() {
    WorldState& w = world();
    return w.current ? w.current->instances : w.no_room;
}

bool transition_pending() {
    return rt().script->transition_request != -1;
}

void init_world(Runtime& rt) {
    rt.world = std::make_shared<WorldState>();
    ScriptState& st = *rt.script;
    register_function_instance(st.functions);
    register_function_game(st.functions);
    register_function_timeline(st.functions);
    register_variables_world(st.builtins);
    auto finder = [&](ResourceKind k) -> ResourceFinder& {
        return st.resource_finders[static_cast<size_t>(k)];
    };
    finder(ResourceKind::Object) = [](std::string_view n) { return object_find(n); };
    finder(ResourceKind::Room) = [](std::string_view n) { return room_find(n); };
    finder(ResourceKind::TimeLine) = [](std::string_view n) {
        const auto& list = world().timelines;
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i] && list[i]->name == n) return static_cast<int>(i);
        return -1;
    };
    st.names.object_name = [](int32_t i) { return object_name(i); };
    st.names.timeline_name = [](int32_t i) {
        const auto& list = world().timelines;
        return i >= 0 && static_cast<size_t>(i) < list.size() && list[static_cast<size_t>(i)]
                   ? list[static_cast<size_t>(i)]->name
                   : std::string("<undefined>");
    };
    st.names.event_name = [](int32_t type, int32_t n) {
        return event_name(type, n, object_name(n));
    };
    st.instances = &rt.world->no_room;
}

}  // namespace kx
