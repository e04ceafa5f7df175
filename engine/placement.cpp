// Walks the mask segment by segment and appends one point per instance.
#include "engine/placement.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/host_call_chain.h"

PlacementList::~PlacementList() { clearPlacementList(*this); }

bool appendPlacementPoint(PlacementList &list, double x, double y) {
    PlacementPoint *point = new (std::nothrow) PlacementPoint{x, y, nullptr};
    if (!point) return false;
    list.tail->next = point;
    list.tail = point;
    ++list.count;
    return true;
}

void clearPlacementList(PlacementList &list) {
    PlacementPoint *point = list.head.next;
    while (point) {
        PlacementPoint *next = point->next;
        delete point;
        point = next;
    }
    list.head.next = nullptr;
    list.tail = &list.head;
    list.count = 0;
}

A_long placementStartSegment(const MaskFacts &mask, const PlacementPlan &plan) {
    if (mask.open || !plan.startSegment || mask.segments <= 0) return 0;
    const double start = std::floor(mask.segments * plan.vertexOffset);
    if (!(start >= 0)) return 0;
    if (start >= mask.segments) return mask.segments - 1;
    return static_cast<A_long>(start);
}

namespace {

// The walk's state: where points go and who receives the directions.
struct Walker {
    const PathAccess &path;
    const PlacementPlan &plan;
    PatternInstance *instances;
    PlacementList &list;
    PF_Err &pending;

    bool full() const { return list.count >= plan.count; }

    // Appends a point for the next instance; false when memory ran out.
    bool append(double x, double y) {
        if (appendPlacementPoint(list, x, y)) return true;
        if (pending == PF_Err_NONE) pending = PF_Err_OUT_OF_MEMORY;
        return false;
    }

    void addDirection(A_long instance, double dx, double dy) {
        if (pending != PF_Err_NONE || instance >= plan.count) return;
        instances[instance].angle += path.ansi->atan2(dy, dx);
    }

    bool prepare(A_long segment, PF_PathSegPrepPtr &prep) {
        chainHostCall(pending, [&] {
            return path.suite->PF_PathPrepareSegLength(path.effectRef, path.outline, segment, kSegmentFrequency, &prep);
        });
        return pending == PF_Err_NONE;
    }

    void cleanup(A_long segment, PF_PathSegPrepPtr &prep) {
        chainRelease(pending,
                     [&] { return path.suite->PF_PathCleanupSegLength(path.effectRef, path.outline, segment, &prep); });
    }

    // Point and first derivative at `length` along a prepared segment.
    void evaluate(A_long segment, PF_PathSegPrepPtr &prep, double length, double &x, double &y, double &dx,
                  double &dy) {
        chainHostCall(pending, [&] {
            return path.suite->PF_PathEvalSegLengthDeriv1(path.effectRef, path.outline, &prep, segment, length, &x, &y,
                                                          &dx, &dy);
        });
    }

    // Appends a point on a prepared segment and turns its instance.
    bool appendOnSegment(A_long segment, PF_PathSegPrepPtr &prep, double length) {
        double x = 0, y = 0, dx = 0, dy = 0;
        evaluate(segment, prep, length, x, y, dx, dy);
        const A_long instance = list.count;
        if (!append(x, y)) return false;
        if (plan.dependOnPath) addDirection(instance, dx, dy);
        return true;
    }

    bool appendVertex(A_long vertex) {
        PF_PathVertex info{};
        chainHostCall(pending,
                      [&] { return path.suite->PF_PathVertexInfo(path.effectRef, path.outline, vertex, &info); });
        return append(info.x, info.y);
    }

    // Turns `instance` with the direction of `segment` at `length`.
    void directionAt(A_long instance, A_long segment, double length) {
        PF_PathSegPrepPtr prep = nullptr;
        if (!prepare(segment, prep)) return;
        double x = 0, y = 0, dx = 0, dy = 0;
        evaluate(segment, prep, length, x, y, dx, dy);
        addDirection(instance, dx, dy);
        cleanup(segment, prep);
    }

    // The end vertex of an open mask, turned along the last segment half a
    // pixel before its end.
    void appendEndVertex(const MaskFacts &mask) {
        const A_long instance = list.count;
        if (full() || !appendVertex(mask.segments)) return;
        if (plan.dependOnPath && mask.segments > 0) {
            const A_long last = mask.segments - 1;
            const double length = std::max(mask.lengths[static_cast<size_t>(last)] - 0.5, 0.0);
            directionAt(instance, last, length);
        }
    }
};

void placeAtVertices(Walker &walker, const MaskFacts &mask) {
    const PlacementPlan &plan = walker.plan;
    const A_long segments = mask.segments;
    const A_long s0 = placementStartSegment(mask, plan);
    const A_long number = std::max<A_long>(plan.number, 0);
    for (A_long v = 0; v < segments && !walker.full(); ++v) {
        const A_long s = (s0 + v) % segments;
        const A_long vertexInstance = walker.list.count;
        if (!walker.appendVertex(s)) return;
        if (number == 0 && !plan.dependOnPath) continue;
        PF_PathSegPrepPtr prep = nullptr;
        const bool prepared = walker.prepare(s, prep);
        if (plan.dependOnPath) {
            double x = 0, y = 0, dx = 0, dy = 0;
            if (prepared) walker.evaluate(s, prep, 0.0, x, y, dx, dy);
            walker.addDirection(vertexInstance, dx, dy);
        }
        const double length = mask.lengths[static_cast<size_t>(s)];
        for (A_long j = 1; j <= number && !walker.full(); ++j) {
            if (!walker.appendOnSegment(s, prep, length * j / (number + 1))) break;
        }
        if (prepared) walker.cleanup(s, prep);
        if (walker.pending == PF_Err_OUT_OF_MEMORY) return;
    }
    if (mask.open) walker.appendEndVertex(mask);
}

// Distance along the mask from one point to the next.
struct EvenSpacing {
    bool byRadius = false;
    double constant = 0;  // constant spacing
    double gap = 0;       // by radius, mask longer than the radii: added to each pair
    double squeeze = 1;   // by radius, overlapping: factor on each pair
    bool overlapping = false;
    const PatternInstance *instances = nullptr;
    A_long count = 0;

