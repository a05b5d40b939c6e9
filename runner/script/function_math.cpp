#include "script/function_math.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>

#include "core/runtime.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/function_string.h"
#include "script/script_state.h"

namespace kx {

// ---------------------------------------------------------------- rounding

double round_even_real(double x) {
    if (!std::isfinite(x)) return x;
    const double f = std::floor(x);
    const double d = x - f;  // exact for every finite double
    if (d < 0.5) return f;
    if (d > 0.5) return f + 1.0;
    return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
}

int64_t round_even(double x) {
    if (std::isnan(x)) return 0;
    const double r = round_even_real(x);
    if (r >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (r < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(r);
}

namespace {

// An integral double reduced to a 32-bit signed integer, wrapping like a
// two's-complement register; no digits means 0.
double wrap_int32(double f) {
    if (!std::isfinite(f)) return 0.0;
    double m = std::fmod(f, 4294967296.0);  // exact
    if (m < 0) m += 4294967296.0;
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(m)));
}

// ------------------------------------------------------- decimal formatting

// The decimal digits of a non-negative finite value: the integer digits
// (without leading zeros) followed by the fraction digits, so digit i stands
// for 10^(int_digits - 1 - i).
struct DecimalDigits {
    std::string digits;
    int int_digits = 0;
};

DecimalDigits exact_digits(double a) {
    // 70 fraction digits hold the complete expansion of every double from
    // 2^-17 up; smaller ones need the full length of the smallest subnormal.
    const int precision = a >= 0x1p-17 ? 70 : 1100;
    char buf[1500];
    const auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::fixed, precision);
    std::string_view s(buf, static_cast<size_t>(r.ptr - buf));
    const size_t dot = s.find('.');
    std::string_view ip = s.substr(0, dot);
    std::string_view fp = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    while (!ip.empty() && ip.front() == '0') ip.remove_prefix(1);
    DecimalDigits d;
    d.int_digits = static_cast<int>(ip.size());
    d.digits.reserve(ip.size() + fp.size());
    d.digits.append(ip).append(fp);
    return d;
}

// Index of the first non-zero digit, or the digit count for zero.
int first_significant(const DecimalDigits& d) {
    const size_t i = d.digits.find_first_not_of('0');
    return i == std::string::npos ? static_cast<int>(d.digits.size()) : static_cast<int>(i);
}

// Keeps the first `keep` digits, rounding half away from zero; the expansion is
// exact, so the next digit alone decides.
void round_digits(DecimalDigits& d, int keep) {
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    if (static_cast<size_t>(keep) >= d.digits.size()) return;
    const bool up = d.digits[static_cast<size_t>(keep)] >= '5';
    d.digits.resize(static_cast<size_t>(keep));
    if (!up) return;
    int i = keep - 1;
    for (; i >= 0; --i) {
        char& c = d.digits[static_cast<size_t>(i)];
        if (c != '9') {
            ++c;
            break;
        }
        c = '0';
    }
    if (i < 0) {  // carried out of the leading digit: one more integer digit
        d.digits.insert(d.digits.begin(), '1');
        ++d.int_digits;
    }
}

// Fixed-point text of the rounded digits with exactly `decimals` decimals.
std::string write_fixed(const DecimalDigits& d, int decimals, bool negative) {
    std::string out;
    out.reserve(static_cast<size_t>(d.int_digits + decimals + 3));
    if (negative) out += '-';
    const auto digit = [&](int i) {
        return i >= 0 && static_cast<size_t>(i) < d.digits.size() ? d.digits[static_cast<size_t>(i)]
                                                                  : '0';
    };
    if (d.int_digits <= 0) out += '0';
    for (int i = 0; i < d.int_digits; ++i) out += digit(i);
    if (decimals > 0) {
        out += '.';
        for (int i = 0; i < decimals; ++i) out += digit(d.int_digits + i);
    }
    if (negative && out.find_first_of("123456789") == std::string::npos) out.erase(0, 1);
    return out;
}

const char* non_finite_text(double x) {
    if (std::isnan(x)) return "nan";
    return x < 0 ? "-inf" : "inf";
}

// Mantissa with up to 10 significant digits, e.g. 1.23456789E+10.
std::string write_exponent(DecimalDigits d, bool negative) {
    round_digits(d, 10);
    const int exponent = d.int_digits - 1;
    std::string m = d.digits.substr(0, 10);
    while (m.size() > 1 && m.back() == '0') m.pop_back();
    std::string out = negative ? "-" : "";
    out += m[0];
    if (m.size() > 1) {
        out += '.';
        out.append(m, 1);
    }
    out += exponent < 0 ? "E-" : "E+";
    out += std::to_string(exponent < 0 ? -exponent : exponent);
    return out;
}

}  // namespace

