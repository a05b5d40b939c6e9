#include "world/world_state.h"

#include "core/runtime.h"
#include "gamedata/game_info.h"
#include "script/script_state.h"
#include "world/function_game.h"
#include "world/object_main.h"
#include "world/room_main.h"

namespace kx {

void register_variables_world(BuiltinVariableTable& table);

RoomInstances& room_instances(WorldState& w) {
    return w.current ? w.current->instances : w.no_room;
}

const RoomInstances& room_instances(const WorldState& w) {
    return w.current ? w.current->instances : w.no_room;
}

bool transition_pending(const Runtime& r) {
    return r.get<ScriptState>().transition.pending();
}

void InputState::clear() {
    InputState fresh;
    fresh.mouse_x = mouse_x;
    fresh.mouse_y = mouse_y;
    fresh.window_x = window_x;
    fresh.window_y = window_y;
    *this = fresh;
}

namespace {
// Where the language's part sits inside the world's record.
std::ptrdiff_t script_part_offset() {
    CInstance probe(0, -1);
    return reinterpret_cast<const char*>(static_cast<const ScriptInstance*>(&probe)) -
           reinterpret_cast<const char*>(&probe);
}
}  // namespace

WorldScriptView::WorldScriptView(const RoomInstances& list)
    : IScriptWorld(script_part_offset()), m_list(&list) {}

int WorldScriptView::object_count(int32_t object_index) const {
    return static_cast<int>(m_list->family(object_index).size());
}
CInstance* WorldScriptView::object_at(int32_t object_index, int pos) const {
    return m_list->family(object_index)[static_cast<size_t>(pos)];
}
CInstance* WorldScriptView::make_detached() {
    return new CInstance(0, -1);
}
void WorldScriptView::release_detached(CInstance* inst) {
    delete inst;
}

namespace {

void create(Runtime& r) {
    WorldState& w = r.emplace<WorldState>();
    ScriptState& st = r.get<ScriptState>();
    st.instances = &w.script_view;
    st.names.object_name = [&w](int32_t i) { return object_name(w, i); };
    st.names.timeline_name = [&w](int32_t i) {
        const auto& list = w.timelines;
        return i >= 0 && static_cast<size_t>(i) < list.size() && list[static_cast<size_t>(i)]
                   ? list[static_cast<size_t>(i)]->name
                   : std::string("<undefined>");
    };
    st.names.event_name = [&w](int32_t type, int32_t n) {
        return event_name(type, n, object_name(w, n));
    };
}

void register_builtins(Runtime& r) {
    ScriptState& st = r.get<ScriptState>();
    register_function_instance(st.functions);
    register_function_game(st.functions);
    register_function_timeline(st.functions);
    register_variables_world(st.builtins);
}

bool read_timelines(Runtime& r, CStream& s) {
    return read_timeline_list(s, r.get<WorldState>().timelines);
}
bool read_library_init_section(Runtime& r, CStream& s) {
    return read_library_init(s, r.get<WorldState>().library_init);
}
bool read_room_order_section(Runtime& r, CStream& s) {
    return read_room_order(s, r.get<WorldState>().room_order);
}

int32_t find_object(Runtime& r, std::string_view name) {
    return object_find(r.get<WorldState>(), name);
}
int32_t find_room(Runtime& r, std::string_view name) {
    return room_find(r.get<WorldState>(), name);
}
int32_t find_timeline(Runtime& r, std::string_view name) {
    const auto& list = r.get<WorldState>().timelines;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] && list[i]->name == name) return static_cast<int32_t>(i);
    return -1;
}

constexpr SectionReader kSectionReaders[] = {
    {Section::TimeLines, read_timelines},
    {Section::Objects, load_objects},
    {Section::Rooms, load_rooms},
    {Section::LibraryInit, read_library_init_section},
    {Section::RoomOrder, read_room_order_section},
};
constexpr ResourceFinder kFinders[] = {
    {ResourceKind::Object, find_object},
    {ResourceKind::TimeLine, find_timeline},
    {ResourceKind::Room, find_room},
};
constexpr LoadStep kLoadSteps[] = {
    {LoadStage::TimeLines, compile_timelines},
    {LoadStage::Objects, compile_objects},
};

}  // namespace

const Subsystem kWorldSubsystem{
    .name = "world",
    .create = create,
    .register_builtins = register_builtins,
    .sections = kSectionReaders,
    .finders = kFinders,
    .load_steps = kLoadSteps,
};

}  // namespace kx
