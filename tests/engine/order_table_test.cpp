// The order table: identity, reversal and the seeded swap of every position.
#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/order_table.h"
#include "engine/pattern_params.h"

namespace {

// The swap order written out from the generator's definition: state × 1103515245
// + 12345 modulo 2^32, the low 31 bits over 2^31, index floor(u × n).
std::vector<int32_t> expectedRandomOrder(uint32_t seed, int32_t n) {
    std::vector<int32_t> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    uint32_t state = seed;
    for (int32_t k = 0; k < n; ++k) {
        state = state * 1103515245u + 12345u;
        const double u = (state & 0x7fffffffu) / 2147483648.0;
        std::swap(order[static_cast<size_t>(k)], order[static_cast<size_t>(u * n)]);
    }
    return order;
}

std::vector<int32_t> build(A_long count, A_long order, A_long seed) {
    std::vector<int32_t> table(static_cast<size_t>(count), -1);
    buildOrderIndex(table.data(), count, order, seed);
    return table;
}

TEST(OrderTable, NormalIsTheIdentity) {
    EXPECT_EQ(build(5, Order::Normal, 123), (std::vector<int32_t>{0, 1, 2, 3, 4}));
}

TEST(OrderTable, InverseRunsBackwards) {
    EXPECT_EQ(build(5, Order::Inverse, 123), (std::vector<int32_t>{4, 3, 2, 1, 0}));
    EXPECT_EQ(build(1, Order::Inverse, 0), (std::vector<int32_t>{0}));
}

struct RandomCase {
    A_long seed;
    A_long count;
    std::vector<int32_t> order;
};

TEST(OrderTable, RandomSwapsEveryPositionWithAnyPosition) {
    const RandomCase cases[] = {
        {0, 3, {2, 1, 0}},  // draws 0.0000057, 0.655, 0.305: swaps (0,0), (1,1), (2,0)
        {1, 4, {1, 0, 3, 2}},
        {50000, 6, {4, 1, 3, 5, 2, 0}},
        {7, 10, {5, 0, 8, 7, 9, 2, 4, 1, 3, 6}},
    };
    for (const RandomCase &c : cases) {
        EXPECT_EQ(build(c.count, Order::Random, c.seed), c.order) << "seed " << c.seed;
        EXPECT_EQ(c.order, expectedRandomOrder(static_cast<uint32_t>(c.seed), c.count));
    }
}

TEST(OrderTable, RandomIsAPermutationAndRepeatsForTheSameSeed) {
    for (A_long seed : {0, 3, 999, 50000}) {
        const std::vector<int32_t> order = build(257, Order::Random, seed);
        EXPECT_EQ(order, expectedRandomOrder(static_cast<uint32_t>(seed), 257));
        EXPECT_EQ(order, build(257, Order::Random, seed));
        std::vector<int32_t> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        for (int32_t k = 0; k < 257; ++k) ASSERT_EQ(sorted[static_cast<size_t>(k)], k);
    }
    EXPECT_NE(build(257, Order::Random, 1), build(257, Order::Random, 2));
}

TEST(OrderTable, SingleInstanceAlwaysPicksItself) {
    for (A_long seed : {0, 1, 42}) EXPECT_EQ(build(1, Order::Random, seed), (std::vector<int32_t>{0}));
}

}  // namespace
