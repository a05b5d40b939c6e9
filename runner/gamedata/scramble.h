#pragma once
// The byte-substitution scrambling that covers the inner game data and script
// texts. A seed gives a forward table; reading maps bytes through its inverse.
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kx {

using ScrambleTable = std::array<uint8_t, 256>;

struct ScrambleParams {
    int32_t mul, add;
};
// The multiplier and offset of the position formula; std::nullopt for a seed
// below -64249, whose offset stays negative.
std::optional<ScrambleParams> scramble_params(int32_t seed);

// The forward table for a seed; std::nullopt for a seed whose position formula
// would leave the table (below -64249), which readers treat as corrupt data.
std::optional<ScrambleTable> scramble_forward_table(int32_t seed);
ScrambleTable invert_table(const ScrambleTable& forward);

// Maps every byte of `bytes` in place; false (nothing changed) for a bad seed.
bool scramble_bytes(std::span<uint8_t> bytes, int32_t seed);
bool unscramble_bytes(std::span<uint8_t> bytes, int32_t seed);

// Script texts are scrambled with this fixed seed.
constexpr int32_t kScriptTextSeed = 31847;

}  // namespace kx
