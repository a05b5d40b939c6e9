#pragma once
// The game world: objects, rooms, time lines, the instances of the room being
// played and the state of the game.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/subsystem.h"
#include "world/box_grid.h"
#include "world/instance_main.h"
#include "world/object_class.h"
#include "world/room_class.h"
#include "world/timeline_class.h"

namespace kx {

struct Runtime;

// What the input handlers record; cleared on entering a room, where the mouse
// stays where it is. Keys are indexed by their mapped key 0..255, buttons by
// 1..3 (slot 0 unused).
struct InputState {
    int32_t keyboard_key = 0, keyboard_lastkey = 0;
    std::string keyboard_lastchar, keyboard_string;
    int32_t mouse_button = 0, mouse_lastbutton = 0;
    double mouse_x = 0, mouse_y = 0;  // room position at the last mouse phase or move
    int window_x = 0, window_y = 0;   // the mouse in the window's client area
    std::array<bool, 256> key_held{}, key_pressed{}, key_released{};
    std::array<bool, 4> button_held{}, button_pressed{}, button_released{};
    bool wheel_up = false, wheel_down = false;

    // Forgets keys, buttons and text; the mouse keeps its place.
    void clear();
};

// Game state that is not tied to a room. The transition request itself is
// ScriptState::transition, which fatal errors set.
struct GameState {
    bool running = false;
    bool paused = false;
    int32_t transition_kind = 0;
    std::string load_file;
    bool automatic_draw = true;
    int32_t score = 0;
    int32_t lives = -1;
    double health = 100;
    int32_t cursor_sprite = -1;
    int32_t cursor_frame = 0;
    int32_t fps = 0;
    bool show_score = true, show_lives = true, show_health = true;
    bool show_score_assigned = false;
    std::string caption_score = "Score: ", caption_lives = "Lives: ", caption_health = "Health: ";
    long long steps_done = 0;
    int32_t view_current = 0;
    InputState input;
    bool active = true;  // the application has the focus
};

// Per (type, number): the objects (ascending) that have the event directly or
// through a parent.
struct EventLists {
    std::array<std::vector<std::vector<int32_t>>, kEventTypeCount> lists;
    std::vector<std::pair<int32_t, int32_t>> collision_pairs;
    const std::vector<int32_t>& at(int32_t type, int32_t number) const;
};

// The language's view of the room: the current room's lists, or an empty one
// while no room is current.
class WorldScriptView final : public IScriptWorld {
public:
    explicit WorldScriptView(const RoomInstances& list);
    // The room became current (set_current_room keeps this in step).
    void show(const RoomInstances& list) { m_list = &list; }
    int count() const override { return m_list->count(); }
    CInstance* at(int pos) const override { return m_list->at(pos); }
    int object_count(int32_t object_index) const override;
    CInstance* object_at(int32_t object_index, int pos) const override;
    CInstance* find_live_id(int32_t id) const override { return m_list->find_id(id); }
    CInstance* make_detached() override;
    void release_detached(CInstance* inst) override;

private:
    const RoomInstances* m_list;
};

struct WorldState {
    WorldState() : script_view(no_room) {}
    WorldState(const WorldState&) = delete;
    WorldState& operator=(const WorldState&) = delete;

    std::vector<std::unique_ptr<CObject>> objects;
    std::vector<std::string> library_init;
    std::vector<std::unique_ptr<CRoom>> rooms;  // templates
    std::vector<int32_t> room_order;
    std::vector<std::unique_ptr<CTimeLine>> timelines;
    int32_t last_instance_id = 100000;
    int32_t last_tile_id = 10000000;

    std::vector<std::unique_ptr<CRoom>> working;    // working copies by room index
    std::vector<std::unique_ptr<CInstance>> carry;  // persistent instances between rooms
    int32_t room_index = -1;
    CRoom* current = nullptr;
    RoomInstances no_room;  // seen while no room is current

    GameState game;
    EventLists lists;
    // The boxes of the current room's instances, for the collision queries.
    BoxGrid grid;
    WorldScriptView script_view;
};

extern const Subsystem kWorldSubsystem;

// The instances scripts see: the current room's.
RoomInstances& room_instances(WorldState& w);
const RoomInstances& room_instances(const WorldState& w);
bool transition_pending(const Runtime& r);

// Runs f(inst) for each instance of a list that the code f runs may change
// (events create and destroy instances): the list is read again at every
// position, and positions past its first length are not visited. f answers
// false to stop.
template <class List, class F>
void for_each_listed(List&& list_now, F&& f) {
    const size_t n = list_now().size();
    for (size_t k = 0; k < n; ++k) {
        const auto& list = list_now();
        if (k >= list.size()) return;
        if (!f(&*list[k])) return;
    }
}
// The same, skipping destroyed instances.
template <class List, class F>
void for_each_live(List&& list_now, F&& f) {
    for_each_listed(list_now, [&](CInstance* inst) { return inst->destroyed() || f(inst); });
}

}  // namespace kx
