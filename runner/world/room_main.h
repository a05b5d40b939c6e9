#pragma once
// The room list, the room order, entering and leaving rooms.
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

class CStream;
class CRoom;

// Reads the rooms section (templates and the two id counters).
bool load_rooms(CStream& s);

bool room_exists(int32_t index);
std::string room_name(int32_t index);
int32_t room_find(std::string_view name);
int32_t room_first();
int32_t room_last();
int32_t room_previous(int32_t r);  // -1 when none
int32_t room_next(int32_t r);

// Makes the current room the working copy in the slot of index.
void set_current_room(int32_t index);
void enter_room(int32_t index, bool starting);
void leave_room(bool ending);

}  // namespace kx
