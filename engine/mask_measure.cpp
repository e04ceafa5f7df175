// Mask measuring: one prepare, length query and clean-up per segment, in order.
#include "engine/mask_measure.h"

#include <cmath>

#include "engine/host_call_chain.h"

MaskFacts measureMask(const PathAccess &path, PF_Err &pending) {
    MaskFacts facts;
    PF_Boolean open = 1;
    chainHostCall(pending, [&] { return path.suite->PF_PathIsOpen(path.effectRef, path.outline, &open); });
    facts.open = open != 0;
    A_long segments = 0;
    chainHostCall(pending, [&] { return path.suite->PF_PathNumSegments(path.effectRef, path.outline, &segments); });
    if (pending != PF_Err_NONE || segments < 0) segments = 0;
    facts.segments = segments;
    facts.lengths.assign(static_cast<size_t>(segments), 0.0);

    for (A_long s = 0; s < segments && pending == PF_Err_NONE; ++s) {
        PF_PathSegPrepPtr prep = nullptr;
        A_FpLong length = 0;
        chainHostCall(pending, [&] {
            return path.suite->PF_PathPrepareSegLength(path.effectRef, path.outline, s, kSegmentFrequency, &prep);
        });
        if (pending != PF_Err_NONE) break;
        chainHostCall(pending,
                      [&] { return path.suite->PF_PathGetSegLength(path.effectRef, path.outline, s, &prep, &length); });
        chainRelease(pending,
                     [&] { return path.suite->PF_PathCleanupSegLength(path.effectRef, path.outline, s, &prep); });
        // A length the host cannot give (negative, infinite, not a number) counts as 0.
        if (!(length > 0) || !std::isfinite(length)) length = 0;
        facts.lengths[static_cast<size_t>(s)] = length;
        facts.total += length;
    }
    return facts;
}