std::string real_to_fixed(double x, int decimals, int max_significant) {
    if (!std::isfinite(x)) return non_finite_text(x);
    decimals = std::clamp(decimals, 0, 18);
    DecimalDigits d = exact_digits(std::fabs(x));
    const int first = d.int_digits > 0 ? 0 : first_significant(d);
    round_digits(d, std::min(d.int_digits + decimals, first + max_significant));
    return write_fixed(d, decimals, x < 0);
}

std::string real_to_string(double x) {
    if (!std::isfinite(x)) return non_finite_text(x);
    if (x == round_even_real(x)) {
        if (x == 0) return "0";  // also -0
        char buf[400];
        if (std::fabs(x) < 0x1p62) {  // the common case, without the long-number path
            const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(x));
            return std::string(buf, r.ptr);
        }
        const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 0);
        return std::string(buf, r.ptr);
    }
    DecimalDigits d = exact_digits(std::fabs(x));
    if (d.int_digits > 10) return write_exponent(std::move(d), x < 0);
    const int first = d.int_digits > 0 ? 0 : first_significant(d);
    round_digits(d, std::min(d.int_digits + 2, first + 10));
    return write_fixed(d, 2, x < 0);
}

// ------------------------------------------------------------------ parsing

bool string_to_real(std::string_view text, double& out) {
    out = 0.0;
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.empty()) return true;

    size_t i = 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    const size_t number_start = i;
    const auto is_digit = [&](size_t k) {
        return k < text.size() && text[k] >= '0' && text[k] <= '9';
    };
    size_t mantissa_digits = 0;
    int int_digits = 0;  // integer digits after leading zeros
    int leading_frac_zeros = 0;
    bool seen_nonzero = false;
    while (is_digit(i)) {
        if (text[i] != '0' || seen_nonzero) {
            seen_nonzero = true;
            ++int_digits;
        }
        ++i;
        ++mantissa_digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (is_digit(i)) {
            if (!seen_nonzero) {
                if (text[i] == '0')
                    ++leading_frac_zeros;
                else
                    seen_nonzero = true;
            }
            ++i;
            ++mantissa_digits;
        }
    }
    if (mantissa_digits == 0) return false;
    int64_t exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool exp_negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) exp_negative = text[i++] == '-';
        if (!is_digit(i)) return false;
        while (is_digit(i)) {
            if (exponent < 100000000) exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (exp_negative) exponent = -exponent;
    }
    if (i != text.size()) return false;

    double value = 0.0;
    if (!seen_nonzero) {  // all zeros, whatever the exponent
        out = 0.0;
        return true;
    }
    const char* first = text.data() + number_start;
    const char* last = text.data() + text.size();
    const auto r = std::from_chars(first, last, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the decimal magnitude says which.
        const int64_t magnitude = exponent + (int_digits > 0 ? int_digits : -leading_frac_zeros);
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (r.ec != std::errc() || r.ptr != last) {
        return false;
    }
    out = negative ? -value : value;
    return true;
}

// ----------------------------------------------------------------- handlers

void report_function_error(std::string_view name) {
    std::string message = "Error in function ";
    message += name;
    message += "().";
    report_with_context(rt(), message, false);
}

