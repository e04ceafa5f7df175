// The order in which instances appear: drawing position k takes the Start/End
// reveal weight of instance orderIndex[k].
#pragma once

#include <cstdint>

#include "hostapi/hostapi.h"

// Fills orderIndex[0..count) for "Order" (an Order choice).
// "Random" seeds its own generator with `seed` and swaps every entry k in turn
// with entry floor(u × count), itself and earlier ones included; the same seed
// always gives the same order.
void buildOrderIndex(int32_t *orderIndex, A_long count, A_long order, A_long seed);
