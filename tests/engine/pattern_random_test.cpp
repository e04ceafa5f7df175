// The seeded generator: exact streams for known seeds and the bounds of a draw.
#include <gtest/gtest.h>

#include "engine/pattern_random.h"

namespace {

struct StreamCase {
    int32_t seed;
    uint32_t states[3];
    double values[3];
};

const StreamCase kStreams[] = {
    {0, {12345u, 3554416254u, 2802067423u}, {5.748588591814041e-06, 0.6551540484651923, 0.30481432331725955}},
    {1, {1103527590u, 2524885223u, 662824084u}, {0.5138700781390071, 0.1757413032464683, 0.3086515162140131}},
    {50000, {2612377929u, 2185908814u, 2500657007u}, {0.21648326935246587, 0.017893112264573574, 0.16445916099473834}},
    // Negative seeds keep their bit pattern.
    {-1, {3191464396u, 288979989u, 646343466u}, {0.48614141903817654, 0.13456679368391633, 0.300977130420506}},
};

TEST(PatternRandomTest, KnownSeedsGiveExactStatesAndValues) {
    for (const StreamCase &c : kStreams) {
        PatternRandom random = makePatternRandom(c.seed);
        EXPECT_EQ(random.state, static_cast<uint32_t>(c.seed));
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(nextRandom(random), c.values[i]) << "seed " << c.seed << " draw " << i;
            EXPECT_EQ(random.state, c.states[i]) << "seed " << c.seed << " draw " << i;
        }
    }
}

TEST(PatternRandomTest, Seed12345IsSeedZeroShiftedByOne) {
    PatternRandom zero = makePatternRandom(0);
    PatternRandom shifted = makePatternRandom(12345);
    nextRandom(zero);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(nextRandom(zero), nextRandom(shifted)) << i;
}

TEST(PatternRandomTest, TopBitOfTheStateDoesNotReachTheValue) {
    PatternRandom zero = makePatternRandom(0);
    PatternRandom top = makePatternRandom(INT32_MIN);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(nextRandom(zero), nextRandom(top)) << i;
}

TEST(PatternRandomTest, ValuesSpanZeroUpToButExcludingOne) {
    // States chosen so that the next state's low 31 bits are all ones, or all zeros.
    PatternRandom high{2378021662u};
    EXPECT_EQ(nextRandom(high), 2147483647.0 / 2147483648.0);
    PatternRandom highTopBit{230538014u};
    EXPECT_EQ(nextRandom(highTopBit), 2147483647.0 / 2147483648.0);
    PatternRandom low{4235699843u};
    EXPECT_EQ(nextRandom(low), 0.0);
    EXPECT_EQ(low.state, 0u);
}

TEST(PatternRandomTest, CopiesRunIndependently) {
    PatternRandom a = makePatternRandom(77);
    nextRandom(a);
    PatternRandom b = a;
    const double fromA = nextRandom(a);
    EXPECT_EQ(nextRandom(b), fromA);
    EXPECT_EQ(sizeof(PatternRandom), sizeof(uint32_t));
}

}  // namespace
