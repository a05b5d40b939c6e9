#include "gamedata/game_info.h"

#include "gamedata/cstream.h"
#include "gamedata/record_io.h"

namespace kx {

namespace {

template <class IO, class Info>
bool game_information_record(IO& io, Info& g) {
    if (!io.version(kGameInfoVersion)) return false;
    io.i(g.background_color);
    io.b(g.over_game_window);
    io.str(g.caption);
    io.i(g.left);
    io.i(g.top);
    io.i(g.width);
    io.i(g.height);
    io.b(g.border);
    io.b(g.sizeable);
    io.b(g.stay_on_top);
    io.b(g.pause_game);
    io.compressed(g.text);
    return true;
}

template <class IO, class List>
bool library_init_record(IO& io, List& texts) {
    if (!io.version(kLibraryInitVersion)) return false;
    return io.list(texts, 4, [&](auto& t) { io.str(t); });
}

template <class IO, class List>
bool room_order_record(IO& io, List& rooms) {
    if (!io.version(kRoomOrderVersion)) return false;
    int32_t n = static_cast<int32_t>(rooms.size());
    if (!io.count(n, 4)) return false;
    if constexpr (IO::kReads) {
        if (n == 0) return false;
        rooms.resize(static_cast<size_t>(n));
    }
    for (auto& r : rooms) io.i(r);
    return true;
}

}  // namespace

bool read_game_information(CStream& s, GameInformation& g) {
    RecordReader r{s};
    return game_information_record(r, g);
}

void write_game_information(CStream& s, const GameInformation& g) {
    RecordWriter w{s};
    game_information_record(w, g);
}

bool read_library_init(CStream& s, std::vector<std::string>& out) {
    out.clear();
    RecordReader r{s};
    return library_init_record(r, out);
}

void write_library_init(CStream& s, const std::vector<std::string>& in) {
    RecordWriter w{s};
    library_init_record(w, in);
}

bool read_room_order(CStream& s, std::vector<int32_t>& out) {
    out.clear();
    RecordReader r{s};
    return room_order_record(r, out);
}

void write_room_order(CStream& s, const std::vector<int32_t>& in) {
    RecordWriter w{s};
    room_order_record(w, in);
}

}  // namespace kx
