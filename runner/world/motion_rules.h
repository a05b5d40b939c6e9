#pragma once
// The rules that tie speed and direction to hspeed and vspeed, and friction
// and gravity. Every write of those four fields goes through these setters:
// the built-in variables, the action functions and the motion step.
#include <cmath>
#include <numbers>

#include "world/instance.h"

namespace kx::motion_rules {

// Trigonometry leaves noise such as 2.9999999 behind; near-integers snap.
inline double snap_integer(double v) {
    const double r = std::round(v);
    return std::fabs(v - r) < 0.0001 ? r : v;
}

// Into 0 <= d < 360. A tiny negative d would give 360 after the subtraction.
inline double reduce_direction(double d) {
    d -= 360 * std::floor(d / 360);
    return d >= 360 ? 0 : d;
}

inline void recompute_components(RInstanceState& i) {
    const double r = i.direction * std::numbers::pi / 180;
    i.hspeed = snap_integer(std::cos(r) * i.speed);
    i.vspeed = snap_integer(-std::sin(r) * i.speed);
}

// Leaves the components as they are.
inline void recompute_direction_speed(RInstanceState& i) {
    double d;
    if (i.hspeed != 0) {
        const double a = std::atan2(i.vspeed, i.hspeed) * 180 / std::numbers::pi;
        d = a > 0 ? 360 - a : -a;
    } else {
        d = i.vspeed > 0 ? 270 : i.vspeed < 0 ? 90 : 0;
    }
    i.direction = reduce_direction(snap_integer(d));
    i.speed = snap_integer(std::sqrt(i.hspeed * i.hspeed + i.vspeed * i.vspeed));
}

inline void set_direction(RInstanceState& i, double d) {
    if (d == i.direction) return;
    i.direction = reduce_direction(d);
    recompute_components(i);
}
inline void set_speed(RInstanceState& i, double s) {
    if (s == i.speed) return;
    i.speed = s;
    recompute_components(i);
}
inline void set_hspeed(RInstanceState& i, double h) {
    if (h == i.hspeed) return;
    i.hspeed = h;
    recompute_direction_speed(i);
}
inline void set_vspeed(RInstanceState& i, double v) {
    if (v == i.vspeed) return;
    i.vspeed = v;
    recompute_direction_speed(i);
}

// The components change unsnapped; direction and speed follow.
inline void motion_add(RInstanceState& i, double dir, double speed) {
    const double r = dir * std::numbers::pi / 180;
    i.hspeed += std::cos(r) * speed;
    i.vspeed -= std::sin(r) * speed;
    recompute_direction_speed(i);
}
inline void motion_set(RInstanceState& i, double dir, double speed) {
    set_direction(i, dir);
    set_speed(i, speed);
}

// Friction slows towards 0 and never reverses; then gravity pulls.
inline void friction_and_gravity(RInstanceState& i) {
    if (i.friction != 0) {
        const double s = i.speed;
        const double t = s > 0 ? s - i.friction : s + i.friction;
        if ((s > 0 && t < 0) || (s < 0 && t > 0))
            set_speed(i, 0);
        else if (s != 0)
            set_speed(i, t);
    }
    if (i.gravity != 0) motion_add(i, i.gravity_direction, i.gravity);
}

}  // namespace kx::motion_rules
