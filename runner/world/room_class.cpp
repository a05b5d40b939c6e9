#include "world/room_class.h"

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "gamedata/record_io.h"
#include "sprites/sprite_state.h"
#include "world/world_state.h"

namespace kx {

namespace {

// The opening fields that the game-data record and the saved room share.
template <class IO, class Room>
void room_head(IO& io, Room& r) {
    io.str(r.caption);
    io.i(r.width);
    io.i(r.height);
    io.i(r.speed);
    io.b(r.persistent);
    io.i(r.color);
    io.b(r.show_color);
    io.str(r.code);
}

template <class IO, class Room>
bool room_record(IO& io, Room& r) {
    if (!io.version(kRoomRecordVersion)) return false;
    room_head(io, r);
    // Always eight layers and eight views; any other count is refused.
    if (!io.fixed(8)) return false;
    for (auto& l : r.layers) {
        io.b(l.visible);
        io.b(l.foreground);
        io.i(l.index);
        io.i(l.x);
        io.i(l.y);
        io.b(l.htiled);
        io.b(l.vtiled);
        io.i(l.hspeed);
        io.i(l.vspeed);
        io.b(l.stretch);
    }
    io.b(r.views_enabled);
    if (!io.fixed(8)) return false;
    for (auto& v : r.views) {
        io.b(v.visible);
        for (auto* f : {&v.xview, &v.yview, &v.wview, &v.hview, &v.xport, &v.yport, &v.wport,
                        &v.hport, &v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.object})
            io.i(*f);
    }
    if (!io.list(r.instances, 20, [&](auto& i) {
            io.i(i.x);
            io.i(i.y);
            io.i(i.object);
            io.i(i.id);
            io.str(i.code);
        }))
        return false;
    return io.list(r.tiles, 36, [&](auto& t) {
        for (auto* f :
             {&t.x, &t.y, &t.background, &t.left, &t.top, &t.width, &t.height, &t.depth, &t.id})
            io.i(*f);
    });
}

template <class IO, class Section>
bool room_section(IO& io, Section& out) {
    if (!io.version(kRoomListVersion)) return false;
    if (!io.list(out.rooms, 4, [&](auto& r) {
            if (!io.slot(r)) return true;
            io.str(r->name);
            return room_record(io, *r);
        }))
        return false;
    io.i(out.last_instance_id);
    io.i(out.last_tile_id);
    return true;
}

// A saved room: the runtime's layers, views, instances and tiles, reals kept.
// Reading needs the world the instances' objects belong to.
template <class IO, class Room>
bool room_save(IO& io, Room& r, const WorldState* w) {
    if (!io.version(kRoomSaveVersion)) return false;
    room_head(io, r);
    if (!io.fixed(8)) return false;
    for (auto& b : r.backs) {
        io.b(b.visible);
        io.b(b.foreground);
        io.i(b.index);
        io.r(b.x);
        io.r(b.y);
        io.b(b.htiled);
        io.b(b.vtiled);
        for (auto* v : {&b.xscale, &b.yscale, &b.hspeed, &b.vspeed}) io.r(*v);
        io.i(b.blend);
        io.r(b.alpha);
    }
    io.b(r.views_enabled);
    if (!io.fixed(8)) return false;
    for (auto& v : r.views) {
        io.b(v.visible);
        for (auto* f :
             {&v.xview, &v.yview, &v.wview, &v.hview, &v.xport, &v.yport, &v.wport, &v.hport})
            io.i(*f);
        io.r(v.angle);
        for (auto* f : {&v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.object}) io.i(*f);
    }
    for (auto* list : {&r.instances.active(), &r.instances.deactivated()}) {
        // An instance record takes well over 100 bytes.
        if (!io.list(*list, 100, [&](auto& i) {
                if constexpr (IO::kReads)
                    i = read_instance(*w, io.s);
                else
                    write_instance(io.s, *i);
            }))
            return false;
    }
    return io.list(r.tiles, 40, [&](auto& t) {
        io.r(t.x);
        io.r(t.y);
        for (auto* f : {&t.background, &t.left, &t.top, &t.width, &t.height}) io.i(*f);
        io.r(t.depth);
        io.i(t.id);
        io.r(t.xscale);
        io.r(t.yscale);
        io.i(t.blend);
        io.r(t.alpha);
        io.b(t.visible);
    });
}

}  // namespace

bool read_room_record(CStream& s, RoomRecord& r) {
    RecordReader io{s};
    return room_record(io, r);
}

void write_room_record(CStream& s, const RoomRecord& r) {
    RecordWriter io{s};
    room_record(io, r);
}

bool read_room_section(CStream& s, RoomSection& out) {
    out.rooms.clear();
    RecordReader io{s};
    return room_section(io, out);
}

void write_room_section(CStream& s, const RoomSection& in) {
    RecordWriter io{s};
    room_section(io, in);
}

void CRoom::copy_from(Runtime& rt, const CRoom& src) {
    name = src.name;
    caption = src.caption;
    width = src.width;
    height = src.height;
    speed = src.speed;
    persistent = src.persistent;
    color = src.color;
    show_color = src.show_color;
    code = src.code;
    backs = src.backs;
    views_enabled = src.views_enabled;
    views = src.views;
    tiles = src.tiles;
    last_found_tile = -1;
    instances.clear();
    auto clone = [&rt](const CInstance& i) {
        auto c = std::make_unique<CInstance>(i.id(), i.object_index());
        copy_state(rt, *c, i);
        return c;
    };
    for (const auto& i : src.instances.active()) instances.active().push_back(clone(*i));
    for (const auto& i : src.instances.deactivated()) instances.deactivated().push_back(clone(*i));
    instances.rebuild(rt.get<WorldState>());
}

void CRoom::scroll_backgrounds() {
    for (CBack& b : backs) {
        b.x += b.hspeed;
        b.y += b.vspeed;
    }
}

int32_t CRoom::add_tile(RTile t, int32_t& last_tile_id) {
    t.id = ++last_tile_id;
    tiles.push_back(t);
    return t.id;
}

int CRoom::find_tile(int32_t id) {
    const int n = static_cast<int>(tiles.size());
    if (last_found_tile >= 0 && last_found_tile < n &&
        tiles[static_cast<size_t>(last_found_tile)].id == id)
        return last_found_tile;
    for (int i = 0; i < n; ++i)
        if (tiles[static_cast<size_t>(i)].id == id) return last_found_tile = i;
    return -1;
}

std::unique_ptr<CRoom> room_from_record(Runtime& rt, const RoomRecord& r) {
    auto room = std::make_unique<CRoom>();
    room->name = r.name;
    room->caption = r.caption;
    room->width = r.width;
    room->height = r.height;
    room->speed = r.speed;
    room->persistent = r.persistent;
    room->color = r.color;
    room->show_color = r.show_color;
    room->code = r.code;
    const BackgroundList& backgrounds = rt.get<SpriteState>().backgrounds;
    for (size_t k = 0; k < 8; ++k) {
        const auto& l = r.layers[k];
        CBack& b = room->backs[k];
        b.visible = l.visible;
        b.foreground = l.foreground;
        b.index = l.index;
        b.x = l.x;
        b.y = l.y;
        b.htiled = l.htiled;
        b.vtiled = l.vtiled;
        b.hspeed = l.hspeed;
        b.vspeed = l.vspeed;
        const CBackground* bg = backgrounds.get(l.index);
        if (l.stretch && bg) {
            if (bg->width() > 0) b.xscale = double(r.width) / bg->width();
            if (bg->height() > 0) b.yscale = double(r.height) / bg->height();
        }
    }
    room->views_enabled = r.views_enabled;
    for (size_t k = 0; k < 8; ++k) {
        const auto& v = r.views[k];
        room->views[k] =
            CView{v.visible, v.xview, v.yview,   v.wview,   v.hview,  v.xport,  v.yport, v.wport,
                  v.hport,   0.0,     v.hborder, v.vborder, v.hspeed, v.vspeed, v.object};
    }
    for (const auto& i : r.instances) {
        auto inst = make_instance(rt, i.id, i.object, i.x, i.y);
        inst->creation_code = i.code;
        room->instances.active().push_back(std::move(inst));
    }
    for (const auto& t : r.tiles) {
        RTile tile;
        tile.x = t.x;
        tile.y = t.y;
        tile.background = t.background;
        tile.left = t.left;
        tile.top = t.top;
        tile.width = t.width;
        tile.height = t.height;
        tile.depth = t.depth;
        tile.id = t.id;
        room->tiles.push_back(tile);
    }
    room->instances.rebuild(rt.get<WorldState>());
    return room;
}

void write_room(CStream& s, const CRoom& r) {
    RecordWriter io{s};
    room_save(io, r, nullptr);
}

std::unique_ptr<CRoom> read_room(const WorldState& w, CStream& s) {
    auto room = std::make_unique<CRoom>();
    RecordReader io{s};
    if (!room_save(io, *room, &w)) return nullptr;
    room->instances.rebuild(w);
    return room;
}

}  // namespace kx
