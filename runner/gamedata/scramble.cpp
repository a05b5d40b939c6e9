#include "gamedata/scramble.h"

namespace kx {

std::optional<ScrambleParams> scramble_params(int32_t seed) {
    // C++ division truncates toward zero and the remainder takes the dividend's
    // sign, which is the rule the stored data was made with.
    int32_t mul = seed % 250 + 6;
    int32_t add = seed / 250;
    if (mul < 0) mul += 256;
    if (add < 0) add += 256;
    if (add < 0) return std::nullopt;   // positions would leave the table
    return ScrambleParams{mul, add};
}

std::optional<ScrambleTable> scramble_forward_table(int32_t seed) {
    auto p = scramble_params(seed);
    if (!p) return std::nullopt;
    const int64_t mul = p->mul, add = p->add;
    ScrambleTable t;
    for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    for (int64_t i = 1; i <= 10000; ++i) {
        int64_t j = (i * mul + add) % 254 + 1;
        std::swap(t[static_cast<size_t>(j)], t[static_cast<size_t>(j + 1)]);
    }
    return t;
}

ScrambleTable invert_table(const ScrambleTable& forward) {
    ScrambleTable r;
    for (int i = 0; i < 256; ++i) r[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    for (int i = 1; i < 256; ++i) r[forward[static_cast<size_t>(i)]] = static_cast<uint8_t>(i);
    return r;
}

namespace {
bool map_bytes(std::span<uint8_t> bytes, const ScrambleTable& t) {
    for (uint8_t& b : bytes) b = t[b];
    return true;
}
}  // namespace

bool scramble_bytes(std::span<uint8_t> bytes, int32_t seed) {
    auto t = scramble_forward_table(seed);
    return t && map_bytes(bytes, *t);
}

bool unscramble_bytes(std::span<uint8_t> bytes, int32_t seed) {
    auto t = scramble_forward_table(seed);
    return t && map_bytes(bytes, invert_table(*t));
}

}  // namespace kx
