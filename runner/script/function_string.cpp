#include "script/function_string.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "script/builtin_args.h"
#include "script/function_math.h"

namespace kx {

namespace {

void set_text(RValue& result, std::string&& s) {
    result.set_string(KxString(std::move(s)));
}

// The argument's own text, shared rather than copied.
void set_same_text(RValue& result, const RValue& v) {
    result.set_string(v.is_string() ? v.str : KxString());
}

bool is_upper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool is_lower(char c) {
    return c >= 'a' && c <= 'z';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

template <typename Keep>
void filter_text(RValue& result, const RValue& v, Keep keep) {
    std::string out;
    for (char c : arg_text(v))
        if (keep(c)) out += c;
    set_text(result, std::move(out));
}

template <typename Map>
void map_text(RValue& result, const RValue& v, Map map) {
    std::string out(arg_text(v));
    for (char& c : out) c = map(c);
    set_text(result, std::move(out));
}

// Non-overlapping occurrences, left to right; none for an empty pattern.
size_t count_occurrences(std::string_view pattern, std::string_view s) {
    if (pattern.empty()) return 0;
    size_t n = 0;
    for (size_t at = s.find(pattern); at != std::string_view::npos;
         at = s.find(pattern, at + pattern.size()))
        ++n;
    return n;
}

}  // namespace

// ------------------------------------------------------------- conversions

void fn_real(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (args[0].is_real()) return result.set_real(args[0].real);
    double value = 0;
    if (!string_to_real(args[0].str.view(), value)) return report_function_error("real");
    result.set_real(value);
}

void fn_string(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (args[0].is_string()) return set_same_text(result, args[0]);
    set_text(result, real_to_string(args[0].real));
}

void fn_string_format(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (args[0].is_string()) return set_same_text(result, args[0]);
    const int64_t decimals = std::clamp<int64_t>(arg_int(args[2]), 0, 18);
    std::string s = real_to_fixed(args[0].real, static_cast<int>(decimals), 18);
    const int64_t total = arg_int(args[1]);
    if (total > static_cast<int64_t>(kMaxResultBytes))
        return report_function_error("string_format");
    if (total > static_cast<int64_t>(s.size()))
        s.insert(0, static_cast<size_t>(total) - s.size(), ' ');
    set_text(result, std::move(s));
}

void fn_chr(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    double m = std::fmod(round_even_real(arg_real(args[0])), 256.0);
    if (std::isnan(m)) m = 0;
    if (m < 0) m += 256.0;
    set_text(result, std::string(1, static_cast<char>(static_cast<unsigned char>(m))));
}

void fn_ord(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view s = arg_text(args[0]);
    result.set_real(s.empty() ? 0.0 : static_cast<unsigned char>(s[0]));
}

// ------------------------------------------------------------------- text

void fn_string_length(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.set_real(static_cast<double>(arg_text(args[0]).size()));
}

void fn_string_pos(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view sub = arg_text(args[0]);
    if (sub.empty()) return;
    const size_t at = arg_text(args[1]).find(sub);
    result.set_real(at == std::string_view::npos ? 0.0 : static_cast<double>(at + 1));
}

void fn_string_copy(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view s = arg_text(args[0]);
    const auto len = static_cast<int64_t>(s.size());
    const int64_t index = std::max<int64_t>(arg_int(args[1]), 1);
    const int64_t count = arg_int(args[2]);
    if (index > len || count < 0) return set_text(result, {});
    const int64_t n = std::min(count, len - index + 1);
    set_text(result, std::string(s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(n))));
}

void fn_string_char_at(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view s = arg_text(args[0]);
    const int64_t index = std::max<int64_t>(arg_int(args[1]), 1);
    if (index > static_cast<int64_t>(s.size())) return set_text(result, {});
    set_text(result, std::string(1, s[static_cast<size_t>(index - 1)]));
}

void fn_string_delete(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view s = arg_text(args[0]);
    const auto len = static_cast<int64_t>(s.size());
    const int64_t index = arg_int(args[1]);
    const int64_t count = arg_int(args[2]);
    if (index < 1 || index > len || count <= 0) return set_same_text(result, args[0]);
    std::string out(s);
    out.erase(static_cast<size_t>(index - 1),
              static_cast<size_t>(std::min(count, len - index + 1)));
    set_text(result, std::move(out));
}

void fn_string_insert(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view sub = arg_text(args[0]);
    const std::string_view s = arg_text(args[1]);
    const auto len = static_cast<int64_t>(s.size());
    const int64_t index = std::clamp<int64_t>(arg_int(args[2]), 1, len + 1);
    std::string out;
    out.reserve(s.size() + sub.size());
    out.append(s.substr(0, static_cast<size_t>(index - 1)))
        .append(sub)
        .append(s.substr(static_cast<size_t>(index - 1)));
    set_text(result, std::move(out));
}

void fn_string_lower(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    map_text(result, args[0],
             [](char c) { return is_upper(c) ? static_cast<char>(c - 'A' + 'a') : c; });
}

void fn_string_upper(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    map_text(result, args[0],
             [](char c) { return is_lower(c) ? static_cast<char>(c - 'a' + 'A') : c; });
}

void fn_string_repeat(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view s = arg_text(args[0]);
    const int64_t count = arg_int(args[1]);
    if (count <= 0 || s.empty()) return set_text(result, {});
    if (static_cast<uint64_t>(count) > kMaxResultBytes / s.size())
        return report_function_error("string_repeat");
    std::string out;
    out.reserve(s.size() * static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) out.append(s);
    set_text(result, std::move(out));
}

void fn_string_letters(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    filter_text(result, args[0], [](char c) { return is_upper(c) || is_lower(c); });
}

void fn_string_digits(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    filter_text(result, args[0], is_digit);
}

void fn_string_lettersdigits(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    filter_text(result, args[0], [](char c) { return is_upper(c) || is_lower(c) || is_digit(c); });
}

void fn_string_replace(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view s = arg_text(args[0]);
    const std::string_view sub = arg_text(args[1]);
    const std::string_view with = arg_text(args[2]);
    const size_t at = sub.empty() ? std::string_view::npos : s.find(sub);
    if (at == std::string_view::npos) return set_same_text(result, args[0]);
    std::string out;
    out.reserve(s.size() - sub.size() + with.size());
    out.append(s.substr(0, at)).append(with).append(s.substr(at + sub.size()));
    set_text(result, std::move(out));
}

void fn_string_replace_all(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view s = arg_text(args[0]);
    const std::string_view sub = arg_text(args[1]);
    const std::string_view with = arg_text(args[2]);
    const size_t n = count_occurrences(sub, s);
    if (n == 0) return set_same_text(result, args[0]);
    const size_t room = s.size() < kMaxResultBytes ? kMaxResultBytes - s.size() : 0;
    if (with.size() > sub.size() && with.size() - sub.size() > room / n)
        return report_function_error("string_replace_all");
    std::string out;
    out.reserve(s.size() + n * with.size() - n * sub.size());
    size_t from = 0;
    for (size_t at = s.find(sub); at != std::string_view::npos; at = s.find(sub, from)) {
        out.append(s.substr(from, at - from)).append(with);
        from = at + sub.size();
    }
    out.append(s.substr(from));
    set_text(result, std::move(out));
}

void fn_string_count(CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.set_real(static_cast<double>(count_occurrences(arg_text(args[0]), arg_text(args[1]))));
}

}  // namespace kx