namespace {

KX_HANDLER(fn_is_real) {
    result.set_real(args[0].is_real() ? 1.0 : 0.0);
}
KX_HANDLER(fn_is_string) {
    result.set_real(args[0].is_string() ? 1.0 : 0.0);
}
KX_HANDLER(fn_random) {
    result.set_real(rt().get<ScriptState>().random.next_real() * arg_real(args[0]));
}
KX_HANDLER(fn_choose) {
    if (argc <= 0) return;
    result = args[rt().get<ScriptState>().random.next_int(static_cast<uint64_t>(argc))];
}

KX_HANDLER(fn_abs) {
    result.set_real(std::fabs(arg_real(args[0])));
}
KX_HANDLER(fn_round) {
    result.set_real(round_even_real(arg_real(args[0])));
}
KX_HANDLER(fn_floor) {
    result.set_real(wrap_int32(std::floor(arg_real(args[0]))));
}
KX_HANDLER(fn_ceil) {
    result.set_real(wrap_int32(std::ceil(arg_real(args[0]))));
}
KX_HANDLER(fn_sign) {
    const double x = arg_real(args[0]);
    result.set_real(x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0);
}
KX_HANDLER(fn_frac) {
    const double x = arg_real(args[0]);
    result.set_real(x - std::trunc(x));
}
KX_HANDLER(fn_sqrt) {
    result.set_real(std::sqrt(arg_real(args[0])));
}
KX_HANDLER(fn_sqr) {
    const double x = arg_real(args[0]);
    result.set_real(x * x);
}
KX_HANDLER(fn_exp) {
    result.set_real(std::exp(arg_real(args[0])));
}

KX_HANDLER(fn_ln) {
    const double x = arg_real(args[0]);
    if (!(x > 0)) return report_function_error("ln");
    result.set_real(std::log(x));
}
KX_HANDLER(fn_log2) {
    const double x = arg_real(args[0]);
    if (!(x > 0)) return report_function_error("log2");
    result.set_real(std::log2(x));
}
KX_HANDLER(fn_log10) {
    const double x = arg_real(args[0]);
    if (!(x > 0)) return report_function_error("log10");
    result.set_real(std::log10(x));
}
KX_HANDLER(fn_sin) {
    result.set_real(std::sin(arg_real(args[0])));
}
KX_HANDLER(fn_cos) {
    result.set_real(std::cos(arg_real(args[0])));
}
KX_HANDLER(fn_tan) {
    result.set_real(std::tan(arg_real(args[0])));
}
KX_HANDLER(fn_arcsin) {
    const double x = arg_real(args[0]);
    if (!(std::fabs(x) <= 1)) return report_function_error("arcsin");
    result.set_real(std::asin(x));
}
KX_HANDLER(fn_arccos) {
    const double x = arg_real(args[0]);
    if (!(std::fabs(x) <= 1)) return report_function_error("arccos");
    result.set_real(std::acos(x));
}
KX_HANDLER(fn_arctan) {
    result.set_real(std::atan(arg_real(args[0])));
}
KX_HANDLER(fn_degtorad) {
    result.set_real(arg_real(args[0]) * std::numbers::pi / 180.0);
}
KX_HANDLER(fn_radtodeg) {
    result.set_real(arg_real(args[0]) * 180.0 / std::numbers::pi);
}

KX_HANDLER(fn_arctan2) {
    const double a = std::atan2(arg_real(args[0]), arg_real(args[1]));
    if (std::isnan(a)) return report_function_error("arctan2");
    result.set_real(a);
}

// Whole exponents multiply one factor at a time, as the result for small
// exponents must come out; past a few thousand factors the result is pow()'s,
// so a huge exponent cannot stall the game.
constexpr double kMaxMultiplyExponent = 4096;

KX_HANDLER(fn_power) {
    const double x = arg_real(args[0]);
    const double n = arg_real(args[1]);
    if (n == 0) return result.set_real(1.0);
    if (x == 0) {
        if (n > 0) return result.set_real(0.0);
        return report_function_error("power");
    }
    if (std::isfinite(n) && n == std::floor(n)) {
        const double count = std::fabs(n);
        double p = 1.0;
        if (count <= kMaxMultiplyExponent) {
            for (int i = 0; i < static_cast<int>(count); ++i) p *= x;
        } else {
            p = std::pow(x, count);
        }
        return result.set_real(n < 0 ? 1.0 / p : p);
    }
    if (x < 0 || std::isnan(x) || std::isnan(n)) return report_function_error("power");
    result.set_real(std::exp(n * std::log(x)));
}

KX_HANDLER(fn_logn) {
    const double n = arg_real(args[0]);
    const double x = arg_real(args[1]);
    if (!(x > 0) || !(n > 0) || n == 1) return report_function_error("logn");
    result.set_real(std::log(x) / std::log(n));
}

// Whether v replaces the value chosen so far: smaller (or larger) than it,
// compared by the chosen value's kind.
bool replaces(const RValue& v, const RValue& chosen, bool smallest) {
    if (chosen.is_real()) return smallest ? arg_real(v) < chosen.real : arg_real(v) > chosen.real;
    return smallest ? arg_text(v) < chosen.str.view() : arg_text(v) > chosen.str.view();
}

void pick(int argc, RValue& result, const RValue* args, bool smallest) {
    if (argc <= 0) return;
    const RValue* chosen = &args[0];
    for (int i = 1; i < argc; ++i)
        if (replaces(args[i], *chosen, smallest)) chosen = &args[i];
    result = *chosen;
}

KX_HANDLER(fn_min) {
    pick(argc, result, args, true);
}
KX_HANDLER(fn_max) {
    pick(argc, result, args, false);
}
KX_HANDLER(fn_min3) {
    pick(3, result, args, true);
}
KX_HANDLER(fn_max3) {
    pick(3, result, args, false);
}

KX_HANDLER(fn_mean) {
    if (argc <= 0) return;
    double sum = 0;
    for (int i = 0; i < argc; ++i) sum += arg_real(args[i]);
    result.set_real(sum / argc);
}

// The h-th smallest (h = n div 2, from 1), found as the first argument that
// has fewer than h smaller ones and at least h not larger.
KX_HANDLER(fn_median) {
    const int h = argc / 2;
    for (int i = 0; i < argc; ++i) {
        const double x = arg_real(args[i]);
        int smaller = 0;
        int not_larger = 0;
        for (int j = 0; j < argc; ++j) {
            const double y = arg_real(args[j]);
            if (y < x) ++smaller;
            if (y <= x) ++not_larger;
        }
        if (smaller < h && not_larger >= h) return result.set_real(x);
    }
}

KX_HANDLER(fn_point_distance) {
    const double dx = arg_real(args[2]) - arg_real(args[0]);
    const double dy = arg_real(args[3]) - arg_real(args[1]);
    result.set_real(std::sqrt(dx * dx + dy * dy));
}

KX_HANDLER(fn_point_direction) {
    const double dx = arg_real(args[2]) - arg_real(args[0]);
    const double dy = arg_real(args[3]) - arg_real(args[1]);
    if (dx == 0) return result.set_real(dy > 0 ? 270.0 : dy < 0 ? 90.0 : 0.0);
    const double a = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
    result.set_real(a > 0 ? 360.0 - a : -a);
}

// Snaps values within 0.0001 of an integer onto it, so that right angles
// give exact zeros.
double snap_to_integer(double v) {
    const double r = std::round(v);
    return std::fabs(v - r) <= 0.0001 ? r : v;
}

KX_HANDLER(fn_lengthdir_x) {
    const double len = arg_real(args[0]);
    result.set_real(snap_to_integer(len * std::cos(arg_real(args[1]) * std::numbers::pi / 180.0)));
}
KX_HANDLER(fn_lengthdir_y) {
    const double len = arg_real(args[0]);
    result.set_real(snap_to_integer(-len * std::sin(arg_real(args[1]) * std::numbers::pi / 180.0)));
}

#undef KX_HANDLER

const BuiltinDef kMathFunctions[] = {
    {"is_real", fn_is_real, 1},
    {"is_string", fn_is_string, 1},
    {"random", fn_random, 1},
    {"choose", fn_choose, kAnyArgs},
    {"abs", fn_abs, 1},
    {"round", fn_round, 1},
    {"floor", fn_floor, 1},
    {"ceil", fn_ceil, 1},
    {"sign", fn_sign, 1},
    {"frac", fn_frac, 1},
    {"sqrt", fn_sqrt, 1},
    {"sqr", fn_sqr, 1},
    {"exp", fn_exp, 1},
    {"ln", fn_ln, 1},
    {"log2", fn_log2, 1},
    {"log10", fn_log10, 1},
    {"sin", fn_sin, 1},
    {"cos", fn_cos, 1},
    {"tan", fn_tan, 1},
    {"arcsin", fn_arcsin, 1},
    {"arccos", fn_arccos, 1},
    {"arctan", fn_arctan, 1},
    {"degtorad", fn_degtorad, 1},
    {"radtodeg", fn_radtodeg, 1},
    {"arctan2", fn_arctan2, 2},
    {"power", fn_power, 2},
    {"logn", fn_logn, 2},
    {"min3", fn_min3, 3},
    {"max3", fn_max3, 3},
    {"min", fn_min, kAnyArgs},
    {"max", fn_max, kAnyArgs},
    {"mean", fn_mean, kAnyArgs},
    {"median", fn_median, kAnyArgs},
    {"real", fn_real, 1},
    {"string", fn_string, 1},
    {"string_format", fn_string_format, 3},
    {"chr", fn_chr, 1},
    {"ord", fn_ord, 1},
    {"string_length", fn_string_length, 1},
    {"string_pos", fn_string_pos, 2},
    {"string_copy", fn_string_copy, 3},
    {"string_char_at", fn_string_char_at, 2},
    {"string_delete", fn_string_delete, 3},
    {"string_insert", fn_string_insert, 3},
    {"string_lower", fn_string_lower, 1},
    {"string_upper", fn_string_upper, 1},
    {"string_repeat", fn_string_repeat, 2},
    {"string_letters", fn_string_letters, 1},
    {"string_digits", fn_string_digits, 1},
    {"string_lettersdigits", fn_string_lettersdigits, 1},
    {"string_replace", fn_string_replace, 3},
    {"string_replace_all", fn_string_replace_all, 3},
    {"string_count", fn_string_count, 2},
    {"point_distance", fn_point_distance, 4},
    {"point_direction", fn_point_direction, 4},
    {"lengthdir_x", fn_lengthdir_x, 2},
    {"lengthdir_y", fn_lengthdir_y, 2},
};

}  // namespace

void register_function_math(FunctionTable& table) {
    table.add(kMathFunctions);
}

}  // namespace kx
