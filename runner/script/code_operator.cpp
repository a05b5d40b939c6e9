#include "script/code_operator.h"

#include <cmath>
#include <limits>
#include <string>

#include "script/code_error.h"
#include "script/code_main.h"
#include "script/tokens.h"

namespace kx {

int64_t round_to_i64(double x) {
    // Adding and taking away 1.5 * 2^52 rounds to nearest, ties to even, in
    // the default rounding mode, without a library call.
    if (x > -2251799813685248.0 && x < 2251799813685248.0) {
        return static_cast<int64_t>((x + 6755399441055744.0) - 6755399441055744.0);
    }
    if (std::isnan(x)) return 0;
    const double r = std::nearbyint(x);  // the default mode: nearest, ties to even
    if (r >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (r <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(r);
}

int32_t round_to_i32(double x) {
    const int64_t v = round_to_i64(x);
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

namespace {

bool truth(double x) {
    return x >= 0.5;
}

bool compare(int32_t op, const RValue& l, const RValue& r, bool& out) {
    int sign;
    if (l.is_real() && r.is_real()) {
        const double d = l.real - r.real;  // no tolerance
        switch (op) {
            case tok::Assign:
            case tok::Equal:
                out = d == 0;
                return true;
            case tok::NotEqual:
                out = d != 0;
                return true;
            case tok::Less:
                out = d < 0;
                return true;
            case tok::LessEq:
                out = d <= 0;
                return true;
            case tok::Greater:
                out = d > 0;
                return true;
            case tok::GreaterEq:
                out = d >= 0;
                return true;
        }
        return false;
    }
    if (!l.is_string() || !r.is_string()) return false;
    const int c = l.str.view().compare(r.str.view());  // byte order: unsigned
    sign = c < 0 ? -1 : c > 0 ? 1 : 0;
    switch (op) {
        case tok::Assign:
        case tok::Equal:
            out = sign == 0;
            return true;
        case tok::NotEqual:
            out = sign != 0;
            return true;
        case tok::Less:
            out = sign < 0;
            return true;
        case tok::LessEq:
            out = sign <= 0;
            return true;
        case tok::Greater:
            out = sign > 0;
            return true;
        case tok::GreaterEq:
            out = sign >= 0;
            return true;
    }
    return false;
}

uint64_t shift_amount(double r) {
    return static_cast<uint64_t>(round_to_i64(r)) & 127;
}

}  // namespace

bool unary_operation(ScriptState& st, const CCode& code, int32_t position, int32_t op, RValue& v) {
    if (!v.is_real()) {
        record_error(st, code, position, "Wrong type of arguments to unary operator.");
        return false;
    }
    switch (op) {
        case tok::Not:
            v.real = truth(v.real) ? 0.0 : 1.0;
            return true;
        case tok::Plus:
            return true;
        case tok::Minus:
            v.real = -v.real;
            return true;
        case tok::BitNot:
            v.real = static_cast<double>(~round_to_i64(v.real));
            return true;
        default:
            record_error(st, code, position, "Internal error: unknown unary operator.");
            return false;
    }
}

bool binary_operation(ScriptState& st, const CCode& code, int32_t position, int32_t op, RValue& l,
                      const RValue& r) {
    const bool reals = l.is_real() && r.is_real();
    auto wrong = [&](const char* msg) {
        record_error(st, code, position, msg);
        return false;
    };
    switch (op) {
        case tok::Assign:
        case tok::Equal:
        case tok::NotEqual:
        case tok::Less:
        case tok::LessEq:
        case tok::Greater:
        case tok::GreaterEq: {
            bool res;
            if (!compare(op, l, r, res)) return wrong("Cannot compare arguments.");
            l.set_real(res ? 1.0 : 0.0);
            return true;
        }
        case tok::And:
            if (!reals) return wrong("Wrong type of arguments for &&.");
            l.real = truth(l.real) && truth(r.real) ? 1.0 : 0.0;
            return true;
        case tok::Or:
            if (!reals) return wrong("Wrong type of arguments for ||.");
            l.real = truth(l.real) || truth(r.real) ? 1.0 : 0.0;
            return true;
        case tok::Xor:
            if (!reals) return wrong("Wrong type of arguments for ^^.");
            l.real = truth(l.real) != truth(r.real) ? 1.0 : 0.0;
            return true;
        case tok::Plus:
            if (reals) {
                l.real += r.real;
                return true;
            }
            if (l.is_string() && r.is_string()) {
                if (l.str.size() + r.str.size() > kMaxStringLength)
                    return wrong("String too long.");
                if (!r.str.empty()) l.str.mutable_str().append(r.str.view());
                return true;
            }
            return wrong("Wrong type of arguments to +.");
        case tok::Minus:
            if (!reals) return wrong("Wrong type of arguments to -.");
            l.real -= r.real;
            return true;
        case tok::Times:
            if (reals) {
                l.real *= r.real;
                return true;
            }
            if (l.is_real() && r.is_string()) {
                const int64_t n = round_to_i64(l.real);
                std::string s;
                if (n > 0 && !r.str.empty()) {
                    if (static_cast<uint64_t>(n) > kMaxStringLength / r.str.size())
                        return wrong("String too long.");
                    s.reserve(static_cast<size_t>(n) * r.str.size());
                    for (int64_t i = 0; i < n; ++i) s.append(r.str.view());
                }
                l.set_string(KxString(std::move(s)));
                return true;
            }
            return wrong("Wrong type of arguments to *.");
        case tok::Slash:
            if (!reals) return wrong("Wrong type of arguments to /.");
            if (r.real == 0) return wrong("Division by 0.");
            l.real /= r.real;
            return true;
        case tok::Div:
            if (!reals) return wrong("Wrong type of arguments to div.");
            if (r.real == 0) return wrong("Division by 0.");
            l.real = truncated_quotient(l.real, r.real);
            return true;
        case tok::Mod:
            if (!reals) return wrong("Wrong type of arguments to mod.");
            if (r.real == 0) return wrong("Modulo by 0.");
            l.real = l.real - truncated_quotient(l.real, r.real) * r.real;
            return true;
        case tok::BitOr:
            if (!reals) return wrong("Wrong type of arguments for |.");
            l.real = static_cast<double>(round_to_i64(l.real) | round_to_i64(r.real));
            return true;
        case tok::BitAnd:
            if (!reals) return wrong("Wrong type of arguments for &.");
            l.real = static_cast<double>(round_to_i64(l.real) & round_to_i64(r.real));
            return true;
        case tok::BitXor:
            if (!reals) return wrong("Wrong type of arguments for ^.");
            l.real = static_cast<double>(round_to_i64(l.real) ^ round_to_i64(r.real));
            return true;
        case tok::Shl:
        case tok::Shr: {
            if (!reals)
                return wrong(op == tok::Shl ? "Wrong type of arguments for <<."
                                            : "Wrong type of arguments for >>.");
            const uint64_t v = static_cast<uint64_t>(round_to_i64(l.real));
            const uint64_t n = shift_amount(r.real);
            uint64_t res = 0;
            if (n < 64) res = op == tok::Shl ? v << n : v >> n;
            l.real = static_cast<double>(static_cast<int64_t>(res));
            return true;
        }
        default:
            return wrong("Internal error: unknown binary operator.");
    }
}

double truncated_quotient(double l, double r) {
    const double q = std::trunc(l / r);
    if (!std::isfinite(q)) return 0;
    double low = std::fmod(q, 4294967296.0);
    if (low < 0) low += 4294967296.0;
    const uint32_t bits = static_cast<uint32_t>(low);
    return static_cast<double>(static_cast<int32_t>(bits));
}

}  // namespace kx
