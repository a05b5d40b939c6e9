#pragma once
// The graphics start-up, the end of every frame (present, the vertical-blank
// wait, room transitions, frame dumps), device resets and screen read-back.
#include <optional>
#include <string>

#include "image/bitmap32.h"

namespace kx {

struct Runtime;
class FunctionTable;

// Creates the game window and the drawing device from the game settings (and
// the run's full screen, scale and frame-dump options) and makes every
// resource texture. False after its message was shown.
bool prepare_graphics(Runtime& r);
// A new back buffer of the display mode's size; surfaces are gone, render
// states are applied again, and every subsystem hears of the reset. False
// when there is no device or it failed.
bool reset_drawing_device(Runtime& r);

bool begin_frame(Runtime& r);
void present_frame(Runtime& r);
// Kinds 1..13 present the new frame in 80 parts; others as present_frame.
void present_transition(Runtime& r, int kind);
// Presents again without ending the frame (window repaint, screen_refresh).
void represent_frame(Runtime& r);
void wait_vertical_blank(Runtime& r);

// Source (s) and destination (d) rectangle of transition part i (1..80) as
// fractions of the region and of its placement.
struct TransitionFractions {
    double sl, sr, st, sb, dl, dr, dt, db;
};
TransitionFractions transition_fractions(int kind, int i);
// Parts 1..parts of a transition, without the final whole frame (tests).
void present_transition_parts(Runtime& r, int kind, int parts);

// The drawing region's size for the device, cut to the display mode.
void set_drawing_region_size(Runtime& r, int width, int height);
// Sizes the region for the current room (room start, after a load).
void size_region_for_room(Runtime& r);

// A rectangle of the drawing region, or nothing when it is empty.
std::optional<CBitmap32> grab_screen(Runtime& r, int x, int y, int w, int h);
// The game colour of a drawing-region pixel (0 outside or without a device).
int32_t screen_pixel(Runtime& r, int x, int y);

// The mouse in room coordinates through the view under it (mouse_x, mouse_y).
void mouse_room_position(Runtime& r, double& x, double& y);

// screen_*, set_synchronization, set_automatic_draw, draw_getpixel, window_*
// and display_* built-in functions.
void register_function_display(FunctionTable& table);

}  // namespace kx
