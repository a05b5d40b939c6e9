#pragma once
// Three small sections at the end of the game data: the game information page,
// the action libraries' initialisation code, and the room order.
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

class CStream;

struct GameInformation {
    int32_t background_color = 0xFFFFFF;
    bool over_game_window = false;
    std::string caption = "Game Information";
    int32_t left = -1, top = -1, width = 587, height = 367;
    bool border = true;
    bool sizeable = true;
    bool stay_on_top = false;
    bool pause_game = true;
    std::string text;   // rich text (RTF)
};
constexpr int32_t kGameInfoVersion = 600;
bool read_game_information(CStream& s, GameInformation& out);
void write_game_information(CStream& s, const GameInformation& in);

constexpr int32_t kLibraryInitVersion = 500;
bool read_library_init(CStream& s, std::vector<std::string>& out);
void write_library_init(CStream& s, const std::vector<std::string>& in);

constexpr int32_t kRoomOrderVersion = 540;
// The count must be above 0.
bool read_room_order(CStream& s, std::vector<int32_t>& out);
void write_room_order(CStream& s, const std::vector<int32_t>& in);

}  // namespace kx
