#pragma once
// The room list, the room order, entering and leaving rooms.
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

class CStream;
class CRoom;
struct Runtime;
struct WorldState;

// Reads the rooms section (templates and the two id counters).
bool load_rooms(Runtime& r, CStream& s);

bool room_exists(const WorldState& w, int32_t index);
std::string room_name(const WorldState& w, int32_t index);
int32_t room_find(const WorldState& w, std::string_view name);
int32_t room_first(const WorldState& w);
int32_t room_last(const WorldState& w);
int32_t room_previous(const WorldState& w, int32_t room);  // -1 when none
int32_t room_next(const WorldState& w, int32_t room);

// Makes the current room the working copy in the slot of index.
void set_current_room(Runtime& r, int32_t index);
void enter_room(Runtime& r, int32_t index, bool starting);
void leave_room(Runtime& r, bool ending);

}  // namespace kx
