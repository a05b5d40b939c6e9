#pragma once
// How a built-in function reads its arguments. Handlers never check kinds: a
// real argument read as text is empty and a string argument read as a number
// is 0. Integers are the nearest, ties to even; NaN gives 0 and values beyond
// the range saturate. A truth is a value of 0.5 or more.
#include <cstdint>
#include <string_view>

#include "script/code_operator.h"
#include "script/function_math.h"
#include "script/rvalue.h"

namespace kx {

inline double arg_real(const RValue& v) {
    return v.is_real() ? v.real : 0.0;
}
inline std::string_view arg_text(const RValue& v) {
    return v.is_string() ? v.str.view() : std::string_view();
}
inline int64_t arg_int(const RValue& v) {
    return round_even(arg_real(v));
}
inline int32_t arg_i32(const RValue& v) {
    return round_to_i32(arg_real(v));
}
inline bool arg_bool(const RValue& v) {
    return arg_real(v) >= 0.5;
}
// Ids beyond 32 bits name nothing.
inline int32_t arg_id(const RValue& v) {
    const int64_t n = arg_int(v);
    return n < INT32_MIN || n > INT32_MAX ? -1 : static_cast<int32_t>(n);
}
// The real field whatever the kind: a string argument gives the number its
// value last held.
inline int32_t arg_held_i32(const RValue& v) {
    return round_to_i32(v.real);
}

}  // namespace kx
