#pragma once
// The state of the game world, owned by Runtime::world.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "world/instance_main.h"
#include "world/object_class.h"
#include "world/room_class.h"
#include "world/timeline_class.h"

namespace kx {

struct Runtime;

// What the world asks of subsystems that have not landed here (sprites,
// backgrounds, collision boxes, drawing). An empty slot gives the answer of
// a game without those resources.
struct WorldHooks {
    std::function<bool(int32_t sprite)> sprite_exists;
    std::function<int(int32_t sprite)> sprite_image_count;  // 0 for none
    // 0 width, 1 height, 2 x origin, 3 y origin of a sprite (0 for none).
    std::function<double(int32_t sprite, int which)> sprite_metric;
    std::function<void(CInstance&)> compute_bbox;
    std::function<int(int32_t background, bool height)> background_size;
    std::function<void()> draw_room;
    std::function<void(int32_t kind)> present;
    // Step parts owned by the input, motion and collision subsystems. Each
    // returns early when a transition becomes pending.
    std::function<void()> input_events;        // keyboard, joystick, mouse events
    std::function<void()> input_step_end;      // clear pressed/released states
    std::function<void(CInstance&)> move_instance;  // friction, gravity, path, position
    std::function<void()> boundary_events;     // outside-room and boundary
    std::function<void()> collision_events;
    // Whether room point (x, y) lies in the instance's collision shape.
    std::function<bool(CInstance&, double x, double y)> point_in_instance;
    // Window client coordinates to room coordinates through the view under
    // the point (mouse_x, mouse_y).
    std::function<void(int wx, int wy, double& rx, double& ry)> window_to_room;
    std::function<void()> toggle_fullscreen;   // the F4 key
    // After the loop processed window messages (replayed input arrives here).
    std::function<void()> input_messages;
    // The window's system cursor (cr_* numbers; -1 none) at game start and end.
    std::function<void(int32_t cursor)> set_window_cursor;
    // Sizes the drawing region for the current room (room start, after a load).
    std::function<void()> size_region;
};

// What the input handlers record; cleared on entering a room. Keys are
// indexed by their mapped key 0..255, buttons by 1..3 (slot 0 unused).
struct InputState {
    int32_t keyboard_key = 0, keyboard_lastkey = 0;
    std::string keyboard_lastchar, keyboard_string;
    int32_t mouse_button = 0, mouse_lastbutton = 0;
    double mouse_x = 0, mouse_y = 0;  // room position at the last mouse phase or move
    std::array<bool, 256> key_held{}, key_pressed{}, key_released{};
    std::array<bool, 4> button_held{}, button_pressed{}, button_released{};
    bool wheel_up = false, wheel_down = false;
};

// Game state that is not tied to a room. The transition request itself is
// ScriptState::transition_request, which fatal errors set.
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
    long long step_limit = -1;  // end the game after this many steps
    int32_t view_current = 0;
    InputState input;
    std::optional<uint64_t> fixed_seed;  // --seed: every game start uses it
    bool active = true;
    int32_t game_id = 0;
    std::string temp_directory;  // the application has the focus
};

// Per (type, number): the objects (ascending) that have the event directly or
// through a parent.
struct EventLists {
    std::array<std::vector<std::vector<int32_t>>, kEventTypeCount> lists;
    std::vector<std::pair<int32_t, int32_t>> collision_pairs;
    const std::vector<int32_t>& at(int32_t type, int32_t number) const;
};

struct WorldState {
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
    WorldHooks hooks;
};

WorldState& world();
// Creates rt.world, registers the world's built-in functions and variables,
// and connects the script state's names and finders. After init_script.
void init_world(Runtime& rt);
// The instances scripts see: the current room's.
RoomInstances& room_instances();
bool transition_pending();

}  // namespace kx
