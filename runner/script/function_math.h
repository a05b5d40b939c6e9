#pragma once
// The built-in functions for numbers, strings, conversions and plane geometry,
// and the number formatting and parsing that the rest of the runner shares.
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

class FunctionTable;

void register_function_math(FunctionTable& table);

// Nearest integer, ties to the even one. Infinities and NaN come back unchanged.
double round_even_real(double x);
// The same as an integer: NaN gives 0, values outside the int64 range saturate.
int64_t round_even(double x);

// A real as string() writes it: integers in plain decimal, other values with
// exactly two decimals after rounding to at most 10 significant digits (half
// away from zero), an exponent form above 10 integer digits; "nan", "inf",
// "-inf" for the values that have no digits.
std::string real_to_string(double x);

// x in fixed-point form with `decimals` decimals (0 to 18) after rounding half
// away from zero to at most `max_significant` significant digits; integer
// digits beyond that limit are written as zeros. A result that shows only
// zeros carries no minus sign.
std::string real_to_fixed(double x, int decimals, int max_significant);

// Reads a decimal number whatever the locale: blanks (bytes of code 32 or
// less) around, optional sign, digits with an optional '.' fraction, optional
// exponent. Blank text gives 0. False (and 0) when the text is no such number.
bool string_to_real(std::string_view text, double& out);

}  // namespace kx
