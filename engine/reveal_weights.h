// The Start/End/Delay window: how far each instance has appeared (0..1).
#pragma once

#include "hostapi/hostapi.h"

struct RevealWindow {
    double delay;  // fraction
    double start;  // S' = Start × ((n − 1) × Delay + 1)
    double end;    // E' = End × ((n − 1) × Delay + 1)
};

// For `count` instances; `start` is not above `end` (the render swaps them).
RevealWindow makeRevealWindow(A_long count, double start, double end, double delay);

// clamp(Delay × i + 1 − S', 0, 1) × clamp(E' − Delay × i, 0, 1).
double revealWeight(const RevealWindow &window, A_long instance);
