#include "drawing/support_color.h"

#include <algorithm>
#include <cmath>

#include "script/function_math.h"

namespace kx {

namespace {

int32_t channel(int64_t col, int shift) {
    return static_cast<int32_t>((static_cast<uint64_t>(col) >> shift) & 255);
}
int32_t low_byte(double v) {
    return static_cast<int32_t>(static_cast<uint64_t>(round_even(v)) & 255);
}

struct Hsv {
    double h = 0, s = 0, v = 0;
};

Hsv to_hsv(int64_t col) {
    const double r = channel(col, 0) / 255.0, g = channel(col, 8) / 255.0,
                 b = channel(col, 16) / 255.0;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    Hsv o;
    o.v = mx;
    o.s = mx == 0 ? 0 : (mx - mn) / mx;
    if (o.s != 0) {
        const double d = mx - mn;
        if (r == mx)
            o.h = (g - b) * 60 / d;
        else if (g == mx)
            o.h = (b - r) * 60 / d + 120;
        else
            o.h = (r - g) * 60 / d + 240;
        if (o.h < 0) o.h += 360;
    }
    return o;
}

}  // namespace

double make_color_rgb(double r, double g, double b) {
    return double(round_even(r)) + 256.0 * double(round_even(g)) + 65536.0 * double(round_even(b));
}

int32_t make_color_hsv(double h, double s, double v) {
    double H = low_byte(h) * 360.0 / 255.0;
    if (H == 360) H = 0;
    const double S = low_byte(s) / 255.0, V = low_byte(v) / 255.0;
    double R = V, G = V, B = V;
    if (S != 0) {
        const int i = static_cast<int>(H / 60);
        const double f = H / 60 - i;
        const double p = V * (1 - S), q = V * (1 - S * f), t = V * (1 - S * (1 - f));
        switch (i) {
            case 0:
                R = V, G = t, B = p;
                break;
            case 1:
                R = q, G = V, B = p;
                break;
            case 2:
                R = p, G = V, B = t;
                break;
            case 3:
                R = p, G = q, B = V;
                break;
            case 4:
                R = t, G = p, B = V;
                break;
            default:
                R = V, G = p, B = q;
                break;
        }
    }
    auto byte = [](double c) { return static_cast<int32_t>(std::trunc(c * 255)); };
    return byte(R) + 256 * byte(G) + 65536 * byte(B);
}

int32_t color_get_red(int64_t col) {
    return channel(col, 0);
}
int32_t color_get_green(int64_t col) {
    return channel(col, 8);
}
int32_t color_get_blue(int64_t col) {
    return channel(col, 16);
}

int32_t color_get_hue(int64_t col) {
    return static_cast<int32_t>(std::trunc(to_hsv(col).h * 255 / 360));
}
int32_t color_get_saturation(int64_t col) {
    return static_cast<int32_t>(std::trunc(to_hsv(col).s * 255));
}
int32_t color_get_value(int64_t col) {
    return static_cast<int32_t>(std::trunc(to_hsv(col).v * 255));
}

int32_t merge_color(int64_t col1, int64_t col2, double amount) {
    int32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double c = (1 - amount) * channel(col1, shift) + amount * channel(col2, shift);
        out |= low_byte(c) << shift;
    }
    return out;
}

}  // namespace kx
