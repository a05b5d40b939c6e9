#include "gamedata/game_info.h"

#include "gamedata/cstream.h"

namespace kx {

bool read_game_information(CStream& s, GameInformation& g) {
    if (s.read_int() != kGameInfoVersion) return false;
    g.background_color = s.read_int();
    g.over_game_window = s.read_bool();
    g.caption = s.read_string();
    g.left = s.read_int();
    g.top = s.read_int();
    g.width = s.read_int();
    g.height = s.read_int();
    g.border = s.read_bool();
    g.sizeable = s.read_bool();
    g.stay_on_top = s.read_bool();
    g.pause_game = s.read_bool();
    CStream text = s.read_compressed();
    g.text.assign(reinterpret_cast<const char*>(text.bytes().data()), text.size());
    return true;
}

void write_game_information(CStream& s, const GameInformation& g) {
    s.write_int(kGameInfoVersion);
    s.write_int(g.background_color);
    s.write_bool(g.over_game_window);
    s.write_string(g.caption);
    s.write_int(g.left);
    s.write_int(g.top);
    s.write_int(g.width);
    s.write_int(g.height);
    s.write_bool(g.border);
    s.write_bool(g.sizeable);
    s.write_bool(g.stay_on_top);
    s.write_bool(g.pause_game);
    s.write_compressed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(g.text.data()), g.text.size()));
}

bool read_library_init(CStream& s, std::vector<std::string>& out) {
    out.clear();
    if (s.read_int() != kLibraryInitVersion) return false;
    int32_t n = s.read_int();
    if (n < 0 || static_cast<size_t>(n) > s.remaining() / 4) return false;
    for (int32_t i = 0; i < n; ++i) out.push_back(s.read_string());
    return true;
}

void write_library_init(CStream& s, const std::vector<std::string>& in) {
    s.write_int(kLibraryInitVersion);
    s.write_int(static_cast<int32_t>(in.size()));
    for (const auto& t : in) s.write_string(t);
}

bool read_room_order(CStream& s, std::vector<int32_t>& out) {
    out.clear();
    if (s.read_int() != kRoomOrderVersion) return false;
    int32_t n = s.read_int();
    if (n <= 0 || static_cast<size_t>(n) > s.remaining() / 4) return false;
    for (int32_t i = 0; i < n; ++i) out.push_back(s.read_int());
    return true;
}

void write_room_order(CStream& s, const std::vector<int32_t>& in) {
    s.write_int(kRoomOrderVersion);
    s.write_int(static_cast<int32_t>(in.size()));
    for (int32_t r : in) s.write_int(r);
}

}  // namespace kx
