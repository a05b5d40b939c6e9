#pragma once
// Game control: room changes, end, restart, save and load.
#include <cstdint>
#include <string>

namespace kx {

class FunctionTable;
class CStream;
struct Runtime;

// Writes the save file through a temporary file renamed over fname.
bool save_game(Runtime& r, const std::string& fname);
// Reads and checks the whole file before anything of the game changes.
bool load_game(Runtime& r, const std::string& fname);
// The save file of the F5 and F6 keys.
std::string default_save_name(const Runtime& r);
// The save-file image of the running game: the world's record, then the
// chunks of the subsystems that keep any.
void write_save(Runtime& r, CStream& s);

// room_goto: a change to an existing room, else the fatal error and abort.
void request_room(Runtime& r, int32_t room);

void register_function_game(FunctionTable& table);

}  // namespace kx
