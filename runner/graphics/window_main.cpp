#include "graphics/window_main.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "script/function_math.h"

namespace kx {

namespace {

int iround(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(std::clamp<int64_t>(round_even(v), INT_MIN / 2, INT_MAX / 2));
}

// The factor of a non-zero region scale for a client of cw x ch (0 when the
// region or the client has no size).
double placement_factor(double scale, int cw, int ch, int rw, int rh) {
    if (scale > 0) return scale;
    if (rw <= 0 || rh <= 0) return 0;
    return std::min(static_cast<double>(ch) / rh, static_cast<double>(cw) / rw);
}

}  // namespace

void WindowState::attach(IGameWindow* window, const DisplayMode& desktop) {
    m_window = window;
    m_desktop = desktop;
    m_mode = desktop;
    if (!m_window) return;
    // A user resize is remembered like any other change of the window.
    m_window->set_repaint_handler([this] {
        remember();
        repaint_now();
    });
    apply();
}

RegionRect WindowState::client() const {
    if (m_fullscreen) return {0, 0, m_mode.width, m_mode.height};
    if (m_window) {
        const WindowRect r = m_window->client_rect();
        return {r.x, r.y, r.w, r.h};
    }
    return m_rect;
}

int WindowState::real_width() const {
    return m_window ? m_window->client_rect().w : client().w;
}
int WindowState::real_height() const {
    return m_window ? m_window->client_rect().h : client().h;
}

RegionRect WindowState::placement() const {
    const RegionRect c = client();
    if (m_scale == 0) return {0, 0, c.w, c.h};
    const double s = placement_factor(m_scale, c.w, c.h, m_region_w, m_region_h);
    const int w = iround(m_region_w * s), h = iround(m_region_h * s);
    return {(c.w - w) / 2, (c.h - h) / 2, w, h};
}

RegionRect WindowState::to_real(const RegionRect& r) const {
    if (!m_fullscreen || m_mode.width <= 0 || m_mode.height <= 0) return r;
    const int rw = real_width(), rh = real_height();
    const double s =
        std::min(static_cast<double>(rw) / m_mode.width, static_cast<double>(rh) / m_mode.height);
    const double ox = (rw - m_mode.width * s) / 2, oy = (rh - m_mode.height * s) / 2;
    const int x0 = iround(ox + r.x * s), y0 = iround(oy + r.y * s);
    const int x1 = iround(ox + (r.x + r.w) * s), y1 = iround(oy + (r.y + r.h) * s);
    return {x0, y0, x1 - x0, y1 - y0};
}

void WindowState::from_real(double rx, double ry, double& gx, double& gy) const {
    gx = rx;
    gy = ry;
    if (!m_fullscreen || m_mode.width <= 0 || m_mode.height <= 0) return;
    const int rw = real_width(), rh = real_height();
    const double s =
        std::min(static_cast<double>(rw) / m_mode.width, static_cast<double>(rh) / m_mode.height);
    if (s <= 0) return;
    gx = (rx - (rw - m_mode.width * s) / 2) / s;
    gy = (ry - (rh - m_mode.height * s) / 2) / s;
}

void WindowState::remember() {
    if (m_fullscreen || m_applying || !m_window) return;
    const WindowRect r = m_window->client_rect();
    if (r.w > 0 && r.h > 0) m_rect = {r.x, r.y, r.w, r.h};
}

void WindowState::update_min_size() {
    if (!m_window) return;
    if (m_scale > 0 && !m_fullscreen)
        m_window->set_min_client_size(iround(m_scale * m_region_w), iround(m_scale * m_region_h));
    else
        m_window->set_min_client_size(0, 0);
}

void WindowState::apply() {
    m_applying = true;
    if (m_window) {
        if (m_fullscreen) {
            m_window->set_style(false, false, false, m_topmost);
            m_window->set_fullscreen(true);
        } else {
            m_window->set_fullscreen(false);
            m_window->set_style(m_border, m_border && m_icons, m_sizeable, m_topmost);
            m_window->set_client_rect({m_rect.x, m_rect.y, m_rect.w, m_rect.h});
        }
        update_min_size();
    }
    m_applying = false;
    repaint_now();
}

void WindowState::repaint_now() {
    if (repaint) repaint();
}

void WindowState::set_region_size(int w, int h, bool adapt) {
    remember();
    if (w > 0) m_region_w = w;
    if (h > 0) m_region_h = h;
    if (m_scale > 0) {
        const int sw = iround(m_region_w * m_scale), sh = iround(m_region_h * m_scale);
        if (adapt) {
            m_rect.w = sw;
            m_rect.h = sh;
        } else {
            m_rect.w = std::max(m_rect.w, sw);
            m_rect.h = std::max(m_rect.h, sh);
        }
        apply();
        return;
    }
    update_min_size();
    repaint_now();
}

void WindowState::set_region_scale(double scale, bool adapt) {
    m_scale = std::isfinite(scale) ? scale : 1;
    set_region_size(0, 0, adapt);
}

void WindowState::window_default() {
    remember();
    if (m_scale > 0) {
        m_rect.w = iround(m_region_w * m_scale);
        m_rect.h = iround(m_region_h * m_scale);
    } else {
        m_rect.w = m_region_w;
        m_rect.h = m_region_h;
    }
    m_rect.x = (m_desktop.width - m_rect.w) / 2;
    m_rect.y = (m_desktop.height - m_rect.h) / 2;
    apply();
}

void WindowState::center() {
    remember();
    m_rect.x = (m_desktop.width - m_rect.w) / 2;
    m_rect.y = (m_desktop.height - m_rect.h) / 2;
    apply();
}

void WindowState::set_visible(bool on) {
    remember();
    m_visible = on;
    if (m_window) m_window->set_visible(on);
    if (on) apply();
}

void WindowState::set_fullscreen(bool on) {
    if (on == m_fullscreen) return;
    remember();
    m_fullscreen = on;
    apply();
}

void WindowState::change(bool WindowState::*flag, bool on) {
    remember();
    this->*flag = on;
    apply();
}

void WindowState::set_show_border(bool on) {
    change(&WindowState::m_border, on);
}

void WindowState::set_show_icons(bool on) {
    change(&WindowState::m_icons, on);
}

void WindowState::set_sizeable(bool on) {
    change(&WindowState::m_sizeable, on);
}

void WindowState::set_stay_on_top(bool on) {
    change(&WindowState::m_topmost, on);
}

void WindowState::set_caption(const std::string& text) {
    m_caption = text;
    if (m_window) m_window->set_title(text);
}

void WindowState::set_cursor(int cursor) {
    m_cursor = cursor;
    if (m_window) m_window->set_cursor(cursor);
}

void WindowState::set_colour(int32_t colour) {
    m_colour = colour;
    repaint_now();
}

void WindowState::set_position(int x, int y) {
    remember();
    m_rect.x = x;
    m_rect.y = y;
    apply();
}

void WindowState::set_size(int w, int h) {
    remember();
    m_rect.w = w;
    m_rect.h = h;
    if (m_scale > 0) {
        m_rect.w = std::max(m_rect.w, iround(m_region_w * m_scale));
        m_rect.h = std::max(m_rect.h, iround(m_region_h * m_scale));
    }
    m_rect.w = std::max(m_rect.w, 1);
    m_rect.h = std::max(m_rect.h, 1);
    apply();
}

void WindowState::note_mouse(double real_x, double real_y) {
    m_mouse_x = real_x;
    m_mouse_y = real_y;
}

void WindowState::mouse_client(double& x, double& y) const {
    from_real(m_mouse_x, m_mouse_y, x, y);
}

void WindowState::mouse_screen(int& x, int& y) const {
    const RegionRect c = client();
    double gx, gy;
    mouse_client(gx, gy);
    x = iround(gx) + (m_fullscreen ? 0 : c.x);
    y = iround(gy) + (m_fullscreen ? 0 : c.y);
}

void WindowState::set_mouse_client(double x, double y) {
    const RegionRect real = to_real({iround(x), iround(y), 0, 0});
    m_mouse_x = real.x;
    m_mouse_y = real.y;
    if (!m_window) return;
    const WindowRect wr = m_window->client_rect();
    m_window->move_mouse(wr.x + real.x, wr.y + real.y);
}

void WindowState::set_mouse_screen(int x, int y) {
    const RegionRect c = client();
    set_mouse_client(x - (m_fullscreen ? 0 : c.x), y - (m_fullscreen ? 0 : c.y));
}

void WindowState::register_view(int index, const ViewRegion& v) {
    if (index < 0 || index >= static_cast<int>(m_views.size())) return;
    m_views[static_cast<size_t>(index)] = v;
    m_views[static_cast<size_t>(index)].used = true;
}

void WindowState::clear_view(int index) {
    if (index < 0 || index >= static_cast<int>(m_views.size())) return;
    m_views[static_cast<size_t>(index)] = ViewRegion{};
}

int WindowState::first_used_view() const {
    for (size_t k = 0; k < m_views.size(); ++k)
        if (m_views[k].used) return static_cast<int>(k);
    return -1;
}

void WindowState::window_to_room(double wx, double wy, double& rx, double& ry) const {
    const RegionRect c = client();
    const int rw = m_region_w, rh = m_region_h;
    if (m_scale == 0) {
        rx = c.w > 0 ? round_even(wx * rw / c.w) : 0;
        ry = c.h > 0 ? round_even(wy * rh / c.h) : 0;
        return;
    }
    const double s = placement_factor(m_scale, c.w, c.h, rw, rh);
    if (s == 0) {
        rx = ry = 0;
        return;
    }
    const int ox = (c.w - iround(rw * s)) / 2, oy = (c.h - iround(rh * s)) / 2;
    rx = round_even((wx - ox) / s);
    ry = round_even((wy - oy) / s);
}

namespace {
bool maps(const ViewRegion& v) {
    return v.used && v.vw != 0 && v.vh != 0 && v.pw != 0 && v.ph != 0;
}
}  // namespace

bool WindowState::window_to_room_view(int index, double wx, double wy, double& rx,
                                      double& ry) const {
    if (index < 0 || index >= static_cast<int>(m_views.size())) return false;
    const ViewRegion& v = m_views[static_cast<size_t>(index)];
    if (!maps(v)) return false;
    double qx, qy;
    window_to_room(wx, wy, qx, qy);
    const double lx = (qx - v.px) * v.vw / v.pw, ly = (qy - v.py) * v.vh / v.ph;
    if (std::abs(v.angle) < 0.01) {
        rx = round_even(v.vx + lx);
        ry = round_even(v.vy + ly);
        return true;
    }
    // The view shows the room turned counter-clockwise by the angle; turn the
    // point back about the view's centre.
    const double a = v.angle * std::numbers::pi / 180;
    const double dx = lx - v.vw / 2, dy = ly - v.vh / 2;
    const double ux = dx * std::cos(a) - dy * std::sin(a);
    const double uy = dx * std::sin(a) + dy * std::cos(a);
    rx = round_even(v.vx + v.vw / 2 + ux);
    ry = round_even(v.vy + v.vh / 2 + uy);
    return true;
}

void WindowState::window_to_room_views(double wx, double wy, double& rx, double& ry) const {
    bool any = false;
    for (int k = static_cast<int>(m_views.size()) - 1; k >= 0; --k) {
        double x, y;
        if (!window_to_room_view(k, wx, wy, x, y)) continue;
        any = true;
        rx = x;
        ry = y;
        const ViewRegion& v = m_views[static_cast<size_t>(k)];
        if (v.vx <= x && x < v.vx + v.vw && v.vy <= y && y < v.vy + v.vh) return;
    }
    if (!any) window_to_room(wx, wy, rx, ry);
}

bool WindowState::room_to_region(int index, double x, double y, double& qx, double& qy) const {
    if (index < 0 || index >= static_cast<int>(m_views.size())) return false;
    const ViewRegion& v = m_views[static_cast<size_t>(index)];
    if (!maps(v)) return false;
    double lx = x - v.vx, ly = y - v.vy;
    if (std::abs(v.angle) >= 0.01) {
        const double a = v.angle * std::numbers::pi / 180;
        const double dx = lx - v.vw / 2, dy = ly - v.vh / 2;
        lx = v.vw / 2 + dx * std::cos(a) + dy * std::sin(a);
        ly = v.vh / 2 - dx * std::sin(a) + dy * std::cos(a);
    }
    qx = v.px + lx * v.pw / v.vw;
    qy = v.py + ly * v.ph / v.vh;
    return true;
}

void WindowState::region_to_client(double qx, double qy, double& cx, double& cy) const {
    const RegionRect c = client();
    if (m_scale == 0) {
        cx = m_region_w > 0 ? qx * c.w / m_region_w : 0;
        cy = m_region_h > 0 ? qy * c.h / m_region_h : 0;
        return;
    }
    const double s = placement_factor(m_scale, c.w, c.h, m_region_w, m_region_h);
    const int ox = (c.w - iround(m_region_w * s)) / 2, oy = (c.h - iround(m_region_h * s)) / 2;
    cx = ox + qx * s;
    cy = oy + qy * s;
}

bool WindowState::test_mode(int w, int h, int depth, int frequency) {
    // The back buffer has the mode's size: no larger than the device can make.
    if (w > kMaxModeSide || h > kMaxModeSide) return false;
    if (depth > 0 && depth != 8 && depth != 16 && depth != 24 && depth != 32) return false;
    if (frequency > 0 && frequency > 1000) return false;
    return true;
}

bool WindowState::change_mode(int w, int h, int depth, int frequency) {
    if (!test_mode(w, h, depth, frequency)) return false;
    if (w > 0) m_mode.width = w;
    if (h > 0) m_mode.height = h;
    if (depth > 0) m_mode.depth = depth;
    if (frequency > 0) m_mode.frequency = frequency;
    if (m_fullscreen) apply();
    return true;
}

}  // namespace kx
