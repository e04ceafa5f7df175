// Order table for "Order" and "Order Seed".
#include "engine/order_table.h"

#include <utility>

#include "engine/pattern_params.h"
#include "engine/pattern_random.h"

void buildOrderIndex(int32_t *orderIndex, A_long count, A_long order, A_long seed) {
    for (A_long k = 0; k < count; ++k) {
        orderIndex[k] = order == Order::Inverse ? count - 1 - k : k;
    }
    if (order != Order::Random) return;
    PatternRandom random = makePatternRandom(seed);
    for (A_long k = 0; k < count; ++k) {
        const A_long other = static_cast<A_long>(nextRandom(random) * count);
        std::swap(orderIndex[k], orderIndex[other]);
    }
}
