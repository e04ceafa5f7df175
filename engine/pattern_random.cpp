// The seeded linear congruential generator: one 32-bit multiply-add per draw.
#include "engine/pattern_random.h"

PatternRandom makePatternRandom(int32_t seed) { return PatternRandom{static_cast<uint32_t>(seed)}; }

double nextRandom(PatternRandom &random) {
    random.state = random.state * 1103515245u + 12345u;  // wraps modulo 2^32
    const uint32_t low31 = random.state & 0x7fffffffu;
    return static_cast<double>(low31) * (1.0 / 2147483648.0);  // exact: a power of two
}
