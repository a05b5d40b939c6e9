#pragma once
// Drawing the current room once per step: views that follow an instance,
// the background colour, background layers, tiles and instances merged by
// depth, draw events, foregrounds and the cursor sprite.
#include <string>

namespace kx {

struct Runtime;
class CRoom;
class FunctionTable;

// Moves every visible view that follows an instance (only with views on).
void follow_views(Runtime& r);
// Fills the window's view region table from the room's visible views.
void register_views(Runtime& r);
// Sorts the active instances and the tiles by decreasing depth (stable),
// then draws one view's contents: the room rectangle (left, top)-(right, bottom)
// under the projection already set.
void draw_view_contents(Runtime& r, double left, double top, double right, double bottom);
// The whole pass over the current room; nothing without a room or a device.
void draw_room_pass(Runtime& r);
// The window caption the pass asks for: the room caption with score, lives
// and health as the game shows them.
std::string room_window_caption(const Runtime& r);
// The drawing region a room asks for: with views on, the extent of the
// visible ports (at least 8 each way), else the room; cut to the screen.
struct RegionSize {
    int width = 0, height = 0;
};
RegionSize region_size_for_room(const CRoom& room, int screen_width, int screen_height);
// Stable insertion sort of the tile list by decreasing depth, skipped when in order.
void sort_tiles_by_depth(CRoom& room);

// tile_* built-in functions.
void register_function_tile(FunctionTable& table);

}  // namespace kx
