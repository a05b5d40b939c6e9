#include "world/room_class.h"

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "sprites/sprite_state.h"
#include "world/world_state.h"

namespace kx {

namespace {

bool read_count(CStream& s, int32_t& n, size_t min_bytes) {
    n = s.read_int();
    return n >= 0 && static_cast<size_t>(n) <= s.remaining() / min_bytes;
}

}  // namespace

bool read_room_record(CStream& s, RoomRecord& r) {
    if (s.read_int() != kRoomRecordVersion) return false;
    r.caption = s.read_string();
    r.width = s.read_int();
    r.height = s.read_int();
    r.speed = s.read_int();
    r.persistent = s.read_bool();
    r.color = s.read_int();
    r.show_color = s.read_bool();
    r.code = s.read_string();
    // Always eight layers and eight views; any other count is refused.
    if (s.read_int() != 8) return false;
    for (auto& l : r.layers) {
        l.visible = s.read_bool();
        l.foreground = s.read_bool();
        l.index = s.read_int();
        l.x = s.read_int();
        l.y = s.read_int();
        l.htiled = s.read_bool();
        l.vtiled = s.read_bool();
        l.hspeed = s.read_int();
        l.vspeed = s.read_int();
        l.stretch = s.read_bool();
    }
    r.views_enabled = s.read_bool();
    if (s.read_int() != 8) return false;
    for (auto& v : r.views) {
        v.visible = s.read_bool();
        for (int32_t* f : {&v.xview, &v.yview, &v.wview, &v.hview, &v.xport, &v.yport, &v.wport,
                           &v.hport, &v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.object})
            *f = s.read_int();
    }
    int32_t n = 0;
    if (!read_count(s, n, 20)) return false;
    r.instances.resize(static_cast<size_t>(n));
    for (auto& i : r.instances) {
        i.x = s.read_int();
        i.y = s.read_int();
        i.object = s.read_int();
        i.id = s.read_int();
        i.code = s.read_string();
    }
    if (!read_count(s, n, 36)) return false;
    r.tiles.resize(static_cast<size_t>(n));
    for (auto& t : r.tiles)
        for (int32_t* f :
             {&t.x, &t.y, &t.background, &t.left, &t.top, &t.width, &t.height, &t.depth, &t.id})
            *f = s.read_int();
    return true;
}

void write_room_record(CStream& s, const RoomRecord& r) {
    s.write_int(kRoomRecordVersion);
    s.write_string(r.caption);
    s.write_int(r.width);
    s.write_int(r.height);
    s.write_int(r.speed);
    s.write_bool(r.persistent);
    s.write_int(r.color);
    s.write_bool(r.show_color);
    s.write_string(r.code);
    s.write_int(8);
    for (const auto& l : r.layers) {
        s.write_bool(l.visible);
        s.write_bool(l.foreground);
        s.write_int(l.index);
        s.write_int(l.x);
        s.write_int(l.y);
        s.write_bool(l.htiled);
        s.write_bool(l.vtiled);
        s.write_int(l.hspeed);
        s.write_int(l.vspeed);
        s.write_bool(l.stretch);
    }
    s.write_bool(r.views_enabled);
    s.write_int(8);
    for (const auto& v : r.views) {
        s.write_bool(v.visible);
        for (int32_t f : {v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport,
                          v.hborder, v.vborder, v.hspeed, v.vspeed, v.object})
            s.write_int(f);
    }
    s.write_int(static_cast<int32_t>(r.instances.size()));
    for (const auto& i : r.instances) {
        s.write_int(i.x);
        s.write_int(i.y);
        s.write_int(i.object);
        s.write_int(i.id);
        s.write_string(i.code);
    }
    s.write_int(static_cast<int32_t>(r.tiles.size()));
    for (const auto& t : r.tiles)
        for (int32_t f : {t.x, t.y, t.background, t.left, t.top, t.width, t.height, t.depth, t.id})
            s.write_int(f);
}

bool read_room_section(CStream& s, RoomSection& out) {
    out.rooms.clear();
    if (s.read_int() != kRoomListVersion) return false;
    int32_t n = 0;
    if (!read_count(s, n, 4)) return false;
    for (int32_t i = 0; i < n; ++i) {
        if (!s.read_bool()) {
            out.rooms.emplace_back();
            continue;
        }
        auto r = std::make_shared<RoomRecord>();
        r->name = s.read_string();
        if (!read_room_record(s, *r)) return false;
        out.rooms.push_back(std::move(r));
    }
    out.last_instance_id = s.read_int();
    out.last_tile_id = s.read_int();
    return true;
}

void write_room_section(CStream& s, const RoomSection& in) {
    s.write_int(kRoomListVersion);
    s.write_int(static_cast<int32_t>(in.rooms.size()));
    for (const auto& r : in.rooms) {
        s.write_bool(r != nullptr);
        if (!r) continue;
        s.write_string(r->name);
        write_room_record(s, *r);
    }
    s.write_int(in.last_instance_id);
    s.write_int(in.last_tile_id);
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
    s.write_int(kRoomSaveVersion);
    s.write_string(r.caption);
    s.write_int(r.width);
    s.write_int(r.height);
    s.write_int(r.speed);
    s.write_bool(r.persistent);
    s.write_int(r.color);
    s.write_bool(r.show_color);
    s.write_string(r.code);
    s.write_int(8);
    for (const CBack& b : r.backs) {
        s.write_bool(b.visible);
        s.write_bool(b.foreground);
        s.write_int(b.index);
        s.write_real(b.x);
        s.write_real(b.y);
        s.write_bool(b.htiled);
        s.write_bool(b.vtiled);
        for (double v : {b.xscale, b.yscale, b.hspeed, b.vspeed}) s.write_real(v);
        s.write_int(b.blend);
        s.write_real(b.alpha);
    }
    s.write_bool(r.views_enabled);
    s.write_int(8);
    for (const CView& v : r.views) {
        s.write_bool(v.visible);
        for (int32_t f : {v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport})
            s.write_int(f);
        s.write_real(v.angle);
        for (int32_t f : {v.hborder, v.vborder, v.hspeed, v.vspeed, v.object}) s.write_int(f);
    }
    for (const auto* list : {&r.instances.active(), &r.instances.deactivated()}) {
        s.write_int(static_cast<int32_t>(list->size()));
        for (const auto& i : *list) write_instance(s, *i);
    }
    s.write_int(static_cast<int32_t>(r.tiles.size()));
    for (const RTile& t : r.tiles) {
        s.write_real(t.x);
        s.write_real(t.y);
        for (int32_t f : {t.background, t.left, t.top, t.width, t.height}) s.write_int(f);
        s.write_real(t.depth);
        s.write_int(t.id);
        s.write_real(t.xscale);
        s.write_real(t.yscale);
        s.write_int(t.blend);
        s.write_real(t.alpha);
        s.write_bool(t.visible);
    }
}

std::unique_ptr<CRoom> read_room(const WorldState& w, CStream& s) {
    if (s.read_int() != kRoomSaveVersion) return nullptr;
    auto room = std::make_unique<CRoom>();
    CRoom& r = *room;
    r.caption = s.read_string();
    r.width = s.read_int();
    r.height = s.read_int();
    r.speed = s.read_int();
    r.persistent = s.read_bool();
    r.color = s.read_int();
    r.show_color = s.read_bool();
    r.code = s.read_string();
    if (s.read_int() != 8) return nullptr;
    for (CBack& b : r.backs) {
        b.visible = s.read_bool();
        b.foreground = s.read_bool();
        b.index = s.read_int();
        b.x = s.read_real();
        b.y = s.read_real();
        b.htiled = s.read_bool();
        b.vtiled = s.read_bool();
        for (double* v : {&b.xscale, &b.yscale, &b.hspeed, &b.vspeed}) *v = s.read_real();
        b.blend = s.read_int();
        b.alpha = s.read_real();
    }
    r.views_enabled = s.read_bool();
    if (s.read_int() != 8) return nullptr;
    for (CView& v : r.views) {
        v.visible = s.read_bool();
        for (int32_t* f :
             {&v.xview, &v.yview, &v.wview, &v.hview, &v.xport, &v.yport, &v.wport, &v.hport})
            *f = s.read_int();
        v.angle = s.read_real();
        for (int32_t* f : {&v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.object})
            *f = s.read_int();
    }
    for (auto* list : {&r.instances.active(), &r.instances.deactivated()}) {
        int32_t n = 0;
        // An instance record takes well over 100 bytes.
        if (!read_count(s, n, 100)) return nullptr;
        for (int32_t i = 0; i < n; ++i) list->push_back(read_instance(w, s));
    }
    int32_t n = 0;
    if (!read_count(s, n, 40)) return nullptr;
    r.tiles.resize(static_cast<size_t>(n));
    for (RTile& t : r.tiles) {
        t.x = s.read_real();
        t.y = s.read_real();
        for (int32_t* f : {&t.background, &t.left, &t.top, &t.width, &t.height}) *f = s.read_int();
        t.depth = s.read_real();
        t.id = s.read_int();
        t.xscale = s.read_real();
        t.yscale = s.read_real();
        t.blend = s.read_int();
        t.alpha = s.read_real();
        t.visible = s.read_bool();
    }
    r.instances.rebuild(w);
    return room;
}

}  // namespace kx
