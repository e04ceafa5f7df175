// Reveal weights of "Start", "End" and "Delay".
#include "engine/reveal_weights.h"

namespace {

double clampUnit(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

}  // namespace

RevealWindow makeRevealWindow(A_long count, double start, double end, double delay) {
    const double span = (count - 1) * delay + 1;
    return RevealWindow{delay, start * span, end * span};
}

double revealWeight(const RevealWindow &window, A_long instance) {
    const double a = clampUnit(window.delay * instance + 1 - window.start);
    const double b = clampUnit(window.end - window.delay * instance);
    return a * b;
}
