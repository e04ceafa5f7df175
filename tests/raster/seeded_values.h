// A small seeded generator for test sweeps: the same values with every
// standard library, so checksums over sweeps hold everywhere.
#pragma once

#include <cstdint>

struct SeededValues {
    uint64_t state;

    uint64_t next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);  // splitmix64
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // Integer in lo..hi inclusive.
    int32_t range(int32_t lo, int32_t hi) {
        return lo + static_cast<int32_t>(next() % static_cast<uint64_t>(hi - lo + 1));
    }
    // Double in [0, 1) with 53 random bits.
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double between(double lo, double hi) { return lo + (hi - lo) * unit(); }
};
