#pragma once
// Rooms: their layers, views, tiles and instances, and their records in the
// game data and in save files.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "world/instance_main.h"

namespace kx {

class CStream;
struct Runtime;
struct WorldState;

struct CBack {
    bool visible = false;
    bool foreground = false;
    int32_t index = -1;
    double x = 0, y = 0;
    bool htiled = true, vtiled = true;
    double hspeed = 0, vspeed = 0;
    double xscale = 1, yscale = 1;
    int32_t blend = 16777215;
    double alpha = 1;
};

struct CView {
    bool visible = false;
    int32_t xview = 0, yview = 0, wview = 640, hview = 480;
    int32_t xport = 0, yport = 0, wport = 640, hport = 480;
    double angle = 0;
    int32_t hborder = 32, vborder = 32;
    int32_t hspeed = -1, vspeed = -1;
    int32_t object = -1;
};

struct RTile {
    double x = 0, y = 0;
    int32_t background = -1;
    int32_t left = 0, top = 0, width = 0, height = 0;
    double depth = 0;
    int32_t id = 0;
    double xscale = 1, yscale = 1;
    int32_t blend = 16777215;
    double alpha = 1;
    bool visible = true;
};

// The room record of the game data as stored (kxpack reads and writes it;
// the runner turns it into a CRoom).
struct RoomRecord {
    struct Layer {
        bool visible = false, foreground = false;
        int32_t index = -1, x = 0, y = 0;
        bool htiled = true, vtiled = true;
        int32_t hspeed = 0, vspeed = 0;
        bool stretch = false;
    };
    struct View {
        bool visible = false;
        int32_t xview = 0, yview = 0, wview = 640, hview = 480;
        int32_t xport = 0, yport = 0, wport = 640, hport = 480;
        int32_t hborder = 32, vborder = 32, hspeed = -1, vspeed = -1, object = -1;
    };
    struct Instance {
        int32_t x = 0, y = 0, object = 0, id = 0;
        std::string code;
    };
    struct Tile {
        int32_t x = 0, y = 0, background = -1, left = 0, top = 0, width = 0, height = 0;
        int32_t depth = 0, id = 0;
    };
    std::string name;
    std::string caption;
    int32_t width = 640, height = 480, speed = 30;
    bool persistent = false;
    int32_t color = 12632256;
    bool show_color = true;
    std::string code;
    std::array<Layer, 8> layers;
    bool views_enabled = false;
    std::array<View, 8> views;
    std::vector<Instance> instances;
    std::vector<Tile> tiles;
};

constexpr int32_t kRoomRecordVersion = 541;
constexpr int32_t kRoomListVersion = 420;
constexpr int32_t kRoomSaveVersion = 540;

bool read_room_record(CStream& s, RoomRecord& r);
void write_room_record(CStream& s, const RoomRecord& r);

// The rooms section: the list and the two counters.
struct RoomSection {
    std::vector<std::shared_ptr<RoomRecord>> rooms;
    int32_t last_instance_id = 100000;
    int32_t last_tile_id = 10000000;
};
bool read_room_section(CStream& s, RoomSection& out);
void write_room_section(CStream& s, const RoomSection& in);

class CRoom {
public:
    std::string name;
    std::string caption;
    int32_t width = 640, height = 480, speed = 30;
    bool persistent = false;
    int32_t color = 12632256;
    bool show_color = true;
    std::string code;
    std::array<CBack, 8> backs;
    bool views_enabled = false;
    std::array<CView, 8> views;
    RoomInstances instances;
    std::vector<RTile> tiles;
    int32_t last_found_tile = -1;

    // Replaces everything with a deep copy of source.
    void copy_from(Runtime& r, const CRoom& source);
    void scroll_backgrounds();
    // Tiles (the room drawing uses these).
    // Takes the next tile id (counting on last_tile_id); answers it.
    int32_t add_tile(RTile t, int32_t& last_tile_id);
    int find_tile(int32_t id);  // position, or -1
};

// A template from the game data record; instances are made as at creation.
std::unique_ptr<CRoom> room_from_record(Runtime& r, const RoomRecord& record);

// Save-file record of a working copy.
void write_room(CStream& s, const CRoom& room);
// Null for a bad record; throws StreamError when truncated.
std::unique_ptr<CRoom> read_room(const WorldState& w, CStream& s);

}  // namespace kx
