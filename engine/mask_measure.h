// Measuring the mask of "Path": open or closed, segment count and the length of
// every segment, through the host's path data functions.
#pragma once

#include <vector>

#include "hostapi/hostapi.h"

// What the engine reads a checked-out mask outline through.
struct PathAccess {
    const PF_PathDataSuite1 *suite;  // may be null only while an error is pending
    PF_ProgPtr effectRef;
    PF_PathOutlinePtr outline;
    const PF_ANSICallbacks *ansi;  // the host's atan2 for path directions
};

struct MaskFacts {
    bool open = true;             // the host's answer; open until asked
    A_long segments = 0;          // segment s runs from vertex s to vertex s + 1
    std::vector<double> lengths;  // pixels, one per segment
    double total = 0;             // sum of the lengths
};

// Frequency of the host's length tables for every prepared segment.
constexpr A_long kSegmentFrequency = 100;

// Asks whether the mask is open, how many segments it has, and measures every
// segment (prepare, length, clean up). Host calls are chained on `pending`;
// a clean-up runs for every successful prepare.
MaskFacts measureMask(const PathAccess &path, PF_Err &pending);
