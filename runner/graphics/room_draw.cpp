// The room drawing pass.
#include "graphics/room_draw.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/runtime.h"
#include "gamedata/game_settings.h"
#include "graphics/frame_main.h"
#include "graphics/graphics_state.h"
#include "graphics/texture_main.h"
#include "script/function_math.h"
#include "sprites/sprite_state.h"
#include "world/object_class.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {
namespace {

constexpr int32_t kWhite = 16777215;
constexpr double kBackgroundDepth = 12000, kForegroundDepth = -12000, kCursorDepth = -13000;
constexpr double kMaxItemDepth = 11000;

int32_t clamp_int(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int32_t>(std::clamp<int64_t>(round_even(v), INT32_MIN, INT32_MAX));
}

CInstance* followed_instance(const WorldState& w, CRoom& room, int32_t object) {
    if (object > 99999) {
        for (const auto& inst : room.instances.active())
            if (!inst->destroyed() && inst->id() == object) return inst.get();
        return nullptr;
    }
    if (!object_exists(w, object)) return nullptr;
    for (CInstance* inst : room.instances.family(object))
        if (!inst->destroyed()) return inst;
    return nullptr;
}

// One axis of a view following a point: the border pushes the view, the room
// holds it, the speed limits the move. 64-bit so huge fields cannot overflow.
int32_t follow_axis(int64_t pos, int64_t size, int64_t border, int64_t speed, int64_t room_size,
                    int64_t target) {
    int64_t v = pos;
    if (2 * border < size) {
        if (target - border < v)
            v = target - border;
        else if (v + size < target + border)
            v = target + border - size;
    } else {
        v = target - size / 2;
    }
    if (v < 0) v = 0;
    if (v + size > room_size) v = room_size - size;
    if (speed >= 0) v = std::clamp(v, pos - speed, pos + speed);
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

void draw_backgrounds(GraphicsState& g, const BackgroundList& backgrounds, const CRoom& room,
                      bool foreground, double left, double top, double right, double bottom) {
    g.device.set_draw_depth(foreground ? kForegroundDepth : kBackgroundDepth);
    const TileArea area{left, top, right - left, bottom - top};
    for (const CBack& b : room.backs) {
        if (!b.visible || b.foreground != foreground) continue;
        if (const CBackground* bg = backgrounds.get(b.index))
            background_draw_tiled(g, *bg, b.htiled, b.vtiled, b.x, b.y, b.xscale, b.yscale, b.blend,
                                  b.alpha, area);
    }
}

void draw_tile(GraphicsState& g, const BackgroundList& backgrounds, const RTile& t, double left,
               double top, double right, double bottom) {
    g.device.set_draw_depth(std::min(t.depth, kMaxItemDepth));
    const CBackground* bg = backgrounds.get(t.background);
    if (!bg) return;
    if (t.x > right || t.y > bottom || t.x + t.width * t.xscale < left ||
        t.y + t.height * t.yscale < top)
        return;
    background_draw_part(g, *bg, t.left, t.top, t.width, t.height, t.x, t.y, t.xscale, t.yscale,
                         t.blend, t.alpha);
}

void draw_instance(Runtime& r, GraphicsState& g, const SpriteList& sprites, CInstance& inst) {
    g.device.set_draw_depth(std::min(inst.depth, kMaxItemDepth));
    if (find_event(r.get<WorldState>(), inst.object_index(), ev::Draw, 0)) {
        perform_event(r, &inst, &inst, inst.object_index(), ev::Draw, 0);
        return;
    }
    const CSprite* s = sprites.get(inst.sprite_index);
    if (!s) return;
    const double f = std::floor(inst.image_index);
    const int64_t sub = std::isfinite(f) ? static_cast<int64_t>(std::clamp(f, -1e15, 1e15)) : 0;
    if (inst.image_xscale != 1 || inst.image_yscale != 1 || inst.image_angle != 0 ||
        inst.image_blend != kWhite || inst.image_alpha != 1)
        sprite_draw_ext(g, *s, sub, inst.x, inst.y, inst.image_xscale, inst.image_yscale,
                        inst.image_angle, inst.image_blend, inst.image_alpha);
    else
        sprite_draw(g, *s, sub, inst.x, inst.y);
}

}  // namespace

void sort_tiles_by_depth(CRoom& room) {
    std::vector<RTile>& t = room.tiles;
    bool ordered = true;
    for (size_t i = 1; i < t.size() && ordered; ++i) ordered = !(t[i].depth > t[i - 1].depth);
    if (ordered) return;
    for (size_t i = 1; i < t.size(); ++i) {
        RTile moving = t[i];
        size_t j = i;
        for (; j > 0 && moving.depth > t[j - 1].depth; --j) t[j] = t[j - 1];
        t[j] = moving;
    }
    room.last_found_tile = -1;
}

RegionSize region_size_for_room(const CRoom& room, int screen_width, int screen_height) {
    int64_t w = room.width, h = room.height;
    if (room.views_enabled) {
        w = h = 8;
        for (const CView& v : room.views) {
            if (!v.visible) continue;
            w = std::max(w, int64_t(v.xport) + v.wport);
            h = std::max(h, int64_t(v.yport) + v.hport);
        }
    }
    // A room of no size still gets one pixel, so the device has a region.
    w = std::clamp<int64_t>(w, 1, std::max(1, screen_width));
    h = std::clamp<int64_t>(h, 1, std::max(1, screen_height));
    return {static_cast<int>(w), static_cast<int>(h)};
}

void follow_views(Runtime& r) {
    const WorldState* w = r.find<WorldState>();
    CRoom* room = w ? w->current : nullptr;
    if (!room || !room->views_enabled) return;
    for (CView& v : room->views) {
        if (!v.visible) continue;
        CInstance* inst = followed_instance(*w, *room, v.object);
        if (!inst) continue;
        const int32_t nx =
            follow_axis(v.xview, v.wview, v.hborder, v.hspeed, room->width, clamp_int(inst->x));
        const int32_t ny =
            follow_axis(v.yview, v.hview, v.vborder, v.vspeed, room->height, clamp_int(inst->y));
        v.xview = nx;
        v.yview = ny;
    }
}

void draw_view_contents(Runtime& r, double left, double top, double right, double bottom) {
    GraphicsState& g = r.get<GraphicsState>();
    WorldState& world = r.get<WorldState>();
    const SpriteState& res = r.get<SpriteState>();
    CRoom& room = *world.current;
    IDrawDevice* dev = g.device.device();
    // Outside 3D mode nothing tests depth, so clearing it always is harmless.
    dev->clear(false, true, 0);
    if (room.show_color) dev->clear(true, false, to_device_color(room.color, 1));
    draw_backgrounds(g, res.backgrounds, room, false, left, top, right, bottom);

    // Tiles, instances and the subsystems' depth items merged by decreasing
    // depth; on equal depth an item goes first, then the instance, then the
    // tile. Indices are rechecked each round because draw events may add or
    // remove instances and tiles.
    std::vector<DepthItem> items;  // local: a draw event may start another pass
    for (const Subsystem* sub : r.subsystems())
        if (sub->draw_items) sub->draw_items(r, items);
    std::stable_sort(items.begin(), items.end(),
                     [](const DepthItem& a, const DepthItem& b) { return a.depth > b.depth; });
    RoomInstances& list = room.instances;
    size_t t = 0, d = 0;
    int i = 0;
    for (;;) {
        const bool has_inst = i < list.count();
        const bool has_tile = t < room.tiles.size();
        const bool has_item = d < items.size();
        if (!has_inst && !has_tile && !has_item) break;
        if (has_inst && (list.at(i)->destroyed() || !list.at(i)->visible)) {
            ++i;
            continue;
        }
        if (has_tile && !room.tiles[t].visible) {
            ++t;
            continue;
        }
        if (has_item && (!has_inst || items[d].depth >= list.at(i)->depth) &&
            (!has_tile || items[d].depth >= room.tiles[t].depth)) {
            const DepthItem item = items[d++];
            g.device.set_draw_depth(std::min(item.depth, kMaxItemDepth));
            item.draw(r, item.item);
        } else if (!has_inst || (has_tile && room.tiles[t].depth > list.at(i)->depth)) {
            const RTile tile = room.tiles[t++];
            draw_tile(g, res.backgrounds, tile, left, top, right, bottom);
        } else {
            draw_instance(r, g, res.sprites, *list.at(i++));
        }
        // A draw event may have changed rooms' contents but never the current
        // room pointer mid-pass; stop if it somehow did.
        if (world.current != &room) return;
    }

    draw_backgrounds(g, res.backgrounds, room, true, left, top, right, bottom);
    // The cursor sprite is drawn at the mouse through the view under it.
    const GameState& game = world.game;
    if (const CSprite* s = res.sprites.get(game.cursor_sprite)) {
        double mx, my;
        mouse_room_position(r, mx, my);
        g.device.set_draw_depth(kCursorDepth);
        sprite_draw_ext(g, *s, game.cursor_frame, mx, my, 1, 1, 0, kWhite, 1);
    }
}

std::string room_window_caption(const Runtime& r) {
    const WorldState* w = r.find<WorldState>();
    if (!w || !w->current) return {};
    const GameState& game = w->game;
    std::string caption = w->current->caption;
    if (game.show_score && (game.show_score_assigned || game.score > 0))
        caption += " " + game.caption_score + std::to_string(game.score);
    if (game.show_lives) caption += " " + game.caption_lives + std::to_string(game.lives);
    if (game.show_health) {
        const double h = std::isfinite(game.health) ? std::clamp(game.health, -1e15, 1e15) : 0;
        caption += " " + game.caption_health + std::to_string(round_even(h));
    }
    return caption;
}

void register_views(Runtime& r) {
    const WorldState* world = r.find<WorldState>();
    GraphicsState* g = r.find<GraphicsState>();
    if (!world || !world->current || !g) return;
    const CRoom& room = *world->current;
    WindowState& w = g->window;
    for (int k = 0; k < 8; ++k) {
        w.clear_view(k);
        const CView& v = room.views[static_cast<size_t>(k)];
        if (!room.views_enabled || !v.visible) continue;
        w.register_view(
            k, {true, double(v.xview), double(v.yview), double(v.wview), double(v.hview),
                double(v.xport), double(v.yport), double(v.wport), double(v.hport), v.angle});
    }
}

void draw_room_pass(Runtime& r) {
    WorldState* world = r.find<WorldState>();
    GraphicsState* gp = r.find<GraphicsState>();
    if (!world || !world->current || !gp || !gp->device.device()) return;
    follow_views(r);
    register_views(r);
    CRoom& room = *world->current;
    room.instances.sort_by_depth();
    sort_tiles_by_depth(room);

    GraphicsState& g = *gp;
    GraphicsDevice& device = g.device;
    GameState& game = world->game;
    if (room.views_enabled) {
        const int rw = device.region_width(), rh = device.region_height();
        device.set_viewport(0, 0, rw, rh);
        device.device()->clear(true, false, to_device_color(g.window.colour(), 1));
        for (int k = 0; k < 8; ++k) {
            // Copied: a draw event may move the view while it is drawn.
            const CView v = room.views[static_cast<size_t>(k)];
            if (!v.visible) continue;
            game.view_current = k;
            device.set_viewport(v.xport, v.yport, v.wport, v.hport);
            device.set_projection_2d(v.xview, v.yview, v.wview, v.hview, v.angle);
            const double x = v.xview, y = v.yview, w = v.wview, h = v.hview;
            if (std::abs(v.angle) < 0.01) {
                draw_view_contents(r, x, y, x + w, y + h);
            } else {
                const double hw = v.hview / 2, ww = v.wview / 2;  // integer halves
                draw_view_contents(r, x - hw, y - ww, x + w + hw, y + h + ww);
            }
            if (world->current != &room) break;
        }
        device.set_viewport(0, 0, rw, rh);
        device.set_projection_2d(0, 0, rw, rh, 0);
    } else {
        game.view_current = 0;
        device.set_viewport(0, 0, room.width, room.height);
        device.set_projection_2d(0, 0, room.width, room.height, 0);
        draw_view_contents(r, 0, 0, room.width, room.height);
    }
    if (world->current == &room) g.window.set_caption(room_window_caption(r));
    game.view_current = 0;
}

}  // namespace kx
