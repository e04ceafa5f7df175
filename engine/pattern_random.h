// Seeded 32-bit linear congruential generator behind every random look of the
// pattern. Exact integer arithmetic: both builds give identical streams.
#pragma once

#include <cstdint>

struct PatternRandom {
    uint32_t state;  // the seed's two's-complement bit pattern at construction
};

PatternRandom makePatternRandom(int32_t seed);

// Advances the state and returns a value in [0, 1), never 1.
double nextRandom(PatternRandom &random);
