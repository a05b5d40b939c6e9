#pragma once
// The game window around the drawing region: window state and its rules, the
// region size and scale, the placement of the scaled region in the window,
// the virtual display mode and the mapping between window and room
// coordinates through the views.
//
// Display modes are virtual: the game sees the mode it asked for, the desktop
// never changes. In full screen the window covers the desktop, and the game's
// client area (the mode's size) is fitted into it; windowed, game and desktop
// coordinates are the same.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace kx {

struct DisplayMode {
    int width = 1024, height = 768, depth = 32, frequency = 60;
};

struct ViewRegion {
    bool used = false;
    double vx = 0, vy = 0, vw = 0, vh = 0;  // view rectangle, room coordinates
    double px = 0, py = 0, pw = 0, ph = 0;  // port rectangle, region pixels
    double angle = 0;
};

struct RegionRect {
    int x = 0, y = 0, w = 0, h = 0;
};

class WindowState {
public:
    // The window to drive (not owned; null: the state is kept all the same).
    void attach(IGameWindow* window, const DisplayMode& desktop);
    IGameWindow* window() const { return m_window; }

    // Client area in game coordinates (full screen: the mode's size at 0, 0).
    RegionRect client() const;
    // The drawing region's destination in the client area.
    RegionRect placement() const;
    // Game client coordinates to desktop-window pixels of the real window and
    // back (identity unless full screen fits a smaller mode into the desktop).
    RegionRect to_real(const RegionRect& r) const;
    void from_real(double rx, double ry, double& gx, double& gy) const;
    // The real window's client size in pixels.
    int real_width() const;
    int real_height() const;

    int region_width() const { return m_region_w; }
    int region_height() const { return m_region_h; }
    double region_scale() const { return m_scale; }
    void set_region_size(int w, int h, bool adapt);
    void set_region_scale(double scale, bool adapt);
    void window_default();
    void center();

    void set_visible(bool on);
    bool visible() const { return m_visible; }
    void set_fullscreen(bool on);
    bool fullscreen() const { return m_fullscreen; }
    void set_show_border(bool on);
    bool show_border() const { return m_border; }
    void set_show_icons(bool on);
    bool show_icons() const { return m_icons; }
    void set_sizeable(bool on);
    bool sizeable() const { return m_sizeable; }
    void set_stay_on_top(bool on);
    bool stay_on_top() const { return m_topmost; }
    void set_caption(const std::string& text);
    const std::string& caption() const { return m_caption; }
    void set_cursor(int cursor);
    int cursor() const { return m_cursor; }
    bool cursor_shown() const { return m_cursor != -1; }
    void set_colour(int32_t colour);
    int32_t colour() const { return m_colour; }
    void set_position(int x, int y);
    void set_size(int w, int h);

    // The mouse as the input last saw it, in real client pixels.
    void note_mouse(double real_x, double real_y);
    // Mouse in desktop coordinates and relative to the client area (game units).
    void mouse_screen(int& x, int& y) const;
    void mouse_client(double& x, double& y) const;
    void set_mouse_client(double x, double y);
    void set_mouse_screen(int x, int y);

    // The view region table the drawing pass fills.
    void register_view(int index, const ViewRegion& v);
    void clear_view(int index);
    const ViewRegion& view(int index) const { return m_views[static_cast<size_t>(index)]; }

    // Client point (game units) to room coordinates.
    void window_to_room(double wx, double wy, double& rx, double& ry) const;
    // Through one entry; false when the entry maps nothing.
    bool window_to_room_view(int index, double wx, double wy, double& rx, double& ry) const;
    // Through the view under the point.
    void window_to_room_views(double wx, double wy, double& rx, double& ry) const;
    // Room point seen through entry index to drawing-region pixels; false
    // when the entry maps nothing.
    bool room_to_region(int index, double x, double y, double& qx, double& qy) const;
    // Drawing-region pixel to a client point (game units).
    void region_to_client(double qx, double qy, double& cx, double& cy) const;
    int first_used_view() const;

    // The virtual display mode.
    const DisplayMode& mode() const { return m_mode; }
    const DisplayMode& desktop() const { return m_desktop; }
    // Parts greater than 0 change; false (nothing changes) when the mode
    // cannot exist.
    bool change_mode(int w, int h, int depth, int frequency);
    static bool test_mode(int w, int h, int depth, int frequency);
    static constexpr int kMaxModeSide = 8192;
    void restore_mode() { m_mode = m_desktop; }

    // Called when the window must be painted again (set by the frame code).
    std::function<void()> repaint;
    // Called after the game's client size changed (full screen, mode change).
    void apply();

private:
    void remember();
    // A window-state flag: remembered, set, applied.
    void change(bool WindowState::*flag, bool on);
    void repaint_now();
    void update_min_size();

    IGameWindow* m_window = nullptr;
    DisplayMode m_desktop, m_mode;
    RegionRect m_rect;  // remembered client rectangle (windowed)
    int m_region_w = 8, m_region_h = 8;
    double m_scale = 1;
    bool m_visible = false, m_fullscreen = false, m_border = true, m_icons = true;
    bool m_sizeable = false, m_topmost = false, m_applying = false;
    int32_t m_colour = 0;
    std::string m_caption;
    int m_cursor = 0;
    double m_mouse_x = 0, m_mouse_y = 0;  // real client pixels
    std::array<ViewRegion, 32> m_views{};
};

}  // namespace kx
