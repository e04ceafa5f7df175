// Start/End/Delay weights: the window each instance is revealed through.
#include <vector>

#include <gtest/gtest.h>

#include "engine/reveal_weights.h"

namespace {

struct WeightCase {
    const char *name;
    A_long count;
    double start, end, delay;
    std::vector<double> weights;
};

TEST(RevealWeights, ExactWindowValues) {
    const WeightCase cases[] = {
        {"nothing hidden", 3, 0, 1, 1, {1, 1, 1}},
        {"delay 100 %, start 40 %: the first two gone", 5, 0.4, 1, 1, {0, 0, 1, 1, 1}},
        {"delay 100 %, end 60 %: the last two gone", 5, 0, 0.6, 1, {1, 1, 1, 0, 0}},
        {"delay 0: all fade together", 4, 0.25, 1, 0, {0.75, 0.75, 0.75, 0.75}},
        {"delay 0, start and end", 2, 0.25, 0.5, 0, {0.375, 0.375}},
        {"delay 50 %: half-step fades at both ends", 3, 0.25, 0.75, 0.5, {0.5, 1, 0.5}},
        {"delay 100 %, start 50 % of 2: the first one half", 2, 0.5, 1, 1, {0, 1}},
        {"one instance", 1, 0.25, 1, 1, {0.75}},
    };
    for (const WeightCase &c : cases) {
        const RevealWindow window = makeRevealWindow(c.count, c.start, c.end, c.delay);
        for (A_long i = 0; i < c.count; ++i) {
            EXPECT_EQ(revealWeight(window, i), c.weights[static_cast<size_t>(i)]) << c.name << " i=" << i;
        }
    }
}

TEST(RevealWeights, StayInsideTheUnitRange) {
    for (double start : {0.0, 0.3, 1.0}) {
        for (double delay : {0.0, 0.2, 1.0}) {
            const RevealWindow window = makeRevealWindow(50, start, 1.0, delay);
            for (A_long i = 0; i < 50; ++i) {
                const double w = revealWeight(window, i);
                EXPECT_GE(w, 0);
                EXPECT_LE(w, 1);
            }
        }
    }
}

}  // namespace
