// Placement of the instances along the mask: one point per instance, in
// drawing order, at vertices, evenly spaced, spaced by radii or one per pixel of
// length; optionally turning each instance with the mask's direction.
#pragma once

#include "engine/mask_measure.h"
#include "engine/pattern_instance.h"
#include "hostapi/hostapi.h"

// One placed point, in the coordinates the host's path functions return.
struct PlacementPoint {
    double x, y;
    PlacementPoint *next;
};

// Owner of the placement list: an empty head node, points appended at the
// tail from ordinary memory, all freed when the owner goes, also when an
// exception leaves the render.
struct PlacementList {
    PlacementPoint head{0, 0, nullptr};
    PlacementPoint *tail = &head;
    A_long count = 0;

    PlacementList() = default;
    ~PlacementList();
    PlacementList(const PlacementList &) = delete;
    PlacementList &operator=(const PlacementList &) = delete;
};

// False when no memory is left for the point.
bool appendPlacementPoint(PlacementList &list, double x, double y);
void clearPlacementList(PlacementList &list);

enum class PlacementKind {
    Vertex,  // vertices and "Number" points between them per segment
    Even     // "Number" points along the whole mask ("Line" places this way too)
};

struct PlacementPlan {
    PlacementKind kind = PlacementKind::Vertex;
    A_long count = 0;            // instances to place (the instance array holds at least this many)
    A_long number = 0;           // Vertex: extra points per segment
    bool radiusSpacing = false;  // Even: spaced by the instances' radii ("Sub Mode" "Dependent")
    bool startSegment = false;   // closed masks start at the "Vertex Offset" segment
    double vertexOffset = 0;     // turns, [0, 1)
    double offset = 0;           // turns, [0, 1); Even on closed masks: start at Offset × length
    bool dependOnPath = false;   // add the mask's direction to each instance's angle
};

// First segment of the walk: floor(S × Vertex Offset) on a closed mask when
// the plan asks for it, else 0.
A_long placementStartSegment(const MaskFacts &mask, const PlacementPlan &plan);

// Appends the points of `plan` to `list`. Reads the radii of `instances` for
// radius spacing and adds directions to their angles. Host calls are chained
// on `pending`; a point that cannot be allocated leaves PF_Err_OUT_OF_MEMORY.
void placeInstances(const PathAccess &path, const MaskFacts &mask, const PlacementPlan &plan,
                    PatternInstance *instances, PlacementList &list, PF_Err &pending);
