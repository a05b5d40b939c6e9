#pragma once
// Geometry of the loading window: the client area takes the picture's size and
// the bar sits near its bottom edge.
#include "platform/platform.h"

namespace kx {

struct LoadWindowLayout {
    int client_w = 0, client_h = 0;
    int left = 0, top = 0;                                 // window position on the screen
    int bar_left = 24, bar_top = 0, bar_w = 0, bar_h = 0;  // background bar
    int front_top = 0, front_h = 0;
    int label_top = 0;
};

// A window without a picture takes this default size.
constexpr int kDefaultLoadWidth = 320;
constexpr int kDefaultLoadHeight = 80;

inline LoadWindowLayout layout_load_window(const LoadWindowSpec& s, int screen_w, int screen_h) {
    LoadWindowLayout l;
    l.client_w = s.picture ? s.picture->width : kDefaultLoadWidth;
    l.client_h = s.picture ? s.picture->height : kDefaultLoadHeight;
    // Halves rounded toward zero, as integer division in C++ does.
    l.left = (screen_w - l.client_w) / 2;
    l.top = (screen_h - l.client_h) / 2;
    l.bar_top = l.client_h - 32;
    l.bar_w = l.client_w - 2 * l.bar_left;
    l.bar_h = s.bar_back ? s.bar_back->height : 16;
    l.front_top = l.client_h - 30;
    l.front_h = s.bar_front ? s.bar_front->height : 12;
    l.label_top = l.client_h - 32;
    return l;
}

}  // namespace kx
