#pragma once
// The generator behind random() and choose(): xoshiro256** seeded through
// splitmix64, so any 64-bit seed (0 included) gives a well-mixed state.
#include <cstdint>

namespace kx {

struct RandomState {
    // Seeded from the clock; `--seed N` and tests call seed() for repeatable runs.
    RandomState() { seed_from_clock(); }

    void seed(uint64_t value);
    void seed_from_clock();
    uint64_t last_seed() const noexcept { return m_seed; }

    uint64_t next_u64();
    // Uniform in [0, 1), 53 random bits.
    double next_real();
    // Uniform in [0, n) without modulo bias; 0 when n is 0.
    uint64_t next_int(uint64_t n);

    // Sets the raw generator state (for checking against published sequences).
    void set_state(uint64_t s0, uint64_t s1, uint64_t s2, uint64_t s3);

private:
    uint64_t m_state[4] = {};
    uint64_t m_seed = 0;
};

}  // namespace kx
