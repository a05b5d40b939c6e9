#pragma once
// Argument readers shared by the drawing functions.
#include <cstdint>

#include "script/function_math.h"
#include "script/function_string.h"

namespace kx::draw_args {

inline double R(const RValue* a, int i) { return arg_real(a[i]); }
inline int64_t I(const RValue* a, int i) { return round_even(arg_real(a[i])); }
// Ids beyond 32 bits name nothing.
inline int32_t id_arg(const RValue* a, int i) {
    const int64_t v = I(a, i);
    return v < INT32_MIN || v > INT32_MAX ? -1 : static_cast<int32_t>(v);
}

}  // namespace kx::draw_args
