// minihost's "PF Path Query Suite" 1 and "PF Path Data Suite" 1: the layer's
// masks as path outlines, measured and evaluated segment by segment.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hostapi/pf_suites.h"
#include "minihost/bezier_path.h"
#include "minihost/host_internals.h"

// A checked-out mask: a copy of its vertices at the command's resolution, so
// that later edits of the host's masks never change an outline in use.
struct PF_PathOutline {
    minihost::Host *host = nullptr;
    PF_PathID id = 0;
    bool open = false;
    std::vector<minihost::MaskVertex> vertices;
};

// One segment prepared for length queries.
struct PF_PathSegPrep {
    const PF_PathOutline *outline = nullptr;
    A_long segment = 0;
    minihost::BezierMeasure measure;
};

namespace minihost {
namespace {

// Table resolution of segments measured without a preparation.
constexpr int unpreparedIntervals = 64;

// Every outline and preparation handed out and not yet returned, so that a
// stale or foreign pointer from the plug-in is refused instead of followed.
// Commands run on the caller's thread one at a time, so no lock is taken.
struct PathRegistry {
    std::map<const PF_PathOutline *, std::unique_ptr<PF_PathOutline>> outlines;
    std::map<const PF_PathSegPrep *, std::unique_ptr<PF_PathSegPrep>> preps;
};

PathRegistry &registry() {
    static PathRegistry paths;
    return paths;
}

const PF_PathOutline *liveOutline(const Host &host, const PF_PathOutline *path) {
    PathRegistry &r = registry();
    const auto it = r.outlines.find(path);
    return it != r.outlines.end() && it->second->host == &host ? it->second.get() : nullptr;
}

const PF_PathSegPrep *livePrep(const PF_PathSegPrep *prep) {
    PathRegistry &r = registry();
    const auto it = r.preps.find(prep);
    return it != r.preps.end() ? it->second.get() : nullptr;
}

// Closed: one segment per vertex, the last one back to vertex 0. Open: one
// fewer. A single vertex has no segments.
A_long segmentCount(const PF_PathOutline &outline) {
    const A_long vertices = static_cast<A_long>(outline.vertices.size());
    if (vertices < 2) return 0;
    return outline.open ? vertices - 1 : vertices;
}

BezierSegment segmentCurve(const PF_PathOutline &outline, A_long segment) {
    const MaskVertex &a = outline.vertices[static_cast<size_t>(segment)];
    const MaskVertex &b = outline.vertices[static_cast<size_t>(segment + 1) % outline.vertices.size()];
    return makeBezierSegment(a.x, a.y, a.outX, a.outY, b.x, b.y, b.inX, b.inY);
}

std::string segmentDetail(A_long segment) { return "segment " + std::to_string(segment); }

// The measure to answer a query on `segment`: the caller's preparation when it
// gave one (it must belong to this outline and segment), else a fresh one.
PF_Err segmentMeasure(const PF_PathOutline &outline, A_long segment, PF_PathSegPrepPtr *prepP0, BezierMeasure &fresh,
                      const BezierMeasure *&measure) {
    if (segment < 0 || segment >= segmentCount(outline)) return PF_Err_BAD_CALLBACK_PARAM;
    if (prepP0 && *prepP0) {
        const PF_PathSegPrep *prep = livePrep(*prepP0);
        if (!prep || prep->outline != &outline || prep->segment != segment) return PF_Err_BAD_CALLBACK_PARAM;
        measure = &prep->measure;
        return PF_Err_NONE;
    }
    fresh = measureBezier(segmentCurve(outline, segment), unpreparedIntervals);
    measure = &fresh;
    return PF_Err_NONE;
}

// Entry of every function of the two suites: a null effect reference is
// refused with no host to count it on; otherwise the call is logged, and
// fault injection may fail it before `body(host)` runs.
template <typename Body>
PF_Err pathCall(PF_ProgPtr ref, const char *function, const std::string &detail, Body body) {
    if (!ref) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(ref);
    if (PF_Err err = enterCall(host, function, detail)) return err;
    return body(host);
}

// A function on a checked-out outline: `body(host, outline)` runs only on an
// outline this host handed out and has not taken back.
template <typename Body>
PF_Err outlineCall(PF_ProgPtr ref, const char *function, const std::string &detail, PF_PathOutlinePtr pathP,
                   Body body) {
    return pathCall(ref, function, detail, [&](Host &host) -> PF_Err {
        const PF_PathOutline *outline = liveOutline(host, pathP);
        if (!outline) return refused(host);
        return body(host, *outline);
    });
}

// A query on the length of one segment: `body(host, measure)` gets the
// caller's preparation or a fresh measure.
template <typename Body>
PF_Err lengthCall(PF_ProgPtr ref, const char *function, PF_PathOutlinePtr pathP, A_long segment,
                  PF_PathSegPrepPtr *prepP0, Body body) {
    return outlineCall(ref, function, segmentDetail(segment), pathP,
                       [&](Host &host, const PF_PathOutline &outline) -> PF_Err {
                           BezierMeasure fresh;
                           const BezierMeasure *measure = nullptr;
                           if (PF_Err err = segmentMeasure(outline, segment, prepP0, fresh, measure))
                               return refused(host, err);
                           return body(host, *measure);
                       });
}

PF_Err numPaths(PF_ProgPtr ref, A_long *num_pathsPL) {
    return pathCall(ref, "PF_NumPaths", {}, [&](Host &host) -> PF_Err {
        if (!num_pathsPL) return refused(host);
        *num_pathsPL = static_cast<A_long>(host.masks.size());
        return PF_Err_NONE;
    });
}

// `indexL` counts the masks from 0.
PF_Err pathInfo(PF_ProgPtr ref, A_long indexL, PF_PathID *unique_idP) {
    return pathCall(ref, "PF_PathInfo", "index " + std::to_string(indexL), [&](Host &host) -> PF_Err {
        if (!unique_idP) return refused(host);
        const PF_PathID id = indexL >= 0 ? pathIdOfMask(host, indexL + 1) : 0;
        if (id == 0) return refused(host, PF_Err_INVALID_INDEX);
        *unique_idP = id;
        return PF_Err_NONE;
    });
}

// An id that names no mask (0 among them) checks out nothing: a null outline
// and no error. A keyframed mask is checked out in its shape at `what_time`.
PF_Err checkoutPath(PF_ProgPtr ref, PF_PathID unique_id, A_long what_time, A_long, A_u_long time_scale,
                    PF_PathOutlinePtr *pathPP) {
    return pathCall(ref, "PF_CheckoutPath", "id " + std::to_string(unique_id), [&](Host &host) -> PF_Err {
        if (!pathPP) return refused(host);
        *pathPP = nullptr;
        Mask mask;
        if (unique_id == 0 || !maskForPathId(host, unique_id, secondsOf(host, what_time, time_scale), mask))
            return PF_Err_NONE;

        auto outline = std::make_unique<PF_PathOutline>();
        outline->host = &host;
        outline->id = unique_id;
        outline->open = !mask.closed;
        outline->vertices = std::move(mask.vertices);
        *pathPP = outline.get();
        PathRegistry &r = registry();
        r.outlines.emplace(outline.get(), std::move(outline));
        ++host.ledger.checkouts;
        return PF_Err_NONE;
    });
}

// Checking in a null outline (what an unknown id checked out) does nothing.
// Preparations still open on the outline are freed with it but stay counted
// in the ledger: forgetting their clean-up is the plug-in's fault to show.
PF_Err checkinPath(PF_ProgPtr ref, PF_PathID unique_id, PF_Boolean, PF_PathOutlinePtr pathP) {
    return pathCall(ref, "PF_CheckinPath", "id " + std::to_string(unique_id), [&](Host &host) -> PF_Err {
        if (!pathP) return PF_Err_NONE;
        PathRegistry &r = registry();
        const auto it = r.outlines.find(pathP);
        if (it == r.outlines.end() || it->second->host != &host || it->second->id != unique_id) return refused(host);
        for (auto prep = r.preps.begin(); prep != r.preps.end();)
            prep = prep->second->outline == pathP ? r.preps.erase(prep) : std::next(prep);
        r.outlines.erase(it);
        --host.ledger.checkouts;
        return PF_Err_NONE;
    });
}

PF_Err pathIsOpen(PF_ProgPtr ref, PF_PathOutlinePtr pathP, PF_Boolean *openPB) {
    return outlineCall(ref, "PF_PathIsOpen", {}, pathP, [&](Host &host, const PF_PathOutline &outline) -> PF_Err {
        if (!openPB) return refused(host);
        *openPB = outline.open ? 1 : 0;
        return PF_Err_NONE;
    });
}

PF_Err pathNumSegments(PF_ProgPtr ref, PF_PathOutlinePtr pathP, A_long *num_segmentsPL) {
    return outlineCall(ref, "PF_PathNumSegments", {}, pathP, [&](Host &host, const PF_PathOutline &outline) -> PF_Err {
        if (!num_segmentsPL) return refused(host);
        *num_segmentsPL = segmentCount(outline);
        return PF_Err_NONE;
    });
}

// Vertices 0..S, S the segment count: vertex S is where the last segment
// ends, the last vertex of an open mask and vertex 0 again of a closed one.
PF_Err pathVertexInfo(PF_ProgPtr ref, PF_PathOutlinePtr pathP, A_long which_pointL, PF_PathVertex *vertexP) {
    return outlineCall(ref, "PF_PathVertexInfo", "vertex " + std::to_string(which_pointL), pathP,
                       [&](Host &host, const PF_PathOutline &outline) -> PF_Err {
                           if (!vertexP || outline.vertices.empty()) return refused(host);
                           if (which_pointL < 0 || which_pointL > segmentCount(outline)) return refused(host);
                           const MaskVertex &v =
                               outline.vertices[static_cast<size_t>(which_pointL) % outline.vertices.size()];
                           *vertexP = {v.x, v.y, v.inX, v.inY, v.outX, v.outY};
                           return PF_Err_NONE;
                       });
}

// `frequencyL` sets the resolution of the arc-length table; values below 4
// (including 0 and negatives) get the smallest table.
PF_Err pathPrepareSegLength(PF_ProgPtr ref, PF_PathOutlinePtr pathP, A_long which_segL, A_long frequencyL,
                            PF_PathSegPrepPtr *lengthPrepPP) {
    return outlineCall(ref, "PF_PathPrepareSegLength", segmentDetail(which_segL), pathP,
                       [&](Host &host, const PF_PathOutline &outline) -> PF_Err {
                           if (!lengthPrepPP) return refused(host);
                           if (which_segL < 0 || which_segL >= segmentCount(outline)) return refused(host);
                           auto prep = std::make_unique<PF_PathSegPrep>();
                           prep->outline = &outline;
                           prep->segment = which_segL;
                           prep->measure = measureBezier(segmentCurve(outline, which_segL), frequencyL);
                           *lengthPrepPP = prep.get();
                           PathRegistry &r = registry();
                           r.preps.emplace(prep.get(), std::move(prep));
                           ++host.ledger.checkouts;
                           return PF_Err_NONE;
                       });
}

PF_Err pathGetSegLength(PF_ProgPtr ref, PF_PathOutlinePtr pathP, A_long which_segL, PF_PathSegPrepPtr *lengthPrepP0,
                        A_FpLong *lengthPF) {
    return lengthCall(ref, "PF_PathGetSegLength", pathP, which_segL, lengthPrepP0,
                      [&](Host &host, const BezierMeasure &measure) -> PF_Err {
                          if (!lengthPF) return refused(host);
                          *lengthPF = measure.length;
                          return PF_Err_NONE;
                      });
}

// Lengths outside the segment clamp to its ends.
PF_Err pathEvalSegLength(PF_ProgPtr ref, PF_PathOutlinePtr pathP, PF_PathSegPrepPtr *lengthPrepPP0, A_long which_segL,
                         A_FpLong lengthF, A_FpLong *x, A_FpLong *y) {
    return lengthCall(ref, "PF_PathEvalSegLength", pathP, which_segL, lengthPrepPP0,
                      [&](Host &host, const BezierMeasure &measure) -> PF_Err {
                          if (!x || !y) return refused(host);
                          const PathPoint p = bezierPointAtLength(measure, lengthF);
                          *x = p.x;
                          *y = p.y;
                          return PF_Err_NONE;
                      });
}

// The derivative is the unit direction of travel at that length.
PF_Err pathEvalSegLengthDeriv1(PF_ProgPtr ref, PF_PathOutlinePtr pathP, PF_PathSegPrepPtr *lengthPrepPP0,
                               A_long which_segL, A_FpLong lengthF, A_FpLong *x, A_FpLong *y, A_FpLong *deriv1x,
                               A_FpLong *deriv1y) {
    return lengthCall(ref, "PF_PathEvalSegLengthDeriv1", pathP, which_segL, lengthPrepPP0,
                      [&](Host &host, const BezierMeasure &measure) -> PF_Err {
                          if (!x || !y || !deriv1x || !deriv1y) return refused(host);
                          const PathSample sample = bezierSampleAtLength(measure, lengthF);
                          *x = sample.point.x;
                          *y = sample.point.y;
                          *deriv1x = sample.direction.x;
                          *deriv1y = sample.direction.y;
                          return PF_Err_NONE;
                      });
}

// Frees the preparation and nulls the caller's pointer; a null preparation
// is nothing to clean up.
PF_Err pathCleanupSegLength(PF_ProgPtr ref, PF_PathOutlinePtr pathP, A_long which_segL,
                            PF_PathSegPrepPtr *lengthPrepPP) {
    return pathCall(ref, "PF_PathCleanupSegLength", segmentDetail(which_segL), [&](Host &host) -> PF_Err {
        if (!lengthPrepPP) return refused(host);
        if (!*lengthPrepPP) return PF_Err_NONE;
        PathRegistry &r = registry();
        const auto it = r.preps.find(*lengthPrepPP);
        if (it == r.preps.end() || it->second->outline != pathP || it->second->segment != which_segL ||
            it->second->outline->host != &host)
            return refused(host);
        r.preps.erase(it);
        *lengthPrepPP = nullptr;
        --host.ledger.checkouts;
        return PF_Err_NONE;
    });
}

// Masks are never inverted in this host.
PF_Err pathIsInverted(PF_ProgPtr ref, PF_PathID unique_id, PF_Boolean *invertedB) {
    return pathCall(ref, "PF_PathIsInverted", "id " + std::to_string(unique_id), [&](Host &host) -> PF_Err {
        Mask mask;
        if (!invertedB || !maskForPathId(host, unique_id, 0, mask)) return refused(host);
        *invertedB = 0;
        return PF_Err_NONE;
    });
}

}  // namespace

const void *pathQuerySuite() {
    static const PF_PathQuerySuite1 suite = {numPaths, pathInfo, checkoutPath, checkinPath};
    return &suite;
}

const void *pathDataSuite() {
    static const PF_PathDataSuite1 suite = {
        pathIsOpen,        pathNumSegments,         pathVertexInfo,       pathPrepareSegLength, pathGetSegLength,
        pathEvalSegLength, pathEvalSegLengthDeriv1, pathCleanupSegLength, pathIsInverted};
    return &suite;
}

}  // namespace minihost
