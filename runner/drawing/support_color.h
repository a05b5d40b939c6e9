#pragma once
// Colour arithmetic on game colours (0x00BBGGRR).
#include <cstdint>

namespace kx {

// r + 256 g + 65536 b of the rounded channels, unclamped.
double make_color_rgb(double r, double g, double b);
// h, s and v use the low byte of their rounded values.
int32_t make_color_hsv(double h, double s, double v);
int32_t color_get_red(int64_t col);
int32_t color_get_green(int64_t col);
int32_t color_get_blue(int64_t col);
int32_t color_get_hue(int64_t col);
int32_t color_get_saturation(int64_t col);
int32_t color_get_value(int64_t col);
// Each channel round((1 - amount) c1 + amount c2), kept to its byte; amount
// is not clamped.
int32_t merge_color(int64_t col1, int64_t col2, double amount);

}  // namespace kx