    double after(A_long i) const {
        if (!byRadius) return constant;
        const double pair = instances[i].radius + instances[(i + 1) % count].radius;
        return overlapping ? pair * squeeze : gap + pair;
    }
};

EvenSpacing evenSpacing(const MaskFacts &mask, const PlacementPlan &plan, const PatternInstance *instances) {
    const A_long n = plan.count;
    const double length = mask.total;
    // The open mask's last instance is its end vertex, so n - 1 steps.
    const double steps = mask.open ? n - 1 : n;
    EvenSpacing spacing;
    spacing.count = n;
    spacing.instances = instances;
    if (!plan.radiusSpacing) {
        spacing.constant = length / steps;
        return spacing;
    }
    spacing.byRadius = true;
    double radii = 0;  // R: the sum of neighbouring radius pairs the walk steps over
    if (mask.open) {
        for (A_long i = 0; i + 1 < n; ++i) radii += instances[i].radius + instances[i + 1].radius;
    } else {
        for (A_long i = 0; i < n; ++i) radii += 2 * instances[i].radius;
    }
    if (length > radii) {
        spacing.gap = (length - radii) / steps;
    } else {
        spacing.overlapping = true;
        // R = 0 here means a mask of length 0: every point at the start.
        spacing.squeeze = radii > 0 ? 1 - (radii - length) / radii : 0;
    }
    return spacing;
}

void placeEvenly(Walker &walker, const MaskFacts &mask) {
    const PlacementPlan &plan = walker.plan;
    const A_long n = plan.count;
    const A_long segments = mask.segments;
    const bool offsetStart = !mask.open && plan.offset != 0 && segments > 0;
    if (n == 1 && !offsetStart) {
        // A single instance sits at vertex 0, turned along segment 0.
        if (!walker.appendVertex(0)) return;
        if (plan.dependOnPath && segments > 0) walker.directionAt(0, 0, 0.0);
        return;
    }
    if (segments > 0) {
        const EvenSpacing spacing = evenSpacing(mask, plan, walker.instances);
        const A_long target = mask.open ? n - 1 : n;
        A_long first = placementStartSegment(mask, plan);
        A_long visits = segments;
        double position = 0;  // pixels from the start of the visited segment
        if (offsetStart) {
            // Pass over whole segments up to the one holding Offset × length;
            // then go once round, back into the start segment.
            position = plan.offset * mask.total;
            for (A_long passed = 0; passed < segments; ++passed) {
                const double length = mask.lengths[static_cast<size_t>(first)];
                if (position < length) break;
                position -= length;
                first = (first + 1) % segments;
            }
            visits = segments + 1;
        }
        // Rounding may leave the last points a hair past the end of the last
        // visited segment with length; they are put at its end, not lost.
        A_long lastWithLength = -1;
        for (A_long v = 0; v < visits; ++v)
            if (mask.lengths[static_cast<size_t>((first + v) % segments)] > 0) lastWithLength = v;
        A_long placed = 0;
        for (A_long v = 0; v < visits && placed < target; ++v) {
            const A_long s = (first + v) % segments;
            const double length = mask.lengths[static_cast<size_t>(s)];
            if (length <= 0) continue;  // passed over
            const bool last = v == lastWithLength;
            if (position >= length && !last) {
                position -= length;
                continue;
            }
            PF_PathSegPrepPtr prep = nullptr;
            const bool prepared = walker.prepare(s, prep);
            bool appended = true;
            while (appended && placed < target && (position < length || last)) {
                const double at = std::min(std::max(position, 0.0), length);
                appended = walker.appendOnSegment(s, prep, at);
                position += spacing.after(placed);
                ++placed;
            }
            if (prepared) walker.cleanup(s, prep);
            if (!appended) return;
            position -= length;
        }
    }
    if (mask.open) walker.appendEndVertex(mask);
}

}  // namespace

void placeInstances(const PathAccess &path, const MaskFacts &mask, const PlacementPlan &plan,
                    PatternInstance *instances, PlacementList &list, PF_Err &pending) {
    if (plan.count <= 0) return;
    Walker walker{path, plan, instances, list, pending};
    if (plan.kind == PlacementKind::Vertex) {
        placeAtVertices(walker, mask);
    } else {
        placeEvenly(walker, mask);
    }
}
