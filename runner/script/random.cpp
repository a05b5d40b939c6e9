#include "script/random.h"

#include <chrono>

namespace kx {

namespace {

uint64_t rotl(uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

uint64_t splitmix64(uint64_t& x) {
    uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

}  // namespace

void RandomState::seed(uint64_t value) {
    m_seed = value;
    uint64_t x = value;
    for (uint64_t& s : m_state) s = splitmix64(x);
}

void RandomState::seed_from_clock() {
    // Wall clock and steady clock together, so two runs started in the same
    // tick of one clock still differ.
    const auto wall =
        static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    const auto mono =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    seed(wall ^ rotl(mono, 32));
}

void RandomState::set_state(uint64_t s0, uint64_t s1, uint64_t s2, uint64_t s3) {
    m_state[0] = s0;
    m_state[1] = s1;
    m_state[2] = s2;
    m_state[3] = s3;
}

uint64_t RandomState::next_u64() {
    uint64_t* s = m_state;
    const uint64_t result = rotl(s[1] * 5, 7) * 9;
    const uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotl(s[3], 45);
    return result;
}

double RandomState::next_real() {
    return static_cast<double>(next_u64() >> 11) * 0x1.0p-53;
}

uint64_t RandomState::next_int(uint64_t n) {
    if (n == 0) return 0;
    // Reject the top partial block of 2^64 so every residue is equally likely.
    const uint64_t threshold = (0 - n) % n;
    for (;;) {
        const uint64_t r = next_u64();
        if (r >= threshold) return r % n;
    }
}

}  // namespace kx
